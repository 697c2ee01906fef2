#include "platform/profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/strings.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;
using zeph::test::ReadFile;

TEST(Profile, CreatedWithDefaultsOnFirstUse) {
    ProfileFixture profile;
    for (const char* file : {"system.ini", "drives.ini", "registry/HKLM.reg", "registry/HKCU.reg",
                             "registry/HKCR.reg", "registry/HKU.reg"}) {
        EXPECT_TRUE(std::filesystem::exists(profile.Root() / file)) << file;
    }
    EXPECT_TRUE(profile.Profile().Problems().empty());
    const SystemFacts& f = profile.Profile().Facts();
    EXPECT_EQ(f.major, 10u);
    EXPECT_EQ(f.build, 19045u);
    EXPECT_EQ(f.ansiCodePage, 936u);
    EXPECT_EQ(f.architecture, ProcessorArchitecture::Amd64);
    EXPECT_TRUE(profile.Profile().IsWow64Process());
    EXPECT_LE(f.computerName.size(), 15u);

    // C: is a fixed drive inside the profile, with the known folders on it.
    const DriveSpec* c = profile.Profile().FindDrive(u'c');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->hostPath, profile.DriveC().string());
    EXPECT_EQ(c->type, DriveType::Fixed);
    for (KnownFolder folder : {KnownFolder::Windows, KnownFolder::System, KnownFolder::ProgramFiles,
                               KnownFolder::ProgramData, KnownFolder::AppData, KnownFolder::Temp}) {
        const auto host = ToHostPath(GetKnownFolder(folder));
        ASSERT_TRUE(host.has_value());
        EXPECT_TRUE(std::filesystem::is_directory(*host)) << *host;
    }
    // The registry knows the same machine.
    RegKey version;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           RegAccess::Read, RegView::Wow64_64, version),
              WinError::Success);
    EXPECT_EQ(version.ReadString(u"CurrentBuildNumber"), u"19045");
    EXPECT_EQ(version.ReadDword(u"CurrentMajorVersionNumber"), 10u);
    RegKey fonts;  // shared between the views, as the font lookup of the UI expects
    ASSERT_EQ(
        RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                     RegAccess::Read, RegView::Default, fonts),
        WinError::Success);
    EXPECT_TRUE(fonts.ReadString(u"Microsoft YaHei & Microsoft YaHei UI (TrueType)").has_value());
    RegKey runOnce;
    EXPECT_EQ(
        RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                     RegAccess::Read, RegView::Default, runOnce),
        WinError::Success);

    // Opening again changes nothing.
    const std::string before = ReadFile(profile.Root() / "system.ini");
    profile.Reopen();
    EXPECT_EQ(ReadFile(profile.Root() / "system.ini"), before);
}

TEST(Profile, SystemIniSettingsAndItsDamagedLines) {
    const std::string system =
        "[system]\n"
        "version=6.1.7601\n"
        "product_type=server\n"
        "service_pack=1\n"
        "architecture=x86\n"
        "code_page=65001\n"
        "computer_name=OFFICE-PC\n"
        "wow64=yes\n"
        "colour=blue\n"
        "[folders]\n"
        "temp=D:\\tmp\n"
        "windows=not a path\n"
        "[environment]\n"
        "ZEPH_EXTRA=1\n"
        "[moods]\n";
    ProfileFixture profile({.systemIni = system});
    const SystemFacts& f = profile.Profile().Facts();
    EXPECT_EQ(f.major, 6u);
    EXPECT_EQ(f.minor, 1u);
    EXPECT_EQ(f.build, 7601u);
    EXPECT_EQ(f.productType, ProductType::Server);
    EXPECT_EQ(f.servicePackMajor, 1u);
    EXPECT_EQ(f.architecture, ProcessorArchitecture::Intel);
    EXPECT_EQ(f.ansiCodePage, 65001u);
    EXPECT_EQ(f.computerName, u"OFFICE-PC");
    EXPECT_FALSE(profile.Profile().IsWow64Process());  // nothing is WOW64 on a 32-bit system
    EXPECT_EQ(profile.Profile().Folders().temp, u"D:\\tmp");
    EXPECT_EQ(profile.Profile().Folders().windows,
              u"C:\\Windows");  // the damaged line keeps the default
    EXPECT_EQ(profile.Profile().Folders().programFilesX86, u"C:\\Program Files");

    std::vector<std::string> problems;
    for (const auto& p : profile.Profile().Problems()) {
        problems.push_back(std::to_string(p.line) + ": " + p.message);
    }
    EXPECT_EQ(problems,
              (std::vector<std::string>{
                  "8: wow64: expected 0 or 1 (\"yes\")",
                  "9: unknown key \"colour\" in [system]",
                  "12: windows: expected a Windows path such as C:\\Windows (\"not a path\")",
                  "15: unknown section [moods]",
              }));
    EXPECT_EQ(ReadFile(profile.Root() / "system.ini"), system);  // never rewritten

    // Init refuses to rewrite a damaged file.
    std::vector<ProfileProblem> initProblems;
    ProfileChanges changes;
    changes.build = 7600;
    EXPECT_FALSE(InitProfile(profile.Root().string(), changes, initProblems));
    EXPECT_EQ(initProblems.size(), 4u);
    EXPECT_EQ(ReadFile(profile.Root() / "system.ini"), system);
}

TEST(Profile, InitAppliesChangesAndKeepsTheRest) {
    ProfileFixture profile({.systemIni =
                                "[system]\nversion=10.0.19045\n[environment]\nMY_VAR=kept\n"
                                "[hardware]\nvpn=1\n"});
    ProfileChanges changes;
    changes.build = 22000;
    changes.architecture = ProcessorArchitecture::Intel;
    changes.computerName = u"LAB-1";
    DriveSpec usb;
    usb.letter = u'e';
    usb.hostPath = (profile.Root() / "usb").string();
    usb.type = DriveType::Removable;
    usb.bus = BusType::Usb;
    usb.freeMb = 900;
    changes.drives.push_back(usb);
    changes.removedDrives.push_back(u'z');
    std::vector<ProfileProblem> problems;
    ASSERT_TRUE(InitProfile(profile.Root().string(), changes, problems))
        << (problems.empty() ? "" : problems[0].ToString());
    profile.Reopen();

    const Profile& p = profile.Profile();
    EXPECT_TRUE(p.Problems().empty()) << p.Problems()[0].ToString();
    EXPECT_EQ(p.Facts().build, 22000u);
    EXPECT_EQ(p.Facts().architecture, ProcessorArchitecture::Intel);
    EXPECT_EQ(p.Folders().programFilesX86, u"C:\\Program Files");  // follows the architecture
    EXPECT_EQ(p.Folders().systemWow64, u"");
    EXPECT_EQ(p.ExtraEnvironment().at(u"MY_VAR"), u"kept");
    EXPECT_EQ(p.HardwareOverrides().at("vpn"), "1");
    ASSERT_NE(p.FindDrive(u'E'), nullptr);
    EXPECT_EQ(p.FindDrive(u'E')->freeMb, 900u);
    EXPECT_TRUE(std::filesystem::is_directory(profile.Root() / "usb"));
    EXPECT_EQ(p.FindDrive(u'Z'), nullptr);
    RegKey version;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           RegAccess::Read, RegView::Wow64_64, version),
              WinError::Success);
    EXPECT_EQ(version.ReadString(u"CurrentBuild"), u"22000");
    RegKey name;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine,
                           u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                           RegAccess::Read, RegView::Default, name),
              WinError::Success);
    EXPECT_EQ(name.ReadString(u"ComputerName"), u"LAB-1");
}

TEST(Profile, InitMakesANewProfileWithTheGivenFacts) {
    zeph::test::TempDir dir;
    const std::string root = (dir.Path() / "fresh").string();
    ProfileChanges changes;
    changes.architecture = ProcessorArchitecture::Intel;
    changes.major = 5;
    changes.minor = 1;
    changes.build = 2600;
    changes.servicePackMajor = 3;
    std::vector<ProfileProblem> problems;
    ASSERT_TRUE(InitProfile(root, changes, problems));
    const auto profile = Profile::Open(root);
    EXPECT_EQ(profile->Facts().servicePackMajor, 3u);
    EXPECT_FALSE(profile->Is64Bit());
    // A 32-bit machine's hives have no Wow6432Node.
    EXPECT_EQ(
        zeph::test::ReadFile(dir.Path() / "fresh" / "registry" / "HKLM.reg").find("Wow6432Node"),
        std::string::npos);
    EXPECT_NE(zeph::test::ReadFile(dir.Path() / "fresh" / "registry" / "HKLM.reg")
                  .find("\"CSDVersion\"=\"Service Pack 3\""),
              std::string::npos);
}

}  // namespace
}  // namespace zeph::platform
