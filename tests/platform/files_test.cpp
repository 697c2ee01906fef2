#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/strings.h"
#include "platform/kernel_objects.h"
#include "platform/registry.h"
#include "tests/platform/helper_process.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;
using zeph::test::ReadFile;

constexpr std::u16string_view kFile = u"C:\\work\\a.bin";

void WriteText(std::u16string_view path, std::string_view text) {
    File file;
    ASSERT_EQ(File::Open(path, FileAccess::Write, FileShare::None, Disposition::CreateAlways, file),
              WinError::Success);
    ASSERT_EQ(file.Write(text.data(), text.size()), WinError::Success);
}

std::string ReadText(std::u16string_view path) {
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(path, bytes), WinError::Success) << U8(path);
    return bytes;
}

TEST(Files, SharingBetweenHandles) {
    ProfileFixture profile;
    ASSERT_EQ(CreateDirectories(u"C:\\work"), WinError::Success);
    WriteText(kFile, "data");
    constexpr auto R = FileAccess::Read, W = FileAccess::Write, RW = FileAccess::ReadWrite,
                   All = FileAccess::All;
    constexpr auto None = FileShare::None, Sr = FileShare::Read, Srw = FileShare::ReadWrite,
                   Sall = FileShare::All;
    const struct {
        FileAccess firstAccess;
        FileShare firstShare;
        FileAccess secondAccess;
        FileShare secondShare;
        bool secondOpens;
    } cases[] = {
        {R, Sr, R, Sr, true},
        {R, Sr, W, Srw, false},  // the first does not share writing
        {W, Srw, R, Sr, false},  // the second refuses to share the first's writing
        {R, Srw, W, Srw, true},
        {W, Sr, R, Sr, false},  // the same with the first sharing reading only
        {W, Sr, R, Srw, true},
        {R, None, R, Sall, false},  // an exclusive handle
        {All, Sr, R, Srw, false},   // GENERIC_ALL holds deletion, which the second does not share
        {All, Sr, R, Sall, true},
        {RW, Sall, RW, Sall, true},
    };
    for (const auto& c : cases) {
        File first, second;
        ASSERT_EQ(File::Open(kFile, c.firstAccess, c.firstShare, Disposition::OpenExisting, first),
                  WinError::Success);
        const WinError e =
            File::Open(kFile, c.secondAccess, c.secondShare, Disposition::OpenExisting, second);
        EXPECT_EQ(e, c.secondOpens ? WinError::Success : WinError::SharingViolation)
            << std::hex << static_cast<uint32_t>(c.firstAccess) << "/"
            << static_cast<uint32_t>(c.firstShare) << " then "
            << static_cast<uint32_t>(c.secondAccess) << "/" << static_cast<uint32_t>(c.secondShare);
    }
    // Closing a handle lifts its refusal.
    {
        File exclusive;
        ASSERT_EQ(File::Open(kFile, R, None, Disposition::OpenExisting, exclusive),
                  WinError::Success);
    }
    File after;
    EXPECT_EQ(File::Open(kFile, R, Sr, Disposition::OpenExisting, after), WinError::Success);
}

// The packet extraction creates its files with CREATE_ALWAYS and no sharing:
// a file that another program holds fails as in use, and keeps its content.
TEST(Files, CreateOfAHeldFileFailsInUseAcrossProcesses) {
    ProfileFixture profile;
    ASSERT_EQ(CreateDirectories(u"C:\\work"), WinError::Success);
    WriteText(kFile, "precious");
    Event ready;
    ASSERT_EQ(Event::Create(u"Local\\file-ready", EventReset::Manual, EventState::Clear, ready),
              WinError::Success);
    Process holder;
    ASSERT_EQ(helper::StartHelper("hold-file C:\\work\\a.bin Local\\file-ready", holder),
              WinError::Success);
    ASSERT_EQ(ready.Wait(20000), WaitResult::Signaled);

    File file;
    EXPECT_EQ(File::Open(kFile, FileAccess::All, FileShare::None, Disposition::CreateAlways, file),
              WinError::SharingViolation);
    EXPECT_EQ(ReadFile(profile.DriveC() / "work" / "a.bin"), "precious");
    EXPECT_EQ(DeleteFile(kFile), WinError::SharingViolation);
    EXPECT_EQ(MoveFile(kFile, u"C:\\work\\aside", MoveFlags::None), WinError::SharingViolation);

    ASSERT_EQ(holder.Terminate(), WinError::Success);
    ASSERT_EQ(holder.Wait(20000), WaitResult::Signaled);
    EXPECT_EQ(File::Open(kFile, FileAccess::All, FileShare::None, Disposition::CreateAlways, file),
              WinError::Success);
    EXPECT_TRUE(file.Existed());
    uint64_t size = 1;
    ASSERT_EQ(file.Size(size), WinError::Success);
    EXPECT_EQ(size, 0u);
}

TEST(Files, DispositionsAndTheirErrors) {
    ProfileFixture profile;
    File file;
    EXPECT_EQ(File::Open(u"C:\\missing\\x.txt", FileAccess::Write, FileShare::None,
                         Disposition::CreateAlways, file),
              WinError::PathNotFound);
    EXPECT_EQ(File::Open(u"C:\\x.txt", FileAccess::Read, FileShare::Read, Disposition::OpenExisting,
                         file),
              WinError::FileNotFound);
    ASSERT_EQ(
        File::Open(u"C:\\x.txt", FileAccess::Write, FileShare::None, Disposition::CreateNew, file),
        WinError::Success);
    EXPECT_FALSE(file.Existed());
    file.Close();
    EXPECT_EQ(
        File::Open(u"C:\\x.txt", FileAccess::Write, FileShare::None, Disposition::CreateNew, file),
        WinError::FileExists);
    ASSERT_EQ(
        File::Open(u"C:\\x.txt", FileAccess::Write, FileShare::None, Disposition::OpenAlways, file),
        WinError::Success);
    EXPECT_TRUE(file.Existed());
    file.Close();
    EXPECT_EQ(File::Open(u"C:\\Windows", FileAccess::Read, FileShare::Read,
                         Disposition::OpenExisting, file),
              WinError::AccessDenied);
    EXPECT_EQ(
        File::Open(u"Q:\\x", FileAccess::Read, FileShare::Read, Disposition::OpenExisting, file),
        WinError::PathNotFound);
    EXPECT_EQ(File::Open(u"C:\\bad|name", FileAccess::Read, FileShare::Read,
                         Disposition::OpenExisting, file),
              WinError::InvalidName);

    WriteText(u"C:\\x.txt", "0123456789");
    ASSERT_EQ(File::Open(u"C:\\x.txt", FileAccess::ReadWrite, FileShare::Read,
                         Disposition::OpenExisting, file),
              WinError::Success);
    uint64_t position = 0;
    ASSERT_EQ(file.Seek(4, SeekOrigin::Begin, &position), WinError::Success);
    ASSERT_EQ(file.SetEndOfFile(), WinError::Success);
    char buffer[8] = {};
    size_t got = 0;
    ASSERT_EQ(file.Seek(-2, SeekOrigin::End), WinError::Success);
    ASSERT_EQ(file.Read(buffer, sizeof buffer, &got), WinError::Success);
    EXPECT_EQ(std::string(buffer, got), "23");
}

TEST(Files, ReadOnlyFilesAndAttributes) {
    ProfileFixture profile;
    WriteText(u"C:\\ro.txt", "x");
    EXPECT_EQ(GetFileAttributes(u"C:\\ro.txt"), kFileAttributeNormal);
    EXPECT_EQ(GetFileAttributes(u"C:\\Windows"), kFileAttributeDirectory);
    EXPECT_EQ(GetFileAttributes(u"C:\\none"), std::nullopt);
    ASSERT_EQ(SetFileAttributes(u"C:\\ro.txt", kFileAttributeReadOnly), WinError::Success);
    EXPECT_EQ(GetFileAttributes(u"C:\\ro.txt"), kFileAttributeReadOnly);  // exactly read-only

    // Refused even to root, as Windows refuses everyone.
    File file;
    EXPECT_EQ(File::Open(u"C:\\ro.txt", FileAccess::Write, FileShare::None,
                         Disposition::OpenExisting, file),
              WinError::AccessDenied);
    EXPECT_EQ(DeleteFile(u"C:\\ro.txt"), WinError::AccessDenied);
    EXPECT_EQ(File::Open(u"C:\\ro.txt", FileAccess::Read, FileShare::Read,
                         Disposition::OpenExisting, file),
              WinError::Success);
    file.Close();
    ASSERT_EQ(SetFileAttributes(u"C:\\ro.txt", kFileAttributeNormal), WinError::Success);
    EXPECT_EQ(DeleteFile(u"C:\\ro.txt"), WinError::Success);
    EXPECT_FALSE(FileExists(u"C:\\ro.txt"));
}

TEST(Files, FoldersCreateAndRemove) {
    ProfileFixture profile;
    EXPECT_EQ(CreateDirectory(u"C:\\one\\two"), WinError::PathNotFound);
    EXPECT_EQ(CreateDirectories(u"C:\\one\\two\\three"), WinError::Success);
    EXPECT_EQ(CreateDirectories(u"C:\\ONE\\two"), WinError::Success);  // existing, in another case
    EXPECT_EQ(CreateDirectory(u"C:\\one"), WinError::AlreadyExists);
    EXPECT_TRUE(DirectoryExists(u"c:\\one\\TWO\\three"));
    WriteText(u"C:\\one\\two\\file", "x");
    EXPECT_EQ(CreateDirectories(u"C:\\one\\two\\file\\sub"), WinError::FileExists);
    EXPECT_EQ(RemoveDirectory(u"C:\\one\\two"), WinError::DirNotEmpty);
    EXPECT_EQ(RemoveDirectory(u"C:\\one\\two\\file"), WinError::DirectoryInvalid);
    EXPECT_EQ(DeleteFile(u"C:\\one"), WinError::AccessDenied);
    ASSERT_EQ(SetFileAttributes(u"C:\\one\\two\\file", kFileAttributeReadOnly), WinError::Success);
    EXPECT_EQ(DeleteTree(u"C:\\one"), WinError::Success);  // the shell deletes read-only files too
    EXPECT_FALSE(FileExists(u"C:\\one"));
    EXPECT_EQ(DeleteTree(u"C:\\one"), WinError::FileNotFound);
}

TEST(Files, MoveAndCopy) {
    ProfileFixture profile;
    WriteText(u"C:\\a.txt", "A");
    WriteText(u"C:\\b.txt", "B");
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\b.txt", MoveFlags::None), WinError::AlreadyExists);
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\b.txt", MoveFlags::ReplaceExisting), WinError::Success);
    EXPECT_EQ(ReadText(u"C:\\b.txt"), "A");
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\c.txt", MoveFlags::None), WinError::FileNotFound);
    EXPECT_EQ(MoveFile(u"C:\\b.txt", u"C:\\no\\c.txt", MoveFlags::None), WinError::PathNotFound);
    EXPECT_EQ(CopyFile(u"C:\\b.txt", u"C:\\c.txt", CopyMode::FailIfExists), WinError::Success);
    EXPECT_EQ(CopyFile(u"C:\\b.txt", u"C:\\c.txt", CopyMode::FailIfExists), WinError::FileExists);
    EXPECT_EQ(ReadText(u"C:\\c.txt"), "A");
    EXPECT_EQ(GetFileSize(u"C:\\c.txt"), 1u);
}

TEST(Files, MovesDelayedUntilTheRestart) {
    ProfileFixture profile;
    WriteText(u"C:\\old.dll", "old");
    WriteText(u"C:\\new.dll0", "new");
    WriteText(u"C:\\leftover.tmp", "x");
    ASSERT_EQ(CreateDirectories(u"C:\\kinsttemp\\install_res"), WinError::Success);
    ASSERT_EQ(CreateDirectories(u"C:\\emptydir"), WinError::Success);

    ASSERT_EQ(MoveFile(u"C:\\leftover.tmp", u"", MoveFlags::DelayUntilReboot), WinError::Success);
    ASSERT_EQ(MoveFile(u"C:\\new.dll0", u"C:\\old.dll",
                       MoveFlags::DelayUntilReboot | MoveFlags::ReplaceExisting),
              WinError::Success);
    ASSERT_EQ(MoveFile(u"c:/kinsttemp", u"", MoveFlags::DelayUntilReboot), WinError::Success);
    ASSERT_EQ(MoveFile(u"C:\\emptydir", u"", MoveFlags::DelayUntilReboot), WinError::Success);
    EXPECT_TRUE(FileExists(u"C:\\leftover.tmp"));  // nothing happens before the restart

    // Recorded where Windows records it, in its format.
    RegKey key;
    ASSERT_EQ(
        RegKey::Open(Hive::LocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                     RegAccess::Read, RegView::Default, key),
        WinError::Success);
    RegValueEntry value;
    ASSERT_EQ(key.GetValue(u"PendingFileRenameOperations", value), WinError::Success);
    EXPECT_EQ(value.type, RegType::MultiSz);
    const std::u16string expected(
        u"\\??\\C:\\leftover.tmp\0\0\\??\\C:\\new.dll0\0!\\??\\C:\\old.dll\0"
        u"\\??\\C:\\kinsttemp\0\0\\??\\C:\\emptydir\0\0\0",
        89);
    std::string bytes;
    for (char16_t c : expected) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    EXPECT_EQ(value.data, bytes);
    ASSERT_EQ(GetPendingRenames().size(), 4u);
    EXPECT_TRUE(GetPendingRenames()[1].replace);

    const auto outcomes = CarryOutPendingRenames();
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].result, WinError::Success);
    EXPECT_EQ(outcomes[1].result, WinError::Success);
    EXPECT_EQ(outcomes[2].result, WinError::DirNotEmpty);  // a restart removes empty folders only
    EXPECT_EQ(outcomes[3].result, WinError::Success);
    EXPECT_FALSE(FileExists(u"C:\\leftover.tmp"));
    EXPECT_EQ(ReadText(u"C:\\old.dll"), "new");
    EXPECT_FALSE(FileExists(u"C:\\new.dll0"));
    EXPECT_FALSE(FileExists(u"C:\\emptydir"));
    EXPECT_TRUE(GetPendingRenames().empty());
}

// What the packet extraction does with a file another program holds without
// sharing: moving it aside fails too, so it writes name + "0" and has it put
// in place at the next restart.
TEST(Files, BusyFileIsReplacedAtTheRestart) {
    ProfileFixture profile;
    ASSERT_EQ(CreateDirectories(u"C:\\work"), WinError::Success);
    WriteText(kFile, "old");
    File holder;
    ASSERT_EQ(
        File::Open(kFile, FileAccess::Read, FileShare::None, Disposition::OpenExisting, holder),
        WinError::Success);
    File target;
    EXPECT_EQ(
        File::Open(kFile, FileAccess::All, FileShare::None, Disposition::CreateAlways, target),
        WinError::SharingViolation);
    EXPECT_EQ(MoveFile(kFile, u"C:\\work\\a.bin_d_1f", MoveFlags::None),
              WinError::SharingViolation);
    WriteText(u"C:\\work\\a.bin0", "new");
    ASSERT_EQ(MoveFile(u"C:\\work\\a.bin0", kFile,
                       MoveFlags::ReplaceExisting | MoveFlags::DelayUntilReboot),
              WinError::Success);
    holder.Close();  // the program ends before the restart
    CarryOutPendingRenames();
    EXPECT_EQ(ReadText(kFile), "new");

    // A handle that shares deletion lets the file be moved aside while open.
    File shared;
    ASSERT_EQ(File::Open(kFile, FileAccess::Read, FileShare::Read | FileShare::Delete,
                         Disposition::OpenExisting, shared),
              WinError::Success);
    EXPECT_EQ(MoveFile(kFile, u"C:\\work\\aside", MoveFlags::None), WinError::Success);
}

// The installer reads its own file through a read-only view.
TEST(Files, MappedReadOnlyInPlace) {
    ProfileFixture profile;
    std::string big(3 * 4096 + 7, 'a');
    big.back() = 'z';
    WriteText(u"C:\\setup.exe", big);
    MappedFile mapped;
    ASSERT_EQ(MappedFile::Open(u"C:\\setup.exe", mapped), WinError::Success);
    ASSERT_EQ(mapped.Size(), big.size());
    EXPECT_EQ(mapped.Data()[0], 'a');
    EXPECT_EQ(mapped.Data()[big.size() - 1], 'z');
    // As on Windows, the view keeps the file as it was opened (sharing only
    // reading) after its handle closed: a writer waits for the view to go.
    File writer;
    EXPECT_EQ(File::Open(u"C:\\setup.exe", FileAccess::Write, FileShare::ReadWrite,
                         Disposition::OpenExisting, writer),
              WinError::SharingViolation);
    mapped.Close();
    EXPECT_EQ(File::Open(u"C:\\setup.exe", FileAccess::Write, FileShare::ReadWrite,
                         Disposition::OpenExisting, writer),
              WinError::Success);
    writer.Close();

    WriteText(u"C:\\empty.bin", "");
    ASSERT_EQ(MappedFile::Open(u"C:\\empty.bin", mapped), WinError::Success);
    EXPECT_TRUE(mapped.IsOpen());
    EXPECT_EQ(mapped.Size(), 0u);
    EXPECT_EQ(MappedFile::Open(u"C:\\none.exe", mapped), WinError::FileNotFound);
    EXPECT_FALSE(mapped.IsOpen());
}

}  // namespace
}  // namespace zeph::platform
