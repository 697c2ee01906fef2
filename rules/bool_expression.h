// The small boolean language of check items and conditions: "0" and "1",
// "~" (not), "&" (and), "|" (or) and parentheses, with "~" binding tighter
// than "&" and "&" tighter than "|". Every operand is already computed, so
// there is no short-circuit.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeph {

enum class ExpressionResult : int32_t {
    Ok = 0,
    BadCharacter = 1,  // a character other than 0 1 & | ~ ( )
    Unbalanced = 2,    // unequal counts of "(" and ")", or a ")" with no "(" before it
    Malformed = 3,     // empty text or group, an operand or operator too few or too many
    TooDeep = 4,       // parentheses nested deeper than kMaxExpressionDepth
};

// Nesting bound of parentheses; the evaluator recurses once per level.
inline constexpr int kMaxExpressionDepth = 64;

// Evaluates `text`; `value` is written only on success.
ExpressionResult EvaluateBoolExpression(std::u16string_view text, bool& value);

}  // namespace zeph
