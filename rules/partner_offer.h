// The partner offer list: a small signed document, encoded like the
// configuration, that maps "cid_tid" keys to a partner installer (URL, MD5
// and a condition number) and condition numbers to three flags that refuse
// the offer on machines with 360, with Huorong, or in an area to avoid.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace zeph {

struct PartnerOffer {
    int32_t condition = 0;
    std::string url;
    std::string md5;
};

struct PartnerCondition {
    int32_t s360 = 0;
    int32_t hr = 0;
    int32_t area = 0;
};

class KPartnerOfferList {
  public:
    virtual ~KPartnerOfferList() = default;

    // Parses decoded text: 1 when the document element ("root", any case)
    // and both its "item" and "condition" sections were found, else 0. Offers
    // read before a missing "condition" stay. The first entry of a key stays.
    int ParsePartnerOfferList(std::string_view text);

    // Exact-key lookups; the outputs are left unchanged when the key is
    // absent (and false comes back). url and md5 come out of the ANSI code
    // page.
    bool FindPartnerOffer(std::string_view key, std::u16string& url, std::u16string& md5,
                          int32_t& condition) const;
    bool FindPartnerCondition(int32_t number, int32_t& s360, int32_t& hr, int32_t& area) const;

    const std::map<std::string, PartnerOffer, std::less<>>& Offers() const { return m_offers; }
    const std::map<int32_t, PartnerCondition>& Conditions() const { return m_conditions; }

  private:
    std::map<std::string, PartnerOffer, std::less<>> m_offers;
    std::map<int32_t, PartnerCondition> m_conditions;
};

}  // namespace zeph
