#include "rules/partner_offer.h"

#include "base/ascii.h"
#include "rules/ansi_text.h"
#include "rules/xml_attributes.h"

namespace zeph {

int KPartnerOfferList::ParsePartnerOfferList(std::string_view text) {
    tinyxml2::XMLDocument document;
    if (text.empty() || document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        return 0;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (root == nullptr || !AsciiEqualsIgnoreCase(root->Name(), "root")) {
        return 0;
    }
    const tinyxml2::XMLElement* items = root->FirstChildElement("item");
    if (items == nullptr) {
        return 0;
    }
    for (const auto* tryno = items->FirstChildElement("tryno"); tryno != nullptr;
         tryno = tryno->NextSiblingElement("tryno")) {
        PartnerOffer offer;
        offer.url = xml::Text(*tryno, "url");
        offer.md5 = xml::Text(*tryno, "md5");
        offer.condition = xml::Int(*tryno, "condition");
        m_offers.emplace(xml::Text(*tryno, "id"), std::move(offer));
    }
    const tinyxml2::XMLElement* conditions = root->FirstChildElement("condition");
    if (conditions == nullptr) {
        return 0;
    }
    for (const auto* leaf = conditions->FirstChildElement("leaf"); leaf != nullptr;
         leaf = leaf->NextSiblingElement("leaf")) {
        PartnerCondition condition;
        condition.s360 = xml::Int(*leaf, "s360");
        condition.hr = xml::Int(*leaf, "hr");
        condition.area = xml::Int(*leaf, "area");
        m_conditions.emplace(xml::Int(*leaf, "id"), condition);
    }
    return 1;
}

bool KPartnerOfferList::FindPartnerOffer(std::string_view key, std::u16string& url,
                                         std::u16string& md5, int32_t& condition) const {
    const auto it = m_offers.find(key);
    if (it == m_offers.end()) {
        return false;
    }
    url = AnsiToWide(it->second.url);
    md5 = AnsiToWide(it->second.md5);
    condition = it->second.condition;
    return true;
}

bool KPartnerOfferList::FindPartnerCondition(int32_t number, int32_t& s360, int32_t& hr,
                                             int32_t& area) const {
    const auto it = m_conditions.find(number);
    if (it == m_conditions.end()) {
        return false;
    }
    s360 = it->second.s360;
    hr = it->second.hr;
    area = it->second.area;
    return true;
}

}  // namespace zeph
