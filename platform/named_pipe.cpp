#include "platform/named_pipe.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "base/ascii.h"
#include "base/md5.h"
#include "base/strings.h"
#include "platform/profile.h"

namespace zeph::platform {
namespace {

// Pipes live in the abstract socket namespace, so a pipe disappears with
// its server's socket, also when the server dies. Names are
// case-insensitive, as Windows pipe names are.
bool PipeAddress(std::u16string_view name, sockaddr_un& address, socklen_t& length) {
    if (AsciiStartsWithIgnoreCase(name, u"\\\\.\\pipe\\")) {
        name.remove_prefix(9);
    }
    if (name.empty()) {
        return false;
    }
    std::string key = U8(AsciiLower(name));
    const std::string prefix = "zephsetup/" + CurrentProfile()->ObjectTag() + "/pipe/";
    if (prefix.size() + key.size() > sizeof(address.sun_path) - 2) {
        key = ToHex(Md5(key), HexCase::Lower);
    }
    const std::string full = prefix + key;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    address.sun_path[0] = '\0';
    std::memcpy(address.sun_path + 1, full.data(), full.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + full.size());
    return true;
}

}  // namespace

NamedPipe::~NamedPipe() {
    Close();
}

NamedPipe::NamedPipe(NamedPipe&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

NamedPipe& NamedPipe::operator=(NamedPipe&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void NamedPipe::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

int NamedPipe::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

WinError NamedPipe::CreateServer(std::u16string_view name, NamedPipe& out) {
    out.Close();
    sockaddr_un address{};
    socklen_t length = 0;
    if (!PipeAddress(name, address, length)) {
        return WinError::InvalidName;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return WinErrorFromErrno(errno);
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EADDRINUSE ? WinError::AccessDenied : WinErrorFromErrno(err);
    }
    if (::listen(fd, 16) != 0) {
        const int err = errno;
        ::close(fd);
        return WinErrorFromErrno(err);
    }
    out.m_fd = fd;
    return WinError::Success;
}

WinError NamedPipe::Accept(uint32_t timeoutMs, NamedPipe& connection) {
    connection.Close();
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    pollfd pfd{m_fd, POLLIN, 0};
    const int timeout =
        timeoutMs == 0xFFFFFFFF ? -1 : static_cast<int>(std::min<uint32_t>(timeoutMs, 0x7FFFFFFF));
    int ready = 0;
    do {
        ready = ::poll(&pfd, 1, timeout);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return WinError::WaitTimeout;
    }
    if (ready < 0) {
        return WinErrorFromErrno(errno);
    }
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return WinErrorFromErrno(errno);
    }
    connection.m_fd = fd;
    return WinError::Success;
}

WinError NamedPipe::Connect(std::u16string_view name, NamedPipe& out) {
    out.Close();
    sockaddr_un address{};
    socklen_t length = 0;
    if (!PipeAddress(name, address, length)) {
        return WinError::InvalidName;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return WinErrorFromErrno(errno);
    }
    int result = 0;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int err = errno;
        ::close(fd);
        if (err == ECONNREFUSED || err == ENOENT) {
            return WinError::FileNotFound;
        }
        return err == EAGAIN ? WinError::PipeBusy : WinErrorFromErrno(err);
    }
    out.m_fd = fd;
    return WinError::Success;
}

WinError NamedPipe::Read(void* buffer, size_t size, size_t* done) {
    if (done) {
        *done = 0;
    }
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, size, 0);
        if (n > 0) {
            if (done) {
                *done = static_cast<size_t>(n);
            }
            return WinError::Success;
        }
        if (n == 0) {
            return size == 0 ? WinError::Success : WinError::BrokenPipe;
        }
        if (errno != EINTR) {
            return errno == ECONNRESET ? WinError::BrokenPipe : WinErrorFromErrno(errno);
        }
    }
}

WinError NamedPipe::Write(const void* data, size_t size, size_t* done) {
    if (done) {
        *done = 0;
    }
    if (m_fd < 0) {
        return WinError::InvalidHandle;
    }
    const char* p = static_cast<const char*>(data);
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(m_fd, p + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (done) {
                *done = sent;
            }
            return errno == EPIPE || errno == ECONNRESET ? WinError::NoData
                                                         : WinErrorFromErrno(errno);
        }
        sent += static_cast<size_t>(n);
    }
    if (done) {
        *done = sent;
    }
    return WinError::Success;
}

}  // namespace zeph::platform
