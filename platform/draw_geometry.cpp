// Region bookkeeping for invalid areas and clips.
#include "platform/draw_geometry.h"

namespace zeph::platform {

namespace {

// Past this many pieces a region becomes its bounding box: repainting a few
// extra pixels is cheaper than walking a long list on every element.
constexpr std::size_t kMaxRegionRects = 32;

bool Covers(const Rect& outer, const Rect& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

}  // namespace

void Region::Add(const Rect& r) {
    if (r.IsEmpty()) {
        return;
    }
    for (const Rect& existing : m_rects) {
        if (Covers(existing, r)) {
            return;
        }
    }
    std::erase_if(m_rects, [&](const Rect& existing) { return Covers(r, existing); });
    m_rects.push_back(r);
    if (m_rects.size() > kMaxRegionRects) {
        const Rect bounds = Bounds();
        m_rects.assign(1, bounds);
    }
}

bool Region::Intersects(const Rect& r) const {
    return std::any_of(m_rects.begin(), m_rects.end(),
                       [&](const Rect& piece) { return piece.Intersects(r); });
}

bool Region::Contains(Point p) const {
    return std::any_of(m_rects.begin(), m_rects.end(),
                       [&](const Rect& piece) { return piece.Contains(p); });
}

Rect Region::Bounds() const {
    Rect bounds;
    for (const Rect& piece : m_rects) {
        bounds = bounds.Union(piece);
    }
    return bounds;
}

Region Region::Offset(int dx, int dy) const {
    Region moved;
    for (const Rect& piece : m_rects) {
        moved.m_rects.push_back(piece.Offset(dx, dy));
    }
    return moved;
}

void Region::IntersectWith(const Rect& r) {
    std::vector<Rect> kept;
    for (const Rect& piece : m_rects) {
        const Rect part = piece.Intersect(r);
        if (!part.IsEmpty()) {
            kept.push_back(part);
        }
    }
    m_rects = std::move(kept);
}

}  // namespace zeph::platform
