// The process-wide values the reports read when they are built: the channel
// numbers, the software id, the machine and device identifiers and the
// installed-products text. The partner flow captures them before its first
// screen, the install driver during its initialisation; reports read them at
// the moment they are built. Any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace zeph {

struct ReportContextValues {
    int32_t cid = 0;
    int32_t tid = 0;
    int32_t kid = 0;
    std::u16string softId;  // may be empty
    std::u16string idex;    // 32 upper-case hexadecimal digits once captured
    std::u16string did;
    std::u16string productsJson;  // captured by the install driver only

    std::u16string CidText() const;
    // The software id when it is set, else tid in decimal.
    std::u16string TidText() const;
    std::u16string KidText() const;
};

class ReportContext {
  public:
    static ReportContext& Instance();

    enum class Products : uint8_t { Keep, Compute };

    // Stores the channel numbers, the software id of the install settings,
    // and idex and did from the machine identity; with Products::Compute also
    // the installed-products text.
    void Capture(int32_t cid, int32_t tid, int32_t kid, Products products);

    void SetChannel(int32_t cid, int32_t tid, int32_t kid);
    void SetSoftId(std::u16string softId);
    void SetIdex(std::u16string idex);
    void SetDid(std::u16string did);
    void SetProductsJson(std::u16string productsJson);

    ReportContextValues Values() const;

    // The captured idex; before any capture the machine id is read once and
    // kept (the reports sent before the first capture carry it too).
    std::u16string Idex();

    // Back to the state of a fresh process (tests).
    void Clear();

  private:
    ReportContext() = default;

    mutable std::mutex m_mutex;
    ReportContextValues m_values;
};

}  // namespace zeph
