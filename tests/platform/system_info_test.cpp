#include "platform/system_info.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "platform/clock.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;

constexpr const char* kSystem =
    "[system]\nuser_name=alice\ncomputer_name=ALICE-PC\n"
    "[environment]\nSHORT=abc\nTemp=C:\\Override\nTMP=C:\\TmpFirst\n";

TEST(SystemInfo, EnvironmentExpansion) {
    ProfileFixture profile({.systemIni = kSystem});
    const struct {
        std::u16string_view in;
        std::u16string_view out;
    } cases[] = {
        {u"%APPDATA%\\x", u"C:\\Users\\alice\\AppData\\Roaming\\x"},
        {u"%allusersprofile%", u"C:\\ProgramData"},
        {u"%TEMP%", u"C:\\Override"},                     // [environment] wins, names ignore case
        {u"%ProgramFiles%", u"C:\\Program Files (x86)"},  // as the WOW64 installer sees it
        {u"%ProgramW6432%", u"C:\\Program Files"},
        {u"%PROCESSOR_ARCHITECTURE%", u"x86"},
        {u"%COMPUTERNAME%", u"ALICE-PC"},
        {u"%UNDEFINED%", u"%UNDEFINED%"},
        {u"%UNDEFINED%SHORT%", u"%UNDEFINEDabc"},  // the closing % may open the next name
        {u"100%", u"100%"},
        {u"%%", u"%%"},
        {u"%SHORT%%SHORT%", u"abcabc"},
        {u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandEnvironmentStrings(c.in), c.out) << U8(c.in);
    }
    EXPECT_EQ(GetEnvironmentVariable(u"windir"), u"C:\\Windows");
    EXPECT_EQ(GetEnvironmentVariable(u"nope"), std::nullopt);
}

// The installer's expansions allow 258 characters plus the terminator.
TEST(SystemInfo, ExpansionIntoALimitedBuffer) {
    ProfileFixture profile({.systemIni = kSystem});
    const std::u16string tail257(257 - 3, u'x');  // "abc" + 254 = 257 characters
    EXPECT_EQ(ExpandEnvironmentStrings(u"%SHORT%" + tail257, 259)->size(), 257u);
    EXPECT_EQ(ExpandEnvironmentStrings(u"%SHORT%" + tail257 + u"y", 259)->size(), 258u);
    EXPECT_EQ(ExpandEnvironmentStrings(u"%SHORT%" + tail257 + u"yz", 259), std::nullopt);
    EXPECT_EQ(ExpandEnvironmentStrings(u"%SHORT%", 3), std::nullopt);
    EXPECT_EQ(ExpandEnvironmentStrings(u"%SHORT%", 4), u"abc");
}

TEST(SystemInfo, FoldersFollowTheProcessKind) {
    const struct {
        const char* system;
        std::u16string_view programFiles;
        bool wow64;
        bool is64;
        uint16_t machine;
    } cases[] = {
        {"[system]\narchitecture=x64\nwow64=1\n", u"C:\\Program Files (x86)", true, true, 0x8664},
        {"[system]\narchitecture=x64\nwow64=0\n", u"C:\\Program Files", false, true, 0x8664},
        {"[system]\narchitecture=x86\n", u"C:\\Program Files", false, false, 0x014C},
        {"[system]\narchitecture=arm64\n", u"C:\\Program Files (x86)", true, true, 0xAA64},
    };
    for (const auto& c : cases) {
        ProfileFixture profile({.systemIni = c.system});
        EXPECT_EQ(GetKnownFolder(KnownFolder::ProgramFiles), c.programFiles) << c.system;
        EXPECT_EQ(IsWow64Process(), c.wow64) << c.system;
        EXPECT_EQ(Is64BitSystem(), c.is64) << c.system;
        EXPECT_EQ(GetNativeMachine(), c.machine) << c.system;
        EXPECT_EQ(GetKnownFolder(KnownFolder::System), u"C:\\Windows\\System32");
    }
    ProfileFixture profile({.systemIni = kSystem});
    EXPECT_EQ(GetTempPath(), u"C:\\TmpFirst\\");  // TMP before TEMP, as Windows reads them
    EXPECT_EQ(GetKnownFolder(KnownFolder::Temp), u"C:\\Users\\alice\\AppData\\Local\\Temp");
    EXPECT_EQ(GetUserName(), u"alice");
}

TEST(SystemInfo, VersionFacts) {
    ProfileFixture profile(
        {.systemIni = "[system]\nversion=5.1.2600\nservice_pack=3\nproduct_type=workstation\n"});
    const OsVersion v = GetOsVersion();
    EXPECT_EQ(v.major, 5u);
    EXPECT_EQ(v.minor, 1u);
    EXPECT_EQ(v.build, 2600u);
    EXPECT_EQ(v.platformId, 2u);
    EXPECT_EQ(v.servicePackMajor, 3u);
    EXPECT_EQ(v.csdVersion, u"Service Pack 3");
    EXPECT_EQ(GetAnsiCodePage(), 936u);
    EXPECT_EQ(GetSessionId(), 1u);
}

TEST(SystemInfo, TickCountStartsAtTheSimulatedRestart) {
    const int64_t origin = (UnixTime() - 3600) * 1000;  // an hour ago
    ProfileFixture profile({.systemIni = "[system]\ntick_origin=" + std::to_string(origin) + "\n"});
    const uint64_t ticks = GetTickCount64();
    EXPECT_GE(ticks, 3600u * 1000);
    EXPECT_LT(ticks, 3700u * 1000);

    const SystemTime utc = GetSystemTime();
    EXPECT_GE(utc.year, 2024);
    EXPECT_GE(utc.month, 1);
    EXPECT_LE(utc.month, 12);
    EXPECT_LE(utc.dayOfWeek, 6);
    EXPECT_LT(utc.milliseconds, 1000);
}

}  // namespace
}  // namespace zeph::platform
