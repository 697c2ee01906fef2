// Attribute value notations.
#include "ui/notation.h"

#include <algorithm>

#include "base/numbers.h"
#include "base/strings.h"

namespace zeph::ui {

int ParseInt(std::string_view text) {
    return Atoi(text);
}

int ClampCoordinate(int value) {
    return std::clamp(value, -kMaxCoordinate, kMaxCoordinate);
}

int ParseCoordinate(std::string_view text) {
    return ClampCoordinate(Atoi(text));
}

Colorref ParseColor(std::string_view text) {
    if (text.empty()) {
        return kNoColor;
    }
    auto pair = [&](std::size_t at) -> unsigned {
        if (at + 1 >= text.size()) {
            return 0;
        }
        const int hi = HexDigitValue(static_cast<unsigned char>(text[at]));
        const int lo = HexDigitValue(static_cast<unsigned char>(text[at + 1]));
        return (hi < 0 || lo < 0) ? 0u : static_cast<unsigned>(hi * 16 + lo);
    };
    return platform::MakeColorref(pair(0), pair(2), pair(4));
}

std::uint32_t ParseHex(std::string_view text) {
    return ReadHexNumber(Utf8ToUtf16(text));
}

}  // namespace zeph::ui
