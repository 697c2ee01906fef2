#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "base/strings.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;

TEST(Paths, ParseNormalisesAsWindowsDoes) {
    const struct {
        std::u16string_view in;
        std::u16string_view out;  // empty: rejected
    } cases[] = {
        {u"C:\\dir\\a.exe", u"C:\\dir\\a.exe"},
        {u"c:/dir//sub/", u"C:\\dir\\sub"},
        {u"C:", u"C:\\"},
        {u"C:\\", u"C:\\"},
        {u"C:\\a\\.\\b\\..\\c", u"C:\\a\\c"},
        {u"C:\\..\\..\\Windows", u"C:\\Windows"},  // never above the root
        {u"C:\\name. \\file.txt.", u"C:\\name\\file.txt"},
        {u"\\\\?\\C:\\long\\path", u"C:\\long\\path"},
        {u"\\??\\D:\\pending", u"D:\\pending"},
        {u"\\\\.\\pipe\\Zeph_Pipe", u"\\\\.\\pipe\\Zeph_Pipe"},
        {u"\\\\.\\Global\\Driver1", u"\\\\.\\Driver1"},
        {u"\\\\server\\share\\x", u"\\\\server\\share\\x"},
        {u"rel\\..\\..\\up", u"..\\up"},
        {u"C:\\bad|name", u""},
        {u"C:\\what?", u""},
        {u"C:\\a:b", u""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseWinPath(c.in);
        if (c.out.empty()) {
            EXPECT_FALSE(parsed.has_value()) << U8(c.in);
        } else {
            ASSERT_TRUE(parsed.has_value()) << U8(c.in);
            EXPECT_EQ(FormatWinPath(*parsed), c.out) << U8(c.in);
        }
    }
    EXPECT_EQ(ParseWinPath(u"\\\\.\\pipe\\x")->kind, WinPathKind::Pipe);
    EXPECT_EQ(ParseWinPath(u"\\\\.\\Global\\Driver1")->kind, WinPathKind::Device);
    EXPECT_EQ(ParseWinPath(u"\\\\srv\\s")->kind, WinPathKind::Unc);
}

TEST(Paths, DriveLettersMapToTheirFolders) {
    ProfileFixture profile;
    const std::string c = profile.DriveC().string();
    std::filesystem::create_directories(profile.DriveC() / "Program Files" / "Tarnwell");
    const struct {
        std::u16string_view windows;
        std::string host;  // empty: no host path
    } cases[] = {
        {u"C:\\Program Files\\Tarnwell\\a.exe", c + "/Program Files/Tarnwell/a.exe"},
        // Existing folders are found whatever the case; the rest stays as written.
        {u"c:\\PROGRAM FILES\\tarnwell\\New\\B.exe", c + "/Program Files/Tarnwell/New/B.exe"},
        {u"C:\\..\\..\\etc\\passwd", c + "/etc/passwd"},
        {u"Z:\\tmp\\x", "/tmp/x"},
        {u"Q:\\nothing", ""},  // no such drive
        {u"\\\\server\\share", ""},
        {u"\\\\.\\pipe\\p", ""},
    };
    for (const auto& k : cases) {
        const auto host = ToHostPath(k.windows);
        if (k.host.empty()) {
            EXPECT_FALSE(host.has_value()) << U8(k.windows);
        } else {
            EXPECT_EQ(host.value_or("<none>"), k.host) << U8(k.windows);
        }
    }
    EXPECT_EQ(ToHostPath(u"\\\\.\\Driver1"), (profile.Root() / "devices" / "Driver1").string());
    EXPECT_EQ(ToHostPath(u"\\\\.\\C:"), c);
    // A device name from a configuration document stays in the device folder.
    EXPECT_EQ(ToHostPath(u"\\\\.\\Global\\.."), (profile.Root() / "devices" / "%2E.").string());
    EXPECT_EQ(ToHostPath(u"\\\\.\\a/../b"), (profile.Root() / "devices" / "a%2F..%2Fb").string());
}

TEST(Paths, HostPathsGetTheMostSpecificDrive) {
    ProfileFixture profile(
        {.drivesIni = "[C]\npath=drive_c\n[D]\npath=drive_c/data\n[Z]\npath=/\ntype=remote\n"});
    const std::string c = profile.DriveC().string();
    EXPECT_EQ(ToWindowsPath(c + "/Windows/System32"), u"C:\\Windows\\System32");
    EXPECT_EQ(ToWindowsPath(c + "/data/sub/file.txt"), u"D:\\sub\\file.txt");
    EXPECT_EQ(ToWindowsPath(c + "/data"), u"D:\\");
    EXPECT_EQ(ToWindowsPath(c + "/database"), u"C:\\database");  // a name prefix is not a folder
    EXPECT_EQ(ToWindowsPath("/home/u/Downloads/setup_222_f716_k0001_ch0.exe"),
              u"Z:\\home\\u\\Downloads\\setup_222_f716_k0001_ch0.exe");
    EXPECT_EQ(ToWindowsPath(c + "/a/../b"), u"C:\\b");

    // Relative paths start from the current folder; a symlinked route to a
    // drive still finds it.
    const auto link = profile.Scratch().Path() / "link";
    std::filesystem::create_directory_symlink(profile.DriveC(), link);
    EXPECT_EQ(ToWindowsPath((link / "Windows").string()), u"C:\\Windows");
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(profile.DriveC() / "Windows");
    EXPECT_EQ(ToWindowsPath("System32"), u"C:\\Windows\\System32");
    std::filesystem::current_path(old);

    // Without a Z: drive, a path outside every drive has no Windows form.
    ProfileFixture onlyC({.drivesIni = "[C]\npath=drive_c\n"});
    EXPECT_EQ(ToWindowsPath("/usr/bin"), std::nullopt);
}

}  // namespace
}  // namespace zeph::platform
