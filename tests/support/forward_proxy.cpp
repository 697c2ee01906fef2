#include "tests/support/forward_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "base/base64.h"

namespace zeph::test {
namespace {

constexpr size_t kMaxHead = 64 * 1024;
constexpr int kIdleMs = 30000;  // a silent peer ends its connection after this

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsLoopbackHost(std::string_view host) {
    return host == "127.0.0.1" || EqualsIgnoreCase(host, "localhost");
}

// "host:port" → parts; the port defaults to `defaultPort`.
std::optional<std::pair<std::string, int>> SplitHostPort(std::string_view text, int defaultPort) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return std::pair(std::string(text), defaultPort);
    }
    const std::string port(text.substr(colon + 1));
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::pair(std::string(text.substr(0, colon)), std::stoi(port));
}

int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

struct ForwardProxy::Impl {
    Options options;
    int listenFd = -1;
    int port = 0;
    int wake[2] = {-1, -1};  // readable once the proxy stops
    std::thread acceptor;

    mutable std::mutex mutex;
    std::vector<Seen> seen;
    std::vector<std::thread> workers;
    bool stopping = false;

    bool AuthRequired() const { return !options.user.empty() || !options.password.empty(); }

    void Record(Seen s) {
        std::lock_guard lock(mutex);
        seen.push_back(std::move(s));
    }

    // Waits until fd is readable; false on stop, time-out or error.
    bool WaitReadable(int fd) const {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
        const int n = poll(fds, 2, kIdleMs);
        return n > 0 && (fds[1].revents & POLLIN) == 0 && fds[0].revents != 0;
    }

    // Appends what arrives to buf; false on end of stream, stop or error.
    bool ReadMore(int fd, std::string& buf) const {
        if (!WaitReadable(fd)) {
            return false;
        }
        char chunk[16384];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return false;
        }
        buf.append(chunk, static_cast<size_t>(n));
        return true;
    }

    bool ReadAtLeast(int fd, std::string& buf, size_t n) const {
        while (buf.size() < n) {
            if (!ReadMore(fd, buf)) {
                return false;
            }
        }
        return true;
    }

    void AcceptLoop();
    void Serve(int client);
    void ServeHttp(int client, std::string buf);
    void ServeSocks(int client, std::string buf);
    void Relay(int client, int origin);
};

void ForwardProxy::Impl::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        std::lock_guard lock(mutex);
        if (stopping) {
            close(client);
            return;
        }
        workers.emplace_back([this, client] {
            Serve(client);
            close(client);
        });
    }
}

void ForwardProxy::Impl::Serve(int client) {
    std::string buf;
    if (!ReadMore(client, buf)) {
        return;
    }
    if (buf[0] == 0x05) {
        ServeSocks(client, std::move(buf));
    } else {
        ServeHttp(client, std::move(buf));
    }
}

void ForwardProxy::Impl::ServeHttp(int client, std::string buf) {
    size_t headEnd;
    while ((headEnd = buf.find("\r\n\r\n")) == std::string::npos) {
        if (buf.size() > kMaxHead || !ReadMore(client, buf)) {
            return;
        }
    }
    const std::string head = buf.substr(0, headEnd + 2);
    const std::string rest = buf.substr(headEnd + 4);

    auto reply = [client](std::string_view status, std::string_view extra = "") {
        SendAll(client, std::string("HTTP/1.1 ") + std::string(status) + "\r\n" +
                            std::string(extra) + "Content-Length: 0\r\nConnection: close\r\n\r\n");
    };

    // Request line, then header lines.
    const size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t s1 = requestLine.find(' ');
    const size_t s2 = requestLine.rfind(' ');
    if (s1 == std::string::npos || s2 == s1) {
        reply("400 Bad Request");
        return;
    }
    Seen s;
    s.method = requestLine.substr(0, s1);
    s.target = requestLine.substr(s1 + 1, s2 - s1 - 1);
    const std::string version = requestLine.substr(s2 + 1);
    s.protocol = s.method == "CONNECT" ? Protocol::Connect : Protocol::Http;

    std::string forwardedHeaders;
    for (size_t pos = lineEnd + 2; pos < head.size();) {
        const size_t end = head.find("\r\n", pos);
        const std::string line = head.substr(pos, end - pos);
        pos = end + 2;
        const size_t colon = line.find(':');
        const std::string name = line.substr(0, colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        if (EqualsIgnoreCase(name, "Proxy-Authorization")) {
            s.proxyAuthorization = value;
            continue;
        }
        if (EqualsIgnoreCase(name, "Proxy-Connection") || EqualsIgnoreCase(name, "Connection") ||
            EqualsIgnoreCase(name, "Keep-Alive")) {
            continue;
        }
        forwardedHeaders += line + "\r\n";
    }

    s.authenticated =
        !AuthRequired() ||
        s.proxyAuthorization == "Basic " + Base64Encode(options.user + ":" + options.password);
    if (!s.authenticated) {
        Record(s);
        reply("407 Proxy Authentication Required",
              "Proxy-Authenticate: Basic realm=\"loopback\"\r\n");
        return;
    }

    std::string authority, path = "/";
    if (s.protocol == Protocol::Connect) {
        authority = s.target;
    } else {
        constexpr std::string_view kScheme = "http://";
        if (s.target.compare(0, kScheme.size(), kScheme) != 0) {
            Record(s);
            reply("400 Bad Request");
            return;
        }
        const std::string afterScheme = s.target.substr(kScheme.size());
        const size_t slash = afterScheme.find_first_of("/?");
        authority = afterScheme.substr(0, slash);
        if (slash != std::string::npos) {
            path = afterScheme.substr(slash);
            if (path[0] == '?') {
                path.insert(0, "/");
            }
        }
    }
    const auto hostPort = SplitHostPort(authority, s.protocol == Protocol::Connect ? 443 : 80);
    if (!hostPort || !IsLoopbackHost(hostPort->first)) {
        Record(s);
        reply("403 Forbidden");
        return;
    }
    const int origin = ConnectLoopback(hostPort->second);
    if (origin < 0) {
        Record(s);
        reply("502 Bad Gateway");
        return;
    }
    s.forwarded = true;
    Record(s);

    bool sent;
    if (s.protocol == Protocol::Connect) {
        sent =
            SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n") && SendAll(origin, rest);
    } else {
        // One request per connection keeps the relay simple: the origin closes
        // after its reply and the client sees the end.
        sent = SendAll(origin, s.method + " " + path + " " + version + "\r\n" + forwardedHeaders +
                                   "Connection: close\r\n\r\n" + rest);
    }
    if (sent) {
        Relay(client, origin);
    }
    close(origin);
}

void ForwardProxy::Impl::ServeSocks(int client, std::string buf) {
    // Greeting: version, method count, methods.
    if (!ReadAtLeast(client, buf, 2) ||
        !ReadAtLeast(client, buf, 2 + static_cast<uint8_t>(buf[1]))) {
        return;
    }
    const std::string methods = buf.substr(2, static_cast<uint8_t>(buf[1]));
    buf.erase(0, 2 + methods.size());
    const bool offersNone = methods.find('\x00') != std::string::npos;
    const bool offersPassword = methods.find('\x02') != std::string::npos;

    Seen s;
    s.protocol = Protocol::Socks5;
    s.method = "CONNECT";
    if (offersPassword && (AuthRequired() || !offersNone)) {
        SendAll(client, std::string("\x05\x02", 2));
        // RFC 1929: version 1, user length, user, password length, password.
        if (!ReadAtLeast(client, buf, 2)) {
            return;
        }
        const size_t userLength = static_cast<uint8_t>(buf[1]);
        if (!ReadAtLeast(client, buf, 3 + userLength)) {
            return;
        }
        const size_t passwordLength = static_cast<uint8_t>(buf[2 + userLength]);
        if (!ReadAtLeast(client, buf, 3 + userLength + passwordLength)) {
            return;
        }
        s.socksUser = buf.substr(2, userLength);
        s.socksPassword = buf.substr(3 + userLength, passwordLength);
        buf.erase(0, 3 + userLength + passwordLength);
        s.authenticated =
            !AuthRequired() || (s.socksUser == options.user && s.socksPassword == options.password);
        if (!s.authenticated) {
            Record(s);  // before the answer, so that a client that saw it finds the record
            SendAll(client, std::string("\x01\x01", 2));
            return;
        }
        SendAll(client, std::string("\x01\x00", 2));
    } else if (offersNone && !AuthRequired()) {
        s.authenticated = true;
        SendAll(client, std::string("\x05\x00", 2));
    } else {
        Record(s);
        SendAll(client, std::string("\x05\xff", 2));
        return;
    }

    // Request: version, command, reserved, address type, address, port.
    auto fail = [&](char code) {
        Record(s);
        SendAll(client, std::string("\x05", 1) + code + std::string("\x00\x01\0\0\0\0\0\0", 8));
    };
    if (!ReadAtLeast(client, buf, 5)) {
        return;
    }
    size_t addressEnd;
    std::string host;
    switch (buf[3]) {
        case 0x01:
            addressEnd = 8;
            break;
        case 0x03:
            addressEnd = 5 + static_cast<uint8_t>(buf[4]);
            break;
        case 0x04:
            addressEnd = 20;
            break;
        default:
            fail(0x08);
            return;
    }
    if (!ReadAtLeast(client, buf, addressEnd + 2)) {
        return;
    }
    if (buf[3] == 0x01) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, buf.data() + 4, text, sizeof text);
        host = text;
    } else if (buf[3] == 0x03) {
        host = buf.substr(5, addressEnd - 5);
    } else {
        char text[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, buf.data() + 4, text, sizeof text);
        host = text;
    }
    const int port =
        (static_cast<uint8_t>(buf[addressEnd]) << 8) | static_cast<uint8_t>(buf[addressEnd + 1]);
    s.target = host + ":" + std::to_string(port);
    const std::string rest = buf.substr(addressEnd + 2);
    if (buf[1] != 0x01) {
        fail(0x07);  // command not supported
        return;
    }
    if (!IsLoopbackHost(host)) {
        fail(0x02);  // not allowed by ruleset
        return;
    }
    const int origin = ConnectLoopback(port);
    if (origin < 0) {
        fail(0x05);  // connection refused
        return;
    }
    s.forwarded = true;
    Record(s);
    std::string ok("\x05\x00\x00\x01\x7f\x00\x00\x01", 8);
    ok += static_cast<char>(port >> 8);
    ok += static_cast<char>(port & 0xff);
    if (SendAll(client, ok) && SendAll(origin, rest)) {
        Relay(client, origin);
    }
    close(origin);
}

void ForwardProxy::Impl::Relay(int client, int origin) {
    bool clientOpen = true;
    for (;;) {
        pollfd fds[3] = {
            {origin, POLLIN, 0}, {clientOpen ? client : -1, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (poll(fds, 3, kIdleMs) <= 0 || (fds[2].revents & POLLIN) != 0) {
            return;
        }
        char chunk[65536];
        if (fds[0].revents != 0) {
            const ssize_t n = recv(origin, chunk, sizeof chunk, 0);
            if (n <= 0 || !SendAll(client, std::string_view(chunk, static_cast<size_t>(n)))) {
                return;  // the origin is done: the client's connection ends too
            }
        }
        if (clientOpen && fds[1].revents != 0) {
            const ssize_t n = recv(client, chunk, sizeof chunk, 0);
            if (n <= 0) {
                clientOpen = false;
                shutdown(origin, SHUT_WR);
            } else if (!SendAll(origin, std::string_view(chunk, static_cast<size_t>(n)))) {
                return;
            }
        }
    }
}

ForwardProxy::ForwardProxy() : ForwardProxy(Options{}) {}

ForwardProxy::ForwardProxy(Options options) : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.options = std::move(options);
    if (pipe2(impl.wake, O_CLOEXEC) != 0) {
        throw std::runtime_error("ForwardProxy: pipe failed");
    }
    impl.listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(impl.listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    if (impl.listenFd < 0 ||
        bind(impl.listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(impl.listenFd, 64) != 0 ||
        getsockname(impl.listenFd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
        throw std::runtime_error("ForwardProxy: cannot listen on 127.0.0.1");
    }
    impl.port = ntohs(addr.sin_port);
    impl.acceptor = std::thread([&impl] { impl.AcceptLoop(); });
}

ForwardProxy::~ForwardProxy() {
    Impl& impl = *m_impl;
    {
        std::lock_guard lock(impl.mutex);
        impl.stopping = true;
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(impl.wake[1], &byte, 1);
    impl.acceptor.join();
    for (auto& worker : impl.workers) {
        worker.join();
    }
    close(impl.listenFd);
    close(impl.wake[0]);
    close(impl.wake[1]);
}

int ForwardProxy::Port() const {
    return m_impl->port;
}

std::vector<ForwardProxy::Seen> ForwardProxy::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->seen;
}

size_t ForwardProxy::Count() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->seen.size();
}

size_t ForwardProxy::Count(Protocol protocol) const {
    std::lock_guard lock(m_impl->mutex);
    return static_cast<size_t>(
        std::count_if(m_impl->seen.begin(), m_impl->seen.end(),
                      [&](const Seen& s) { return s.protocol == protocol; }));
}

}  // namespace zeph::test
