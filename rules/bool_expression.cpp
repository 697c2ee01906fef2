#include "rules/bool_expression.h"

#include <string>
#include <vector>

namespace zeph {
namespace {

struct Scanner {
    std::u16string_view text;
    size_t pos = 0;
};

// Applies the three passes ("~", then "&", then "|") to one level.
ExpressionResult Reduce(const std::vector<bool>& operands, const std::u16string& operators,
                        bool& value) {
    if (operands.empty()) {
        return ExpressionResult::Malformed;
    }
    // Negation: each "~" flips the operand that follows it.
    std::vector<bool> values;
    std::u16string binary;
    size_t next = 0;
    bool current = operands[next++];
    for (const char16_t op : operators) {
        if (op == u'~') {
            current = !current;
            continue;
        }
        if (next >= operands.size()) {
            return ExpressionResult::Malformed;
        }
        values.push_back(current);
        binary.push_back(op);
        current = operands[next++];
    }
    values.push_back(current);
    if (next != operands.size()) {
        return ExpressionResult::Malformed;
    }

    // And.
    std::vector<bool> terms;
    next = 0;
    current = values[next++];
    for (const char16_t op : binary) {
        const bool operand = values[next++];
        if (op == u'&') {
            current = current && operand;
        } else {
            terms.push_back(current);
            current = operand;
        }
    }
    terms.push_back(current);

    // Or.
    current = false;
    for (const bool term : terms) {
        current = current || term;
    }
    value = current;
    return ExpressionResult::Ok;
}

// One level: up to the ")" that closes it (nested) or the end of the text.
ExpressionResult EvaluateLevel(Scanner& scanner, int depth, bool& value) {
    std::vector<bool> operands;
    std::u16string operators;
    bool closed = false;
    while (scanner.pos < scanner.text.size() && !closed) {
        const char16_t c = scanner.text[scanner.pos++];
        switch (c) {
            case u'0':
            case u'1':
                operands.push_back(c == u'1');
                break;
            case u'&':
            case u'|':
            case u'~':
                operators.push_back(c);
                break;
            case u'(': {
                if (depth + 1 > kMaxExpressionDepth) {
                    return ExpressionResult::TooDeep;
                }
                bool inner = false;
                const ExpressionResult result = EvaluateLevel(scanner, depth + 1, inner);
                if (result != ExpressionResult::Ok) {
                    return result;
                }
                operands.push_back(inner);
                break;
            }
            case u')':
                if (depth == 0) {
                    return ExpressionResult::Unbalanced;
                }
                closed = true;
                break;
            default:
                return ExpressionResult::BadCharacter;
        }
    }
    if (depth > 0 && !closed) {
        return ExpressionResult::Unbalanced;
    }
    return Reduce(operands, operators, value);
}

}  // namespace

ExpressionResult EvaluateBoolExpression(std::u16string_view text, bool& value) {
    int open = 0;
    int close = 0;
    for (const char16_t c : text) {
        switch (c) {
            case u'(':
                ++open;
                break;
            case u')':
                ++close;
                break;
            case u'0':
            case u'1':
            case u'&':
            case u'|':
            case u'~':
                break;
            default:
                return ExpressionResult::BadCharacter;
        }
    }
    if (open != close) {
        return ExpressionResult::Unbalanced;
    }
    if (text.empty()) {
        return ExpressionResult::Malformed;
    }
    Scanner scanner{text, 0};
    bool result = false;
    const ExpressionResult code = EvaluateLevel(scanner, 0, result);
    if (code == ExpressionResult::Ok) {
        value = result;
    }
    return code;
}

}  // namespace zeph
