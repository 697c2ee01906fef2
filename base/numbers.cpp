#include "base/numbers.h"

#include <climits>

namespace zeph {
namespace {

bool IsCSpace(char32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

enum class Overflow { Clamp, Wrap };

template <typename Char>
int ReadLeadingDecimal(std::basic_string_view<Char> text, Overflow overflow) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate in 64 bits; once past the 32-bit range clamping is decided,
    // and wrapping only needs the low 32 bits.
    uint64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFull) {
            saturated = true;
            value &= 0xFFFFFFFFull;
        }
    }
    if (overflow == Overflow::Clamp) {
        if (!negative && (saturated || value > static_cast<uint64_t>(INT_MAX))) {
            return INT_MAX;
        }
        if (negative && (saturated || value > static_cast<uint64_t>(INT_MAX) + 1)) {
            return INT_MIN;
        }
    }
    const auto low = static_cast<uint32_t>(value);
    return static_cast<int>(negative ? 0u - low : low);
}

}  // namespace

int Wtoi(std::u16string_view text) { return ReadLeadingDecimal(text, Overflow::Clamp); }

int Atoi(std::string_view text) { return ReadLeadingDecimal(text, Overflow::Clamp); }

int StrToIntW(std::u16string_view text) { return ReadLeadingDecimal(text, Overflow::Wrap); }

uint32_t ReadHexNumber(std::u16string_view text) {
    uint32_t value = 0;
    for (char16_t c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return 0;
        }
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

}  // namespace zeph
