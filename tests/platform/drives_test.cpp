#include "platform/drives.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;

constexpr const char* kDrives =
    "[C]\npath=drive_c\ntype=fixed\nbus=nvme\nfree_mb=150\n"
    "[d]\npath=drive_d\ntype=fixed\nfree_mb=1023\n"
    "[E]\npath=drive_e\ntype=removable\n"
    "[F]\npath=/nonexistent/folder\ntype=fixed\n"
    "[G]\npath=drive_g\ntype=cdrom\n"
    "[Z]\npath=/\ntype=remote\n";

TEST(Drives, TypesAndBusesFromTheTable) {
    ProfileFixture profile({.drivesIni = kDrives});
    const struct {
        std::u16string_view root;
        DriveType type;
    } types[] = {
        {u"C:\\", DriveType::Fixed},     {u"c:", DriveType::Fixed},
        {u"D:/", DriveType::Fixed},      {u"E:\\", DriveType::Removable},
        {u"G:\\", DriveType::CdRom},     {u"Z:\\", DriveType::Remote},
        {u"Q:\\", DriveType::NoRootDir}, {u"C:\\Windows", DriveType::NoRootDir},
        {u"", DriveType::NoRootDir},
    };
    for (const auto& t : types) {
        EXPECT_EQ(GetDriveType(t.root), t.type) << U8(t.root);
    }
    EXPECT_EQ(GetDriveBusType(u'C'), BusType::Nvme);
    EXPECT_EQ(GetDriveBusType(u'd'), BusType::Sata);  // the default of a fixed drive
    EXPECT_EQ(GetDriveBusType(u'E'), BusType::Usb);   // the default of a removable one
    EXPECT_EQ(GetDriveBusType(u'Z'), std::nullopt);   // the query fails on a network drive
    EXPECT_EQ(GetDriveBusType(u'Q'), std::nullopt);

    EXPECT_EQ(GetLogicalDriveStrings(),
              (std::vector<std::u16string>{u"C:\\", u"D:\\", u"E:\\", u"F:\\", u"G:\\", u"Z:\\"}));
    EXPECT_EQ(GetLogicalDrives(), (1u << 25) | 0b1111100u);
}

// The work folder needs 200 MiB, a package drive 1024 MiB: free_mb gives
// exactly the bytes those thresholds compare.
TEST(Drives, FreeSpaceFromTheProfileOrTheHost) {
    ProfileFixture profile({.drivesIni = kDrives});
    const struct {
        std::u16string_view path;
        uint64_t freeMb;
    } simulated[] = {
        {u"C:\\", 150},
        {u"C:\\Users\\x\\AppData\\Local\\Temp\\", 150},
        {u"D:\\", 1023},
    };
    for (const auto& s : simulated) {
        DiskFreeSpace space;
        ASSERT_EQ(GetDiskFreeSpace(s.path, space), WinError::Success) << U8(s.path);
        EXPECT_EQ(space.totalFreeBytes, s.freeMb << 20);
        EXPECT_EQ(space.freeBytesAvailable, s.freeMb << 20);
        EXPECT_EQ(space.totalFreeBytes >> 20, s.freeMb);
        EXPECT_LT(space.totalFreeBytes >> 20, 1024u);
        EXPECT_GE(space.totalBytes, space.totalFreeBytes);
    }
    DiskFreeSpace host;
    ASSERT_EQ(GetDiskFreeSpace(u"Z:\\", host), WinError::Success);
    EXPECT_GT(host.totalBytes, 0u);
    EXPECT_LE(host.freeBytesAvailable, host.totalFreeBytes);
    EXPECT_EQ(GetDiskFreeSpace(u"F:\\", host), WinError::NotReady);  // its folder is missing
    EXPECT_EQ(GetDiskFreeSpace(u"Q:\\", host), WinError::PathNotFound);
}

TEST(Drives, DamagedTableIsReportedLineByLine) {
    const std::string damaged =
        "[C]\npath=drive_c\n"
        "[D]\npath=drive_d\ntype=floppy\n"
        "[EE]\npath=x\n"
        "[F]\ntype=fixed\n"
        "[G]\npath=g\nfree_mb=lots\n"
        "garbage\n";
    ProfileFixture profile({.drivesIni = damaged});
    std::vector<std::string> problems;
    for (const auto& p : profile.Profile().Problems()) {
        problems.push_back(p.ToString());
    }
    const std::string file = (profile.Root() / "drives.ini").string();
    EXPECT_EQ(
        problems,
        (std::vector<std::string>{
            file + ":13: expected key=value or [section]",
            file + ":5: type: expected fixed, removable, remote, cdrom or ramdisk (\"floppy\")",
            file + ":6: a section must be one drive letter, not [EE]",
            file + ":8: drive F: the key \"path\" is missing",
            file + ":12: free_mb: expected a number of MiB (\"lots\")",
        }));
    // The sound drive stays usable and the file is left as written.
    EXPECT_EQ(GetDriveType(u"C:\\"), DriveType::Fixed);
    EXPECT_EQ(GetDriveType(u"D:\\"), DriveType::NoRootDir);
    EXPECT_EQ(zeph::test::ReadFile(profile.Root() / "drives.ini"), damaged);
}

}  // namespace
}  // namespace zeph::platform
