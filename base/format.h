// printf-style formatting into narrow and UTF-16 strings.
//
// The UTF-16 variant follows the Windows wide printf family: "%s" and "%ls"
// take a const char16_t*, "%S" and "%hs" a narrow const char* (UTF-8), "%c"
// a char16_t (promoted to int). Integer conversions accept the h, l, ll, z,
// j, t and I64/I32 size prefixes. Formats are always literals of our own
// code, never outside input.
#pragma once

#include <cstdarg>
#include <string>

namespace zeph {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

std::u16string FormatW(const char16_t* format, ...);
std::u16string FormatWV(const char16_t* format, va_list args);

}  // namespace zeph
