// Text conversions between UTF-8, UTF-16 and the ANSI code pages.
// Wide text is UTF-16 (std::u16string); narrow text is bytes in an encoding
// the caller names.
#pragma once

#include <string>
#include <string_view>

namespace zeph {

// The code pages the installer meets most: the Simplified Chinese ANSI page
// and UTF-8.
inline constexpr unsigned kCodePageGbk = 936;
inline constexpr unsigned kCodePageUtf8 = 65001;

// Malformed input never fails: each bad sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Code-page conversions through iconv. As with the Windows conversions, a
// character the code page cannot hold becomes '?', and bytes that are not
// valid in the code page become U+FFFD. An unknown code page converts as
// Latin-1 would (one byte per unit, '?' above 0xFF).
std::string Utf16ToCodePage(std::u16string_view text, unsigned codePage);
std::u16string CodePageToUtf16(std::string_view bytes, unsigned codePage);

// Shorthands for ASCII literals and file names at the edges.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16(utf8); }
inline std::string U8(std::u16string_view utf16) { return Utf16ToUtf8(utf16); }

}  // namespace zeph
