// Fonts made from a LOGFONT-like description, laid out and measured with
// pango over fontconfig. A face that is not installed (the Windows CJK faces
// in particular) falls back to an installed CJK face for every script, so
// digits and Latin letters in Chinese text keep one face.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/draw_geometry.h"

namespace zeph::platform {

struct FontDesc {
    std::u16string face;
    // LOGFONT height: negative = character (em) height in pixels, positive =
    // cell height (ascent + descent), 0 = the default size.
    int height = -12;
    int weight = 400;  // 400 regular, 700 bold
    bool italic = false;
    bool underline = false;
    // LOGFONT output quality: 3 no anti-aliasing, 4 anti-aliased, 5 ClearType.
    int quality = 0;

    friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

// The description of the system's default GUI font (the Chinese Windows one:
// 宋体, 12 pixels).
FontDesc DefaultGuiFontDesc();

class Font {
  public:
    // Nothing when the description cannot make a font (an absurd height).
    static std::shared_ptr<const Font> Create(const FontDesc& desc);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const FontDesc& Desc() const { return m_desc; }
    // The em size in pixels that the description resolved to.
    double PixelSize() const { return m_pixelSize; }

    struct Metrics {
        int ascent = 0;
        int descent = 0;
        int height = 0;  // ascent + descent: one line
    };
    Metrics GetMetrics() const;
    // Width and height of the text on one line.
    Size MeasureLine(std::u16string_view text) const;

    // The pango font description; only for code inside platform/.
    const void* NativeDescription() const { return m_native; }

  private:
    Font(const FontDesc& desc, void* native, double pixelSize);
    FontDesc m_desc;
    void* m_native = nullptr;  // PangoFontDescription*, owned
    double m_pixelSize = 12;
};

// The font a device context uses when none was selected.
const std::shared_ptr<const Font>& DefaultFont();

}  // namespace zeph::platform
