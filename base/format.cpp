#include "base/format.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "base/strings.h"

namespace zeph {

std::string FormatV(const char* format, va_list args) {
    char stackBuffer[512];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(stackBuffer, sizeof stackBuffer, format, copy);
    va_end(copy);
    if (needed < 0) {
        return {};
    }
    if (static_cast<size_t>(needed) < sizeof stackBuffer) {
        return std::string(stackBuffer, static_cast<size_t>(needed));
    }
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

namespace {

enum class Size { Default, Short, Long, LongLong, SizeT, IntMax, PtrDiff };

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    Size size = Size::Default;
    bool leftAlign = false;
};

// Pads a text field to the width the way printf does for %s.
void AppendPadded(std::u16string& out, std::u16string_view text, const Spec& spec) {
    if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
        text = text.substr(0, static_cast<size_t>(spec.precision));
    }
    const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    const size_t pad = width > text.size() ? width - text.size() : 0;
    if (!spec.leftAlign) {
        out.append(pad, u' ');
    }
    out.append(text);
    if (spec.leftAlign) {
        out.append(pad, u' ');
    }
}

std::string NarrowSpec(const Spec& spec, std::string_view length, char conversion) {
    std::string s = "%" + spec.flags;
    if (spec.width >= 0) {
        s += std::to_string(spec.width);
    }
    if (spec.precision >= 0) {
        s += "." + std::to_string(spec.precision);
    }
    s += length;
    s += conversion;
    return s;
}

template <typename T>
void AppendNumber(std::u16string& out, const Spec& spec, std::string_view length, char conversion,
                  T value) {
    const std::string narrowFormat = NarrowSpec(spec, length, conversion);
    char buffer[128];
    // The narrow format is rebuilt from a parsed conversion of our own literal.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(buffer, sizeof buffer, narrowFormat.c_str(), value);
#pragma GCC diagnostic pop
    if (n > 0) {
        for (int i = 0; i < n && i < static_cast<int>(sizeof buffer) - 1; ++i) {
            out.push_back(static_cast<unsigned char>(buffer[i]));
        }
    }
}

}  // namespace

std::u16string FormatWV(const char16_t* format, va_list args) {
    std::u16string out;
    va_list ap;
    va_copy(ap, args);
    for (const char16_t* p = format; *p; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.push_back(u'%');
            continue;
        }
        Spec spec;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            if (*p == u'-') {
                spec.leftAlign = true;
            }
            spec.flags.push_back(static_cast<char>(*p));
            ++p;
        }
        if (*p == u'*') {
            spec.width = va_arg(ap, int);
            if (spec.width < 0) {
                spec.leftAlign = true;
                spec.flags.push_back('-');
                spec.width = -spec.width;
            }
            ++p;
        } else {
            for (; *p >= u'0' && *p <= u'9'; ++p) {
                spec.width = (spec.width < 0 ? 0 : spec.width * 10) + (*p - u'0');
            }
        }
        if (*p == u'.') {
            ++p;
            spec.precision = 0;
            if (*p == u'*') {
                spec.precision = va_arg(ap, int);
                ++p;
            } else {
                for (; *p >= u'0' && *p <= u'9'; ++p) {
                    spec.precision = spec.precision * 10 + (*p - u'0');
                }
            }
        }
        // Size prefixes; "h" before s/c/S/C selects the narrow form as on Windows.
        bool narrowText = false;
        bool wideText = false;
        if (*p == u'h') {
            ++p;
            if (*p == u'h') {
                ++p;
            }
            spec.size = Size::Short;
            narrowText = true;
        } else if (*p == u'l') {
            ++p;
            if (*p == u'l') {
                ++p;
                spec.size = Size::LongLong;
            } else {
                spec.size = Size::Long;
                wideText = true;
            }
        } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
            p += 3;
            spec.size = Size::LongLong;
        } else if (*p == u'I' && p[1] == u'3' && p[2] == u'2') {
            p += 3;
        } else if (*p == u'z') {
            ++p;
            spec.size = Size::SizeT;
        } else if (*p == u'j') {
            ++p;
            spec.size = Size::IntMax;
        } else if (*p == u't') {
            ++p;
            spec.size = Size::PtrDiff;
        }
        const char16_t conversion = *p;
        if (conversion == 0) {
            break;
        }
        switch (conversion) {
            case u'd':
            case u'i': {
                switch (spec.size) {
                    case Size::LongLong:
                    case Size::IntMax:
                        AppendNumber(out, spec, "ll", 'd', va_arg(ap, long long));
                        break;
                    case Size::SizeT:
                    case Size::PtrDiff:
                    case Size::Long:
                        AppendNumber(out, spec, "l", 'd', va_arg(ap, long));
                        break;
                    case Size::Short:
                        AppendNumber(out, spec, "", 'd', static_cast<short>(va_arg(ap, int)));
                        break;
                    default:
                        AppendNumber(out, spec, "", 'd', va_arg(ap, int));
                }
                break;
            }
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                const char c = static_cast<char>(conversion);
                switch (spec.size) {
                    case Size::LongLong:
                    case Size::IntMax:
                        AppendNumber(out, spec, "ll", c, va_arg(ap, unsigned long long));
                        break;
                    case Size::SizeT:
                    case Size::PtrDiff:
                    case Size::Long:
                        AppendNumber(out, spec, "l", c, va_arg(ap, unsigned long));
                        break;
                    case Size::Short:
                        AppendNumber(out, spec, "", c,
                                     static_cast<unsigned short>(va_arg(ap, unsigned)));
                        break;
                    default:
                        AppendNumber(out, spec, "", c, va_arg(ap, unsigned));
                }
                break;
            }
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G':
                AppendNumber(out, spec, "", static_cast<char>(conversion), va_arg(ap, double));
                break;
            case u'p':
                AppendNumber(out, spec, "", 'p', va_arg(ap, void*));
                break;
            case u'c':
            case u'C': {
                const int value = va_arg(ap, int);
                const bool narrow = conversion == u'C' ? !wideText : narrowText;
                const char16_t ch = narrow ? static_cast<unsigned char>(value)
                                           : static_cast<char16_t>(value);
                AppendPadded(out, std::u16string_view(&ch, 1), spec);
                break;
            }
            case u's':
            case u'S': {
                const bool narrow = conversion == u'S' ? !wideText : narrowText;
                if (narrow) {
                    const char* s = va_arg(ap, const char*);
                    AppendPadded(out, Utf8ToUtf16(s ? s : "(null)"), spec);
                } else {
                    const char16_t* s = va_arg(ap, const char16_t*);
                    AppendPadded(out, s ? std::u16string_view(s) : u"(null)", spec);
                }
                break;
            }
            default:
                // Unknown conversion: keep it as written.
                out.push_back(u'%');
                out.push_back(conversion);
        }
    }
    va_end(ap);
    return out;
}

std::u16string FormatW(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string out = FormatWV(format, args);
    va_end(args);
    return out;
}

}  // namespace zeph
