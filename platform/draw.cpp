// Bitmaps over cairo image surfaces, and the shape and image calls of the
// device context. Text is in font_text.cpp.
#include "platform/draw.h"

#include <cairo.h>

#include <cassert>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/font.h"

namespace zeph::platform {

namespace {

cairo_surface_t* Surf(void* p) {
    return static_cast<cairo_surface_t*>(p);
}

void SetSourceArgb(cairo_t* cr, Argb c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                          (c & 0xFF) / 255.0, ((c >> 24) & 0xFF) / 255.0);
}

void ApplyPen(cairo_t* cr, const Pen& pen) {
    SetSourceArgb(cr, pen.color);
    cairo_set_line_width(cr, pen.width);
    const double w = std::max(pen.width, 1.0);
    std::vector<double> dashes;
    switch (pen.dash) {
        case Pen::Dash::Solid:
            break;
        case Pen::Dash::Dash:
            dashes = {3 * w, w};
            break;
        case Pen::Dash::Dot:
            dashes = {w, w};
            break;
        case Pen::Dash::DashDot:
            dashes = {3 * w, w, w, w};
            break;
    }
    cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0);
}

}  // namespace

// ---------------------------------------------------------------- Bitmap

Bitmap::Bitmap(int width, int height) {
    if (width > 0 && height > 0) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
            m_surface = s;
            m_width = width;
            m_height = height;
            return;
        }
        cairo_surface_destroy(s);
    }
}

Bitmap::~Bitmap() {
    if (m_surface != nullptr) {
        cairo_surface_destroy(Surf(m_surface));
    }
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : m_surface(std::exchange(other.m_surface, nullptr)),
      m_width(std::exchange(other.m_width, 0)),
      m_height(std::exchange(other.m_height, 0)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        if (m_surface != nullptr) {
            cairo_surface_destroy(Surf(m_surface));
        }
        m_surface = std::exchange(other.m_surface, nullptr);
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
    }
    return *this;
}

int Bitmap::Stride() const {
    return m_surface != nullptr ? cairo_image_surface_get_stride(Surf(m_surface)) : 0;
}

std::uint32_t* Bitmap::Row(int y) {
    assert(m_surface != nullptr && y >= 0 && y < m_height);
    cairo_surface_flush(Surf(m_surface));
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(Surf(m_surface)) +
                                            static_cast<std::ptrdiff_t>(y) * Stride());
}

const std::uint32_t* Bitmap::Row(int y) const {
    assert(m_surface != nullptr && y >= 0 && y < m_height);
    cairo_surface_flush(Surf(m_surface));
    return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(Surf(m_surface)) +
                                                  static_cast<std::ptrdiff_t>(y) * Stride());
}

std::uint32_t Bitmap::Pixel(int x, int y) const {
    if (m_surface == nullptr || x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return 0;
    }
    return Row(y)[x];
}

void Bitmap::Clear(std::uint32_t premultipliedArgb) {
    for (int y = 0; y < m_height; ++y) {
        std::uint32_t* row = Row(y);
        std::fill(row, row + m_width, premultipliedArgb);
    }
    MarkDirty();
}

void Bitmap::MarkDirty() {
    if (m_surface != nullptr) {
        cairo_surface_mark_dirty(Surf(m_surface));
    }
}

Bitmap Bitmap::Clone() const {
    Bitmap copy(m_width, m_height);
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(copy.Row(y), Row(y), static_cast<std::size_t>(m_width) * 4);
    }
    copy.MarkDirty();
    return copy;
}

Bitmap Bitmap::ScaledStrips(double factor, int parts) const {
    parts = std::max(parts, 1);
    const int partWidth = m_width / parts;
    int scaledPart = static_cast<int>(std::ceil(partWidth * factor));
    const int height = static_cast<int>(std::ceil(m_height * factor));
    Bitmap out(scaledPart * parts, height);
    if (out.IsEmpty() || IsEmpty() || partWidth <= 0) {
        return out;
    }
    DeviceContext dc(out);
    for (int i = 0; i < parts; ++i) {
        dc.AlphaBlend(*this, Rect::FromSize(i * partWidth, 0, partWidth, m_height),
                      Rect::FromSize(i * scaledPart, 0, scaledPart, height), 255);
    }
    return out;
}

Bitmap Bitmap::RotatedFlipped(int type) const {
    // GDI+ numbering: bits of (rotation by 90 degrees) plus 4 for a
    // horizontal mirror.
    type &= 7;
    const int quarterTurns = type & 3;
    const bool mirror = (type & 4) != 0;
    const bool swap = (quarterTurns & 1) != 0;
    Bitmap out(swap ? m_height : m_width, swap ? m_width : m_height);
    if (out.IsEmpty()) {
        return out;
    }
    for (int y = 0; y < m_height; ++y) {
        const std::uint32_t* row = Row(y);
        for (int x = 0; x < m_width; ++x) {
            int sx = mirror ? m_width - 1 - x : x;
            int nx = sx;
            int ny = y;
            switch (quarterTurns) {
                case 1:
                    nx = m_height - 1 - y;
                    ny = sx;
                    break;
                case 2:
                    nx = m_width - 1 - sx;
                    ny = m_height - 1 - y;
                    break;
                case 3:
                    nx = y;
                    ny = m_width - 1 - sx;
                    break;
                default:
                    break;
            }
            out.Row(ny)[nx] = row[x];
        }
    }
    out.MarkDirty();
    return out;
}

bool Bitmap::WritePng(const std::filesystem::path& path) const {
    if (m_surface == nullptr) {
        return false;
    }
    return cairo_surface_write_to_png(Surf(m_surface), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

// --------------------------------------------------------- DeviceContext

struct DeviceContext::State {
    struct Frame {
        Point origin;
        Transform world;
        std::shared_ptr<const Font> font;
        Colorref textColor = 0;
        std::optional<Colorref> background;
    };
    Frame current;
    std::vector<Frame> saved;
};

DeviceContext::DeviceContext(Bitmap& target)
    : m_target(target), m_state(std::make_unique<State>()) {
    if (target.NativeSurface() != nullptr) {
        m_cr = cairo_create(Surf(target.NativeSurface()));
    } else {
        // An empty bitmap: draw into a 1x1 scratch surface that nobody sees,
        // clipped away, so every call stays valid and does nothing.
        cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        m_cr = cairo_create(scratch);
        cairo_surface_destroy(scratch);
        cairo_rectangle(static_cast<cairo_t*>(m_cr), 0, 0, 0, 0);
        cairo_clip(static_cast<cairo_t*>(m_cr));
    }
}

DeviceContext::~DeviceContext() {
    cairo_destroy(static_cast<cairo_t*>(m_cr));
    m_target.MarkDirty();
}

void* DeviceContext::NativeContext() const {
    return m_cr;
}

namespace {

void ApplyMatrix(cairo_t* cr, Point origin, const Transform& w) {
    cairo_identity_matrix(cr);
    cairo_translate(cr, origin.x, origin.y);
    cairo_matrix_t m;
    cairo_matrix_init(&m, w.m11, w.m12, w.m21, w.m22, w.dx, w.dy);
    cairo_transform(cr, &m);
}

}  // namespace

void DeviceContext::Save() {
    cairo_save(static_cast<cairo_t*>(m_cr));
    m_state->saved.push_back(m_state->current);
}

void DeviceContext::Restore() {
    if (m_state->saved.empty()) {
        return;
    }
    cairo_restore(static_cast<cairo_t*>(m_cr));
    m_state->current = std::move(m_state->saved.back());
    m_state->saved.pop_back();
}

void DeviceContext::SetOrigin(Point origin) {
    m_state->current.origin = origin;
    ApplyMatrix(static_cast<cairo_t*>(m_cr), origin, m_state->current.world);
}

Point DeviceContext::Origin() const {
    return m_state->current.origin;
}

void DeviceContext::IntersectClip(const Rect& rect) {
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    // Clips are in origin coordinates, unaffected by the world transform.
    ApplyMatrix(cr, m_state->current.origin, Transform{});
    cairo_rectangle(cr, rect.left, rect.top, std::max(rect.Width(), 0), std::max(rect.Height(), 0));
    cairo_clip(cr);
    ApplyMatrix(cr, m_state->current.origin, m_state->current.world);
}

void DeviceContext::IntersectClip(const Region& region) {
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    ApplyMatrix(cr, m_state->current.origin, Transform{});
    cairo_new_path(cr);
    for (const Rect& r : region.Rects()) {
        cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
    }
    if (region.IsEmpty()) {
        cairo_rectangle(cr, 0, 0, 0, 0);
    }
    // Pieces may overlap: winding keeps their union.
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    ApplyMatrix(cr, m_state->current.origin, m_state->current.world);
}

Rect DeviceContext::ClipBox() const {
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    ApplyMatrix(cr, m_state->current.origin, Transform{});
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    ApplyMatrix(cr, m_state->current.origin, m_state->current.world);
    return {static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)),
            static_cast<int>(std::ceil(x2)), static_cast<int>(std::ceil(y2))};
}

void DeviceContext::SetWorldTransform(const Transform& transform) {
    m_state->current.world = transform;
    ApplyMatrix(static_cast<cairo_t*>(m_cr), m_state->current.origin, transform);
}

Transform DeviceContext::WorldTransform() const {
    return m_state->current.world;
}

void DeviceContext::SetFont(std::shared_ptr<const Font> font) {
    m_state->current.font = std::move(font);
}

const std::shared_ptr<const Font>& DeviceContext::CurrentFont() const {
    return m_state->current.font ? m_state->current.font : DefaultFont();
}

void DeviceContext::SetTextColor(Colorref color) {
    m_state->current.textColor = color & 0xFFFFFF;
}
Colorref DeviceContext::TextColor() const {
    return m_state->current.textColor;
}
void DeviceContext::SetBackground(std::optional<Colorref> color) {
    m_state->current.background = color;
}
std::optional<Colorref> DeviceContext::Background() const {
    return m_state->current.background;
}

void DeviceContext::FillRect(const Rect& rect, Colorref color) {
    FillRectArgb(rect, ArgbFromColorref(color));
}

void DeviceContext::FillRectArgb(const Rect& rect, Argb color) {
    if (rect.IsEmpty()) {
        return;
    }
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    cairo_save(cr);
    SetSourceArgb(cr, color);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void DeviceContext::FrameRect(const Rect& rect, const Pen& pen) {
    if (rect.IsEmpty()) {
        return;
    }
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    cairo_save(cr);
    ApplyPen(cr, pen);
    const double half = pen.width / 2;
    cairo_rectangle(cr, rect.left + half, rect.top + half, rect.Width() - pen.width,
                    rect.Height() - pen.width);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DeviceContext::RoundRect(const Rect& rect, double radiusX, double radiusY,
                              std::optional<Pen> outline, std::optional<Argb> fill) {
    if (rect.IsEmpty()) {
        return;
    }
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    const double inset = outline ? outline->width / 2 : 0;
    const double x = rect.left + inset;
    const double y = rect.top + inset;
    const double w = rect.Width() - 2 * inset;
    const double h = rect.Height() - 2 * inset;
    const double rx = std::clamp(radiusX, 0.0, w / 2);
    const double ry = std::clamp(radiusY, 0.0, h / 2);
    cairo_save(cr);
    cairo_new_path(cr);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, x, y, w, h);
    } else {
        // Quarter ellipses at the corners: scale a unit arc.
        auto corner = [&](double cx, double cy, double a0, double a1) {
            cairo_save(cr);
            cairo_translate(cr, cx, cy);
            cairo_scale(cr, rx, ry);
            cairo_arc(cr, 0, 0, 1, a0, a1);
            cairo_restore(cr);
        };
        corner(x + w - rx, y + ry, -M_PI / 2, 0);
        corner(x + w - rx, y + h - ry, 0, M_PI / 2);
        corner(x + rx, y + h - ry, M_PI / 2, M_PI);
        corner(x + rx, y + ry, M_PI, 3 * M_PI / 2);
        cairo_close_path(cr);
    }
    if (fill) {
        SetSourceArgb(cr, *fill);
        cairo_fill_preserve(cr);
    }
    if (outline) {
        ApplyPen(cr, *outline);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
    cairo_restore(cr);
}

void DeviceContext::Line(Point from, Point to, const Pen& pen) {
    const Point points[] = {from, to};
    Polyline(points, pen);
}

void DeviceContext::Polyline(std::span<const Point> points, const Pen& pen) {
    if (points.size() < 2) {
        return;
    }
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    cairo_save(cr);
    ApplyPen(cr, pen);
    // Odd widths sit on pixel centres so that one-pixel lines stay crisp.
    const double shift = (static_cast<int>(std::lround(pen.width)) % 2 == 1) ? 0.5 : 0.0;
    cairo_move_to(cr, points[0].x + shift, points[0].y + shift);
    for (std::size_t i = 1; i < points.size(); ++i) {
        cairo_line_to(cr, points[i].x + shift, points[i].y + shift);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DeviceContext::FillLinearGradient(const Rect& rect, Point from, Argb fromColor, Point to,
                                       Argb toColor) {
    if (rect.IsEmpty()) {
        return;
    }
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(from.x, from.y, to.x, to.y);
    auto stop = [&](double offset, Argb c) {
        cairo_pattern_add_color_stop_rgba(pattern, offset, ((c >> 16) & 0xFF) / 255.0,
                                          ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                                          ((c >> 24) & 0xFF) / 255.0);
    };
    stop(0, fromColor);
    stop(1, toColor);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_save(cr);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

void DeviceContext::Blit(const Bitmap& source, const Rect& sourceRect, Point at) {
    const Rect src = sourceRect.Intersect(Rect{0, 0, source.Width(), source.Height()});
    if (src.IsEmpty()) {
        return;
    }
    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    const int dx = at.x + (src.left - sourceRect.left);
    const int dy = at.y + (src.top - sourceRect.top);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, Surf(source.NativeSurface()), dx - src.left, dy - src.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, dx, dy, src.Width(), src.Height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void DeviceContext::AlphaBlend(const Bitmap& source, const Rect& sourceRect, const Rect& destRect,
                               std::uint8_t opacity, Interpolation interpolation) {
    if (opacity == 0 || destRect.IsEmpty() || sourceRect.IsEmpty()) {
        return;
    }
    const Rect src = sourceRect.Intersect(Rect{0, 0, source.Width(), source.Height()});
    if (src.IsEmpty()) {
        return;
    }
    // A source cut by the bitmap's edge keeps its scale: the destination
    // shrinks by the same proportion.
    const double sx = static_cast<double>(destRect.Width()) / sourceRect.Width();
    const double sy = static_cast<double>(destRect.Height()) / sourceRect.Height();
    const double dl = destRect.left + (src.left - sourceRect.left) * sx;
    const double dt = destRect.top + (src.top - sourceRect.top) * sy;
    const double dw = src.Width() * sx;
    const double dh = src.Height() * sy;

    cairo_t* cr = static_cast<cairo_t*>(m_cr);
    cairo_surface_t* sub = cairo_surface_create_for_rectangle(
        Surf(source.NativeSurface()), src.left, src.top, src.Width(), src.Height());
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(sub);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, src.Width() / dw, src.Height() / dh);
    cairo_matrix_translate(&m, -dl, -dt);
    cairo_pattern_set_matrix(pattern, &m);
    // Padding repeats the edge pixels of the sub-rectangle, so its
    // neighbours in the bitmap never bleed into a stretched picture.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    const bool oneToOne = dw == src.Width() && dh == src.Height() && dl == std::floor(dl) &&
                          dt == std::floor(dt) && WorldTransform().IsIdentity();
    cairo_pattern_set_filter(pattern, (oneToOne || interpolation == Interpolation::Nearest)
                                          ? CAIRO_FILTER_NEAREST
                                          : CAIRO_FILTER_GOOD);
    cairo_save(cr);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, dl, dt, dw, dh);
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, opacity / 255.0);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(sub);
}

}  // namespace zeph::platform

// Allocations the leak checker cannot see being kept: fontconfig holds its
// caches behind offsets rather than pointers, and the desktop bus library
// that SDL starts keeps its connection state until the process ends.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
