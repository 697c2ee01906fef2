// Style classes: colours per state, fonts per state, text modes, margins,
// cursor, background skin and the anti-aliased text switches, shared by name.
// UI thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/cursor.h"
#include "ui/bk_object.h"
#include "ui/notation.h"

namespace zeph::ui {

class BkStyle : public CBkObject {
  public:
    BkStyle() : CBkObject("class") {}

    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;

    Colorref crBg = kNoColor;
    Colorref crBgHover = kNoColor;
    Colorref crText = kNoColor;
    Colorref crHover = kNoColor;
    Colorref crDisabled = platform::MakeColorref(0xCC, 0xCC, 0xCC);
    Colorref crPush = kNoColor;
    std::uint32_t textMode = 0x28;
    std::uint16_t font = 0;
    std::uint16_t hoverFont = 0;
    std::uint16_t pushFont = 0;
    int xMargin = 0;
    int yMargin = 0;
    int spacing = 0;
    int lineSpacing = 20;
    platform::CursorId cursor = platform::CursorId::Arrow;
    std::string skin;
    int shadow = 0;
    int gdiplus = 0;
    int gdiplusCalcText = 0;
    int yhResizeDisable = 0;
    int gdiTextRenderingHint = 0;
    Colorref crShadow = platform::MakeColorref(1, 1, 1);
    int alphaBg = 255;
    int alphaText = 254;
    int bgGdiplus = 0;
    std::uint32_t textModeEx = 0;
    std::string name;
};

// The table of classes by name. It always holds the empty-named default,
// which answers for every name no definition has.
class BkStylePool {
  public:
    static BkStylePool& Instance();

    // Back to the default class only.
    void Reset();
    // Merges one style document (root "style", children "class" with
    // "name"); names already defined keep their first definition. False when
    // it does not parse or has another root.
    bool LoadDocument(std::string_view utf8);
    const BkStyle& FindStyle(std::string_view name) const;
    bool Has(std::string_view name) const;

  private:
    BkStylePool() { Reset(); }
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, BkStyle, Hash, std::equal_to<>> m_styles;
};

}  // namespace zeph::ui
