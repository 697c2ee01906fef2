#include "base/numbers.h"

#include <gtest/gtest.h>

#include <climits>

namespace zeph {
namespace {

struct DecimalCase {
    std::u16string_view text;
    int wtoi;
    int strToInt;
};

TEST(DecimalReaders, FollowTheWindowsRoutines) {
    const DecimalCase cases[] = {
        {u"222", 222, 222},
        {u"0001", 1, 1},
        {u"716_k0001", 716, 716},
        {u"  42", 42, 42},
        {u"\t-17x", -17, -17},
        {u"+5", 5, 5},
        {u"", 0, 0},
        {u"abc", 0, 0},
        {u"-", 0, 0},
        {u"- 5", 0, 0},
        {u"2147483647", INT_MAX, INT_MAX},
        {u"-2147483648", INT_MIN, INT_MIN},
        // Out of range: _wtoi clamps, StrToIntW wraps.
        {u"2147483648", INT_MAX, INT_MIN},
        {u"4294967297", INT_MAX, 1},
        {u"-2147483649", INT_MIN, INT_MAX},
        {u"99999999999999999999", INT_MAX, 1661992959},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wtoi(c.text), c.wtoi) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(StrToIntW(c.text), c.strToInt) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(DecimalReaders, NarrowAtoiMatchesWtoi) {
    EXPECT_EQ(Atoi(" 12ab"), 12);
    EXPECT_EQ(Atoi("x"), 0);
    EXPECT_EQ(Atoi("3000000000"), INT_MAX);
}

TEST(HexReader, WholeTextMustBeHex) {
    const struct {
        std::u16string_view text;
        uint32_t value;
    } cases[] = {
        {u"24", 0x24},       {u"8028", 0x8028}, {u"e400", 0xE400}, {u"E400", 0xE400},
        {u"", 0},            {u"0x10", 0},      {u"12g", 0},       {u" 12", 0},
        {u"ffffffff", 0xFFFFFFFFu}, {u"123456789", 0x23456789u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadHexNumber(c.text), c.value) << std::string(c.text.begin(), c.text.end());
    }
}

}  // namespace
}  // namespace zeph
