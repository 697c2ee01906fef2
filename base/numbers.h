// Number readers with the exact behaviours of the Windows routines that the
// installer's formats were written against. None of them fails: text without
// a number reads as 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeph {

// _wtoi / atoi: leading white space, an optional sign, then decimal digits up
// to the first non-digit. A value outside the 32-bit range is clamped to
// INT_MIN or INT_MAX.
int Wtoi(std::u16string_view text);
int Atoi(std::string_view text);

// StrToIntW: like Wtoi, but a value outside the 32-bit range wraps modulo 2^32
// instead of being clamped.
int StrToIntW(std::u16string_view text);

// Hexadecimal notation of markup attributes: every character must be a
// hexadecimal digit (either case), most significant first; any other
// character anywhere makes the whole value 0, as does an empty text. More than
// eight digits keep the low 32 bits.
uint32_t ReadHexNumber(std::u16string_view text);

// The value of one hexadecimal digit, or -1.
inline int HexDigitValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

}  // namespace zeph
