#include "base/strings.h"

#include <gtest/gtest.h>

namespace zeph {
namespace {

TEST(Utf, RoundTripsBmpAndSupplementaryCharacters) {
    const std::string utf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // a é 中 😀
    const std::u16string utf16 = u"a\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    struct Case {
        const char* name;
        std::string utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"truncated at end", "a\xE4\xB8", u"a\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.expected) << c.name;
        EXPECT_FALSE(IsValidUtf8(c.utf8)) << c.name;
    }
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(CodePage, Gbk936RoundTripsChinese) {
    const std::u16string text = u"下载失败 abc";
    const std::string gbk = Utf16ToCodePage(text, kCodePageGbk);
    EXPECT_EQ(gbk, std::string("\xCF\xC2\xD4\xD8\xCA\xA7\xB0\xDC abc"));
    EXPECT_EQ(CodePageToUtf16(gbk, kCodePageGbk), text);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
    // U+0E01 (Thai) and an emoji have no GBK form; the pair counts as one.
    EXPECT_EQ(Utf16ToCodePage(u"a\u0E01b\U0001F600c", kCodePageGbk), "a?b?c");
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(CodePageToUtf16("a\xFF" "b", kCodePageGbk), u"a\uFFFDb");
    // A lead byte at the very end has no trail.
    EXPECT_EQ(CodePageToUtf16("ab\xCF", kCodePageGbk), u"ab\uFFFD");
}

TEST(CodePage, Utf8CodePageIsUtf8) {
    EXPECT_EQ(Utf16ToCodePage(u"中", kCodePageUtf8), "\xE4\xB8\xAD");
    EXPECT_EQ(CodePageToUtf16("\xE4\xB8\xAD", kCodePageUtf8), u"中");
}

TEST(CodePage, LongTextCrossesTheInternalBufferSize) {
    std::u16string text;
    for (int i = 0; i < 5000; ++i) {
        text += u"中a";
    }
    EXPECT_EQ(CodePageToUtf16(Utf16ToCodePage(text, kCodePageGbk), kCodePageGbk), text);
}

}  // namespace
}  // namespace zeph
