// Picture skins over PNG and JPEG images: sub-image choice, nine-grid
// stretching, natural-size drawing, DPI-scaled copies.
#include <cmath>

#include "base/ini.h"
#include "base/strings.h"
#include "platform/image.h"
#include "ui/bk_dpi.h"
#include "ui/skin_kinds.h"
#include "ui/system_access.h"

namespace zeph::ui {

namespace {

std::uint8_t Combine(std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(a * b / 255);
}

// One alpha-blended piece; empty sources or destinations draw nothing.
void Piece(platform::DeviceContext& dc, const platform::Bitmap& bmp, int sx, int sy, int sw, int sh,
           int dx, int dy, int dw, int dh, std::uint8_t opacity) {
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) {
        return;
    }
    dc.AlphaBlend(bmp, Rect::FromSize(sx, sy, sw, sh), Rect::FromSize(dx, dy, dw, dh), opacity,
                  platform::Interpolation::Nearest);
}

// A piece drawn at most 1:1: the source is limited to the destination's
// size, so a smaller destination cuts the picture and a larger one
// stretches it.
void LimitedPiece(platform::DeviceContext& dc, const platform::Bitmap& bmp, Rect src, Rect dst,
                  std::uint8_t opacity) {
    src.right = src.left + std::min(src.Width(), dst.Width());
    src.bottom = src.top + std::min(src.Height(), dst.Height());
    Piece(dc, bmp, src.left, src.top, src.Width(), src.Height(), dst.left, dst.top, dst.Width(),
          dst.Height(), opacity);
}

}  // namespace

AttrResult CBkPngSkin::SetAttribute(std::string_view name, std::string_view value, bool) {
    struct Field {
        std::string_view name;
        int CBkPngSkin::*field;
    };
    static constexpr Field kFields[] = {
        {"src", &CBkPngSkin::m_src},
        {"subwidth", &CBkPngSkin::m_subWidth},
        {"left", &CBkPngSkin::m_left},
        {"top", &CBkPngSkin::m_top},
        {"margin_left", &CBkPngSkin::m_marginLeft},
        {"margin_right", &CBkPngSkin::m_marginRight},
        {"margin_top", &CBkPngSkin::m_marginTop},
        {"margin_bottom", &CBkPngSkin::m_marginBottom},
        {"fliptype", &CBkPngSkin::m_flipType},
        {"middle_tile", &CBkPngSkin::m_middleTile},
    };
    for (const auto& f : kFields) {
        if (name == f.name) {
            this->*f.field = ParseCoordinate(value);
            return AttrResult::Layout;
        }
    }
    if (name == "flip") {
        if (ParseInt(value) != 0) {
            m_flipType = 4;
        }
        return AttrResult::Layout;
    }
    return AttrResult::Unknown;
}

bool CBkPngSkin::LoadImage() {
    m_image = Pool().Get(m_src);
    return m_image != nullptr;
}

int CBkPngSkin::SubCount() const {
    if (m_subWidth <= 0 || !m_image) {
        return 1;
    }
    return std::max(1, m_image->Width() / m_subWidth);
}

Size CBkPngSkin::GetSkinSize() const {
    if (!m_image) {
        return {};
    }
    return {m_subWidth > 0 ? m_subWidth : m_image->Width(), m_image->Height()};
}

const platform::Bitmap* CBkPngSkin::Picture() {
    if (!m_image) {
        return nullptr;
    }
    const int type = m_flipType & 7;
    if (type == 0) {
        return m_image.get();
    }
    if (!m_flipped) {
        m_flipped = m_image->RotatedFlipped(type);
    }
    return &*m_flipped;
}

void CBkPngSkin::DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state,
                               bool dpiScaled, std::uint8_t opacity) {
    const platform::Bitmap* bmp = Picture();
    if (bmp == nullptr) {
        return;
    }
    opacity = Combine(opacity, OwnOpacity());
    const int n = SubCount();
    const int e = SubImageIndex(state, n);
    int left = m_left;
    int top = m_top;
    int l = m_marginLeft;
    int r = m_marginRight;
    int t = m_marginTop;
    int b = m_marginBottom;
    if (dpiScaled && BkDpi::IsActive() && BkDpi::Factor() != 1.0) {
        const double f = BkDpi::Factor();
        if (!m_scaled || m_scaledFactor != f) {
            m_scaled = bmp->ScaledStrips(f, n);
            m_scaledFactor = f;
        }
        bmp = &*m_scaled;
        for (int* v : {&left, &top, &l, &r, &t, &b}) {
            *v = static_cast<int>(*v * f);
        }
    }
    const int v = bmp->Width() / n;
    const int height = bmp->Height();
    const int x0 = e * v;
    const int a = rect.left;
    const int bt = rect.top;
    const int c = rect.right;
    const int d = rect.bottom;

    if (l > 0) {
        if (t > 0) {
            Piece(dc, *bmp, x0 + left, top, l, t, a, bt, l, t, opacity);
        }
        if (b > 0) {
            Piece(dc, *bmp, x0 + left, height - b, l, b, a, d - b, l, b, opacity);
        }
        Piece(dc, *bmp, x0 + left, t + top, l, height - top - b - t, a, bt + t, l, d - bt - b - t,
              opacity);
    }
    if (r > 0) {
        const int p = v * (e + 1) - r;
        if (t > 0) {
            Piece(dc, *bmp, p, top, r, t, c - r, bt, r, t, opacity);
        }
        if (b > 0) {
            Piece(dc, *bmp, p, height - b, r, b, c - r, d - b, r, b, opacity);
        }
        Piece(dc, *bmp, p, t + top, r, height - top - b - t, c - r, bt + t, r, d - bt - b - t,
              opacity);
    }
    const int w = c - a - r - l;
    const int s = v - left - r - l;
    if (t > 0) {
        Piece(dc, *bmp, x0 + left + l, top, s, t, a + l, bt, w, t, opacity);
    }
    if (b > 0) {
        Piece(dc, *bmp, x0 + left + l, height - b, s, b, a + l, d - b, w, b, opacity);
    }
    Piece(dc, *bmp, x0 + left + l, t + top, s, height - top - b - t, a + l, bt + t, w,
          d - bt - b - t, opacity);
}

void CBkPngSkin::DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                             std::uint8_t opacity) {
    const platform::Bitmap* bmp = Picture();
    if (bmp == nullptr) {
        return;
    }
    opacity = Combine(opacity, OwnOpacity());
    const int iw = bmp->Width();
    const int ih = bmp->Height();
    if (m_subWidth > 0) {
        const int e = SubImageIndex(state, SubCount());
        Piece(dc, *bmp, e * m_subWidth, 0, m_subWidth, ih, rect.left, rect.top, m_subWidth, ih,
              opacity);
        return;
    }
    const int a = rect.left;
    const int b = rect.top;
    const int w = rect.Width();
    const int h = rect.Height();
    const int ml = m_marginLeft;
    const int mr = m_marginRight;
    const int mt = m_marginTop;
    const int mb = m_marginBottom;
    const int rowHeight = std::min(h, ih);

    if (ml > 0) {
        LimitedPiece(dc, *bmp, Rect::FromSize(0, 0, ml, rowHeight),
                     Rect::FromSize(a, b, ml, rowHeight), opacity);
    } else if (mt > 0) {
        LimitedPiece(dc, *bmp, Rect::FromSize(0, 0, iw, mt), Rect::FromSize(a, b, w, mt), opacity);
    }

    if (mt > 0 || mb > 0) {
        LimitedPiece(dc, *bmp, Rect::FromSize(ml, mt, iw - ml - mr, ih - mt - mb),
                     Rect::FromSize(a + ml, b + mt, w - ml - mr, h - mt - mb), opacity);
    } else if (m_middleTile != 0) {
        const int tile = iw - ml - mr;
        int end = a + w - mr;
        int x = a + ml;
        if (tile > 0 && dc.WorldTransform().IsIdentity()) {
            // Only the copies that can show: a narrow tile over a wide
            // rectangle would otherwise mean a great many draws.
            const Rect clip = dc.ClipBox();
            if (clip.left > x) {
                x += (clip.left - x) / tile * tile;
            }
            end = std::min(end, clip.right);
        }
        for (; tile > 0 && x < end; x += tile) {
            const int part = std::min(tile, a + w - mr - x);
            Piece(dc, *bmp, ml, 0, part, rowHeight, x, b, part, rowHeight, opacity);
        }
    } else {
        LimitedPiece(dc, *bmp, Rect::FromSize(ml, 0, iw - ml - mr, rowHeight),
                     Rect::FromSize(a + ml, b, w - ml - mr, rowHeight), opacity);
    }

    if (mr > 0) {
        LimitedPiece(dc, *bmp, Rect::FromSize(iw - mr, 0, mr, rowHeight),
                     Rect::FromSize(rect.right - mr, b, mr, rowHeight), opacity);
    } else if (mb > 0) {
        LimitedPiece(dc, *bmp, Rect::FromSize(0, ih - mb, iw, mb),
                     Rect::FromSize(a, rect.bottom - mb, w, mb), opacity);
    }
}

void CBkPngSkin::DrawPart(platform::DeviceContext& dc, const Rect& source, const Rect& dest,
                          std::uint8_t opacity) {
    if (const platform::Bitmap* bmp = Picture()) {
        Piece(dc, *bmp, source.left, source.top, source.Width(), source.Height(), dest.left,
              dest.top, dest.Width(), dest.Height(), Combine(opacity, OwnOpacity()));
    }
}

AttrResult CBkJpgSkin::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    static constexpr std::string_view kKnown[] = {"src",        "subwidth",     "left",
                                                  "top",        "margin_left",  "margin_right",
                                                  "margin_top", "margin_bottom"};
    for (auto known : kKnown) {
        if (name == known) {
            return CBkPngSkin::SetAttribute(name, value, loading);
        }
    }
    return AttrResult::Unknown;
}

AttrResult CBkNormalPngSkin::SetAttribute(std::string_view name, std::string_view value,
                                          bool loading) {
    if (name == "file") {
        m_file = value;
        return AttrResult::Layout;
    }
    if (name == "alpha") {
        m_alpha = std::clamp(ParseInt(value), 0, 255);
        return AttrResult::Repaint;
    }
    if (name == "extern_alpha_key") {
        m_externAlphaKey = value;
        return AttrResult::Repaint;
    }
    if (name == "fliptype") {
        return AttrResult::Unknown;
    }
    return CBkPngSkin::SetAttribute(name, value, loading);
}

bool CBkNormalPngSkin::LoadImage() {
    m_opacity = static_cast<std::uint8_t>(m_alpha);
    if (!m_externAlphaKey.empty()) {
        // The suite's skin settings may dim a picture without new markup.
        const std::u16string path = ProgramFolder() + u"data\\skin\\skincfg.ini";
        int alpha = 255;
        if (auto bytes = ReadFileBytes(path)) {
            const IniDocument ini = IniDocument::ParseBytes(*bytes, kCodePageGbk);
            alpha = ini.GetInt(Utf8ToUtf16(m_externAlphaKey), u"alpha", 255);
        }
        m_opacity = static_cast<std::uint8_t>(std::clamp(alpha, 0, 255));
    }
    if (m_file.empty()) {
        return CBkPngSkin::LoadImage();
    }
    std::u16string path = Utf8ToUtf16(m_file);
    const bool absolute = (path.size() >= 2 && path[1] == u':') || path.starts_with(u"\\");
    if (!absolute) {
        path = ProgramFolder() + path;
    }
    auto bytes = ReadFileBytes(path);
    if (!bytes) {
        return false;
    }
    auto bitmap = platform::DecodeImage(
        {reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
    if (!bitmap) {
        return false;
    }
    m_image = std::make_shared<const platform::Bitmap>(std::move(*bitmap));
    return true;
}

}  // namespace zeph::ui
