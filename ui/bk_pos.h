// The position grammar of the `pos` attribute and its arithmetic.
//
// Up to four comma-separated items: left, top, right, bottom. Each may start
// with "|" (measured from the middle of the container), then "-" (measured
// from the right or bottom edge back), then "w" or "h", followed by a
// decimal number. "w" on the right item and "h" on the bottom item add the
// left or top value, so "5,5,w20,h10" is 20 x 10 at (5, 5). Only 2 or 4
// items make a position.
#pragma once

#include <string_view>

#include "platform/draw_geometry.h"

namespace zeph::ui {

struct BkPosItem {
    bool center = false;
    bool fromFar = false;
    int value = 0;
    friend bool operator==(const BkPosItem&, const BkPosItem&) = default;
};

struct BkPos {
    int count = 0;  // 0 (no position), 2 or 4
    BkPosItem item[4];
    friend bool operator==(const BkPos&, const BkPos&) = default;
};

// Parses a non-empty value; `scale` maps each value (DPI scaling).
BkPos ParsePos(std::string_view text, int (*scale)(int) = nullptr);

// The coordinate an item gives in the span [low, high] of a box.
int PosCoordinate(const BkPosItem& item, int low, int high);
// The child's origin in the container's inner box.
platform::Point PosOrigin(const BkPos& pos, const platform::Rect& box);
// Width and height of a 4-value position inside a box of that size.
platform::Size PosSize(const BkPos& pos, int boxWidth, int boxHeight);

}  // namespace zeph::ui
