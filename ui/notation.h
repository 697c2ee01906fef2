// The value notations of markup attributes.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/draw.h"

namespace zeph::ui {

using platform::Colorref;
using platform::kNoColor;

// Decimal integers: leading blanks, an optional sign, digits; anything else
// reads as 0.
int ParseInt(std::string_view text);
// Pixel distances from markup are kept within +-kMaxCoordinate, so that no
// sum of positions, sizes and margins can overflow.
inline constexpr int kMaxCoordinate = 1 << 20;
int ClampCoordinate(int value);
// ParseInt for a distance in pixels.
int ParseCoordinate(std::string_view text);
// RRGGBB, either case; each pair is read on its own and a pair with a
// character that is not a hexadecimal digit (or cut short) reads as 0;
// characters after the sixth are ignored. An empty value is no colour.
Colorref ParseColor(std::string_view text);
// All characters hexadecimal digits of one number, else 0 (text modes, font
// codes).
std::uint32_t ParseHex(std::string_view text);

}  // namespace zeph::ui
