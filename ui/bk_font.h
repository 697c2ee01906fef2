// Fonts by 16-bit font code, made from one base face. UI thread only.
//
// Font code bits: 0x0001 italic, 0x0002 underline, 0x0004 bold; bits 8-15 a
// signed size change d, the LOGFONT height being (base height - d) with the
// base height -12 (12-pixel characters). A positive result is a cell height.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/font.h"

namespace zeph::ui {

// The base face from the installed fonts' registry value names (first match
// wins), "宋体" when none matches.
std::u16string ChooseBaseFace(const std::vector<std::u16string>& fontValueNames);
bool IsYaHeiFace(std::u16string_view face);

class BkFontPool {
  public:
    static constexpr int kBaseHeight = -12;

    static BkFontPool& Instance();

    // The description a code makes (DPI-scaled heights truncate towards 0).
    platform::FontDesc DescForCode(std::uint16_t code, bool dpiScaled);
    // The font for a code, made on first use; nullptr when it cannot be made.
    std::shared_ptr<const platform::Font> GetFont(std::uint16_t code, bool dpiScaled);
    const std::u16string& BaseFace() { return Base().face; }
    const platform::FontDesc& BaseDesc() { return Base(); }
    // The base height in pixels as the element sees it (DPI-scaled or not).
    int BaseHeight(bool dpiScaled) const;

    // Forgets every font and the face: the given one, or the registry's at
    // the next use; for tests and a new machine profile.
    void Reset(std::optional<std::u16string> face = std::nullopt);

  private:
    BkFontPool() = default;
    // The base description, its face chosen at the first use.
    const platform::FontDesc& Base();
    std::optional<platform::FontDesc> m_base;
    std::unordered_map<std::uint32_t, std::shared_ptr<const platform::Font>> m_fonts;
};

}  // namespace zeph::ui
