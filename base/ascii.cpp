#include "base/ascii.h"

#include <cstdint>
#include <type_traits>

namespace zeph {
namespace {

template <typename Char>
std::basic_string<Char> Map(std::basic_string_view<Char> text, Char (*fn)(Char)) {
    std::basic_string<Char> out(text);
    for (auto& c : out) {
        c = fn(c);
    }
    return out;
}

template <typename Char>
int Compare(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        // Compare as unsigned code units so that 0x80+ sorts after ASCII.
        const auto ca = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(AsciiToLower(a[i])));
        const auto cb = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(AsciiToLower(b[i])));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

std::string AsciiLower(std::string_view text) { return Map<char>(text, AsciiToLower<char>); }
std::string AsciiUpper(std::string_view text) { return Map<char>(text, AsciiToUpper<char>); }
std::u16string AsciiLower(std::u16string_view text) {
    return Map<char16_t>(text, AsciiToLower<char16_t>);
}
std::u16string AsciiUpper(std::u16string_view text) {
    return Map<char16_t>(text, AsciiToUpper<char16_t>);
}

int AsciiCompareIgnoreCase(std::string_view a, std::string_view b) { return Compare(a, b); }
int AsciiCompareIgnoreCase(std::u16string_view a, std::u16string_view b) { return Compare(a, b); }

bool AsciiStartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           AsciiEqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool AsciiEndsWithIgnoreCase(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() &&
           AsciiEqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

size_t AsciiFindIgnoreCase(std::u16string_view text, std::u16string_view needle) {
    if (needle.size() > text.size()) {
        return std::u16string_view::npos;
    }
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (AsciiEqualsIgnoreCase(text.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::u16string_view::npos;
}

}  // namespace zeph
