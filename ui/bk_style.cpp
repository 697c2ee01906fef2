// Style class attributes and the style table.
#include "ui/bk_style.h"

#include <tinyxml2.h>

namespace zeph::ui {

namespace {

// DT_MODIFYSTRING would let the text call write into the element's text.
constexpr std::uint32_t kModifyString = 0x10000;

}  // namespace

AttrResult BkStyle::SetAttribute(std::string_view name, std::string_view value, bool) {
    struct ColorField {
        std::string_view name;
        Colorref BkStyle::*field;
    };
    static constexpr ColorField kColors[] = {
        {"crbg", &BkStyle::crBg},
        {"crbghover", &BkStyle::crBgHover},
        {"crtext", &BkStyle::crText},
        {"crhover", &BkStyle::crHover},
        {"crdisabled", &BkStyle::crDisabled},
        {"crpush", &BkStyle::crPush},
        {"crshadow", &BkStyle::crShadow},
    };
    for (const auto& c : kColors) {
        if (name == c.name) {
            this->*c.field = ParseColor(value);
            return AttrResult::Repaint;
        }
    }
    struct IntField {
        std::string_view name;
        int BkStyle::*field;
    };
    static constexpr IntField kInts[] = {
        {"x-margin", &BkStyle::xMargin},
        {"y-margin", &BkStyle::yMargin},
        {"spacing", &BkStyle::spacing},
        {"linespacing", &BkStyle::lineSpacing},
        {"shadow", &BkStyle::shadow},
        {"gdiplus", &BkStyle::gdiplus},
        {"gdipluscalctxt", &BkStyle::gdiplusCalcText},
        {"yhresizedisable", &BkStyle::yhResizeDisable},
        {"gditxtrndhit", &BkStyle::gdiTextRenderingHint},
        {"alphabg", &BkStyle::alphaBg},
        {"alphatxt", &BkStyle::alphaText},
        {"bggdiplus", &BkStyle::bgGdiplus},
    };
    for (const auto& f : kInts) {
        if (name == f.name) {
            this->*f.field = ParseCoordinate(value);
            return AttrResult::Layout;
        }
    }
    if (name == "margin") {
        xMargin = yMargin = ParseCoordinate(value);
        return AttrResult::Layout;
    }
    if (name == "textmode") {
        textMode = ParseHex(value) & ~kModifyString;
        return AttrResult::Layout;
    }
    if (name == "textmodeex") {
        textModeEx = ParseHex(value) & ~kModifyString;
        return AttrResult::Layout;
    }
    if (name == "font" || name == "hoverfont" || name == "pushfont") {
        const auto code = static_cast<std::uint16_t>(ParseHex(value));
        (name == "font" ? font : name == "hoverfont" ? hoverFont : pushFont) = code;
        return AttrResult::Layout;
    }
    if (name == "cursor") {
        if (value == "hand") {
            cursor = platform::CursorId::Hand;
        } else if (value == "arrow") {
            cursor = platform::CursorId::Arrow;
        } else {
            return AttrResult::Unknown;
        }
        return AttrResult::Repaint;
    }
    if (name == "skin") {
        skin = value;
        return AttrResult::Layout;
    }
    if (name == "name") {
        this->name = value;
        return AttrResult::Layout;
    }
    return AttrResult::Unknown;
}

BkStylePool& BkStylePool::Instance() {
    static BkStylePool pool;
    return pool;
}

void BkStylePool::Reset() {
    m_styles.clear();
    m_styles.emplace(std::string(), BkStyle());
}

bool BkStylePool::LoadDocument(std::string_view utf8) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(utf8.data(), utf8.size()) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (root == nullptr || std::string_view(root->Name()) != "style") {
        return false;
    }
    for (const auto* c = root->FirstChildElement("class"); c != nullptr;
         c = c->NextSiblingElement("class")) {
        const char* name = c->Attribute("name");
        if (name == nullptr || m_styles.contains(std::string_view(name))) {
            continue;
        }
        BkStyle style;
        style.Load(c);
        m_styles.emplace(name, std::move(style));
    }
    return true;
}

const BkStyle& BkStylePool::FindStyle(std::string_view name) const {
    auto it = m_styles.find(name);
    if (it == m_styles.end()) {
        it = m_styles.find(std::string_view());
    }
    return it->second;
}

bool BkStylePool::Has(std::string_view name) const {
    return m_styles.contains(name);
}

}  // namespace zeph::ui
