#include "base/ini.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

const char16_t kSample[] =
    u"; channel settings\r\n"
    u"[Install]\r\n"
    u"  cid = 222 \r\n"
    u"tid=716\r\n"
    u"name=\"quoted value\"\r\n"
    u"single='x'\r\n"
    u"half=\"open\r\n"
    u"empty=\r\n"
    u"cid=999\r\n"
    u"[install]\r\n"
    u"kid=7\r\n"
    u"[Other]\r\n"
    u"neg=-12abc\r\n"
    u"text=abc\r\n";

TEST(Ini, LookupsFollowGetPrivateProfileString) {
    const IniDocument ini = IniDocument::Parse(kSample);
    const struct {
        std::u16string_view section, key, def;
        size_t buffer;
        std::u16string_view expected;
    } cases[] = {
        {u"install", u"CID", u"", 256, u"222"},          // names case-insensitive, first key wins
        {u"INSTALL", u"tid", u"", 256, u"716"},
        {u"install", u"name", u"", 256, u"quoted value"}, // matching quotes dropped
        {u"install", u"single", u"", 256, u"x"},
        {u"install", u"half", u"", 256, u"\"open"},       // unmatched quote kept
        {u"install", u"empty", u"dflt", 256, u""},        // present but empty: not the default
        {u"install", u"kid", u"none", 256, u"none"},      // only the first [install] is searched
        {u"install", u"missing", u"dflt  ", 256, u"dflt"}, // default loses trailing blanks
        {u"nosection", u"cid", u"d", 256, u"d"},
        {u"install", u"name", u"", 6, u"quote"},          // buffer of 6 holds 5 characters
        {u"install", u"name", u"", 1, u""},
        {u"install", u"name", u"", 0, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.GetString(c.section, c.key, c.def, c.buffer), c.expected)
            << U8(c.section) << "/" << U8(c.key) << " buffer " << c.buffer;
    }
}

TEST(Ini, IntegersFollowGetPrivateProfileInt) {
    const IniDocument ini = IniDocument::Parse(kSample);
    EXPECT_EQ(ini.GetInt(u"install", u"cid", 5), 222);
    EXPECT_EQ(ini.GetInt(u"other", u"neg", 5), -12);
    EXPECT_EQ(ini.GetInt(u"other", u"text", 5), 0);
    EXPECT_EQ(ini.GetInt(u"install", u"empty", 5), 5);
    EXPECT_EQ(ini.GetInt(u"install", u"missing", 5), 5);
}

TEST(Ini, EnumeratesAndReportsProblemLines) {
    const IniDocument ini = IniDocument::Parse(u"orphan=1\n[a]\nx=1\nbroken line\n[b\n[c]\n");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::u16string>{u"a", u"c"}));
    EXPECT_EQ(ini.KeyNames(u"A"), (std::vector<std::u16string>{u"x"}));
    ASSERT_EQ(ini.Problems().size(), 3u);
    EXPECT_EQ(ini.Problems()[0].line, 1);  // a key before any section
    EXPECT_EQ(ini.Problems()[1].line, 4);
    EXPECT_EQ(ini.Problems()[2].line, 5);
}

TEST(Ini, FileEncodings) {
    test::TempDir dir;
    const std::string utf16 = std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0-N\n\0", 18);
    const std::string gbk = "[s]\nk=\xD6\xD0\n";  // 中 in GBK, not valid UTF-8
    const std::string utf8Bom = "\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\n";
    for (const auto& [name, bytes] : {std::pair{"utf16.ini", utf16}, std::pair{"gbk.ini", gbk},
                                      std::pair{"utf8.ini", utf8Bom}}) {
        const auto ini = IniDocument::Load(dir.Write(name, bytes).string(), kCodePageGbk);
        ASSERT_TRUE(ini.has_value()) << name;
        EXPECT_EQ(ini->GetString(u"s", u"k", u"", 256), u"中") << name;
    }
    EXPECT_FALSE(IniDocument::Load((dir.Path() / "missing.ini").string(), kCodePageGbk));
}

TEST(Ini, WriterOutputReadsBack) {
    IniWriter writer;
    writer.Comment(u"generated");
    writer.Section(u"endpoints");
    writer.Value(u"config", u"127.0.0.1:8080");
    writer.Section(u"other");
    writer.Value(u"k", u"v");
    const IniDocument ini = IniDocument::Parse(writer.Text());
    EXPECT_TRUE(ini.Problems().empty());
    EXPECT_EQ(ini.GetString(u"endpoints", u"config", u"", 256), u"127.0.0.1:8080");
    EXPECT_EQ(ini.GetString(u"other", u"k", u"", 256), u"v");
}

}  // namespace
}  // namespace zeph
