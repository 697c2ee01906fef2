// ASCII-only case folding and comparison. Letters outside A-Z/a-z are
// compared as they are, as the Windows "C" locale routines do.
#pragma once

#include <string>
#include <string_view>

namespace zeph {

template <typename Char>
constexpr Char AsciiToLower(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c + ('a' - 'A')) : c;
}

template <typename Char>
constexpr Char AsciiToUpper(Char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - ('a' - 'A')) : c;
}

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
std::u16string AsciiLower(std::u16string_view text);
std::u16string AsciiUpper(std::u16string_view text);

// <0, 0, >0 like _wcsicmp / _stricmp (both sides folded to lower case).
int AsciiCompareIgnoreCase(std::string_view a, std::string_view b);
int AsciiCompareIgnoreCase(std::u16string_view a, std::u16string_view b);

inline bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AsciiCompareIgnoreCase(a, b) == 0;
}
inline bool AsciiEqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && AsciiCompareIgnoreCase(a, b) == 0;
}

bool AsciiStartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix);
bool AsciiEndsWithIgnoreCase(std::u16string_view text, std::u16string_view suffix);
// Position of the first case-insensitive occurrence, or npos.
size_t AsciiFindIgnoreCase(std::u16string_view text, std::u16string_view needle);

// Ordering for maps keyed case-insensitively.
struct AsciiLessIgnoreCase {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const {
        return AsciiCompareIgnoreCase(a, b) < 0;
    }
    bool operator()(std::string_view a, std::string_view b) const {
        return AsciiCompareIgnoreCase(a, b) < 0;
    }
};

}  // namespace zeph
