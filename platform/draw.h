// Bitmaps and the device context that draws into them.
//
// A Bitmap is a 32-bit image with premultiplied alpha (the memory layout of
// cairo's ARGB32: one uint32_t per pixel, alpha in the top byte). A
// DeviceContext carries what drawing calls share: clip, world transform,
// origin, current font and text colour; Save/Restore keep them on a stack.
// Colours come in two notations: Colorref (0x00BBGGRR, red in the low byte)
// for the GDI-like calls and Argb (0xAARRGGBB, not premultiplied) where a
// call takes its own opacity.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "platform/draw_geometry.h"

namespace zeph::platform {

using Colorref = std::uint32_t;
using Argb = std::uint32_t;

// "No colour", the value -1 of a COLORREF field.
inline constexpr Colorref kNoColor = 0xFFFFFFFFu;

constexpr Colorref MakeColorref(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned RedOf(Colorref c) {
    return c & 0xFF;
}
constexpr unsigned GreenOf(Colorref c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned BlueOf(Colorref c) {
    return (c >> 16) & 0xFF;
}
constexpr Argb ArgbFromColorref(Colorref c, unsigned alpha = 255) {
    return ((alpha & 0xFF) << 24) | (RedOf(c) << 16) | (GreenOf(c) << 8) | BlueOf(c);
}

class Font;

class Bitmap {
  public:
    // A fully transparent bitmap; sizes below 1 make an empty bitmap that
    // draws nothing and ignores drawing.
    Bitmap(int width, int height);
    ~Bitmap();
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    // Bytes per row.
    int Stride() const;
    std::uint32_t* Row(int y);
    const std::uint32_t* Row(int y) const;
    // Premultiplied ARGB of one pixel; 0 outside the bitmap.
    std::uint32_t Pixel(int x, int y) const;
    void Clear(std::uint32_t premultipliedArgb = 0);
    Bitmap Clone() const;
    // A copy scaled by `factor`, each of `parts` equal-width vertical strips
    // scaled on its own so that neighbours do not bleed into each other. The
    // copy's width is rounded up to a multiple of `parts`.
    Bitmap ScaledStrips(double factor, int parts) const;
    // Rotate/flip types 0-7 in the GDI+ numbering (4 = mirror horizontally).
    Bitmap RotatedFlipped(int type) const;

    bool WritePng(const std::filesystem::path& path) const;

    // Tells the drawing library that the pixels were changed directly.
    void MarkDirty();

    // The drawing library's surface; only for code inside platform/.
    void* NativeSurface() const { return m_surface; }

  private:
    void* m_surface = nullptr;  // cairo_surface_t, owned
    int m_width = 0;
    int m_height = 0;
};

// A pen for lines and outlines. Widths are in pixels.
struct Pen {
    Argb color = 0xFF000000;
    double width = 1.0;
    enum class Dash { Solid, Dash, Dot, DashDot } dash = Dash::Solid;
};

// Affine transform x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct Transform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    bool IsIdentity() const {
        return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0;
    }
    friend bool operator==(const Transform&, const Transform&) = default;
};

// Sampling of stretched images.
enum class Interpolation { Nearest, Smooth };

// DrawText format bits (the GDI numbering, which markup carries as text modes).
namespace dt {
inline constexpr std::uint32_t kCenter = 0x1;
inline constexpr std::uint32_t kRight = 0x2;
inline constexpr std::uint32_t kVCenter = 0x4;
inline constexpr std::uint32_t kBottom = 0x8;
inline constexpr std::uint32_t kWordBreak = 0x10;
inline constexpr std::uint32_t kSingleLine = 0x20;
inline constexpr std::uint32_t kExpandTabs = 0x40;
inline constexpr std::uint32_t kNoClip = 0x100;
inline constexpr std::uint32_t kCalcRect = 0x400;
inline constexpr std::uint32_t kNoPrefix = 0x800;
inline constexpr std::uint32_t kPathEllipsis = 0x4000;
inline constexpr std::uint32_t kEndEllipsis = 0x8000;
inline constexpr std::uint32_t kModifyString = 0x10000;
inline constexpr std::uint32_t kWordEllipsis = 0x40000;
inline constexpr std::uint32_t kHidePrefix = 0x100000;
}  // namespace dt

// Layout of the anti-aliased text path (the GDI+ style one): alignment inside
// a layout rectangle, wrapping, trimming.
struct StringFormat {
    enum class Align { Near, Center, Far };
    enum class Trimming { None, Character, Word, EllipsisCharacter, EllipsisWord, EllipsisPath };
    Align align = Align::Near;
    Align lineAlign = Align::Near;
    Trimming trimming = Trimming::Character;
    bool lineLimit = false;  // only whole lines are shown
    bool noWrap = false;
    bool noClip = false;
    int renderingHint = 0;  // 0 system default, 1-3 no anti-aliasing, 4-5 anti-aliased
};

struct SizeF {
    double width = 0;
    double height = 0;
};

class DeviceContext {
  public:
    explicit DeviceContext(Bitmap& target);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    Bitmap& Target() { return m_target; }

    // State stack: clip, transform, origin, font, text colour, background.
    void Save();
    void Restore();

    // Moves the coordinate origin (window-relative drawing).
    void SetOrigin(Point origin);
    Point Origin() const;
    // Clip to the rectangle (in current coordinates, before the transform)
    // or to the region; both intersect with the current clip.
    void IntersectClip(const Rect& rect);
    void IntersectClip(const Region& region);
    // Bounding box of the current clip in current coordinates.
    Rect ClipBox() const;

    void SetWorldTransform(const Transform& transform);
    Transform WorldTransform() const;

    // The current font; nullptr selects the default font.
    void SetFont(std::shared_ptr<const Font> font);
    const std::shared_ptr<const Font>& CurrentFont() const;
    void SetTextColor(Colorref color);
    Colorref TextColor() const;
    // Opaque text background (a fill behind each drawn text) or none.
    void SetBackground(std::optional<Colorref> color);
    std::optional<Colorref> Background() const;

    void FillRect(const Rect& rect, Colorref color);
    void FillRectArgb(const Rect& rect, Argb color);  // with the colour's alpha
    void FrameRect(const Rect& rect, const Pen& pen);
    // Rounded rectangle; either part may be absent.
    void RoundRect(const Rect& rect, double radiusX, double radiusY, std::optional<Pen> outline,
                   std::optional<Argb> fill);
    void Line(Point from, Point to, const Pen& pen);
    void Polyline(std::span<const Point> points, const Pen& pen);
    // Fills with a linear gradient running from `from` to `to`.
    void FillLinearGradient(const Rect& rect, Point from, Argb fromColor, Point to, Argb toColor);

    // Copies pixels unchanged (no blending) to `at`.
    void Blit(const Bitmap& source, const Rect& sourceRect, Point at);
    // Source-over with per-pixel alpha and a constant opacity, stretching
    // `sourceRect` (clipped to the source) over `destRect`. Pixels outside the
    // source rectangle never bleed in.
    void AlphaBlend(const Bitmap& source, const Rect& sourceRect, const Rect& destRect,
                    std::uint8_t opacity, Interpolation interpolation = Interpolation::Smooth);

    // Text with DrawText semantics and the dt:: flags, in the current font
    // and text colour. Returns the height of the text. With dt::kCalcRect
    // nothing is drawn and `rect` becomes the text's rectangle.
    int DrawText(std::u16string_view text, Rect& rect, std::uint32_t format);
    // The same with a shadow of `shadowColor` offset by (dx, dy) under it.
    int DrawShadowText(std::u16string_view text, Rect& rect, std::uint32_t format,
                       Colorref shadowColor, int dx, int dy);
    // Anti-aliased text in a layout rectangle with a colour carrying alpha.
    void DrawString(std::u16string_view text, const Font& font, double x, double y, double width,
                    double height, const StringFormat& format, Argb color);
    SizeF MeasureString(std::u16string_view text, const Font& font, double width, double height,
                        const StringFormat& format);

    // The drawing library's context; only for code inside platform/.
    void* NativeContext() const;

  private:
    struct State;
    Bitmap& m_target;
    std::unique_ptr<State> m_state;
    void* m_cr = nullptr;  // cairo_t, owned
};

}  // namespace zeph::platform
