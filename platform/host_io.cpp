#include "platform/host_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zeph::platform {

int ReadHostFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    char buffer[65536];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            err = errno;
            break;
        }
    }
    ::close(fd);
    return err;
}

namespace {

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

}  // namespace

int ReplaceHostFile(const std::string& path, std::string_view bytes, unsigned newFileMode) {
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int err = WriteAll(fd, bytes);
    if (err == 0) {
        const mode_t mode = existed ? (old.st_mode & 07777) : static_cast<mode_t>(newFileMode);
        if (::fchmod(fd, mode) != 0) {
            err = errno;
        }
    }
    if (err == 0 && existed && ::geteuid() == 0 && (old.st_uid != 0 || old.st_gid != 0)) {
        // Root editing a user's profile must not take the file away from the user.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            err = errno;
        }
    }
    if (err == 0 && ::fsync(fd) != 0) {
        err = errno;
    }
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(temp.c_str());
    }
    return err;
}

int MakeHostDirs(const std::string& path, unsigned mode) {
    if (path.empty()) {
        return ENOENT;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int err = MakeHostDirs(path.substr(0, slash), mode); err != 0) {
            return err;
        }
    }
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

HostFileLock::HostFileLock(const std::string& lockPath) {
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0 && errno == EACCES) {
        // A lock file made by another user: flock needs no write access.
        m_fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            m_error = errno;
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

HostFileLock::~HostFileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);  // releases the lock
    }
}

}  // namespace zeph::platform
