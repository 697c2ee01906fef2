// Bitmap skins, colour skins, and the table of skin kinds by tag.
#include "ui/skin_kinds.h"

namespace zeph::ui {

namespace {

struct Kind {
    std::string_view tag;
    std::unique_ptr<CBkSkinBase> (*make)();
};

template <typename T>
std::unique_ptr<CBkSkinBase> Make() {
    return std::make_unique<T>();
}

// Tried in this order.
constexpr Kind kKinds[] = {
    {"imglst", &Make<CBkImageSkin>},
    {"imgframe", &Make<CBkSkinImgFrame>},
    {"button", &Make<CBkSkinButton>},
    {"imghorzex", &Make<CBkSkinImgHorzExtend>},
    {"gradation", &Make<CBkSkinGradation>},
    {"png", &Make<CBkPngSkin>},
    {"jpg", &Make<CBkJpgSkin>},
    {"skinpng", &Make<CBkNormalPngSkin>},
    {"skinjpg", &Make<CBkNormalJPGSkin>},
};

void Blend(platform::DeviceContext& dc, const platform::Bitmap& bmp, const Rect& src,
           const Rect& dst, std::uint8_t opacity) {
    if (!src.IsEmpty() && !dst.IsEmpty()) {
        dc.AlphaBlend(bmp, src, dst, opacity, platform::Interpolation::Nearest);
    }
}

std::uint32_t Unpremultiplied(std::uint32_t p) {
    const unsigned a = p >> 24;
    if (a == 0 || a == 255) {
        return p | 0xFF000000u;
    }
    auto ch = [&](int shift) { return std::min(255u, ((p >> shift) & 0xFF) * 255 / a) << shift; };
    return 0xFF000000u | ch(16) | ch(8) | ch(0);
}

}  // namespace

std::unique_ptr<CBkSkinBase> CreateSkin(std::string_view tag) {
    for (const Kind& k : kKinds) {
        if (k.tag == tag) {
            return k.make();
        }
    }
    return nullptr;
}

// ------------------------------------------------------------------ imglst

AttrResult CBkImageSkin::SetAttribute(std::string_view name, std::string_view value, bool) {
    if (name == "src") {
        m_src = ParseInt(value);
    } else if (name == "mode") {
        if (value == "none") {
            m_mode = 0;
        } else if (value == "mask") {
            m_mode = 1;
        } else if (value == "alpha") {
            m_mode = 2;
        } else {
            return AttrResult::Unknown;
        }
    } else if (name == "maskcolor") {
        m_maskColor = ParseColor(value);
    } else if (name == "subwidth") {
        m_subWidth = ParseCoordinate(value);
    } else if (name == "stretch-x") {
        m_stretchX = ParseInt(value);
    } else if (name == "stretch-y") {
        m_stretchY = ParseInt(value);
    } else {
        return AttrResult::Unknown;
    }
    return AttrResult::Layout;
}

bool CBkImageSkin::LoadImage() {
    auto source = BkBmpPool::Instance().Get(m_src);
    if (!source) {
        return false;
    }
    platform::Bitmap bmp = source->Clone();
    for (int y = 0; y < bmp.Height(); ++y) {
        std::uint32_t* row = bmp.Row(y);
        for (int x = 0; x < bmp.Width(); ++x) {
            switch (m_mode) {
                case 0:  // the bitmap's alpha is ignored
                    row[x] = Unpremultiplied(row[x]);
                    break;
                case 1: {
                    const std::uint32_t opaque = Unpremultiplied(row[x]);
                    const Colorref c = platform::MakeColorref((opaque >> 16) & 0xFF,
                                                              (opaque >> 8) & 0xFF, opaque & 0xFF);
                    row[x] = (m_maskColor != kNoColor && c == m_maskColor) ? 0u : opaque;
                    break;
                }
                default:
                    break;
            }
        }
    }
    bmp.MarkDirty();
    m_bitmap = std::move(bmp);
    return true;
}

Rect CBkImageSkin::SubImage(int state) const {
    if (!m_bitmap) {
        return {};
    }
    const int width = m_bitmap->Width();
    if (m_subWidth <= 0) {
        return {0, 0, width, m_bitmap->Height()};
    }
    const int count = std::max(1, width / m_subWidth);
    const int e = SubImageIndex(state, count);
    return Rect::FromSize(e * m_subWidth, 0, m_subWidth, m_bitmap->Height());
}

Size CBkImageSkin::GetSkinSize() const {
    if (!m_bitmap) {
        return {};
    }
    return {m_subWidth > 0 ? m_subWidth : m_bitmap->Width(), m_bitmap->Height()};
}

void CBkImageSkin::DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                               std::uint8_t opacity) {
    if (!m_bitmap) {
        return;
    }
    const Rect src = SubImage(state);
    Blend(dc, *m_bitmap, src, Rect::FromSize(rect.left, rect.top, src.Width(), src.Height()),
          opacity);
}

void CBkImageSkin::DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool,
                                 std::uint8_t opacity) {
    if (!m_bitmap) {
        return;
    }
    Rect src = SubImage(state);
    // A direction that does not stretch shows the picture at its own size,
    // cut by the rectangle.
    const int w = m_stretchX != 0 ? rect.Width() : std::min(src.Width(), rect.Width());
    const int h = m_stretchY != 0 ? rect.Height() : std::min(src.Height(), rect.Height());
    if (m_stretchX == 0) {
        src.right = src.left + w;
    }
    if (m_stretchY == 0) {
        src.bottom = src.top + h;
    }
    Blend(dc, *m_bitmap, src, Rect::FromSize(rect.left, rect.top, w, h), opacity);
}

void CBkImageSkin::DrawPart(platform::DeviceContext& dc, const Rect& source, const Rect& dest,
                            std::uint8_t opacity) {
    if (m_bitmap) {
        Blend(dc, *m_bitmap, source, dest, opacity);
    }
}

// ---------------------------------------------------------------- imgframe

AttrResult CBkSkinImgFrame::SetAttribute(std::string_view name, std::string_view value,
                                         bool loading) {
    if (name == "crbg") {
        m_crBg = ParseColor(value);
    } else if (name == "left") {
        m_edgeX = ParseCoordinate(value);
    } else if (name == "top") {
        m_edgeY = ParseCoordinate(value);
    } else if (name == "part") {
        static constexpr std::pair<std::string_view, Part> kParts[] = {
            {"all", Part::All},       {"top", Part::Top},   {"middle", Part::Middle},
            {"bottom", Part::Bottom}, {"left", Part::Left}, {"center", Part::Center},
            {"right", Part::Right},
        };
        for (auto [word, part] : kParts) {
            if (value == word) {
                m_part = part;
                return AttrResult::Layout;
            }
        }
        return AttrResult::Unknown;
    } else {
        return CBkImageSkin::SetAttribute(name, value, loading);
    }
    return AttrResult::Layout;
}

void CBkSkinImgFrame::DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool,
                                    std::uint8_t opacity) {
    if (!m_bitmap) {
        return;
    }
    const Rect s = SubImage(state);
    const int ex = std::min(m_edgeX, s.Width() / 2);
    const int ey = std::min(m_edgeY, s.Height() / 2);
    // Column and row edges of source and destination.
    const int sx[] = {s.left, s.left + ex, s.right - ex, s.right};
    const int sy[] = {s.top, s.top + ey, s.bottom - ey, s.bottom};
    const int dx[] = {rect.left, rect.left + ex, rect.right - ex, rect.right};
    const int dy[] = {rect.top, rect.top + ey, rect.bottom - ey, rect.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const bool wanted =
                m_part == Part::All || (m_part == Part::Top && row == 0) ||
                (m_part == Part::Middle && row == 1) || (m_part == Part::Bottom && row == 2) ||
                (m_part == Part::Left && col == 0) || (m_part == Part::Center && col == 1) ||
                (m_part == Part::Right && col == 2);
            if (!wanted) {
                continue;
            }
            const Rect dst{dx[col], dy[row], dx[col + 1], dy[row + 1]};
            if (row == 1 && col == 1 && m_crBg != kNoColor) {
                dc.FillRectArgb(dst, platform::ArgbFromColorref(m_crBg, opacity));
                continue;
            }
            Blend(dc, *m_bitmap, Rect{sx[col], sy[row], sx[col + 1], sy[row + 1]}, dst, opacity);
        }
    }
}

// --------------------------------------------------------------- imghorzex

AttrResult CBkSkinImgHorzExtend::SetAttribute(std::string_view name, std::string_view value,
                                              bool loading) {
    if (name == "left") {
        m_fixed = ParseCoordinate(value);
        return AttrResult::Layout;
    }
    return CBkImageSkin::SetAttribute(name, value, loading);
}

void CBkSkinImgHorzExtend::DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state,
                                         bool, std::uint8_t opacity) {
    if (!m_bitmap) {
        return;
    }
    const Rect s = SubImage(state);
    const int fixed = std::clamp(m_fixed, 0, s.Width() / 2);
    const int ends = std::min(fixed, rect.Width() / 2);
    Blend(dc, *m_bitmap, Rect{s.left, s.top, s.left + ends, s.bottom},
          Rect{rect.left, rect.top, rect.left + ends, rect.bottom}, opacity);
    Blend(dc, *m_bitmap, Rect{s.left + fixed, s.top, s.right - fixed, s.bottom},
          Rect{rect.left + ends, rect.top, rect.right - ends, rect.bottom}, opacity);
    Blend(dc, *m_bitmap, Rect{s.right - ends, s.top, s.right, s.bottom},
          Rect{rect.right - ends, rect.top, rect.right, rect.bottom}, opacity);
}

// ------------------------------------------------------------------ button

AttrResult CBkSkinButton::SetAttribute(std::string_view name, std::string_view value, bool) {
    struct Field {
        std::string_view name;
        Colorref CBkSkinButton::*field;
    };
    static constexpr Field kFields[] = {
        {"bg", &CBkSkinButton::m_bg},
        {"border", &CBkSkinButton::m_border},
        {"bgup", &CBkSkinButton::m_up},
        {"bguphover", &CBkSkinButton::m_upHover},
        {"bguppush", &CBkSkinButton::m_upPush},
        {"bgdown", &CBkSkinButton::m_down},
        {"bgdownhover", &CBkSkinButton::m_downHover},
        {"bgdownpush", &CBkSkinButton::m_downPush},
    };
    for (const auto& f : kFields) {
        if (name == f.name) {
            this->*f.field = ParseColor(value);
            return AttrResult::Repaint;
        }
    }
    if (name == "useborder") {
        m_useBorder = ParseInt(value);
        return AttrResult::Repaint;
    }
    return AttrResult::Unknown;
}

void CBkSkinButton::DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                                std::uint8_t opacity) {
    DrawStretched(dc, rect, state, false, opacity);
}

void CBkSkinButton::DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool,
                                  std::uint8_t opacity) {
    // State bits: 1 hover, 2 pushed, 4 checked (the "down" look).
    const bool down = state != -1 && (state & 4) != 0;
    const bool pushed = state != -1 && (state & 2) != 0;
    const bool hover = state != -1 && (state & 1) != 0;
    Colorref c = down ? (pushed  ? m_downPush
                         : hover ? m_downHover
                                 : m_down)
                      : (pushed  ? m_upPush
                         : hover ? m_upHover
                                 : m_up);
    if (c == kNoColor) {
        c = down ? m_down : m_up;
    }
    if (c == kNoColor) {
        c = m_bg;
    }
    if (c != kNoColor) {
        dc.FillRectArgb(rect, platform::ArgbFromColorref(c, opacity));
    }
    if (m_useBorder != 0 && m_border != kNoColor) {
        dc.FrameRect(rect, platform::Pen{platform::ArgbFromColorref(m_border, opacity), 1});
    }
}

// --------------------------------------------------------------- gradation

AttrResult CBkSkinGradation::SetAttribute(std::string_view name, std::string_view value, bool) {
    if (name == "from") {
        m_from = ParseColor(value);
    } else if (name == "to") {
        m_to = ParseColor(value);
    } else if (name == "size") {
        m_size = ParseCoordinate(value);
    } else if (name == "direction") {
        if (value == "horz") {
            m_vertical = false;
        } else if (value == "vert") {
            m_vertical = true;
        } else {
            return AttrResult::Unknown;
        }
    } else {
        return AttrResult::Unknown;
    }
    return AttrResult::Repaint;
}

void CBkSkinGradation::DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                                   std::uint8_t opacity) {
    DrawStretched(dc, rect, state, false, opacity);
}

void CBkSkinGradation::DrawStretched(platform::DeviceContext& dc, const Rect& rect, int, bool,
                                     std::uint8_t opacity) {
    if (m_from == kNoColor || m_to == kNoColor) {
        return;
    }
    // Past `size` pixels the end colour continues.
    const int span = m_size > 0 ? m_size : (m_vertical ? rect.Height() : rect.Width());
    const platform::Point from{rect.left, rect.top};
    const platform::Point to = m_vertical ? platform::Point{rect.left, rect.top + span}
                                          : platform::Point{rect.left + span, rect.top};
    dc.FillLinearGradient(rect, from, platform::ArgbFromColorref(m_from, opacity), to,
                          platform::ArgbFromColorref(m_to, opacity));
}

}  // namespace zeph::ui
