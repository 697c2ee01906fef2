#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/strings.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/platform/helper_process.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;
using zeph::test::ReadFile;

TEST(CommandLine, SplitsByTheWindowsRules) {
    const struct {
        std::u16string_view line;
        std::vector<std::u16string> args;
    } cases[] = {
        {u"\"C:\\Program Files\\a.exe\" -cid:1 /silent",
         {u"C:\\Program Files\\a.exe", u"-cid:1", u"/silent"}},
        {u"C:\\a.exe", {u"C:\\a.exe"}},
        {u"a\\\\b.exe x", {u"a\\\\b.exe", u"x"}},  // no escapes in the program name
        {u"p \"a b\" c", {u"p", u"a b", u"c"}},
        {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},      // 3 backslashes + quote
        {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},    // 2 backslashes + quote opens
        {u"p a\\b\\ c", {u"p", u"a\\b\\", u"c"}},  // backslashes elsewhere stay
        {u"p \"\"", {u"p", u""}},
        {u"p \"a\"\"b\"", {u"p", u"a\"b"}},  // "" inside quotes
        {u"p\t a\t\tb ", {u"p", u"a", u"b"}},
        {u"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.args) << U8(c.line);
    }
}

TEST(CommandLine, QuotedArgumentsSplitBackUnchanged) {
    const std::vector<std::u16string> args = {u"C:\\Program Files\\setup.exe",
                                              u"plain",
                                              u"with space",
                                              u"",
                                              u"quote\"inside",
                                              u"trailing\\",
                                              u"dir with\\ slash\\",
                                              u"\\\\\"",
                                              u"tab\there"};
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
    EXPECT_EQ(QuoteArgument(u"plain"), u"plain");
    EXPECT_EQ(QuoteArgument(u"a b\\"), u"\"a b\\\\\"");
}

TEST(Process, StartWaitAndExitCode) {
    ProfileFixture profile;
    EXPECT_EQ(helper::RunHelper("exit 7"), 7u);
    Process sleeper;
    ASSERT_EQ(StartProcess(u"sleep 30", {}, sleeper),
              WinError::Success);  // a bare name is looked up in PATH
    EXPECT_EQ(sleeper.Wait(50), WaitResult::Timeout);
    EXPECT_EQ(sleeper.ExitCode(), kStillActive);
    ASSERT_EQ(sleeper.Terminate(), WinError::Success);
    EXPECT_EQ(sleeper.Wait(20000), WaitResult::Signaled);
    EXPECT_EQ(sleeper.ExitCode(), 128u + 9);
}

TEST(Process, CarriesTheCommandLineAndShowFlag) {
    ProfileFixture profile;
    std::filesystem::create_directories(profile.DriveC() / "out");
    const std::u16string line =
        helper::HelperCommand("report C:\\out\\report.txt \"two words\" -cid:222 \"\"");
    Process process;
    StartOptions options;
    options.show = ShowWindow::Hide;
    options.currentDirectory = u"C:\\out";
    ASSERT_EQ(StartProcess(line, options, process), WinError::Success);
    ASSERT_EQ(process.Wait(30000), WaitResult::Signaled);
    ASSERT_EQ(process.ExitCode(), 0u);
    const std::string report = ReadFile(profile.DriveC() / "out" / "report.txt");
    EXPECT_NE(report.find("line=" + U8(line) + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("getcommandline=" + U8(line) + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("show=0\n"), std::string::npos) << report;
    EXPECT_NE(report.find("arg=two words\narg=-cid:222\narg=\n"), std::string::npos) << report;
}

TEST(Process, WhatCannotStart) {
    ProfileFixture profile;
    std::filesystem::create_directories(profile.DriveC() / "pkg");
    Process process;
    EXPECT_EQ(StartProcess(u"\"C:\\pkg\\missing.exe\" -x", {}, process), WinError::FileNotFound);
    EXPECT_EQ(StartProcess(u"\"Q:\\a.exe\"", {}, process), WinError::PathNotFound);
    EXPECT_EQ(StartProcess(u"no-such-program-anywhere", {}, process), WinError::FileNotFound);
    EXPECT_EQ(StartProcess(u"", {}, process), WinError::InvalidParameter);
    profile.Write("drive_c/pkg/setup.exe", "MZ\x90\x00 a Windows program");
    EXPECT_EQ(StartProcess(u"\"C:\\pkg\\setup.exe\"", {}, process), WinError::BadExeFormat);
    EXPECT_EQ(StartProcess(u"\"C:\\pkg\"", {}, process), WinError::AccessDenied);
    EXPECT_FALSE(process.IsOpen());
}

TEST(Process, ScriptsGetTheirRunBit) {
    ProfileFixture profile;
    const auto script = profile.Write("drive_c/pkg/install.exe", "#!/bin/sh\nexit 42\n");
    ::chmod(script.c_str(), 0644);
    Process process;
    ASSERT_EQ(StartProcess(u"\"C:\\pkg\\install.exe\" -a", {}, process), WinError::Success);
    ASSERT_EQ(process.Wait(30000), WaitResult::Signaled);
    EXPECT_EQ(process.ExitCode(), 42u);
    struct stat st {};
    ASSERT_EQ(::stat(script.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST(Process, SnapshotFindsThisProcess) {
    ProfileFixture profile;
    const auto entries = SnapshotProcesses();
    const auto self = std::find_if(entries.begin(), entries.end(), [](const ProcessEntry& e) {
        return e.pid == GetCurrentProcessId();
    });
    ASSERT_NE(self, entries.end());
    EXPECT_EQ(self->parentPid, static_cast<uint32_t>(::getppid()));
    EXPECT_EQ(self->exeName, u"test_platform");
    EXPECT_EQ(self->exePath, GetModuleFileName());
    EXPECT_EQ(self->exePath.substr(0, 3), u"Z:\\");
    bool found = false;
    for (const auto& e : FindProcessesByName(u"TEST_PLATFORM")) {
        found = found || e.pid == GetCurrentProcessId();
    }
    EXPECT_TRUE(found);
}

TEST(Process, InteractiveUserFromLogindOrSudo) {
    if (::geteuid() != 0) {
        EXPECT_EQ(FindInteractiveUser(), std::nullopt);  // only root looks for another user
        GTEST_SKIP() << "the rest needs root";
    }
    zeph::test::TempDir sessions;
    // A tty session and a remote one do not count; the active graphical one does.
    sessions.Write("c1", "UID=65534\nUSER=nobody\nACTIVE=1\nTYPE=tty\n");
    sessions.Write("c2", "UID=65534\nACTIVE=1\nTYPE=x11\nREMOTE=1\n");
    sessions.Write("c3", "UID=65534\nUSER=nobody\nACTIVE=1\nTYPE=x11\nDISPLAY=:7\n");
    sessions.Write("c3.ref", "");
    InteractiveUserSources sources;
    sources.sessionsDir = sessions.Str();
    sources.sudoUid = "";
    sources.pkexecUid = "";
    auto user = FindInteractiveUser(sources);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->uid, 65534u);
    EXPECT_FALSE(user->administrator);  // nobody is in no administrators group
    EXPECT_EQ(user->source, "logind session c3");
    EXPECT_NE(std::find(user->environment.begin(), user->environment.end(), "DISPLAY=:7"),
              user->environment.end());

    sources.sessionsDir = (sessions.Path() / "none").string();
    sources.sudoUid = "65534";
    user = FindInteractiveUser(sources);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->source, "SUDO_UID");
    sources.sudoUid = "0";
    sources.pkexecUid = "abc";
    EXPECT_EQ(FindInteractiveUser(sources), std::nullopt);  // nobody else: start as oneself
}

TEST(Process, StartsAsTheInteractiveUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    ProfileFixture profile;
    // The started program runs as another user: it must reach its files.
    std::filesystem::permissions(profile.Scratch().Path(), std::filesystem::perms::all);
    std::filesystem::permissions(profile.Root(), std::filesystem::perms::all);
    std::filesystem::create_directories(profile.DriveC() / "out");
    std::filesystem::permissions(profile.DriveC(), std::filesystem::perms::all);
    std::filesystem::permissions(profile.DriveC() / "out", std::filesystem::perms::all);
    const char* oldSudo = std::getenv("SUDO_UID");
    ::setenv("SUDO_UID", "65534", 1);
    Process process;
    StartOptions options;
    options.as = StartAs::InteractiveUser;
    const WinError started = helper::StartHelper("report C:\\out\\who.txt", process, options);
    if (oldSudo) {
        ::setenv("SUDO_UID", oldSudo, 1);
    } else {
        ::unsetenv("SUDO_UID");
    }
    ASSERT_EQ(started, WinError::Success);
    ASSERT_EQ(process.Wait(30000), WaitResult::Signaled);
    EXPECT_EQ(process.ExitCode(), 0u);
    EXPECT_NE(ReadFile(profile.DriveC() / "out" / "who.txt").find("uid=65534\n"),
              std::string::npos);
}

TEST(Process, DllPackagesThroughTheirExport) {
    ProfileFixture profile;
    const std::u16string path = ToWindowsPath(ZEPH_TEST_PACKAGE).value();
    SharedLibrary library;
    ASSERT_EQ(SharedLibrary::Load(path, library), WinError::Success);
    const PackageEntry install = library.Export("Install");
    ASSERT_NE(install, nullptr);
    EXPECT_EQ(install(u"-tod1:716 -tod2:1"), 17);
    using LastParams = const char16_t* (*)();
    const auto last = reinterpret_cast<LastParams>(library.Symbol("LastParams"));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::u16string(last()), u"-tod1:716 -tod2:1");
    EXPECT_EQ(library.Export("NoSuchExport"), nullptr);

    EXPECT_EQ(SharedLibrary::Load(u"C:\\missing.dll", library), WinError::ModNotFound);
    EXPECT_FALSE(library.IsLoaded());
    profile.Write("drive_c/fake.dll", "not a shared object");
    std::string detail;
    EXPECT_EQ(SharedLibrary::Load(u"C:\\fake.dll", library, &detail), WinError::BadExeFormat);
    EXPECT_FALSE(detail.empty());
}

}  // namespace
}  // namespace zeph::platform
