#include <gtest/gtest.h>

#include <map>

#include "base/ascii.h"
#include "base/format.h"

namespace zeph {
namespace {

TEST(Ascii, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(AsciiLower(u"HKLM\\Software\\ÄB"), u"hklm\\software\\Äb");
    EXPECT_EQ(AsciiUpper("abc-xyz_1"), "ABC-XYZ_1");
}

TEST(Ascii, CompareIgnoresCaseAndOrdersByLength) {
    EXPECT_EQ(AsciiCompareIgnoreCase(u"Install", u"INSTALL"), 0);
    EXPECT_LT(AsciiCompareIgnoreCase(u"abc", u"ABD"), 0);
    EXPECT_LT(AsciiCompareIgnoreCase(u"ab", u"abc"), 0);
    EXPECT_GT(AsciiCompareIgnoreCase(u"\u00E9", u"z"), 0);
    EXPECT_TRUE(AsciiEqualsIgnoreCase("Common", "cOMMON"));
    EXPECT_FALSE(AsciiEqualsIgnoreCase("Common", "Commons"));
}

TEST(Ascii, SearchHelpers) {
    EXPECT_TRUE(AsciiStartsWithIgnoreCase(u"Global\\Name", u"global\\"));
    EXPECT_TRUE(AsciiEndsWithIgnoreCase(u"driver.SYS", u".sys"));
    EXPECT_EQ(AsciiFindIgnoreCase(u"xxSOCKS=host", u"socks="), 2u);
    EXPECT_EQ(AsciiFindIgnoreCase(u"abc", u"abcd"), std::u16string_view::npos);
}

TEST(Ascii, MapKeyedCaseInsensitively) {
    std::map<std::u16string, int, AsciiLessIgnoreCase> map;
    map[u"Software"] = 1;
    map[u"SOFTWARE"] = 2;
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(map.begin()->first, u"Software");  // case preserved
    EXPECT_EQ(map.begin()->second, 2);
}

TEST(Format, NarrowFormatting) {
    EXPECT_EQ(Format("%d-%d-%d %02d:%02d:%02d %03d  ", 2026, 12, 1, 9, 5, 7, 42),
              "2026-12-1 09:05:07 042  ");
    EXPECT_EQ(Format("%s", std::string(1000, 'x').c_str()).size(), 1000u);
}

TEST(Format, WideFormattingFollowsWindowsConventions) {
    const struct {
        std::u16string got;
        std::u16string expected;
    } cases[] = {
        {FormatW(u"%s_d_%x", u"C:\\a.exe", 0xBEEFu), u"C:\\a.exe_d_beef"},
        {FormatW(u"\"%s\" %s", u"C:\\p q\\a.exe", u"-x"), u"\"C:\\p q\\a.exe\" -x"},
        {FormatW(u"%S|%hs|%ls", "narrow", "n2", u"wide"), u"narrow|n2|wide"},
        {FormatW(u"%d_%d", 716, -3), u"716_-3"},
        {FormatW(u"%I64d %lld %llu", 1LL << 40, -5LL, 7ULL), u"1099511627776 -5 7"},
        {FormatW(u"%5s|%-5s|%.2s", u"ab", u"cd", u"xyz"), u"   ab|cd   |xy"},
        {FormatW(u"%c%c", u'中', u'!'), u"中!"},
        {FormatW(u"%08X %%", 0x1234u), u"00001234 %"},
        {FormatW(u"%s", u"中文"), u"中文"},
        {FormatW(u"PacketPath_%d_%d_%d", 222, 716, 1), u"PacketPath_222_716_1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got, c.expected);
    }
}

}  // namespace
}  // namespace zeph

#include "base/log.h"
#include "tests/support/log_capture.h"

namespace zeph {
namespace {

TEST(Log, GoesToTheRegisteredSinkOnly) {
    Log("dropped %d", 1);  // no sink: nothing happens
    {
        test::LogCapture capture;
        Log("DownloadControl -- ExE CurlCode = %d, Count = %d", 28, 3);
        Log("%s", "中文");
        EXPECT_EQ(capture.Lines(),
                  (std::vector<std::string>{"DownloadControl -- ExE CurlCode = 28, Count = 3",
                                            "中文"}));
    }
    EXPECT_EQ(GetLogSink(), nullptr);
}

}  // namespace
}  // namespace zeph
