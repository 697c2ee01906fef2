// The font cache and the choice of the base face.
#include "ui/bk_font.h"

#include "ui/bk_dpi.h"
#include "ui/system_access.h"

namespace zeph::ui {

std::u16string ChooseBaseFace(const std::vector<std::u16string>& names) {
    struct Rule {
        std::u16string_view valueName;
        std::u16string_view face;
    };
    static constexpr Rule kRules[] = {
        {u"微软雅黑 (TrueType)", u"微软雅黑"},
        {u"Microsoft YaHei (TrueType)", u"Microsoft YaHei"},
        {u"Microsoft YaHei (TrueType) & Microsoft YaHei UI (TrueType)", u"Microsoft YaHei"},
        {u"Microsoft YaHei & Microsoft YaHei UI (TrueType)", u"Microsoft YaHei"},
        {u"宋体 & 新宋体 (TrueType)", u"宋体"},
        {u"SimSun & NSimSun (TrueType)", u"SimSun"},
    };
    for (const Rule& rule : kRules) {
        for (const auto& name : names) {
            if (name == rule.valueName) {
                return std::u16string(rule.face);
            }
        }
    }
    return u"宋体";
}

bool IsYaHeiFace(std::u16string_view face) {
    return face == u"微软雅黑" || face == u"Microsoft YaHei";
}

BkFontPool& BkFontPool::Instance() {
    static BkFontPool pool;
    return pool;
}

void BkFontPool::Reset(std::optional<std::u16string> face) {
    m_fonts.clear();
    m_base.reset();
    if (face) {
        platform::FontDesc d = platform::DefaultGuiFontDesc();
        d.face = *face;
        d.height = kBaseHeight;
        d.quality = IsYaHeiFace(d.face) ? 5 : 4;
        m_base = d;
    }
}

const platform::FontDesc& BkFontPool::Base() {
    if (!m_base) {
        Reset(ChooseBaseFace(InstalledFontValueNames()));
    }
    return *m_base;
}

int BkFontPool::BaseHeight(bool dpiScaled) const {
    if (dpiScaled && BkDpi::IsActive()) {
        return static_cast<int>(kBaseHeight * BkDpi::Factor());
    }
    return kBaseHeight;
}

platform::FontDesc BkFontPool::DescForCode(std::uint16_t code, bool dpiScaled) {
    platform::FontDesc d = Base();
    d.weight = (code & 0x0004) ? 700 : 400;
    d.underline = (code & 0x0002) != 0;
    d.italic = (code & 0x0001) != 0;
    const int change = static_cast<std::int8_t>(static_cast<std::uint8_t>(code >> 8));
    d.height = kBaseHeight - change;
    if (dpiScaled && BkDpi::IsActive()) {
        d.height = static_cast<int>(d.height * BkDpi::Factor());
    }
    return d;
}

std::shared_ptr<const platform::Font> BkFontPool::GetFont(std::uint16_t code, bool dpiScaled) {
    const std::uint32_t key = code | (dpiScaled ? 0x80000000u : 0u);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) {
        return it->second;
    }
    auto font = platform::Font::Create(DescForCode(code, dpiScaled));
    if (font) {
        m_fonts.emplace(key, font);
    }
    return font;
}

}  // namespace zeph::ui
