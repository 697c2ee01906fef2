#include "platform/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/firewall.h"
#include "platform/hardware.h"
#include "platform/icmp.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;
using zeph::test::ReadFile;

// Points PATH at a folder with a stand-in xdg-open for the test's length.
class FakeOpener {
  public:
    FakeOpener(const zeph::test::TempDir& dir, int exitCode) {
        m_log = dir.Path() / "opened.txt";
        const auto script =
            dir.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + m_log.string() +
                                          "'\nexit " + std::to_string(exitCode) + "\n");
        ::chmod(script.c_str(), 0755);
        if (const char* old = std::getenv("PATH")) {
            m_oldPath = old;
        }
        ::setenv("PATH", (dir.Path() / "bin").c_str(), 1);
    }
    ~FakeOpener() {
        if (m_oldPath) {
            ::setenv("PATH", m_oldPath->c_str(), 1);
        } else {
            ::unsetenv("PATH");
        }
    }
    std::string Opened() const { return ReadFile(m_log); }

  private:
    std::filesystem::path m_log;
    std::optional<std::string> m_oldPath;
};

TEST(Shell, OpensUrlsAndFilesThroughXdgOpen) {
    if (::geteuid() == 0 && (std::getenv("SUDO_UID") || std::getenv("PKEXEC_UID"))) {
        GTEST_SKIP() << "would open as the sudo user";
    }
    ProfileFixture profile;
    profile.Write("drive_c/licence.html", "<html/>");
    {
        FakeOpener opener(profile.Scratch(), 0);
        EXPECT_EQ(ShellOpen(u"https://example.invalid/privacy/a.html"), WinError::Success);
        EXPECT_EQ(ShellOpen(u"C:\\licence.html"), WinError::Success);
        EXPECT_EQ(ShellOpen(u"C:\\missing.html"), WinError::FileNotFound);
        EXPECT_EQ(opener.Opened(), "https://example.invalid/privacy/a.html\n" +
                                       (profile.DriveC() / "licence.html").string() + "\n");
    }
    {
        FakeOpener failing(profile.Scratch(), 4);  // xdg-open: the action failed
        EXPECT_EQ(ShellOpen(u"https://example.invalid/"), WinError::NoAssociation);
    }
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    ::setenv("PATH", profile.Scratch().Str().c_str(), 1);  // no xdg-open at all
    EXPECT_EQ(ShellOpen(u"https://example.invalid/"), WinError::NoAssociation);
    ::setenv("PATH", saved.c_str(), 1);
}

TEST(Shell, ClipboardTextComesFromTheRegisteredProvider) {
    EXPECT_EQ(GetClipboardText(), u"");  // headless: no provider
    SetClipboardProvider([] { return std::u16string(u"{\"cfBdVid\":\"abc\"}"); });
    EXPECT_EQ(GetClipboardText(), u"{\"cfBdVid\":\"abc\"}");
    SetClipboardProvider(nullptr);
    EXPECT_EQ(GetClipboardText(), u"");
}

TEST(Firewall, AuthorisedApplications) {
    ProfileFixture profile;
    EXPECT_TRUE(AuthorizedApps().empty());
    ASSERT_EQ(AddAuthorizedApp(u"Z:\\home\\u\\setup.exe", u"ZEdozureRare"), WinError::Success);
    ASSERT_EQ(AddAuthorizedApp(u"C:\\other.exe", u"Other"), WinError::Success);
    const auto found =
        FindAuthorizedApp(u"z:/HOME/u/setup.exe");  // the same path, written otherwise
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, u"ZEdozureRare");
    EXPECT_TRUE(found->enabled);
    ASSERT_EQ(AddAuthorizedApp(u"Z:\\home\\u\\setup.exe", u"Again"), WinError::Success);
    EXPECT_EQ(AuthorizedApps().size(), 2u);
    EXPECT_EQ(RemoveAuthorizedApp(u"Z:\\home\\u\\setup.exe"), WinError::Success);
    EXPECT_EQ(RemoveAuthorizedApp(u"Z:\\home\\u\\setup.exe"), WinError::FileNotFound);
    EXPECT_FALSE(FindAuthorizedApp(u"Z:\\home\\u\\setup.exe").has_value());

    const std::string damaged = "[app1]\npath=C:\\a.exe\nenabled=maybe\n";
    profile.Write("firewall.ini", damaged);
    EXPECT_EQ(AddAuthorizedApp(u"C:\\b.exe", u"b"), WinError::InvalidData);
    EXPECT_EQ(ReadFile(profile.Root() / "firewall.ini"), damaged);
}

TEST(Icmp, EchoFromTheLoopback) {
    const PingResult result = Ping("127.0.0.1", 2000);
    if (result.status == PingStatus::NotPermitted) {
        GTEST_SKIP() << "neither an ICMP nor a raw socket may be opened here";
    }
    EXPECT_EQ(result.status, PingStatus::Reply);
    EXPECT_LT(result.roundTripMs, 2000u);
}

TEST(Hardware, FactsFixedInTheProfile) {
    ProfileFixture profile({.systemIni =
                                "[hardware]\ncpuid_eax=000906EA\ncpuid_edx=BFEBFBFF\n"
                                "disk_model=VBOX HARDDISK\ndisk_serial=VB123\n"
                                "board_serial=Board-1\nmac=0800271A2B3C\nsound=HD Audio\nvpn=1\n"});
    const auto cpuid = CpuidLeaf1();
    ASSERT_TRUE(cpuid.has_value());
    EXPECT_EQ(cpuid->eax, 0x000906EAu);
    EXPECT_EQ(cpuid->edx, 0xBFEBFBFFu);
    const auto disks = PhysicalDisks();
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0].model, "VBOX HARDDISK");
    EXPECT_EQ(disks[0].serial, "VB123");
    EXPECT_EQ(BoardSerial(), "Board-1");
    const auto adapters = NetworkAdapters();
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].permanentMac, (std::vector<uint8_t>{0x08, 0x00, 0x27, 0x1A, 0x2B, 0x3C}));
    EXPECT_EQ(SoundCardName(), "HD Audio");
    EXPECT_TRUE(IsVpnConnected());
}

TEST(Hardware, FactsReadFromThisMachine) {
    ProfileFixture profile;
    // Whatever this machine has, each fact reads without failing and is well formed.
    for (const auto& adapter : NetworkAdapters()) {
        EXPECT_EQ(adapter.permanentMac.size(), 6u) << adapter.name;
        EXPECT_TRUE(adapter.bus == "pci" || adapter.bus == "usb") << adapter.name;
    }
    for (const auto& disk : PhysicalDisks()) {
        EXPECT_FALSE(disk.model.empty() && disk.serial.empty());
        EXPECT_TRUE(disk.model.empty() || disk.model.back() != ' ');
    }
#if defined(__x86_64__)
    EXPECT_TRUE(CpuidLeaf1().has_value());
#endif
}

}  // namespace
}  // namespace zeph::platform
