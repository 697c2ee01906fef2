// Element painting: background, text with state fonts and colours, the
// YaHei text-rectangle correction, and text measuring for content sizes.
#include <cmath>
#include <cstdlib>

#include "ui/bk_dialog.h"
#include "ui/bk_font.h"
#include "ui/bk_skin.h"
#include "ui/bk_style.h"
#include "ui/bk_window.h"

namespace zeph::ui {

namespace {

// Text modes: the bits the engine looks at itself.
constexpr std::uint32_t kDtCenter = 0x01;
constexpr std::uint32_t kDtVCenter = 0x04;
constexpr std::uint32_t kDtBottom = 0x08;
constexpr std::uint32_t kDtWordBreak = 0x10;
constexpr std::uint32_t kDtPathEllipsis = 0x4000;
constexpr std::uint32_t kDtEndEllipsis = 0x8000;
constexpr std::uint32_t kDtWordEllipsis = 0x40000;

// Extended (anti-aliased text) mode bits.
constexpr std::uint32_t kExCenter = 0x01;
constexpr std::uint32_t kExFar = 0x02;
constexpr std::uint32_t kExLineCenter = 0x04;
constexpr std::uint32_t kExLineFar = 0x08;
constexpr std::uint32_t kExLineLimit = 0x20;

// A device context for measuring, one per thread.
platform::DeviceContext& MeasureDc() {
    thread_local platform::Bitmap bitmap(1, 1);
    thread_local platform::DeviceContext dc(bitmap);
    return dc;
}

platform::StringFormat MakeStringFormat(std::uint32_t textMode, std::uint32_t textModeEx,
                                        int hint) {
    using Align = platform::StringFormat::Align;
    using Trimming = platform::StringFormat::Trimming;
    platform::StringFormat f;
    if (textMode & kDtCenter) {
        f.align = Align::Center;
    }
    if (textMode & kDtVCenter) {
        f.lineAlign = Align::Center;
    }
    if (textModeEx & kExLineLimit) {
        f.lineLimit = true;
    }
    if (textModeEx & kExFar) {
        f.align = Align::Far;
    }
    if (textModeEx & kExCenter) {
        f.align = Align::Center;
    }
    if (textModeEx & kExLineCenter) {
        f.lineAlign = Align::Center;
    }
    if (textModeEx & kExLineFar) {
        f.lineAlign = Align::Far;
    }
    if (textMode & kDtEndEllipsis) {
        f.trimming = Trimming::EllipsisCharacter;
    }
    if (textMode & kDtWordEllipsis) {
        f.trimming = Trimming::EllipsisWord;
    }
    if (textMode & kDtPathEllipsis) {
        f.trimming = Trimming::EllipsisPath;
    }
    f.renderingHint = hint;
    return f;
}

}  // namespace

std::uint16_t CBkWindow::MeasureFontCode() const {
    std::uint16_t code = 0;
    for (const CBkWindow* e = this; e != nullptr && code == 0; e = BkHandleMap::Find(e->m_parent)) {
        code = e->m_font != 0 ? e->m_font : e->Style().font;
    }
    if (m_state & kStateHover) {
        for (const CBkWindow* e = this; e != nullptr; e = BkHandleMap::Find(e->m_parent)) {
            if (const std::uint16_t hover = e->Style().hoverFont; hover != 0) {
                code = hover;
                break;
            }
        }
    }
    return code;
}

Size CBkWindow::ContentSize(std::optional<Size> box) {
    Rect r = m_rect;
    if (box) {
        r.right = r.left + box->cx;
        r.bottom = r.top + box->cy;
    }
    const BkStyle& style = Style();
    const int xm = style.xMargin;
    const int ym = style.yMargin;
    if (m_text.empty()) {
        return {2 * xm, 2 * ym};
    }
    r = r.Deflate(xm, ym);
    if (style.textMode & kDtWordBreak) {
        r.bottom = 32767;
    }
    auto font = BkFontPool::Instance().GetFont(MeasureFontCode(), IsDpiScaled());
    platform::DeviceContext& dc = MeasureDc();
    int w = 0;
    int h = 0;
    if (style.gdiplusCalcText != 0 && font) {
        // Measured in a box as large as the parent, each fraction rounded up.
        const CBkDialog* parent = Parent();
        const Rect layout = parent != nullptr ? parent->GetRect() : r;
        const platform::SizeF s =
            dc.MeasureString(m_text, *font, layout.Width(), layout.Height(),
                             MakeStringFormat(style.textMode, style.textModeEx, 0));
        w = static_cast<int>(std::ceil(s.width));
        h = static_cast<int>(std::ceil(s.height));
    } else {
        dc.Save();
        if (font) {
            dc.SetFont(font);
        }
        Rect calc = r;
        dc.DrawText(m_text, calc, (style.textMode & ~0xFu) | platform::dt::kCalcRect);
        dc.Restore();
        w = calc.Width();
        h = calc.Height();
    }
    return {w + 2 * xm, h + 2 * ym};
}

void CBkWindow::Paint(platform::DeviceContext& dc, const Region* invalid) {
    if (invalid != nullptr && !invalid->Intersects(m_rect)) {
        return;
    }
    const bool transformed = !m_transform.IsIdentity();
    if (transformed) {
        // The element's transform acts about its top-left corner.
        dc.Save();
        platform::Transform t = m_transform;
        t.dx += m_rect.left - (t.m11 * m_rect.left + t.m21 * m_rect.top);
        t.dy += m_rect.top - (t.m12 * m_rect.left + t.m22 * m_rect.top);
        dc.SetWorldTransform(t);
    }
    DrawBackground(dc);
    if (m_paintHook != nullptr) {
        if (m_paintHook->OnElementPaint(this, dc, m_rect, true)) {
            OnPaint(dc);
            m_paintHook->OnElementPaint(this, dc, m_rect, false);
        }
    } else {
        OnPaint(dc);
    }
    if (transformed) {
        dc.Restore();
    }
}

void CBkWindow::DrawBackground(platform::DeviceContext& dc) {
    const BkStyle& style = Style();
    if (m_border != 0) {
        dc.FrameRect(m_rect, platform::Pen{0xFF000000, 1});
    }
    const auto opacity = static_cast<std::uint8_t>(m_alpha * m_alpha2 / 255);
    if (!style.skin.empty()) {
        DrawStretched(GetSkin(style.skin), dc, m_rect, BackgroundSkinState(), IsDpiScaled(),
                      opacity);
        return;
    }
    Colorref bg = m_crBg != kNoColor ? m_crBg : style.crBg;
    if ((m_state & kStateHover) && style.crBgHover != kNoColor) {
        bg = style.crBgHover;
    }
    if (bg == kNoColor) {
        return;
    }
    if (style.bgGdiplus != 0) {
        const int alpha = opacity * std::clamp(style.alphaBg, 0, 255) / 255;
        dc.FillRectArgb(m_rect, platform::ArgbFromColorref(bg, static_cast<unsigned>(alpha)));
    } else {
        dc.FillRect(m_rect, bg);
    }
}

void CBkWindow::OnPaint(platform::DeviceContext& dc) {
    if (!m_text.empty()) {
        DrawElementText(dc);
    }
}

void CBkWindow::DrawElementText(platform::DeviceContext& dc) {
    if (m_text.empty()) {
        return;
    }
    const BkStyle& style = Style();
    if (!m_textModeTaken || m_forceUpdateStyle != 0) {
        m_textMode = style.textMode;
        m_textModeTaken = true;
    }

    std::uint16_t code = m_font != 0 ? m_font : style.font;
    Colorref color = m_crText != kNoColor ? m_crText : style.crText;
    if (IsDisabledDeep()) {
        color = style.crDisabled;
    } else {
        bool pushFont = false;
        bool pushColor = false;
        if (m_state & kStatePushed) {
            if (style.pushFont != 0) {
                code = style.pushFont;
                pushFont = true;
            }
            if (style.crPush != kNoColor) {
                color = style.crPush;
                pushColor = true;
            }
        }
        if (m_state & kStateHover) {
            if (!pushFont && style.hoverFont != 0) {
                code = style.hoverFont;
            }
            if (!pushColor && style.crHover != kNoColor) {
                color = style.crHover;
            }
        }
    }

    BkFontPool& fonts = BkFontPool::Instance();
    const bool scaled = IsDpiScaled();
    auto font = fonts.GetFont(code, scaled);
    dc.Save();
    if (font) {
        dc.SetFont(font);
    }
    if (color != kNoColor) {
        dc.SetTextColor(color);
    }

    Rect text = m_rect.Deflate(style.xMargin, style.yMargin);
    if (IsYaHeiFace(fonts.BaseFace()) && style.yhResizeDisable != 1) {
        // GDI places YaHei text lower than other faces; the layouts were
        // drawn with this correction.
        const int base = fonts.BaseHeight(scaled);
        const int c = base - dc.CurrentFont()->Desc().height;
        const Rect before = text;
        if (m_textMode & kDtBottom) {
            text = text.Offset(0, -(2 * c + 2));
            if (m_autoFixTextRect != 0) {
                const int h = std::abs(base);
                if (text.Height() < h + 3 * c + 4) {
                    text.bottom = text.top + h + 3 * c + 4;
                }
                if (text.bottom - h - c - 3 < before.top) {
                    text.bottom = before.top + h + c + 3;
                }
            }
        } else if ((m_textMode & kDtVCenter) == 0) {
            text = text.Offset(0, -(3 * c + 3));
        }
    }

    const bool animated = m_alpha >= 1 && m_alpha <= 254;
    if (style.gdiplus != 0 || animated) {
        int alphaText = m_alphaText != -1 ? m_alphaText : style.alphaText;
        alphaText = std::clamp(alphaText, 0, 255);
        if (alphaText == 255) {
            alphaText = 254;
        }
        const auto alpha = static_cast<unsigned>(m_alpha * alphaText / 255);
        const platform::StringFormat format =
            MakeStringFormat(m_textMode, style.textModeEx, style.gdiTextRenderingHint);
        dc.DrawString(m_text, *dc.CurrentFont(), text.left, text.top, text.Width(), text.Height(),
                      format, platform::ArgbFromColorref(dc.TextColor(), alpha));
    } else if (style.shadow != 0) {
        dc.DrawShadowText(m_text, text, m_textMode, style.crShadow, 2, 2);
    } else {
        dc.DrawText(m_text, text, m_textMode);
    }
    dc.Restore();
}

}  // namespace zeph::ui
