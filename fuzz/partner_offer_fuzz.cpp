// The partner offer list: any decoded text, then a lookup of every key it
// produced.
#include <cstdint>
#include <string_view>

#include "fuzz/rules_fuzz_setup.h"
#include "rules/partner_offer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zeph::fuzz::SetUpRulesFuzzing();
    zeph::KPartnerOfferList list;
    list.ParsePartnerOfferList(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& [key, offer] : list.Offers()) {
        std::u16string url, md5;
        int32_t condition = 0;
        if (list.FindPartnerOffer(key, url, md5, condition)) {
            int32_t s360 = 0, hr = 0, area = 0;
            list.FindPartnerCondition(condition, s360, hr, area);
        }
    }
    return 0;
}
