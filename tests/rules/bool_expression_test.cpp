#include "rules/bool_expression.h"

#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"

namespace zeph {
namespace {

struct ExpressionCase {
    const char* text;
    ExpressionResult result;
    bool value;  // when result is Ok
};

TEST(BoolExpression, EvaluatesWithPrecedenceNotAndOr) {
    const ExpressionCase cases[] = {
        {"1", ExpressionResult::Ok, true},
        {"0", ExpressionResult::Ok, false},
        {"~0", ExpressionResult::Ok, true},
        {"~~1", ExpressionResult::Ok, true},
        {"1&0", ExpressionResult::Ok, false},
        {"0|1", ExpressionResult::Ok, true},
        // "&" binds tighter than "|".
        {"0&1|1", ExpressionResult::Ok, true},
        {"1|1&0", ExpressionResult::Ok, true},
        {"0|1&0", ExpressionResult::Ok, false},
        // "~" applies to the operand that follows it only.
        {"~1&0", ExpressionResult::Ok, false},
        {"1&~0", ExpressionResult::Ok, true},
        {"~1|1", ExpressionResult::Ok, true},
        // Inside parentheses "~" negates the whole group.
        {"~(1&0)", ExpressionResult::Ok, true},
        {"~(1|0)&1", ExpressionResult::Ok, false},
        {"(0|1)&(1|0)", ExpressionResult::Ok, true},
        {"((((1))))", ExpressionResult::Ok, true},
        {"1&~1", ExpressionResult::Ok, false},
        // A trailing "~" still flips the operand before it: the passes only
        // count operands and binary operators.
        {"1~", ExpressionResult::Ok, false},
    };
    for (const auto& c : cases) {
        bool value = !c.value;
        EXPECT_EQ(EvaluateBoolExpression(U16(c.text), value), c.result) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(BoolExpression, RejectsMalformedText) {
    const ExpressionCase cases[] = {
        {"", ExpressionResult::Malformed, false},
        {"()", ExpressionResult::Malformed, false},
        {"1&", ExpressionResult::Malformed, false},
        {"&1", ExpressionResult::Malformed, false},
        {"1&&1", ExpressionResult::Malformed, false},
        {"11", ExpressionResult::Malformed, false},  // an operand left over
        {"~", ExpressionResult::Malformed, false},
        {"(1", ExpressionResult::Unbalanced, false},
        {"1)", ExpressionResult::Unbalanced, false},
        {")1(", ExpressionResult::Unbalanced, false},  // counts agree, order does not
        {"1 ", ExpressionResult::BadCharacter, false},
        {"2", ExpressionResult::BadCharacter, false},
        {"1+0", ExpressionResult::BadCharacter, false},
    };
    for (const auto& c : cases) {
        bool value = true;
        EXPECT_EQ(EvaluateBoolExpression(U16(c.text), value), c.result) << '"' << c.text << '"';
        EXPECT_TRUE(value) << "failure wrote the value for " << c.text;
    }
}

TEST(BoolExpression, NestingIsBoundedInsteadOfRecursingWithoutEnd) {
    const auto nested = [](int depth) {
        return std::u16string(static_cast<size_t>(depth), u'(') + u"1" +
               std::u16string(static_cast<size_t>(depth), u')');
    };
    bool value = false;
    EXPECT_EQ(EvaluateBoolExpression(nested(kMaxExpressionDepth), value), ExpressionResult::Ok);
    EXPECT_TRUE(value);
    EXPECT_EQ(EvaluateBoolExpression(nested(kMaxExpressionDepth + 1), value),
              ExpressionResult::TooDeep);
    // Far deeper than any stack would take unbounded.
    EXPECT_EQ(EvaluateBoolExpression(nested(1'000'000), value), ExpressionResult::TooDeep);
}

}  // namespace
}  // namespace zeph
