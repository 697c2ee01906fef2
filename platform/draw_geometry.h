// Points, sizes, rectangles and regions in whole pixels, with the rectangle
// convention of the window system: right and bottom are exclusive.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zeph::platform {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static Rect FromSize(int x, int y, int width, int height) {
        return {x, y, x + width, y + height};
    }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    Size GetSize() const { return {Width(), Height()}; }
    Point TopLeft() const { return {left, top}; }
    // Empty when it holds no pixel (also when inverted).
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool Intersects(const Rect& o) const {
        return !IsEmpty() && !o.IsEmpty() && left < o.right && o.left < right && top < o.bottom &&
               o.top < bottom;
    }
    // The common part; an empty rectangle (all zero) when there is none.
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    // The bounding rectangle of both; an empty operand does not count.
    Rect Union(const Rect& o) const {
        if (IsEmpty()) {
            return o;
        }
        if (o.IsEmpty()) {
            return *this;
        }
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    Rect Deflate(int dx, int dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// A set of pixels as a list of rectangles (they may overlap). Enough for
// invalid areas and clipping, which stay small.
class Region {
  public:
    Region() = default;
    explicit Region(const Rect& r) { Add(r); }

    void Add(const Rect& r);
    void Clear() { m_rects.clear(); }
    bool IsEmpty() const { return m_rects.empty(); }
    bool Intersects(const Rect& r) const;
    bool Contains(Point p) const;
    Rect Bounds() const;
    Region Offset(int dx, int dy) const;
    // Keeps only the part inside `r`.
    void IntersectWith(const Rect& r);
    const std::vector<Rect>& Rects() const { return m_rects; }

  private:
    std::vector<Rect> m_rects;
};

// Packing of two 16-bit signed values, as message parameters carry points and
// sizes.
inline std::intptr_t MakeLParam(int lo, int hi) {
    return static_cast<std::intptr_t>(
        static_cast<std::uint32_t>((static_cast<std::uint32_t>(hi & 0xFFFF) << 16) |
                                   (static_cast<std::uint32_t>(lo) & 0xFFFF)));
}
inline int LoWordSigned(std::intptr_t v) {
    return static_cast<std::int16_t>(v & 0xFFFF);
}
inline int HiWordSigned(std::intptr_t v) {
    return static_cast<std::int16_t>((v >> 16) & 0xFFFF);
}
inline unsigned LoWord(std::uintptr_t v) {
    return static_cast<unsigned>(v & 0xFFFF);
}
inline unsigned HiWord(std::uintptr_t v) {
    return static_cast<unsigned>((v >> 16) & 0xFFFF);
}

}  // namespace zeph::platform
