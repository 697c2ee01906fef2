// UTF-8 and UTF-16 are converted by hand (hot in logging and markup); code
// pages go through iconv with one converter per thread and direction.
#include "base/strings.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>

namespace zeph {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it
// is malformed (overlong, surrogate, beyond U+10FFFF or truncated).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

std::string IconvName(unsigned codePage) {
    switch (codePage) {
        case kCodePageUtf8:
            return "UTF-8";
        case 936:
            return "GBK";
        case 950:
            return "BIG5";
        case 20127:
            return "ASCII";
        case 28591:
            return "ISO-8859-1";
        default: {
            char name[16];
            std::snprintf(name, sizeof name, "CP%u", codePage);
            return name;
        }
    }
}

// One converter per thread, code page and direction; iconv_t must not be
// shared between threads.
class IconvCache {
public:
    ~IconvCache() {
        for (auto& [key, cd] : m_converters) {
            if (cd != kInvalid) {
                iconv_close(cd);
            }
        }
    }
    // toUnicode: code page -> UTF-16LE; otherwise UTF-16LE -> code page.
    iconv_t Get(unsigned codePage, bool toUnicode) {
        auto key = std::make_pair(codePage, toUnicode);
        auto it = m_converters.find(key);
        if (it == m_converters.end()) {
            const std::string name = IconvName(codePage);
            iconv_t cd = toUnicode ? iconv_open("UTF-16LE", name.c_str())
                                   : iconv_open(name.c_str(), "UTF-16LE");
            it = m_converters.emplace(key, cd).first;
        }
        if (it->second != kInvalid) {
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // reset shift state
        }
        return it->second;
    }

    static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

private:
    std::map<std::pair<unsigned, bool>, iconv_t> m_converters;
};

IconvCache& Converters() {
    thread_local IconvCache cache;
    return cache;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            out.push_back(static_cast<char16_t>(kReplacement));
            ++i;
        } else {
            AppendUtf16(out, cp);
            i += len;
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

std::string Utf16ToCodePage(std::u16string_view text, unsigned codePage) {
    if (codePage == kCodePageUtf8) {
        return Utf16ToUtf8(text);
    }
    std::string out;
    iconv_t cd = Converters().Get(codePage, false);
    if (cd == IconvCache::kInvalid) {
        for (char16_t c : text) {
            out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
        }
        return out;
    }
    out.reserve(text.size() * 2);
    // iconv wants little-endian bytes; char16_t storage is native (x86: LE).
    auto* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    size_t inLeft = text.size() * sizeof(char16_t);
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // Unmappable or unpaired: one '?' for the character (a whole pair
            // when it is a valid surrogate pair), then go on.
            size_t skip = sizeof(char16_t);
            const auto unit = *reinterpret_cast<const char16_t*>(in);
            if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4) {
                const auto next = *reinterpret_cast<const char16_t*>(in + 2);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    skip = 4;
                }
            }
            out.push_back('?');
            in += skip;
            inLeft -= std::min(skip, inLeft);
        }
    }
    return out;
}

std::u16string CodePageToUtf16(std::string_view bytes, unsigned codePage) {
    if (codePage == kCodePageUtf8) {
        return Utf8ToUtf16(bytes);
    }
    std::u16string out;
    iconv_t cd = Converters().Get(codePage, true);
    if (cd == IconvCache::kInvalid) {
        for (char c : bytes) {
            out.push_back(static_cast<unsigned char>(c));
        }
        return out;
    }
    out.reserve(bytes.size());
    auto* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char16_t buffer[2048];
    while (inLeft > 0) {
        auto* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(reinterpret_cast<char16_t*>(outPtr) - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ or a truncated sequence at the end: one replacement per byte.
            out.push_back(static_cast<char16_t>(kReplacement));
            ++in;
            --inLeft;
        }
    }
    return out;
}

}  // namespace zeph
