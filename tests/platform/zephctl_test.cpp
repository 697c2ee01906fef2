// The operator's commands on the profile: zephctl prefix and zephctl reg.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/strings.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;

struct CommandRun {
    int code = -1;
    std::string out;  // standard output and standard error
};

CommandRun Zephctl(const ProfileFixture& profile, const std::string& args) {
    const std::string command =
        "ZEPH_PREFIX='" + profile.Root().string() + "' '" ZEPHCTL "' " + args + " </dev/null 2>&1";
    CommandRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "popen failed";
        return run;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(Zephctl, RegAddQueryDeleteLikeRegExe) {
    ProfileFixture profile;
    const struct {
        std::string args;
        int code;
        std::string output;  // a part of it
    } steps[] = {
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v uninstall_count /t REG_DWORD /d 0x10 "
         "/reg:32",
         0, "The operation completed successfully."},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' -V ProgramPath -D 'C:\\Program "
         "Files\\Zeph' /reg:32",
         0, ""},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v list /t REG_MULTI_SZ /s , /d a,b "
         "/reg:32",
         0, ""},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v blob /t REG_BINARY /d 0aFF /reg:32", 0,
         ""},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v big /t REG_QWORD /d "
         "18446744073709551615 /reg:32",
         0, ""},
        {"reg query 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /reg:32", 0,
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Antivirus\n"
         "    uninstall_count    REG_DWORD    0x10\n"
         "    ProgramPath    REG_SZ    C:\\Program Files\\Zeph\n"
         "    list    REG_MULTI_SZ    a\\0b\n"
         "    blob    REG_BINARY    0AFF\n"
         "    big    REG_QWORD    0xffffffffffffffff\n"},
        // 64-bit reg.exe: the 32-bit program's key is under Wow6432Node.
        {"reg query 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus'", 1, "unable to find"},
        {"reg query 'HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tarnwell' /s", 0,
         "End of search: 5 match(es) found."},
        {"reg query 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v Nope /reg:32", 1, "unable to find"},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v uninstall_count /t REG_DWORD /d 5 "
         "/reg:32",
         1, "give /f to overwrite"},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v uninstall_count /t REG_DWORD /d "
         "4294967296 /f /reg:32",
         1, "is not a 32-bit number"},
        {"reg add 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v b /t REG_BINARY /d abc /reg:32", 1,
         "even number"},
        {"reg add 'HKLM\\SOFTWARE\\X' /v v /t REG_LINK /d x", 1, "unsupported type"},
        {"reg add 'HKXX\\SOFTWARE' /v v /d x", 1, "must start with HKLM"},
        {"reg add 'HKLM\\SOFTWARE\\X' /q", 1, "unknown option /q"},
        {"reg delete 'HKLM\\SOFTWARE\\Tarnwell' /reg:32", 1, "give /f"},
        {"reg delete 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /v blob /f /reg:32", 0, ""},
        {"reg delete 'HKLM\\SOFTWARE\\Tarnwell\\Antivirus' /va /f /reg:32", 0, ""},
        {"reg query 'HKLM\\SOFTWARE\\Tarnwell' /s /reg:32", 0, "End of search: 0 match(es) found."},
        {"reg delete 'HKLM\\SOFTWARE\\Tarnwell' /f /reg:32", 0, ""},
        {"reg query 'HKLM\\SOFTWARE\\Tarnwell' /reg:32", 1, "unable to find"},
        {"reg", 1, "reg needs query"},
    };
    for (const auto& step : steps) {
        const CommandRun run = Zephctl(profile, step.args);
        EXPECT_EQ(run.code, step.code) << step.args << "\n" << run.out;
        EXPECT_NE(run.out.find(step.output), std::string::npos) << step.args << "\n" << run.out;
    }
}

TEST(Zephctl, RegImportAndExport) {
    ProfileFixture profile;
    const auto file = profile.Scratch().Write(
        "in.reg",
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\{79B5BC47-CEA1-4772-B433-7D1B3139F278}]\n"
        "\"did\"=\"ABC\"\n");
    CommandRun run = Zephctl(profile, "reg import '" + file.string() + "' /reg:32");
    ASSERT_EQ(run.code, 0) << run.out;
    RegKey key;
    ASSERT_EQ(RegKey::Open(Hive::ClassesRoot, u"CLSID\\{79B5BC47-CEA1-4772-B433-7D1B3139F278}",
                           RegAccess::Read, RegView::Default, key),
              WinError::Success);
    EXPECT_EQ(key.ReadString(u"did"), u"ABC");

    const auto out = profile.Scratch().Path() / "out.reg";
    run = Zephctl(
        profile, "reg export 'HKCR\\Wow6432Node\\CLSID\\{79B5BC47-CEA1-4772-B433-7D1B3139F278}' '" +
                     out.string() + "'");
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(zeph::test::ReadFile(out),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{79B5BC47-CEA1-4772-B433-7D1B3139F278}]\n"
              "\"did\"=\"ABC\"\n");
    run = Zephctl(profile, "reg export 'HKCR\\CLSID' '" + out.string() + "'");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("give /y"), std::string::npos) << run.out;

    const auto bad = profile.Scratch().Write(
        "bad.reg", "Windows Registry Editor Version 5.00\n[HKCU\\A]\nnonsense\n");
    run = Zephctl(profile, "reg import '" + bad.string() + "'");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("bad.reg: line 3:"), std::string::npos) << run.out;
}

TEST(Zephctl, PrefixInitShowAndReboot) {
    ProfileFixture profile;
    CommandRun run =
        Zephctl(profile,
                "prefix init --version 6.1.7601 --service-pack 1 --arch x86 --computer-name LAB "
                "--drive 'E=usb,removable,,300'");
    ASSERT_EQ(run.code, 0) << run.out;
    profile.Reopen();
    EXPECT_EQ(profile.Profile().FindDrive(u'E')->hostPath, (profile.Root() / "usb").string());
    EXPECT_TRUE(std::filesystem::is_directory(profile.Root() / "usb"));
    EXPECT_EQ(GetOsVersion().build, 7601u);
    EXPECT_FALSE(Is64BitSystem());
    run = Zephctl(profile, "prefix show");
    ASSERT_EQ(run.code, 0) << run.out;
    for (const char* part : {"windows     6.1.7601 workstation, service pack 1, x86",
                             "computer    LAB", "E:  removable usb", "free 300 MiB (simulated)"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }

    ASSERT_EQ(CreateDirectories(u"C:\\kinsttemp"), WinError::Success);
    ASSERT_EQ(MoveFile(u"C:\\kinsttemp", u"", MoveFlags::DelayUntilReboot), WinError::Success);
    ASSERT_EQ(MoveFile(u"C:\\missing.txt", u"", MoveFlags::DelayUntilReboot), WinError::Success);
    RegKey runOnce;
    ASSERT_EQ(
        RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                       RegView::Default, runOnce),
        WinError::Success);
    ASSERT_EQ(runOnce.SetString(u"TAV7NEEDREBOOT", u"x"), WinError::Success);
    run = Zephctl(profile, "prefix show");
    EXPECT_NE(run.out.find("at the next restart: 2 operations\n  delete C:\\kinsttemp\n"),
              std::string::npos)
        << run.out;

    run = Zephctl(profile, "prefix reboot");
    EXPECT_EQ(run.code, 1) << run.out;  // one operation failed
    EXPECT_NE(run.out.find("done    delete C:\\kinsttemp"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("failed  delete C:\\missing.txt"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("RunOnce TAV7NEEDREBOOT"), std::string::npos) << run.out;
    profile.Reopen();
    EXPECT_FALSE(DirectoryExists(u"C:\\kinsttemp"));
    EXPECT_TRUE(GetPendingRenames().empty());
    EXPECT_EQ(runOnce.ReadString(u"TAV7NEEDREBOOT"), std::nullopt);
    EXPECT_GT(profile.Profile().Facts().tickOriginMs, 0);

    run = Zephctl(profile, "prefix init --arch sparc");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("--arch wants"), std::string::npos) << run.out;
    profile.Write("drives.ini", "[C]\npath=drive_c\ntype=floppy\n");
    run = Zephctl(profile, "prefix init --computer-name X");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("drives.ini:3: type:"), std::string::npos) << run.out;
    EXPECT_EQ(zeph::test::ReadFile(profile.Root() / "drives.ini"),
              "[C]\npath=drive_c\ntype=floppy\n");
}

}  // namespace
}  // namespace zeph::platform
