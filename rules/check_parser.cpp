#include "rules/check_parser.h"

#include <tinyxml2.h>

#include "base/numbers.h"
#include "rules/ansi_text.h"
#include "rules/bool_expression.h"

namespace zeph {
namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Only the expression alphabet, and as many "(" as ")". Empty passes.
bool IsExpressionText(std::u16string_view text) {
    int open = 0;
    int close = 0;
    for (const char16_t c : text) {
        if (c == u'(') {
            ++open;
        } else if (c == u')') {
            ++close;
        } else if (!IsDigit(c) && c != u'&' && c != u'|' && c != u'~') {
            return false;
        }
    }
    return open == close;
}

}  // namespace

int32_t ReadExpressionId(std::u16string_view digits) {
    return Wtoi(digits);
}

bool KCheckItem::Evaluate(std::u16string& leafExpression) {
    const std::u16string& text = value;
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c == u'&' || c == u'(' || c == u')' || c == u'|' || c == u'~') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (!IsDigit(c)) {
            return false;
        }
        size_t end = i;
        while (end < text.size() && IsDigit(text[end])) {
            ++end;
        }
        if (end - i > kMaxIdDigits) {
            return false;
        }
        const int32_t leafId = ReadExpressionId(std::u16string_view(text).substr(i, end - i));
        for (const auto& leaf : leaves) {
            if (leaf->Id() == leafId) {
                out.push_back(leaf->Check() != 0 ? u'1' : u'0');
            }
        }
        i = end;
    }
    leafExpression = std::move(out);
    return true;
}

void KCheckParser::Parse(const tinyxml2::XMLElement& check) {
    for (const auto* element = check.FirstChildElement("item"); element != nullptr;
         element = element->NextSiblingElement("item")) {
        const char* id = element->Attribute("id");
        const char* name = element->Attribute("name");
        const char* value = element->Attribute("value");
        if (id == nullptr || name == nullptr || value == nullptr) {
            continue;
        }
        auto item = std::make_unique<KCheckItem>();
        item->id = Wtoi(AnsiToWide(id));
        item->name = AnsiToWide(name);
        item->value = AnsiToWide(value);
        bool valid = true;
        for (const auto* leafElement = element->FirstChildElement("leaf"); leafElement != nullptr;
             leafElement = leafElement->NextSiblingElement("leaf")) {
            auto leaf = CreateCheckLeaf(*leafElement);
            if (!leaf) {
                valid = false;
                break;
            }
            item->leaves.push_back(std::move(leaf));
        }
        if (valid && IsExpressionText(item->value)) {
            m_items.push_back(std::move(item));
        }
    }
}

int KCheckParser::EvaluateItem(int32_t itemId, std::u16string& leafExpression, bool& value) {
    for (const auto& item : m_items) {
        if (!item) {
            return 0;
        }
        if (item->id != itemId) {
            continue;
        }
        std::u16string expression;
        if (!item->Evaluate(expression)) {
            return 0;
        }
        bool result = false;
        if (EvaluateBoolExpression(expression, result) == ExpressionResult::Ok) {
            leafExpression = std::move(expression);
            value = result;
            return 1;
        }
        // A malformed one gives way to the next item of the same id.
    }
    return 0;
}

}  // namespace zeph
