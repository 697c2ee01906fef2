// The blocks that follow the public block, one fill operation per table.
// Each writes its table's fields in the order of report/tables.h and
// finishes the block.
#pragma once

#include "report/report_objects.h"
#include "report/serialize.h"

namespace zeph {

class ZEdozureRareBlock : public KInstallSerialize {
  public:
    void FillStep(const ZEdozureRare::ZEdozureRareReport& report);       // 7988
    void FillCondition(const ZEdozureRare::ZEdozureRareReport& report);  // 4680
    void FillStatus(const ZEdozureRare::ZEdozureRareReport& report);     // 5847
    void FillUiEvent(const ZEdozureRare::ZEdozureRareReport& report);    // 7213
};

class KProcessInfoBlock : public KInstallSerialize {
  public:
    // Each text cut to its first kProcessTextChars characters.
    static constexpr size_t kProcessTextChars = 50;
    void Fill(const ZEdozureRare::KProcessInfoReport& report);  // 3769
};

class KUIInfoBlock : public KInstallSerialize {
  public:
    void Fill(const ZEdozureRare::KUIInfoReport& report);  // 5010
};

class KUpdateInfoBlock : public KInstallSerialize {
  public:
    void Fill(const ZEdozureRare::KUpdateInfoReport& report);  // 4033
};

class KOcpcInfoBlock : public KInstallSerialize {
  public:
    void Fill(const ZEdozureRare::OcpcInfoReport& report);  // 8179
};

class KDumpBlock : public KInstallSerialize {
  public:
    // Where the fields that change at the moment of a crash lie in the
    // finished block, for the crash path that patches a prepared record.
    struct Offsets {
        size_t cid = 0;
        size_t tid = 0;
        size_t exceptionCode = 0;
        size_t exceptionAddress = 0;
        size_t uptimeSeconds = 0;
    };
    void Fill(const ZEdozureRare::KDumpInfoReport& report, Offsets* offsets = nullptr);  // 3806
};

}  // namespace zeph
