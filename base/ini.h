// INI text with the lookup semantics of GetPrivateProfileString and
// GetPrivateProfileInt: section and key names are case-insensitive, the first
// section and the first key of a name win, values are trimmed and lose one
// pair of matching surrounding quotes, and the caller's buffer size limits
// what is returned.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

class IniDocument {
public:
    // A line that is neither blank, a comment, a section header nor a
    // key=value pair. Lookups ignore such lines, as Windows does; strict
    // readers (the machine profile) report them.
    struct Problem {
        int line = 0;  // 1-based
        std::u16string text;
    };

    IniDocument() = default;

    static IniDocument Parse(std::u16string_view text);
    // Bytes of a file: UTF-16LE with BOM, UTF-8 with or without BOM, else the
    // given ANSI code page.
    static IniDocument ParseBytes(std::string_view bytes, unsigned ansiCodePage);
    // nullopt when the file cannot be read.
    static std::optional<IniDocument> Load(const std::string& hostPath, unsigned ansiCodePage);

    // GetPrivateProfileString: copies at most bufferChars - 1 characters of the
    // value (or of the default, with its trailing blanks removed, when the
    // section or key is missing) and returns them. A bufferChars of 0 gives "".
    std::u16string GetString(std::u16string_view section, std::u16string_view key,
                             std::u16string_view defaultValue, size_t bufferChars) const;
    // GetPrivateProfileInt: the leading decimal number of the value (optional
    // sign; no digits reads as 0); the default when the key is missing or its
    // value is empty.
    int GetInt(std::u16string_view section, std::u16string_view key, int defaultValue) const;

    // The raw lookup: nullopt when the section or key is missing.
    std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

    bool HasSection(std::u16string_view section) const;
    std::vector<std::u16string> SectionNames() const;
    // Key names of the first section of that name, in file order, first of each.
    std::vector<std::u16string> KeyNames(std::u16string_view section) const;

    const std::vector<Problem>& Problems() const { return m_problems; }

private:
    struct Entry {
        std::u16string key;
        std::u16string value;
    };
    struct Section {
        std::u16string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::u16string_view name) const;

    std::vector<Section> m_sections;
    std::vector<Problem> m_problems;
};

// Serialises sections in the form the reader accepts (used by writers of
// profile and sample files). Values are written as they are.
class IniWriter {
public:
    void Section(std::u16string_view name);
    void Value(std::u16string_view key, std::u16string_view value);
    void Comment(std::u16string_view text);
    const std::u16string& Text() const { return m_text; }

private:
    std::u16string m_text;
};

}  // namespace zeph
