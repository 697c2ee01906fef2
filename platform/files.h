// Files and folders by their Windows-form paths, with the Windows behaviours
// the installer relies on: sharing modes between open handles (also across
// processes), read-only files that cannot be deleted, and moves or deletions
// delayed until the next restart (PendingFileRenameOperations).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zeph::platform {

// FILE_ATTRIBUTE_* numbers.
inline constexpr uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr uint32_t kFileAttributeHidden = 0x2;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;
inline constexpr uint32_t kFileAttributeNormal = 0x80;

// PathFileExists: a file or a folder.
bool FileExists(std::u16string_view path);
bool DirectoryExists(std::u16string_view path);

// GetFileAttributes: nullopt when nothing is there. A file is Normal or
// ReadOnly (when nobody may write it); a folder is Directory, plus ReadOnly
// when nobody may write it.
std::optional<uint32_t> GetFileAttributes(std::u16string_view path);
// Only ReadOnly has an effect (the write permission bits).
WinError SetFileAttributes(std::u16string_view path, uint32_t attributes);
std::optional<uint64_t> GetFileSize(std::u16string_view path);

// CreateDirectory: one level; AlreadyExists when something is there,
// PathNotFound when the parent is missing.
WinError CreateDirectory(std::u16string_view path);
// With all missing parents; an existing folder is fine.
WinError CreateDirectories(std::u16string_view path);
// DeleteFile: AccessDenied for a read-only file or a folder; SharingViolation
// while a handle that does not share deletion is open.
WinError DeleteFile(std::u16string_view path);
// RemoveDirectory: the folder must be empty (DirNotEmpty).
WinError RemoveDirectory(std::u16string_view path);
// The shell's delete: a file, or a folder with everything in it.
WinError DeleteTree(std::u16string_view path);

// MOVEFILE_* numbers.
enum class MoveFlags : uint32_t {
    None = 0,
    ReplaceExisting = 0x1,
    CopyAllowed = 0x2,
    DelayUntilReboot = 0x4,
};
constexpr MoveFlags operator|(MoveFlags a, MoveFlags b) {
    return static_cast<MoveFlags>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr bool HasFlag(MoveFlags set, MoveFlags flag) {
    return (static_cast<uint32_t>(set) & static_cast<uint32_t>(flag)) != 0;
}

// MoveFileEx. Without ReplaceExisting an existing target fails with
// AlreadyExists. A file moves across host file systems by copy and delete.
// With DelayUntilReboot nothing moves now: the operation is recorded in
// PendingFileRenameOperations (an empty `to` deletes `from` at the restart)
// and `zephctl prefix reboot` carries it out.
WinError MoveFile(std::u16string_view from, std::u16string_view to, MoveFlags flags);

enum class CopyMode : uint8_t { Overwrite, FailIfExists };
WinError CopyFile(std::u16string_view from, std::u16string_view to, CopyMode mode);

struct PendingRename {
    std::u16string from;  // Windows form
    std::u16string to;    // empty: delete
    bool replace = false;
};
// The recorded operations, in order.
std::vector<PendingRename> GetPendingRenames();

struct RenameOutcome {
    PendingRename operation;
    WinError result = WinError::Success;
};
// What a restart does: carries out every recorded operation in order and
// clears the record.
std::vector<RenameOutcome> CarryOutPendingRenames();

// GENERIC_* access; Delete is the DELETE right (GENERIC_ALL includes it).
enum class FileAccess : uint32_t {
    Read = 0x80000000,
    Write = 0x40000000,
    ReadWrite = 0xC0000000,
    Delete = 0x00010000,
    All = 0x10000000,
};
// FILE_SHARE_* numbers.
enum class FileShare : uint32_t {
    None = 0,
    Read = 1,
    Write = 2,
    ReadWrite = 3,
    Delete = 4,
    All = 7,
};
constexpr FileShare operator|(FileShare a, FileShare b) {
    return static_cast<FileShare>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr FileAccess operator|(FileAccess a, FileAccess b) {
    return static_cast<FileAccess>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
// CREATE_NEW ... TRUNCATE_EXISTING.
enum class Disposition : uint32_t {
    CreateNew = 1,
    CreateAlways = 2,
    OpenExisting = 3,
    OpenAlways = 4,
    TruncateExisting = 5,
};

enum class SeekOrigin : uint8_t { Begin, Current, End };

// An open file (CreateFile). Sharing works as on Windows between any two
// handles, in one process or several: a handle that does not share an access
// makes a later open asking for it fail with SharingViolation, and an open
// that refuses to share an access fails while a handle has it. The check
// comes before CreateAlways truncates anything. "\\.\pipe\name" connects to
// a named pipe.
class File {
  public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    static WinError Open(std::u16string_view path, FileAccess access, FileShare share,
                         Disposition disposition, File& out);

    bool IsOpen() const { return m_fd >= 0; }
    // True when CreateAlways or OpenAlways found the file already there
    // (Windows reports ERROR_ALREADY_EXISTS beside success).
    bool Existed() const { return m_existed; }
    void Close();

    WinError Read(void* buffer, size_t size, size_t* done);
    // Writes everything unless the disk fails.
    WinError Write(const void* data, size_t size, size_t* done = nullptr);
    WinError Seek(int64_t offset, SeekOrigin origin, uint64_t* position = nullptr);
    WinError Size(uint64_t& size) const;
    WinError SetEndOfFile();
    WinError Flush();
    int NativeHandle() const { return m_fd; }

  private:
    int m_fd = -1;
    bool m_existed = false;
};

// The whole content of a file (small files: profile and settings files).
WinError ReadWholeFile(std::u16string_view path, std::string& bytes);

// A file mapped read-only as a whole (CreateFile with read sharing, then a
// read-only file mapping), so that large files are read in place without a
// copy. The view stays valid while the object lives and, as on Windows,
// keeps the file shared for reading only until then.
class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    static WinError Open(std::u16string_view path, MappedFile& out);
    bool IsOpen() const { return m_data != nullptr || m_open; }
    void Close();
    const uint8_t* Data() const { return static_cast<const uint8_t*>(m_data); }
    uint64_t Size() const { return m_size; }

  private:
    void* m_data = nullptr;
    uint64_t m_size = 0;
    bool m_open = false;  // an empty file has no view but is open
};

}  // namespace zeph::platform
