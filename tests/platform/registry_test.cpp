#include "platform/registry.h"

#include <gtest/gtest.h>

#include <set>

#include "base/strings.h"
#include "tests/platform/helper_process.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;

std::string Utf16Bytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST(Registry, KeysIgnoreCaseAndKeepTheirCase) {
    ProfileFixture profile;
    RegKey key;
    RegDisposition disposition{};
    ASSERT_EQ(RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\Tarnwell\\Antivirus",
                             RegView::Wow64_64, key, &disposition),
              WinError::Success);
    EXPECT_EQ(disposition, RegDisposition::CreatedNewKey);
    ASSERT_EQ(key.SetString(u"ProgramPath", u"C:\\Zeph"), WinError::Success);

    RegKey again;
    ASSERT_EQ(RegKey::Create(Hive::LocalMachine, u"software\\TARNWELL\\antivirus",
                             RegView::Wow64_64, again, &disposition),
              WinError::Success);
    EXPECT_EQ(disposition, RegDisposition::OpenedExistingKey);
    EXPECT_EQ(again.ReadString(u"programpath"), u"C:\\Zeph");

    RegKey parent;
    ASSERT_EQ(
        RegKey::Open(Hive::LocalMachine, u"Software", RegAccess::Read, RegView::Wow64_64, parent),
        WinError::Success);
    std::vector<std::u16string> names;
    ASSERT_EQ(parent.EnumSubKeys(names), WinError::Success);
    EXPECT_NE(std::find(names.begin(), names.end(), u"Tarnwell"), names.end());  // case as created
}

TEST(Registry, OpenReportsWhatIsMissingOrMalformed) {
    ProfileFixture profile;
    RegKey key;
    EXPECT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Nobody", RegAccess::Read,
                           RegView::Default, key),
              WinError::FileNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(
        RegKey::Open(Hive::LocalMachine, u"\\SOFTWARE", RegAccess::Read, RegView::Default, key),
        WinError::BadPathname);
    EXPECT_EQ(RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\\\x", RegView::Default, key),
              WinError::BadPathname);
    EXPECT_EQ(
        RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\", RegAccess::Read, RegView::Wow64_64, key),
        WinError::Success);  // one trailing backslash is fine
    ASSERT_EQ(RegKey::Open(Hive::Users, u"", RegAccess::Read, RegView::Default, key),
              WinError::Success);
    EXPECT_EQ(key.Path(), u"");
}

// On a 64-bit profile the 32-bit view lives under Wow6432Node; the installer
// (a WOW64 process) sees the 32-bit view by default.
TEST(Registry, ViewsRedirectAsWow64Does) {
    ProfileFixture profile;
    const struct {
        Hive hive;
        std::u16string_view path;    // as opened in the 32-bit view
        std::u16string_view stored;  // where it lives
    } cases[] = {
        {Hive::LocalMachine, u"SOFTWARE\\Tarnwell\\Antivirus",
         u"SOFTWARE\\Wow6432Node\\Tarnwell\\Antivirus"},
        {Hive::LocalMachine, u"SOFTWARE\\Wow6432Node\\Tencent", u"SOFTWARE\\Wow6432Node\\Tencent"},
        {Hive::LocalMachine, u"SOFTWARE\\Classes\\CLSID\\{1}",
         u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}"},
        {Hive::LocalMachine, u"SOFTWARE\\Classes\\.txt", u"SOFTWARE\\Classes\\.txt"},
        {Hive::LocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
         u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
        {Hive::LocalMachine, u"SYSTEM\\CurrentControlSet\\Services\\x",
         u"SYSTEM\\CurrentControlSet\\Services\\x"},
        {Hive::ClassesRoot, u"CLSID\\{9B7A98EC}\\Implemented Categories",
         u"Wow6432Node\\CLSID\\{9B7A98EC}\\Implemented Categories"},
        {Hive::ClassesRoot, u"Interface\\{2}", u"Interface\\{2}"},
        {Hive::CurrentUser, u"Software\\Tarnwell\\Zandrel\\0", u"Software\\Tarnwell\\Zandrel\\0"},
        {Hive::CurrentUser, u"Software\\Classes\\CLSID\\{3}",
         u"Software\\Classes\\Wow6432Node\\CLSID\\{3}"},
    };
    for (const auto& c : cases) {
        RegKey created;
        ASSERT_EQ(RegKey::Create(c.hive, c.path, RegView::Wow64_32, created), WinError::Success)
            << U8(c.path);
        EXPECT_EQ(created.Path(), c.stored) << U8(c.path);
        ASSERT_EQ(created.SetDword(u"marker", 7), WinError::Success);

        RegKey byDefault, in64;
        ASSERT_EQ(RegKey::Open(c.hive, c.path, RegAccess::Read, RegView::Default, byDefault),
                  WinError::Success);
        EXPECT_EQ(byDefault.ReadDword(u"marker"), 7u) << U8(c.path);
        ASSERT_EQ(RegKey::Open(c.hive, c.stored, RegAccess::Read, RegView::Wow64_64, in64),
                  WinError::Success)
            << U8(c.stored);
        EXPECT_EQ(in64.ReadDword(u"marker"), 7u) << U8(c.stored);
    }
    // The 64-bit view of a redirected key is another key.
    RegKey key;
    EXPECT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Tarnwell\\Antivirus", RegAccess::Read,
                           RegView::Wow64_64, key),
              WinError::FileNotFound);

    // A key opened in a view keeps it for paths below it.
    RegKey root, below;
    ASSERT_EQ(RegKey::Open(Hive::ClassesRoot, u"", RegAccess::Read, RegView::Wow64_32, root),
              WinError::Success);
    ASSERT_EQ(root.OpenSubKey(u"CLSID\\{9B7A98EC}", RegAccess::Read, below), WinError::Success);
    EXPECT_EQ(below.Path(), u"Wow6432Node\\CLSID\\{9B7A98EC}");
}

TEST(Registry, DefaultViewFollowsTheProcessKind) {
    const struct {
        const char* system;
        std::u16string_view stored;
    } cases[] = {
        {"[system]\narchitecture=x64\nwow64=1\n", u"SOFTWARE\\Wow6432Node\\Probe"},
        {"[system]\narchitecture=x64\nwow64=0\n", u"SOFTWARE\\Probe"},
        // A 32-bit system has one view; the view flags are ignored.
        {"[system]\narchitecture=x86\n", u"SOFTWARE\\Probe"},
    };
    for (const auto& c : cases) {
        ProfileFixture profile({.systemIni = c.system});
        RegKey key;
        ASSERT_EQ(RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\Probe", RegView::Default, key),
                  WinError::Success);
        EXPECT_EQ(key.Path(), c.stored) << c.system;
        RegKey viaFlag;
        ASSERT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Probe", RegAccess::Read,
                               c.stored.find(u"Wow6432Node") != std::u16string_view::npos
                                   ? RegView::Wow64_32
                                   : RegView::Wow64_64,
                               viaFlag),
                  WinError::Success)
            << c.system;
    }
}

TEST(Registry, QueryIntoTheCallersBuffer) {
    ProfileFixture profile;
    RegKey key;
    ASSERT_EQ(RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\Q", RegView::Default, key),
              WinError::Success);
    const std::u16string text(300, u'x');  // 602 bytes with its NUL: more than 260 units
    ASSERT_EQ(key.SetString(u"long", text), WinError::Success);
    ASSERT_EQ(key.SetString(u"short", u"abc"), WinError::Success);

    char16_t buffer[260];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    uint32_t size = sizeof buffer;
    RegType type = RegType::None;
    EXPECT_EQ(key.QueryValue(u"long", &type, buffer, &size), WinError::MoreData);
    EXPECT_EQ(size, 602u);
    EXPECT_EQ(type, RegType::Sz);
    EXPECT_EQ(buffer[0], u'#');  // left alone

    size = 8;  // exactly "abc" and its NUL
    EXPECT_EQ(key.QueryValue(u"short", &type, buffer, &size), WinError::Success);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(std::u16string(buffer), u"abc");

    size = 7;
    EXPECT_EQ(key.QueryValue(u"short", nullptr, buffer, &size), WinError::MoreData);
    EXPECT_EQ(size, 8u);

    size = 0;
    EXPECT_EQ(key.QueryValue(u"long", nullptr, nullptr, &size),
              WinError::Success);  // the size only
    EXPECT_EQ(size, 602u);
    EXPECT_EQ(key.QueryValue(u"short", &type, nullptr, nullptr), WinError::Success);
    EXPECT_EQ(key.QueryValue(u"absent", &type, buffer, &size), WinError::FileNotFound);
}

TEST(Registry, TypedReadsCheckTheType) {
    ProfileFixture profile({.registry = "[HKEY_CURRENT_USER\\Software\\T]\n"
                                        "\"s\"=\"text\"\n"
                                        "\"e\"=hex(2):25,00,54,00,25,00,00,00\n"
                                        "\"d\"=dword:ffffffff\n"
                                        "\"q\"=hex(b):ff,ff,ff,ff,ff,ff,ff,7f\n"
                                        "\"m\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\n"
                                        "\"nul\"=hex(1):61,00,00,00,62,00,00,00\n"
                                        "\"short\"=hex(4):01,02\n"});
    RegKey key;
    ASSERT_EQ(
        RegKey::Open(Hive::CurrentUser, u"Software\\T", RegAccess::Read, RegView::Default, key),
        WinError::Success);
    EXPECT_EQ(key.ReadString(u"s"), u"text");
    EXPECT_EQ(key.ReadString(u"e"), u"%T%");  // not expanded
    EXPECT_EQ(key.ReadString(u"nul"), u"a");  // up to the first NUL
    EXPECT_EQ(key.ReadString(u"d"), std::nullopt);
    EXPECT_EQ(key.ReadDword(u"d"), 0xFFFFFFFFu);
    EXPECT_EQ(key.ReadDword(u"s"), std::nullopt);
    EXPECT_EQ(key.ReadDword(u"short"), std::nullopt);  // REG_DWORD of two bytes
    EXPECT_EQ(key.ReadQword(u"q"), 0x7FFFFFFFFFFFFFFFull);
    EXPECT_EQ(key.ReadMultiString(u"m"), (std::vector<std::u16string>{u"a", u"bc"}));
    EXPECT_EQ(key.ReadBinary(u"short"), std::string("\x01\x02", 2));
}

TEST(Registry, WritesNeedWriteAccessAndLand) {
    ProfileFixture profile;
    RegKey created;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, u"Software\\W", RegView::Default, created),
              WinError::Success);
    RegKey readOnly;
    ASSERT_EQ(RegKey::Open(Hive::CurrentUser, u"Software\\W", RegAccess::Read, RegView::Default,
                           readOnly),
              WinError::Success);
    EXPECT_EQ(readOnly.SetDword(u"x", 1), WinError::AccessDenied);
    EXPECT_EQ(readOnly.DeleteValue(u"x"), WinError::AccessDenied);
    RegKey writeOnly;
    ASSERT_EQ(RegKey::Open(Hive::CurrentUser, u"Software\\W", RegAccess::Write, RegView::Default,
                           writeOnly),
              WinError::Success);
    EXPECT_EQ(writeOnly.SetQword(u"q", 5), WinError::Success);
    EXPECT_EQ(writeOnly.ReadQword(u"q"), std::nullopt);  // KEY_WRITE cannot query
    ASSERT_EQ(created.SetMultiString(u"m", {u"one", u"two"}), WinError::Success);
    ASSERT_EQ(created.SetBinary(u"b", std::string("\0\1", 2)), WinError::Success);
    ASSERT_EQ(created.SetString(u"e", u"%TEMP%", RegType::ExpandSz), WinError::Success);

    // A fresh profile object reads the values back from the file.
    profile.Reopen();
    RegKey fresh;
    ASSERT_EQ(
        RegKey::Open(Hive::CurrentUser, u"Software\\W", RegAccess::Read, RegView::Default, fresh),
        WinError::Success);
    std::vector<RegValueEntry> values;
    ASSERT_EQ(fresh.EnumValues(values), WinError::Success);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0].name, u"q");  // creation order
    EXPECT_EQ(values[1].data, Utf16Bytes(std::u16string(u"one\0two\0\0", 9)));
    EXPECT_EQ(values[2].type, RegType::Binary);
    EXPECT_EQ(values[3].type, RegType::ExpandSz);
    const std::string text = zeph::test::ReadFile(profile.Root() / "registry" / "HKCU.reg");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\W]\n\"q\"=hex(b):05,00,00,00,00,00,00,00\n"),
              std::string::npos)
        << text;
}

TEST(Registry, DeletingValuesAndKeys) {
    ProfileFixture profile({.registry =
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\D\\Child\\Leaf]\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\D]\n\"v\"=\"1\"\n"});
    RegKey d;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\D", RegAccess::All, RegView::Default, d),
              WinError::Success);
    EXPECT_EQ(d.DeleteValue(u"V"), WinError::Success);
    EXPECT_EQ(d.DeleteValue(u"v"), WinError::FileNotFound);
    EXPECT_EQ(d.DeleteSubKey(u"Child"), WinError::AccessDenied);  // it has a subkey
    EXPECT_EQ(d.DeleteSubKey(u"Missing"), WinError::FileNotFound);

    RegKey child;
    ASSERT_EQ(d.OpenSubKey(u"child", RegAccess::All, child), WinError::Success);
    EXPECT_EQ(d.DeleteSubKeyTree(u"CHILD"), WinError::Success);
    EXPECT_EQ(child.SetDword(u"x", 1), WinError::KeyDeleted);  // a handle to a deleted key
    EXPECT_EQ(child.ReadDword(u"x"), std::nullopt);

    EXPECT_EQ(DeleteKey(Hive::LocalMachine, u"SOFTWARE\\D", RegView::Default, DeleteMode::KeyOnly),
              WinError::Success);
    EXPECT_EQ(DeleteKey(Hive::LocalMachine, u"SOFTWARE\\D", RegView::Default, DeleteMode::Tree),
              WinError::FileNotFound);
    EXPECT_EQ(DeleteKey(Hive::LocalMachine, u"", RegView::Default, DeleteMode::Tree),
              WinError::AccessDenied);
}

// Two programs that write at the same time both keep their values.
TEST(Registry, ProcessesWritingAtOnceLoseNothing) {
    ProfileFixture profile;
    constexpr int kCount = 40;
    Process a, b;
    ASSERT_EQ(helper::StartHelper("reg-set Software\\Shared a " + std::to_string(kCount), a),
              WinError::Success);
    ASSERT_EQ(helper::StartHelper("reg-set Software\\Shared b " + std::to_string(kCount), b),
              WinError::Success);
    // And this process as a third writer into the same hive.
    RegKey mine;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, u"Software\\Shared", RegView::Default, mine),
              WinError::Success);
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(mine.SetDword(U16("c" + std::to_string(i)), static_cast<uint32_t>(i)),
                  WinError::Success);
    }
    ASSERT_EQ(a.Wait(60000), WaitResult::Signaled);
    ASSERT_EQ(b.Wait(60000), WaitResult::Signaled);
    EXPECT_EQ(a.ExitCode(), 0u);
    EXPECT_EQ(b.ExitCode(), 0u);

    std::vector<RegValueEntry> values;
    ASSERT_EQ(mine.EnumValues(values), WinError::Success);
    std::set<std::u16string> names;
    for (const auto& v : values) {
        names.insert(v.name);
    }
    EXPECT_EQ(names.size(), 3u * kCount);
    for (const char* prefix : {"a", "b", "c"}) {
        for (int i = 0; i < kCount; ++i) {
            EXPECT_TRUE(names.count(U16(prefix + std::to_string(i)))) << prefix << i;
        }
    }
}

TEST(Registry, DamagedHiveIsReportedAndLeftAlone) {
    ProfileFixture profile;
    const std::string damaged =
        "Windows Registry Editor Version "
        "5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"v\"=dword:zz\n";
    const auto path = profile.Write("registry/HKLM.reg", damaged);
    profile.Reopen();

    RegKey key;
    EXPECT_EQ(
        RegKey::Open(Hive::LocalMachine, u"SOFTWARE", RegAccess::Read, RegView::Wow64_64, key),
        WinError::RegistryCorrupt);
    EXPECT_EQ(RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\B", RegView::Wow64_64, key),
              WinError::RegistryCorrupt);
    std::string error;
    EXPECT_EQ(ImportRegText("Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\C]\n",
                            RegView::Wow64_64, error),
              WinError::RegistryCorrupt);
    const std::string problem = HiveProblem(Hive::LocalMachine);
    EXPECT_NE(problem.find("HKLM.reg:4:"), std::string::npos) << problem;
    EXPECT_EQ(zeph::test::ReadFile(path), damaged);  // never rewritten

    // The other hives are not affected.
    EXPECT_EQ(RegKey::Create(Hive::CurrentUser, u"Software\\Fine", RegView::Default, key),
              WinError::Success);
    EXPECT_EQ(HiveProblem(Hive::CurrentUser), "");
}

TEST(Registry, ImportAndExportRoundTrip) {
    ProfileFixture profile(
        {.registry = "[HKEY_CURRENT_USER\\Software\\Old]\n\"x\"=\"1\"\n"
                     "[HKEY_CURRENT_USER\\Software\\Keep]\n\"gone\"=\"1\"\n\"stay\"=\"2\"\n"});
    std::string error;
    ASSERT_EQ(
        ImportRegText("Windows Registry Editor Version 5.00\n"
                      "[-HKEY_CURRENT_USER\\Software\\Old]\n"
                      "[HKEY_CURRENT_USER\\Software\\Keep]\n\"gone\"=-\n\"new\"=dword:00000002\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Imported\\Deep]\n@=\"d\"\n",
                      RegView::Wow64_32, error),
        WinError::Success)
        << error;
    RegKey key;
    EXPECT_EQ(
        RegKey::Open(Hive::CurrentUser, u"Software\\Old", RegAccess::Read, RegView::Default, key),
        WinError::FileNotFound);
    ASSERT_EQ(
        RegKey::Open(Hive::CurrentUser, u"Software\\Keep", RegAccess::Read, RegView::Default, key),
        WinError::Success);
    EXPECT_EQ(key.ReadString(u"gone"), std::nullopt);
    EXPECT_EQ(key.ReadString(u"stay"), u"2");
    EXPECT_EQ(key.ReadDword(u"new"), 2u);
    // Imported in the 32-bit view: redirected.
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Wow6432Node\\Imported\\Deep",
                           RegAccess::Read, RegView::Wow64_64, key),
              WinError::Success);
    EXPECT_EQ(key.ReadString(u""), u"d");

    std::string exported;
    ASSERT_EQ(ExportRegText(Hive::CurrentUser, u"software\\keep", RegView::Default, exported),
              WinError::Success);
    EXPECT_EQ(exported,
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Keep]\n"
              "\"stay\"=\"2\"\n\"new\"=dword:00000002\n");
    EXPECT_EQ(ExportRegText(Hive::CurrentUser, u"Software\\None", RegView::Default, exported),
              WinError::FileNotFound);

    // A malformed text changes nothing, not even its valid first part.
    EXPECT_EQ(
        ImportRegText(
            "Windows Registry Editor Version 5.00\n[HKCU\\Software\\Half]\n\"a\"=\"1\"\nbad\n",
            RegView::Default, error),
        WinError::InvalidData);
    EXPECT_NE(error.find("line 4"), std::string::npos) << error;
    EXPECT_EQ(
        RegKey::Open(Hive::CurrentUser, u"Software\\Half", RegAccess::Read, RegView::Default, key),
        WinError::FileNotFound);
}

}  // namespace
}  // namespace zeph::platform
