#include "base/json.h"

#include <gtest/gtest.h>

#include "base/strings.h"

namespace cf::BkJson {
namespace {

using zeph::U8;

struct ParseCase {
    const char16_t* text;
    bool ok;
    ErrorCode code;
    int line;
    int column;
};

TEST(JsonParse, ResultsAndErrorPositions) {
    const ParseCase cases[] = {
        {u"{\"cityid\":\"101\",\"ret\":0}", true, ErrorCode::None, -1, -1},
        {u"[1,2]", true, ErrorCode::None, -1, -1},
        {u"12abc", true, ErrorCode::None, -1, -1},  // text after the root is not examined
        {u"true", true, ErrorCode::None, -1, -1},
        {u"\"s\"", true, ErrorCode::None, -1, -1},
        {u"[null]", true, ErrorCode::None, -1, -1},
        {u" [1] ", true, ErrorCode::None, -1, -1},
        // The object attempt comes last, so its error is the one reported.
        {u"[1,2,]", false, ErrorCode::BraceExpected, 1, 1},
        {u" true", false, ErrorCode::BraceExpected, 1, 2},
        {u"null", false, ErrorCode::BraceExpected, 1, 1},
        {u"", false, ErrorCode::BraceExpected, 1, 1},
        {u"{\"a\":1,}", false, ErrorCode::QuoteExpected, 1, 8},
        {u"{\"a\":1 \"b\":2}", false, ErrorCode::CommaOrCloseExpected, 1, 8},
        {u"{\"a\" 1}", false, ErrorCode::ColonExpected, 1, 6},
        {u"{\"a\":}", false, ErrorCode::ValueExpected, 1, 6},
        {u"{\"a\":-", false, ErrorCode::MinusAtEnd, 1, 7},
        {u"{\"a\":-x}", false, ErrorCode::ValueExpected, 1, 7},
        {u"{\"a\":\"x", false, ErrorCode::StringNotTerminated, 1, 8},
        {u"{\"a\":\"\\q\"}", false, ErrorCode::BadEscape, 1, 8},
        {u"{\"a\":\"\\u0000\"}", false, ErrorCode::BadEscape, 1, 8},
        {u"{\"a\":\"\\u12G4\"}", false, ErrorCode::BadEscape, 1, 11},
        {u"{\n  \"a\":\n  [1 2]}", false, ErrorCode::CommaOrCloseExpected, 3, 6},
        {u"{\"a\":[1,2}", false, ErrorCode::CommaOrCloseExpected, 1, 10},
        {u"{\"a\":tru}", false, ErrorCode::ValueExpected, 1, 6},
        {u"{\"a\":1", false, ErrorCode::CommaOrCloseExpected, 1, 7},
    };
    for (const auto& c : cases) {
        Document doc;
        EXPECT_EQ(doc.Parse(c.text), c.ok ? 1 : 0) << U8(c.text);
        EXPECT_EQ(doc.GetError().code, c.code) << U8(c.text);
        if (!c.ok) {
            EXPECT_EQ(doc.GetError().line, c.line) << U8(c.text);
            EXPECT_EQ(doc.GetError().column, c.column) << U8(c.text);
            EXPECT_EQ(doc.Root(), nullptr);
            EXPECT_EQ(doc.ToString(), u"");
        }
    }
}

TEST(JsonParse, ValuesAndTypes) {
    Document doc;
    ASSERT_EQ(doc.Parse(u"{\"cityid\":\"101\",\"ret\":0,\"b\":false,\"n\":null,\"big\":2147483648,"
                        u"\"neg\":-12,\"esc\":\"\\u4e2D\\n\\/\"}"),
              1);
    EXPECT_EQ(doc.Member(u"cityid").AsString(), u"101");
    EXPECT_EQ(doc.Member(u"ret").AsString(), std::nullopt);
    EXPECT_EQ(doc.Member(u"ret").GetValue()->GetType(), Type::Long);
    EXPECT_EQ(static_cast<ValueLong*>(doc.Member(u"big").GetValue())->m_number, INT32_MIN);
    EXPECT_EQ(static_cast<ValueLong*>(doc.Member(u"neg").GetValue())->m_number, -12);
    EXPECT_EQ(static_cast<ValueBool*>(doc.Member(u"b").GetValue())->m_value, 0);
    EXPECT_EQ(doc.Member(u"n").GetValue()->GetType(), Type::Null);
    EXPECT_EQ(doc.Member(u"esc").AsString(), u"\u4E2D\n/");
    EXPECT_EQ(doc.HasMember(u"cityid"), 1);
    EXPECT_EQ(doc.HasMember(u"CityId"), 0);  // keys are case-sensitive
}

TEST(JsonParse, DuplicateKeyKeepsTheLaterValue) {
    Document doc;
    ASSERT_EQ(doc.Parse(u"{\"a\":1,\"a\":\"two\"}"), 1);
    EXPECT_EQ(doc.Member(u"a").AsString(), u"two");
    EXPECT_EQ(doc.ToString(), u"{\"a\":\"two\"}");
}

TEST(JsonParse, IntegerRootWrapsAndStopsAtFirstNonDigit) {
    const struct {
        const char16_t* text;
        int32_t value;
    } cases[] = {{u"2147483648", INT32_MIN}, {u"-2147483648", INT32_MIN}, {u"4294967297", 1},
                 {u"12abc", 12}, {u"-0", 0}};
    for (const auto& c : cases) {
        Document doc;
        ASSERT_EQ(doc.Parse(c.text), 1) << U8(c.text);
        ASSERT_EQ(doc.Root()->GetType(), Type::Long);
        EXPECT_EQ(static_cast<ValueLong*>(doc.Root())->m_number, c.value) << U8(c.text);
    }
}

TEST(JsonParse, NestingDepthIsBounded) {
    for (const char16_t* open : {u"[", u"{\"k\":"}) {
        std::u16string deep;
        for (int i = 0; i < 100000; ++i) {
            deep += open;
        }
        Document doc;
        EXPECT_EQ(doc.Parse(deep), 0);
    }
    std::u16string deepObject;
    for (int i = 0; i < kMaxDepth + 1; ++i) {
        deepObject += u"{\"k\":";
    }
    Document doc;
    EXPECT_EQ(doc.Parse(deepObject), 0);
    EXPECT_EQ(doc.GetError().code, ErrorCode::TooDeep);

    std::u16string fits;
    for (int i = 0; i < kMaxDepth; ++i) {
        fits = u"[" + fits + u"]";
    }
    EXPECT_EQ(doc.Parse(fits), 1);
}

TEST(JsonWrite, CompactEscapesAndOrder) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"{\"b\":1,\"a\":2}", u"{\"a\":2,\"b\":1}"},
        {u"\"\u00E9\"", u"\"\\u00e9\""},
        {u"\"\u4E2D\"", u"\"\u4E2D\""},
        {u"\"a/b\\\\c\\\"\"", u"\"a\\/b\\\\c\\\"\""},
        {u"\"\\b\\f\\n\\r\\t\\u0001\\u007F\\u00FF\\u0100\"",
         u"\"\\b\\f\\n\\r\\t\\u0001\\u007f\\u00ff\u0100\""},
        {u"[ true , false , null , -7 ]", u"[true,false,null,-7]"},
        {u"{}", u"{}"},
        {u"[]", u"[]"},
    };
    for (const auto& c : cases) {
        Document doc;
        ASSERT_EQ(doc.Parse(c.in), 1) << U8(c.in);
        EXPECT_EQ(doc.ToString(), c.out) << U8(c.in);
    }
}

TEST(JsonWrite, PrettyLayout) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"{\"a\":1,\"b\":[1]}", u"{\r\n    \"a\" : 1,\r\n    \"b\" : [1]\r\n}"},
        {u"[1,2]", u"[\r\n    1, \r\n    2\r\n]"},
        {u"[[3]]", u"[\r\n    [3]\r\n]"},
        {u"{\"o\":{\"x\":1}}", u"{\r\n    \"o\" : {\r\n        \"x\" : 1\r\n    }\r\n}"},
        {u"{}", u"{\r\n}"},
    };
    for (const auto& c : cases) {
        Document doc;
        ASSERT_EQ(doc.Parse(c.in), 1) << U8(c.in);
        EXPECT_EQ(doc.ToPrettyString(), c.out) << U8(c.in);
        // Pretty text reads back to the same document.
        Document again;
        ASSERT_EQ(again.Parse(doc.ToPrettyString()), 1);
        EXPECT_EQ(again.ToString(), doc.ToString());
    }
}

TEST(JsonEdit, MemberAndSetLongReplaceValues) {
    Document doc;
    ASSERT_EQ(doc.Parse(u"{\"s\":\"text\",\"t\":\"x\"}"), 1);
    doc.Member(u"s").SetLong(3);
    EXPECT_EQ(doc.ToString(), u"{\"s\":3,\"t\":\"x\"}");
    doc.Member(u"t").Member(u"inner").SetLong(5);
    EXPECT_EQ(doc.ToString(), u"{\"s\":3,\"t\":{\"inner\":5}}");
    doc.Member(u"new");
    EXPECT_EQ(doc.ToString(), u"{\"new\":null,\"s\":3,\"t\":{\"inner\":5}}");
}

TEST(JsonEdit, MemberOnEmptyDocumentCreatesAnObjectRoot) {
    Document doc;
    doc.Member(u"360").SetLong(1);
    doc.Member(u"hr").SetLong(0);
    EXPECT_EQ(doc.ToString(), u"{\"360\":1,\"hr\":0}");
}

TEST(JsonEdit, ArrayElementsAreReplacedInPlace) {
    Document doc;
    ASSERT_EQ(doc.Parse(u"{\"a\":[\"x\",2]}"), 1);
    auto* array = static_cast<ValueArray*>(doc.Member(u"a").GetValue());
    array->At(0)->SetLong(9);
    array->At(1)->Member(u"k");
    EXPECT_EQ(doc.ToString(), u"{\"a\":[9,{\"k\":null}]}");
}

TEST(JsonEdit, NonObjectRootGivesTheSharedEmptyHandle) {
    Document doc;
    ASSERT_EQ(doc.Parse(u"[1]"), 1);
    Handle& h = doc.Member(u"x");
    EXPECT_TRUE(h.IsEmpty());
    EXPECT_EQ(&h, &Handle::Empty());
    EXPECT_EQ(&h.Member(u"y"), &Handle::Empty());
    h.SetLong(4);  // nothing happens
    EXPECT_EQ(h.AsString(), std::nullopt);
    EXPECT_EQ(doc.ToString(), u"[1]");
}

}  // namespace
}  // namespace cf::BkJson
