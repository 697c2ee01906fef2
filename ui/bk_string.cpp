// String table documents and references.
#include "ui/bk_string.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdint>

#include "base/strings.h"
#include "ui/notation.h"

namespace zeph::ui {

BkString& BkString::Instance() {
    static BkString table;
    return table;
}

bool BkString::LoadDocument(std::string_view utf8) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(utf8.data(), utf8.size()) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (root == nullptr || std::string_view(root->Name()) != "string") {
        return false;
    }
    for (const auto* s = root->FirstChildElement("s"); s != nullptr;
         s = s->NextSiblingElement("s")) {
        const char* id = s->Attribute("id");
        if (id == nullptr) {
            continue;
        }
        const int n = ParseInt(id);
        if (n < 0) {
            continue;
        }
        const char* text = s->GetText();
        m_strings.try_emplace(n, Utf8ToUtf16(text != nullptr ? text : ""));
    }
    return true;
}

std::optional<std::u16string> BkString::GetString(int id) const {
    auto it = m_strings.find(id);
    if (it == m_strings.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::u16string ReplaceStringReferences(std::u16string text, const BkString& table) {
    static constexpr std::u16string_view kMark = u"%str";
    std::size_t from = 0;
    for (;;) {
        const std::size_t start = text.find(kMark, from);
        if (start == std::u16string::npos) {
            break;
        }
        std::size_t pos = start + kMark.size();
        long long number = 0;
        while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
            number = std::min<long long>(number * 10 + (text[pos] - u'0'), 1LL << 40);
            ++pos;
        }
        if (number <= 0) {
            break;
        }
        const std::size_t close = text.find(u'%', pos);
        if (close == std::u16string::npos) {
            break;
        }
        const std::u16string replacement =
            table.GetString(static_cast<int>(std::min<long long>(number, INT32_MAX))).value_or(u"");
        text.replace(start, close + 1 - start, replacement);
        from = start + replacement.size();
    }
    return text;
}

}  // namespace zeph::ui
