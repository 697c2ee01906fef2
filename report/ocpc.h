// Conversion reports: the click identifier of a paid search advertisement
// (the conversion visitor id) that the download page left in the
// installer's file name or, as JSON, on the clipboard. Found once per run,
// reported (found or not) and handed to the install routine for the
// package's command line.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace cf::ocpc {

class KOcpcBaseCnf {
  public:
    virtual ~KOcpcBaseCnf() = default;
    // The JSON member names of the clipboard text.
    virtual std::u16string PrimaryMemberName() const = 0;
    virtual std::u16string SecondaryMemberName() const = 0;
};

class KZephOcpcCnf : public KOcpcBaseCnf {
  public:
    std::u16string PrimaryMemberName() const override { return u"cfBdVid"; }
    std::u16string SecondaryMemberName() const override { return u"bdVid"; }
};

struct ConversionIds {
    std::u16string primary;
    std::u16string secondary;
    bool found = false;  // the primary id is not empty
};

// The id in a file name: the name after the last '\' or '/' without its
// extension holds "_b" followed by six characters and a 'd' or 'D'; the
// first such marker wins. Empty when there is none.
std::u16string FileNameConversionId(std::u16string_view exePath);

// Both sources: the file name's id, else the clipboard's primary member;
// the secondary always from the clipboard. A clipboard text that is not a
// JSON object, or members that are not strings, give nothing.
ConversionIds FindConversionVisitor(std::u16string_view exePath, std::u16string_view clipboardText,
                                    const KOcpcBaseCnf& cnf);

template <typename Cnf>
class KOcpcImpl {
  public:
    static KOcpcImpl& Instance() {
        static KOcpcImpl instance;
        return instance;
    }

    // This process's file name and the clipboard.
    ConversionIds FindConversionVisitor() const;

    // Sends the outcome report with stage 1, searches, keeps the primary id
    // when found, and sends the outcome report with stage 2 (found) or 3.
    void ReportConversion();

    // The id found by ReportConversion; empty when none was.
    std::u16string ConversionVisitorId() const {
        std::lock_guard lock(m_mutex);
        return m_visitorId;
    }

  private:
    KOcpcImpl() = default;

    Cnf m_cnf;
    mutable std::mutex m_mutex;
    std::u16string m_visitorId;
};

extern template class KOcpcImpl<KZephOcpcCnf>;

// The installer's instance.
inline KOcpcImpl<KZephOcpcCnf>& Ocpc() {
    return KOcpcImpl<KZephOcpcCnf>::Instance();
}

}  // namespace cf::ocpc
