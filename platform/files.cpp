#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/ascii.h"
#include "platform/host_io.h"
#include "platform/named_pipe.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace zeph::platform {
namespace {

// Sharing is kept in open-file-description locks on bytes far beyond any
// file's end: each handle holds a shared lock on the bytes that say what it
// uses and what it refuses to share, and an open checks the others' bytes.
// The locks belong to the open file, so they are per handle (also inside one
// process) and vanish with the process.
constexpr off_t kShareBase = 0x7FFFFFFF00000000LL;
enum ShareSlot : off_t {
    kHasRead = 0,
    kHasWrite,
    kHasDelete,
    kDenyRead,
    kDenyWrite,
    kDenyDelete,
};

bool TakeSlot(int fd, ShareSlot slot) {
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kShareBase + slot;
    fl.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when another handle holds the slot.
bool OthersHold(int fd, ShareSlot slot) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kShareBase + slot;
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) {
        return false;
    }
    return fl.l_type != F_UNLCK;
}

struct Wants {
    bool read = false, write = false, del = false;
};

Wants AccessWants(FileAccess access) {
    const auto bits = static_cast<uint32_t>(access);
    Wants w;
    const bool all = (bits & static_cast<uint32_t>(FileAccess::All)) != 0;
    w.read = all || (bits & static_cast<uint32_t>(FileAccess::Read)) != 0;
    w.write = all || (bits & static_cast<uint32_t>(FileAccess::Write)) != 0;
    w.del = all || (bits & static_cast<uint32_t>(FileAccess::Delete)) != 0;
    return w;
}

// Registers first and checks after, so two opens racing each other both see
// the other and fail rather than both succeed.
bool RegisterSharing(int fd, Wants wants, FileShare share) {
    const auto s = static_cast<uint32_t>(share);
    const bool shareRead = (s & 1) != 0, shareWrite = (s & 2) != 0, shareDelete = (s & 4) != 0;
    if ((wants.read && !TakeSlot(fd, kHasRead)) || (wants.write && !TakeSlot(fd, kHasWrite)) ||
        (wants.del && !TakeSlot(fd, kHasDelete)) || (!shareRead && !TakeSlot(fd, kDenyRead)) ||
        (!shareWrite && !TakeSlot(fd, kDenyWrite)) ||
        (!shareDelete && !TakeSlot(fd, kDenyDelete))) {
        return true;  // a file system without these locks shares everything
    }
    if ((wants.read && OthersHold(fd, kDenyRead)) || (wants.write && OthersHold(fd, kDenyWrite)) ||
        (wants.del && OthersHold(fd, kDenyDelete)) || (!shareRead && OthersHold(fd, kHasRead)) ||
        (!shareWrite && OthersHold(fd, kHasWrite)) ||
        (!shareDelete && OthersHold(fd, kHasDelete))) {
        return false;
    }
    return true;
}

// Whether an open handle refuses to let the file at `host` be deleted or
// renamed.
bool DeletionRefused(const std::string& host) {
    const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool refused =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && OthersHold(fd, kDenyDelete);
    ::close(fd);
    return refused;
}

bool ParentExists(const std::string& host) {
    const size_t slash = host.find_last_of('/');
    if (slash == std::string::npos) {
        return true;
    }
    struct stat st {};
    return ::stat(slash == 0 ? "/" : host.substr(0, slash).c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

// The error of a failed call on `host`: Windows tells a missing file from a
// missing folder on the way.
WinError ErrorFor(int err, const std::string& host) {
    if (err == ENOENT) {
        return ParentExists(host) ? WinError::FileNotFound : WinError::PathNotFound;
    }
    return WinErrorFromErrno(err);
}

WinError HostOf(std::u16string_view path, std::string& host) {
    const auto parsed = ParseWinPath(path);
    if (!parsed) {
        return WinError::InvalidName;
    }
    if (parsed->kind == WinPathKind::Unc) {
        return WinError::BadNetPath;
    }
    if (parsed->kind == WinPathKind::Pipe) {
        return WinError::InvalidName;
    }
    auto resolved = ToHostPath(path);
    if (!resolved) {
        return WinError::PathNotFound;
    }
    host = std::move(*resolved);
    return WinError::Success;
}

bool IsReadOnlyMode(mode_t mode) {
    return (mode & 0222) == 0;
}

std::u16string NtForm(std::u16string_view path) {
    const auto parsed = ParseWinPath(path);
    return u"\\??\\" + (parsed ? FormatWinPath(*parsed) : std::u16string(path));
}

std::u16string StripNtPrefix(std::u16string_view path) {
    if (path.substr(0, 4) == u"\\??\\") {
        path.remove_prefix(4);
    }
    return std::u16string(path);
}

constexpr std::u16string_view kSessionManager =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr std::u16string_view kPendingValue = u"PendingFileRenameOperations";

// The value's strings, empty ones included (an empty target means delete).
std::vector<std::u16string> PendingTokens() {
    RegKey key;
    if (RegKey::Open(Hive::LocalMachine, kSessionManager, RegAccess::Read, RegView::Wow64_64,
                     key) != WinError::Success) {
        return {};
    }
    const auto data = key.ReadBinary(kPendingValue);
    if (!data) {
        return {};
    }
    std::u16string text;
    for (size_t i = 0; i + 1 < data->size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>((*data)[i]) |
                                             (static_cast<unsigned char>((*data)[i + 1]) << 8)));
    }
    std::vector<std::u16string> tokens;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(u'\0', pos);
        if (end == std::u16string::npos) {
            end = text.size();
        }
        tokens.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return tokens;
}

std::vector<PendingRename> TokensToOperations(const std::vector<std::u16string>& tokens) {
    std::vector<PendingRename> ops;
    for (size_t i = 0; i < tokens.size() && !tokens[i].empty(); i += 2) {
        PendingRename op;
        op.from = StripNtPrefix(tokens[i]);
        std::u16string_view to = i + 1 < tokens.size() ? tokens[i + 1] : std::u16string_view();
        if (!to.empty() && to.front() == u'!') {
            op.replace = true;
            to.remove_prefix(1);
        }
        op.to = StripNtPrefix(to);
        ops.push_back(std::move(op));
    }
    return ops;
}

WinError RecordPending(std::u16string_view from, std::u16string_view to, bool replace) {
    RegKey key;
    if (const WinError e =
            RegKey::Create(Hive::LocalMachine, kSessionManager, RegView::Wow64_64, key);
        e != WinError::Success) {
        return e;
    }
    std::vector<std::u16string> tokens = PendingTokens();
    // Keep the pairs only; the value ends with the list's terminator.
    std::vector<std::u16string> pairs;
    for (const auto& op : TokensToOperations(tokens)) {
        pairs.push_back(NtForm(op.from));
        pairs.push_back(op.to.empty() ? std::u16string()
                                      : (op.replace ? u"!" : u"") + NtForm(op.to));
    }
    pairs.push_back(NtForm(from));
    pairs.push_back(to.empty() ? std::u16string() : (replace ? u"!" : u"") + NtForm(to));
    std::string bytes;
    for (const auto& token : pairs) {
        for (char16_t c : token) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        bytes.append(2, '\0');
    }
    bytes.append(2, '\0');
    return key.SetValue(kPendingValue, RegType::MultiSz, bytes);
}

WinError CopyHostFile(const std::string& from, const std::string& to) {
    std::string bytes;
    if (const int err = ReadHostFile(from, bytes); err != 0) {
        return ErrorFor(err, from);
    }
    struct stat st {};
    ::stat(from.c_str(), &st);
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
    if (fd < 0) {
        return ErrorFor(errno, to);
    }
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const WinError e = WinErrorFromErrno(errno);
            ::close(fd);
            return e;
        }
        rest.remove_prefix(static_cast<size_t>(n));
    }
    ::fchmod(fd, st.st_mode & 07777);
    ::close(fd);
    return WinError::Success;
}

}  // namespace

bool FileExists(std::u16string_view path) {
    std::string host;
    struct stat st {};
    return HostOf(path, host) == WinError::Success && ::stat(host.c_str(), &st) == 0;
}

bool DirectoryExists(std::u16string_view path) {
    std::string host;
    struct stat st {};
    return HostOf(path, host) == WinError::Success && ::stat(host.c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

std::optional<uint32_t> GetFileAttributes(std::u16string_view path) {
    std::string host;
    struct stat st {};
    if (HostOf(path, host) != WinError::Success || ::stat(host.c_str(), &st) != 0) {
        return std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) {
        return kFileAttributeDirectory | (IsReadOnlyMode(st.st_mode) ? kFileAttributeReadOnly : 0);
    }
    return IsReadOnlyMode(st.st_mode) ? kFileAttributeReadOnly : kFileAttributeNormal;
}

WinError SetFileAttributes(std::u16string_view path, uint32_t attributes) {
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) {
        return ErrorFor(errno, host);
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & kFileAttributeReadOnly) {
        mode &= ~static_cast<mode_t>(0222);
    } else if (IsReadOnlyMode(mode)) {
        mode |= 0200;
    }
    if (::chmod(host.c_str(), mode) != 0) {
        return ErrorFor(errno, host);
    }
    return WinError::Success;
}

std::optional<uint64_t> GetFileSize(std::u16string_view path) {
    std::string host;
    struct stat st {};
    if (HostOf(path, host) != WinError::Success || ::stat(host.c_str(), &st) != 0 ||
        S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(st.st_size);
}

WinError CreateDirectory(std::u16string_view path) {
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    if (::mkdir(host.c_str(), 0755) != 0) {
        return errno == ENOENT ? WinError::PathNotFound : WinErrorFromErrno(errno);
    }
    return WinError::Success;
}

WinError CreateDirectories(std::u16string_view path) {
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    const int err = MakeHostDirs(host);
    if (err == ENOTDIR) {
        return WinError::FileExists;  // a file stands where a folder should be
    }
    return err == 0 ? WinError::Success : WinErrorFromErrno(err);
}

WinError DeleteFile(std::u16string_view path) {
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) {
        return ErrorFor(errno, host);
    }
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnlyMode(st.st_mode))) {
        return WinError::AccessDenied;
    }
    if (DeletionRefused(host)) {
        return WinError::SharingViolation;
    }
    if (::unlink(host.c_str()) != 0) {
        return ErrorFor(errno, host);
    }
    return WinError::Success;
}

WinError RemoveDirectory(std::u16string_view path) {
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) {
        return ErrorFor(errno, host);
    }
    if (!S_ISDIR(st.st_mode)) {
        return WinError::DirectoryInvalid;
    }
    if (::rmdir(host.c_str()) != 0) {
        return errno == EEXIST ? WinError::DirNotEmpty : ErrorFor(errno, host);
    }
    return WinError::Success;
}

namespace {

// Deletes bottom-up what it can; a file that an open handle keeps stays.
WinError DeleteHostTree(const std::string& host) {
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) {
        return ErrorFor(errno, host);
    }
    if (!S_ISDIR(st.st_mode)) {
        if (DeletionRefused(host)) {
            return WinError::SharingViolation;
        }
        return ::unlink(host.c_str()) == 0 ? WinError::Success : ErrorFor(errno, host);
    }
    WinError result = WinError::Success;
    if (DIR* dir = ::opendir(host.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
        for (const auto& name : names) {
            const WinError e = DeleteHostTree(host + "/" + name);
            if (e != WinError::Success && result == WinError::Success) {
                result = e;
            }
        }
    }
    if (::rmdir(host.c_str()) != 0 && result == WinError::Success) {
        result = ErrorFor(errno, host);
    }
    return result;
}

}  // namespace

WinError DeleteTree(std::u16string_view path) {
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    return DeleteHostTree(host);
}

WinError MoveFile(std::u16string_view from, std::u16string_view to, MoveFlags flags) {
    if (HasFlag(flags, MoveFlags::DelayUntilReboot)) {
        if (!ParseWinPath(from) || (!to.empty() && !ParseWinPath(to))) {
            return WinError::InvalidName;
        }
        return RecordPending(from, to, HasFlag(flags, MoveFlags::ReplaceExisting));
    }
    if (to.empty()) {
        return WinError::InvalidParameter;
    }
    std::string source, target;
    if (const WinError e = HostOf(from, source); e != WinError::Success) {
        return e;
    }
    if (const WinError e = HostOf(to, target); e != WinError::Success) {
        return e;
    }
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) {
        return ErrorFor(errno, source);
    }
    if (DeletionRefused(source)) {
        return WinError::SharingViolation;
    }
    struct stat targetSt {};
    if (::lstat(target.c_str(), &targetSt) == 0 && source != target) {
        if (!HasFlag(flags, MoveFlags::ReplaceExisting)) {
            return WinError::AlreadyExists;
        }
        if (S_ISDIR(targetSt.st_mode) || IsReadOnlyMode(targetSt.st_mode)) {
            return WinError::AccessDenied;
        }
        if (DeletionRefused(target)) {
            return WinError::SharingViolation;
        }
    } else if (!ParentExists(target)) {
        return WinError::PathNotFound;
    }
    if (::rename(source.c_str(), target.c_str()) == 0) {
        return WinError::Success;
    }
    if (errno == EXDEV && !S_ISDIR(st.st_mode)) {
        if (!HasFlag(flags, MoveFlags::CopyAllowed)) {
            return WinError::NotSameDevice;
        }
        if (const WinError e = CopyHostFile(source, target); e != WinError::Success) {
            return e;
        }
        ::unlink(source.c_str());
        return WinError::Success;
    }
    return ErrorFor(errno, target);
}

WinError CopyFile(std::u16string_view from, std::u16string_view to, CopyMode mode) {
    File source;
    if (const WinError e =
            File::Open(from, FileAccess::Read, FileShare::Read, Disposition::OpenExisting, source);
        e != WinError::Success) {
        return e;
    }
    if (mode == CopyMode::FailIfExists && FileExists(to)) {
        return WinError::FileExists;
    }
    File target;
    if (const WinError e =
            File::Open(to, FileAccess::Write, FileShare::None, Disposition::CreateAlways, target);
        e != WinError::Success) {
        return e;
    }
    char buffer[65536];
    for (;;) {
        size_t got = 0;
        if (const WinError e = source.Read(buffer, sizeof buffer, &got); e != WinError::Success) {
            return e;
        }
        if (got == 0) {
            break;
        }
        if (const WinError e = target.Write(buffer, got); e != WinError::Success) {
            return e;
        }
    }
    struct stat st {};
    if (::fstat(source.NativeHandle(), &st) == 0) {
        ::fchmod(target.NativeHandle(), st.st_mode & 07777);
    }
    return WinError::Success;
}

std::vector<PendingRename> GetPendingRenames() {
    return TokensToOperations(PendingTokens());
}

std::vector<RenameOutcome> CarryOutPendingRenames() {
    std::vector<RenameOutcome> outcomes;
    for (const auto& op : GetPendingRenames()) {
        RenameOutcome outcome{op, WinError::Success};
        if (op.to.empty()) {
            // As at a Windows restart: a file, or an empty folder.
            if (DirectoryExists(op.from)) {
                outcome.result = RemoveDirectory(op.from);
            } else {
                outcome.result = DeleteFile(op.from);
                if (outcome.result == WinError::AccessDenied) {
                    SetFileAttributes(op.from, kFileAttributeNormal);
                    outcome.result = DeleteFile(op.from);
                }
            }
        } else {
            outcome.result =
                MoveFile(op.from, op.to, op.replace ? MoveFlags::ReplaceExisting : MoveFlags::None);
        }
        outcomes.push_back(std::move(outcome));
    }
    RegKey key;
    if (RegKey::Open(Hive::LocalMachine, kSessionManager, RegAccess::All, RegView::Wow64_64, key) ==
        WinError::Success) {
        key.DeleteValue(kPendingValue);
    }
    return outcomes;
}

File::~File() {
    Close();
}

File::File(File&& other) noexcept : m_fd(other.m_fd), m_existed(other.m_existed) {
    other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_existed = other.m_existed;
        other.m_fd = -1;
    }
    return *this;
}

void File::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

WinError File::Open(std::u16string_view path, FileAccess access, FileShare share,
                    Disposition disposition, File& out) {
    out.Close();
    out.m_existed = false;
    const auto parsed = ParseWinPath(path);
    if (parsed && parsed->kind == WinPathKind::Pipe) {
        NamedPipe pipe;
        if (const WinError e = NamedPipe::Connect(path, pipe); e != WinError::Success) {
            return e;
        }
        out.m_fd = pipe.Release();
        return WinError::Success;
    }
    std::string host;
    if (const WinError e = HostOf(path, host); e != WinError::Success) {
        return e;
    }
    const Wants wants = AccessWants(access);
    const int mode = wants.write ? O_RDWR : O_RDONLY;
    const bool mayCreate = disposition == Disposition::CreateNew ||
                           disposition == Disposition::CreateAlways ||
                           disposition == Disposition::OpenAlways;
    if (disposition == Disposition::TruncateExisting && !wants.write) {
        return WinError::InvalidParameter;
    }
    if (!ParentExists(host)) {
        return WinError::PathNotFound;
    }
    int fd = -1;
    bool created = false;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        struct stat st {};
        if (::stat(host.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                return WinError::AccessDenied;
            }
            if (disposition == Disposition::CreateNew) {
                return WinError::FileExists;
            }
            // A read-only file refuses writing even to root, as on Windows.
            const bool writes = wants.write || disposition == Disposition::CreateAlways ||
                                disposition == Disposition::TruncateExisting;
            if (writes && IsReadOnlyMode(st.st_mode)) {
                return WinError::AccessDenied;
            }
            fd = ::open(host.c_str(), mode | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0 && errno != ENOENT) {
                return ErrorFor(errno, host);
            }
        } else if (errno != ENOENT) {
            return ErrorFor(errno, host);
        } else if (!mayCreate) {
            return WinError::FileNotFound;
        } else {
            fd = ::open(host.c_str(), mode | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                created = true;
            } else if (errno != EEXIST) {
                return ErrorFor(errno, host);
            }
        }
    }
    if (fd < 0) {
        return WinError::SharingViolation;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!RegisterSharing(fd, wants, share)) {
        ::close(fd);
        return WinError::SharingViolation;
    }
    if (!created && (disposition == Disposition::CreateAlways ||
                     disposition == Disposition::TruncateExisting)) {
        if (::ftruncate(fd, 0) != 0) {
            const WinError e = WinErrorFromErrno(errno);
            ::close(fd);
            return e;
        }
    }
    out.m_fd = fd;
    out.m_existed = !created && (disposition == Disposition::CreateAlways ||
                                 disposition == Disposition::OpenAlways);
    return WinError::Success;
}

WinError File::Read(void* buffer, size_t size, size_t* done) {
    if (done) {
        *done = 0;
    }
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n >= 0) {
            if (done) {
                *done = static_cast<size_t>(n);
            }
            return WinError::Success;
        }
        if (errno != EINTR) {
            return WinErrorFromErrno(errno);
        }
    }
}

WinError File::Write(const void* data, size_t size, size_t* done) {
    if (done) {
        *done = 0;
    }
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    const char* p = static_cast<const char*>(data);
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(m_fd, p + written, size - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (done) {
                *done = written;
            }
            return WinErrorFromErrno(errno);
        }
        written += static_cast<size_t>(n);
    }
    if (done) {
        *done = written;
    }
    return WinError::Success;
}

WinError File::Seek(int64_t offset, SeekOrigin origin, uint64_t* position) {
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    const off_t result = ::lseek(m_fd, offset, whence);
    if (result < 0) {
        return WinError::InvalidParameter;
    }
    if (position) {
        *position = static_cast<uint64_t>(result);
    }
    return WinError::Success;
}

WinError File::Size(uint64_t& size) const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        return WinError::InvalidHandle;
    }
    size = static_cast<uint64_t>(st.st_size);
    return WinError::Success;
}

WinError File::SetEndOfFile() {
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    const off_t here = ::lseek(m_fd, 0, SEEK_CUR);
    if (here < 0 || ::ftruncate(m_fd, here) != 0) {
        return WinErrorFromErrno(errno);
    }
    return WinError::Success;
}

WinError File::Flush() {
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    return ::fsync(m_fd) == 0 || errno == EINVAL ? WinError::Success : WinErrorFromErrno(errno);
}

WinError ReadWholeFile(std::u16string_view path, std::string& bytes) {
    bytes.clear();
    File file;
    if (const WinError e = File::Open(path, FileAccess::Read, FileShare::ReadWrite,
                                      Disposition::OpenExisting, file);
        e != WinError::Success) {
        return e;
    }
    char buffer[65536];
    for (;;) {
        size_t got = 0;
        if (const WinError e = file.Read(buffer, sizeof buffer, &got); e != WinError::Success) {
            return e;
        }
        if (got == 0) {
            return WinError::Success;
        }
        bytes.append(buffer, got);
    }
}

MappedFile::~MappedFile() {
    Close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_open(other.m_open) {
    other.m_data = nullptr;
    other.m_size = 0;
    other.m_open = false;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_data = other.m_data;
        m_size = other.m_size;
        m_open = other.m_open;
        other.m_data = nullptr;
        other.m_size = 0;
        other.m_open = false;
    }
    return *this;
}

void MappedFile::Close() {
    if (m_data) {
        ::munmap(m_data, static_cast<size_t>(m_size));
    }
    m_data = nullptr;
    m_size = 0;
    m_open = false;
}

WinError MappedFile::Open(std::u16string_view path, MappedFile& out) {
    out.Close();
    File file;
    if (const WinError e =
            File::Open(path, FileAccess::Read, FileShare::Read, Disposition::OpenExisting, file);
        e != WinError::Success) {
        return e;
    }
    uint64_t size = 0;
    if (const WinError e = file.Size(size); e != WinError::Success) {
        return e;
    }
    out.m_open = true;
    if (size == 0) {
        return WinError::Success;
    }
    // The mapping outlives the handle, as a view outlives a closed file handle.
    void* data =
        ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, file.NativeHandle(), 0);
    if (data == MAP_FAILED) {
        out.m_open = false;
        return WinErrorFromErrno(errno);
    }
    out.m_data = data;
    out.m_size = size;
    return WinError::Success;
}

}  // namespace zeph::platform
