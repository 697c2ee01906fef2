#include "base/ini.h"

#include <fstream>
#include <iterator>

#include "base/ascii.h"
#include "base/numbers.h"
#include "base/strings.h"

namespace zeph {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::u16string_view StripQuotes(std::u16string_view value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniDocument IniDocument::Parse(std::u16string_view text) {
    IniDocument doc;
    Section* current = nullptr;
    int lineNumber = 0;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find(u'\n', pos);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        const std::u16string_view trimmed = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (trimmed.empty() || trimmed.front() == u';') {
            continue;
        }
        if (trimmed.front() == u'[') {
            const size_t close = trimmed.rfind(u']');
            if (close != std::u16string_view::npos) {
                doc.m_sections.push_back({std::u16string(Trim(trimmed.substr(1, close - 1))), {}});
                current = &doc.m_sections.back();
                continue;
            }
        } else if (const size_t eq = trimmed.find(u'=');
                   eq != std::u16string_view::npos && eq > 0 && current != nullptr) {
            current->entries.push_back({std::u16string(Trim(trimmed.substr(0, eq))),
                                        std::u16string(Trim(trimmed.substr(eq + 1)))});
            continue;
        }
        doc.m_problems.push_back({lineNumber, std::u16string(trimmed)});
    }
    return doc;
}

IniDocument IniDocument::ParseBytes(std::string_view bytes, unsigned ansiCodePage) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        return Parse(text);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return Parse(Utf8ToUtf16(bytes.substr(3)));
    }
    if (IsValidUtf8(bytes)) {
        return Parse(Utf8ToUtf16(bytes));
    }
    return Parse(CodePageToUtf16(bytes, ansiCodePage));
}

std::optional<IniDocument> IniDocument::Load(const std::string& hostPath, unsigned ansiCodePage) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return ParseBytes(bytes, ansiCodePage);
}

const IniDocument::Section* IniDocument::FindSection(std::u16string_view name) const {
    for (const auto& section : m_sections) {
        if (AsciiEqualsIgnoreCase(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

std::optional<std::u16string> IniDocument::Find(std::u16string_view section,
                                                std::u16string_view key) const {
    const Section* s = FindSection(section);
    if (!s) {
        return std::nullopt;
    }
    const std::u16string_view wanted = Trim(key);
    for (const auto& entry : s->entries) {
        if (AsciiEqualsIgnoreCase(entry.key, wanted)) {
            return std::u16string(StripQuotes(entry.value));
        }
    }
    return std::nullopt;
}

std::u16string IniDocument::GetString(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view defaultValue,
                                      size_t bufferChars) const {
    if (bufferChars == 0) {
        return {};
    }
    std::u16string value;
    if (auto found = Find(section, key)) {
        value = std::move(*found);
    } else {
        while (!defaultValue.empty() && defaultValue.back() == u' ') {
            defaultValue.remove_suffix(1);
        }
        value = defaultValue;
    }
    if (value.size() > bufferChars - 1) {
        value.resize(bufferChars - 1);
    }
    return value;
}

int IniDocument::GetInt(std::u16string_view section, std::u16string_view key,
                        int defaultValue) const {
    const auto found = Find(section, key);
    if (!found || found->empty()) {
        return defaultValue;
    }
    return StrToIntW(*found);
}

bool IniDocument::HasSection(std::u16string_view section) const {
    return FindSection(section) != nullptr;
}

std::vector<std::u16string> IniDocument::SectionNames() const {
    std::vector<std::u16string> names;
    for (const auto& section : m_sections) {
        bool seen = false;
        for (const auto& name : names) {
            seen = seen || AsciiEqualsIgnoreCase(name, section.name);
        }
        if (!seen) {
            names.push_back(section.name);
        }
    }
    return names;
}

std::vector<std::u16string> IniDocument::KeyNames(std::u16string_view section) const {
    std::vector<std::u16string> names;
    const Section* s = FindSection(section);
    if (!s) {
        return names;
    }
    for (const auto& entry : s->entries) {
        bool seen = false;
        for (const auto& name : names) {
            seen = seen || AsciiEqualsIgnoreCase(name, entry.key);
        }
        if (!seen) {
            names.push_back(entry.key);
        }
    }
    return names;
}

void IniWriter::Section(std::u16string_view name) {
    if (!m_text.empty()) {
        m_text += u"\r\n";
    }
    m_text += u"[";
    m_text += name;
    m_text += u"]\r\n";
}

void IniWriter::Value(std::u16string_view key, std::u16string_view value) {
    m_text += key;
    m_text += u"=";
    m_text += value;
    m_text += u"\r\n";
}

void IniWriter::Comment(std::u16string_view text) {
    m_text += u"; ";
    m_text += text;
    m_text += u"\r\n";
}

}  // namespace zeph
