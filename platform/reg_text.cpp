#include "platform/reg_text.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/strings.h"

namespace zeph::platform {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r';
}

std::u16string_view TrimLeft(std::u16string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

std::u16string_view TrimRight(std::u16string_view s) {
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::u16string_view Trim(std::u16string_view s) {
    return TrimRight(TrimLeft(s));
}

std::u16string DecodeText(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        return text;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return Utf8ToUtf16(bytes);
}

std::string TextBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    bytes.append(2, '\0');
    return bytes;
}

struct Lines {
    std::vector<std::u16string_view> lines;
    explicit Lines(std::u16string_view text) {
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t end = text.find(u'\n', pos);
            if (end == std::u16string_view::npos) {
                end = text.size();
            }
            std::u16string_view line = text.substr(pos, end - pos);
            if (!line.empty() && line.back() == u'\r') {
                line.remove_suffix(1);
            }
            lines.push_back(line);
            pos = end + 1;
        }
    }
};

class Parser {
  public:
    Parser(std::u16string_view text, std::vector<RegTextKey>& keys, RegTextError& error)
        : m_lines(text), m_keys(keys), m_error(error) {}

    bool Run() {
        bool sawHeader = false;
        for (m_index = 0; m_index < m_lines.lines.size(); ++m_index) {
            const std::u16string_view line = Trim(m_lines.lines[m_index]);
            if (line.empty() || line.front() == u';') {
                continue;
            }
            if (!sawHeader) {
                if (line != kHeader) {
                    return Fail("the first line must be \"Windows Registry Editor Version 5.00\"");
                }
                sawHeader = true;
                continue;
            }
            if (line.front() == u'[') {
                if (!ParseKey(line)) {
                    return false;
                }
            } else if (line.front() == u'"' || line.front() == u'@') {
                if (m_keys.empty()) {
                    return Fail("a value before the first key");
                }
                if (!ParseValue(line)) {
                    return false;
                }
            } else {
                return Fail("expected a [key] or a value line");
            }
        }
        if (!sawHeader) {
            m_index = 0;
            return Fail("empty file: the line \"Windows Registry Editor Version 5.00\" is missing");
        }
        return true;
    }

  private:
    int LineNumber() const { return static_cast<int>(m_index) + 1; }

    bool Fail(const std::string& message) {
        m_error.line = LineNumber();
        m_error.message = message;
        return false;
    }

    bool ParseKey(std::u16string_view line) {
        if (line.back() != u']') {
            return Fail("a key line must end with ']'");
        }
        std::u16string_view inner = line.substr(1, line.size() - 2);
        RegTextKey key;
        key.line = LineNumber();
        if (!inner.empty() && inner.front() == u'-') {
            key.remove = true;
            inner.remove_prefix(1);
        }
        const size_t slash = inner.find(u'\\');
        const std::u16string_view hiveName = inner.substr(0, slash);
        const auto hive = ParseHiveName(hiveName);
        if (!hive) {
            return Fail("unknown root key \"" + U8(hiveName) + "\"");
        }
        key.hive = *hive;
        std::u16string_view path =
            slash == std::u16string_view::npos ? std::u16string_view() : inner.substr(slash + 1);
        while (!path.empty() && path.back() == u'\\') {
            path.remove_suffix(1);
        }
        for (size_t pos = 0; pos <= path.size() && !path.empty();) {
            size_t end = path.find(u'\\', pos);
            if (end == std::u16string_view::npos) {
                end = path.size();
            }
            if (end == pos) {
                return Fail("a key path with an empty component");
            }
            if (end - pos > 255) {
                return Fail("a key name longer than 255 characters");
            }
            pos = end + 1;
        }
        key.path = std::u16string(path);
        m_keys.push_back(std::move(key));
        return true;
    }

    // A quoted string starting at text[0] == '"'; `end` is set after the
    // closing quote.
    bool ParseQuoted(std::u16string_view text, std::u16string& out, size_t& end) {
        out.clear();
        for (size_t i = 1; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c == u'\\' && i + 1 < text.size() &&
                (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
                out.push_back(text[i + 1]);
                ++i;
            } else if (c == u'"') {
                end = i + 1;
                return true;
            } else {
                out.push_back(c);
            }
        }
        return Fail("a string without its closing quote");
    }

    bool ParseHexBytes(std::u16string_view text, std::string& out) {
        // Continuation lines: a trailing backslash joins the next line.
        std::u16string joined;
        std::u16string_view rest = TrimRight(text);
        while (!rest.empty() && rest.back() == u'\\') {
            joined.append(rest.substr(0, rest.size() - 1));
            if (m_index + 1 >= m_lines.lines.size()) {
                return Fail("a continued line at the end of the file");
            }
            ++m_index;
            rest = Trim(m_lines.lines[m_index]);
        }
        joined.append(rest);
        out.clear();
        std::u16string_view all = joined;
        if (Trim(all).empty()) {
            return true;
        }
        size_t pos = 0;
        while (pos <= all.size()) {
            size_t comma = all.find(u',', pos);
            if (comma == std::u16string_view::npos) {
                comma = all.size();
            }
            const std::u16string_view item = Trim(all.substr(pos, comma - pos));
            if (item.size() < 1 || item.size() > 2 || HexDigitValue(item[0]) < 0 ||
                (item.size() == 2 && HexDigitValue(item[1]) < 0)) {
                return Fail("bad hexadecimal byte \"" + U8(item) + "\"");
            }
            int value = HexDigitValue(item[0]);
            if (item.size() == 2) {
                value = value * 16 + HexDigitValue(item[1]);
            }
            out.push_back(static_cast<char>(value));
            pos = comma + 1;
        }
        return true;
    }

    bool ParseValue(std::u16string_view line) {
        RegTextValue value;
        value.line = LineNumber();
        size_t pos = 0;
        if (line.front() == u'@') {
            pos = 1;
        } else if (!ParseQuoted(line, value.name, pos)) {
            return false;
        }
        std::u16string_view rest = TrimLeft(line.substr(pos));
        if (rest.empty() || rest.front() != u'=') {
            return Fail("expected '=' after the value name");
        }
        rest = TrimLeft(rest.substr(1));
        if (rest == u"-") {
            value.remove = true;
        } else if (!rest.empty() && rest.front() == u'"') {
            std::u16string text;
            size_t end = 0;
            if (!ParseQuoted(rest, text, end)) {
                return false;
            }
            if (!Trim(rest.substr(end)).empty()) {
                return Fail("text after the closing quote");
            }
            value.type = RegType::Sz;
            value.data = TextBytes(text);
        } else if (rest.substr(0, 6) == u"dword:") {
            const std::u16string_view digits = Trim(rest.substr(6));
            if (digits.empty() || digits.size() > 8) {
                return Fail("a dword needs 1 to 8 hexadecimal digits");
            }
            uint32_t number = 0;
            for (char16_t c : digits) {
                if (HexDigitValue(c) < 0) {
                    return Fail("bad dword digits \"" + U8(digits) + "\"");
                }
                number = number * 16 + static_cast<uint32_t>(HexDigitValue(c));
            }
            value.type = RegType::Dword;
            value.data.assign(reinterpret_cast<const char*>(&number), 4);
        } else if (rest.substr(0, 3) == u"hex") {
            rest.remove_prefix(3);
            uint32_t type = 3;
            if (!rest.empty() && rest.front() == u'(') {
                const size_t close = rest.find(u')');
                if (close == std::u16string_view::npos || close == 1 || close > 9) {
                    return Fail("bad hex(type) notation");
                }
                type = 0;
                for (char16_t c : rest.substr(1, close - 1)) {
                    if (HexDigitValue(c) < 0) {
                        return Fail("bad hex(type) notation");
                    }
                    type = type * 16 + static_cast<uint32_t>(HexDigitValue(c));
                }
                rest.remove_prefix(close + 1);
            }
            if (rest.empty() || rest.front() != u':') {
                return Fail("expected ':' after hex");
            }
            value.type = static_cast<RegType>(type);
            if (!ParseHexBytes(rest.substr(1), value.data)) {
                m_error.line = value.line;  // a continued value is reported where it starts
                return false;
            }
        } else {
            return Fail("expected a string, dword:, hex: or - after '='");
        }
        m_keys.back().values.push_back(std::move(value));
        return true;
    }

    Lines m_lines;
    std::vector<RegTextKey>& m_keys;
    RegTextError& m_error;
    size_t m_index = 0;
};

std::string Escape(std::u16string_view text) {
    std::string out;
    for (char c : U8(text)) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

// A REG_SZ that regedit would write as a quoted string: valid UTF-16 ending
// in exactly one NUL, with no other NUL and no line break.
bool IsPlainString(std::string_view data, std::u16string& text) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return false;
    }
    text.clear();
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                             (static_cast<unsigned char>(data[i + 1]) << 8)));
    }
    if (text.back() != u'\0') {
        return false;
    }
    text.pop_back();
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\0' || c == u'\r' || c == u'\n') {
            return false;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return false;
            }
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseRegText(std::string_view bytes, std::vector<RegTextKey>& keys, RegTextError& error) {
    keys.clear();
    const std::u16string text = DecodeText(bytes);
    Parser parser(text, keys, error);
    if (!parser.Run()) {
        keys.clear();
        return false;
    }
    return true;
}

RegTextWriter::RegTextWriter() {
    m_text = "Windows Registry Editor Version 5.00\n";
}

void RegTextWriter::Key(Hive hive, std::u16string_view path) {
    m_text += "\n[";
    m_text += U8(HiveName(hive));
    if (!path.empty()) {
        m_text += '\\';
        m_text += U8(path);
    }
    m_text += "]\n";
}

void RegTextWriter::Value(std::u16string_view name, RegType type, std::string_view data) {
    std::string line = name.empty() ? std::string("@=") : "\"" + Escape(name) + "\"=";
    std::u16string text;
    if (type == RegType::Sz && IsPlainString(data, text)) {
        line += "\"" + Escape(text) + "\"";
    } else if (type == RegType::Dword && data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = (number << 8) | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
        }
        line += Format("dword:%08x", number);
    } else {
        line += type == RegType::Binary ? std::string("hex:")
                                        : Format("hex(%x):", static_cast<unsigned>(type));
        for (size_t i = 0; i < data.size(); ++i) {
            line += Format("%02x", static_cast<unsigned char>(data[i]));
            if (i + 1 < data.size()) {
                line += ',';
                // Keep lines short, as regedit does.
                if (line.size() > 76) {
                    m_text += line + "\\\n";
                    line = "  ";
                }
            }
        }
    }
    m_text += line + "\n";
}

}  // namespace zeph::platform
