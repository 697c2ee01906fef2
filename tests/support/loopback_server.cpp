#include "tests/support/loopback_server.h"

#include <dirent.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace zeph::test {
namespace {

constexpr size_t kChunk = 256 * 1024;

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The value stored under the registered path that matches `path`: exact
// first, then the longest "prefix*".
template <typename Map>
auto FindRoute(Map& map, std::string_view path) -> decltype(&map.begin()->second) {
    if (auto it = map.find(std::string(path)); it != map.end()) {
        return &it->second;
    }
    decltype(&map.begin()->second) best = nullptr;
    size_t bestLength = 0;
    for (auto& [key, value] : map) {
        if (key.empty() || key.back() != '*') {
            continue;
        }
        const std::string_view prefix(key.data(), key.size() - 1);
        if (path.substr(0, prefix.size()) == prefix &&
            (best == nullptr || prefix.size() >= bestLength)) {
            best = &value;
            bestLength = prefix.size();
        }
    }
    return best;
}

// Aborts the server side of one TCP connection with a reset. The connection
// is found by its two ports among this process's sockets; disconnecting a
// socket with linger 0 makes the kernel send RST at once, and the fd stays
// valid for the server library, which closes it later.
void ResetConnection(int localPort, int remotePort) {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        struct stat st {};
        if (fd <= 2 || fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) {
            continue;
        }
        sockaddr_in local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            local.sin_family != AF_INET || ntohs(local.sin_port) != localPort ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
            ntohs(peer.sin_port) != remotePort) {
            continue;
        }
        linger lin{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
        sockaddr unspec{};
        unspec.sa_family = AF_UNSPEC;
        connect(fd, &unspec, sizeof unspec);
        break;
    }
    closedir(dir);
}

// Bytes of a reply body: in memory or read from an open file.
struct BodySource {
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<int> fd;  // closes itself
    uint64_t size = 0;

    bool Read(uint64_t offset, char* out, size_t n) const {
        if (bytes) {
            std::memcpy(out, bytes->data() + offset, n);
            return true;
        }
        while (n > 0) {
            const ssize_t got = pread(*fd, out, n, static_cast<off_t>(offset));
            if (got <= 0) {
                return false;
            }
            out += got;
            offset += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    }

    static BodySource FromString(std::string text) {
        BodySource body;
        body.size = text.size();
        body.bytes = std::make_shared<const std::string>(std::move(text));
        return body;
    }
};

// A single "bytes=a-b", "bytes=a-" or "bytes=-n" range; nullopt for anything
// else (several ranges are served whole, as many servers do).
struct ByteRange {
    uint64_t first = 0;
    std::optional<uint64_t> last;
    std::optional<uint64_t> suffix;
};

std::optional<ByteRange> ParseRange(std::string_view text) {
    constexpr std::string_view kUnit = "bytes=";
    if (text.substr(0, kUnit.size()) != kUnit || text.find(',') != std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(kUnit.size());
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        return std::nullopt;
    }
    auto number = [](std::string_view digits) -> std::optional<uint64_t> {
        if (digits.empty() || digits.size() > 19 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        return std::strtoull(std::string(digits).c_str(), nullptr, 10);
    };
    ByteRange range;
    const std::string_view a = text.substr(0, dash), b = text.substr(dash + 1);
    if (a.empty()) {
        range.suffix = number(b);
        return range.suffix ? std::optional(range) : std::nullopt;
    }
    auto first = number(a);
    if (!first) {
        return std::nullopt;
    }
    range.first = *first;
    if (!b.empty()) {
        range.last = number(b);
        if (!range.last || *range.last < range.first) {
            return std::nullopt;
        }
    }
    return range;
}

struct Route {
    enum class Kind { Bytes, File, Handler } kind = Kind::Bytes;
    std::shared_ptr<const std::string> bytes;
    std::string hostPath;
    std::string contentType;
    LoopbackServer::Handler handler;
};

}  // namespace

std::string SeenRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoreCase(key, name)) {
            return value;
        }
    }
    return {};
}

bool SeenRequest::HasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return EqualsIgnoreCase(h.first, name); });
}

struct LoopbackServer::Impl {
    httplib::Server server;
    std::thread thread;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;  // a request arrived, or stopping
    bool stopping = false;
    bool stopped = false;
    std::map<std::string, Route> routes;
    std::map<std::string, std::vector<Fault>> faults;
    std::vector<SeenRequest> seen;

    // Sleeps for `duration`; false when the server stops meanwhile.
    bool Sleep(std::chrono::milliseconds duration) {
        std::unique_lock lock(mutex);
        return !changed.wait_for(lock, duration, [&] { return stopping; });
    }

    bool Stopping() const {
        std::lock_guard lock(mutex);
        return stopping;
    }

    SeenRequest Record(const httplib::Request& req) {
        SeenRequest r;
        r.method = req.method;
        r.path = req.path;
        r.target = req.target;
        if (const size_t q = req.target.find('?'); q != std::string::npos) {
            r.query = req.target.substr(q + 1);
        }
        r.headers.assign(req.headers.begin(), req.headers.end());
        r.body = req.body;
        {
            std::lock_guard lock(mutex);
            seen.push_back(r);
        }
        changed.notify_all();
        return r;
    }

    // The fault for this request, taken (counted down) under the lock.
    std::optional<Fault> TakeFault(const std::string& path, const std::string& method) {
        std::lock_guard lock(mutex);
        auto* list = FindRoute(faults, path);
        if (list == nullptr) {
            return std::nullopt;
        }
        for (auto it = list->begin(); it != list->end(); ++it) {
            if (!it->method.empty() && it->method != method) {
                continue;
            }
            Fault fault = *it;
            if (it->times > 0 && --it->times == 0) {
                list->erase(it);
            }
            return fault;
        }
        return std::nullopt;
    }

    std::optional<Route> FindContent(const std::string& path) {
        std::lock_guard lock(mutex);
        const Route* route = FindRoute(routes, path);
        return route ? std::optional(*route) : std::nullopt;
    }

    void Dispatch(const httplib::Request& req, httplib::Response& res);
    void Emit(const httplib::Request& req, httplib::Response& res, BodySource body, int status,
              const std::string& contentType, bool honourRange, const Fault& fault);
};

void LoopbackServer::Impl::Dispatch(const httplib::Request& req, httplib::Response& res) {
    // Ranges are ours to answer (or to ignore); the library must not apply
    // them a second time.
    const_cast<httplib::Request&>(req).ranges.clear();

    const SeenRequest seenRequest = Record(req);
    const Fault fault = TakeFault(req.path, req.method).value_or(Fault{});
    if (fault.delay.count() > 0 && !Sleep(fault.delay)) {
        res.status = 503;
        return;
    }
    if (fault.status != 0) {
        Emit(req, res, BodySource::FromString("fault " + std::to_string(fault.status) + "\n"),
             fault.status, "text/plain", false, fault);
        return;
    }
    if (!fault.redirectTo.empty()) {
        res.set_redirect(fault.redirectTo, fault.redirectStatus);
        return;
    }

    const std::optional<Route> route = FindContent(req.path);
    if (!route) {
        Emit(req, res, BodySource::FromString("not found\n"), 404, "text/plain", false, fault);
        return;
    }
    if (route->kind == Route::Kind::Handler) {
        Reply reply = route->handler(seenRequest);
        for (const auto& [name, value] : reply.headers) {
            res.set_header(name, value);
        }
        Emit(req, res, BodySource::FromString(std::move(reply.body)), reply.status,
             reply.contentType, reply.honourRange, fault);
        return;
    }
    if (req.method != "GET" && req.method != "HEAD") {
        res.set_header("Allow", "GET, HEAD");
        Emit(req, res, BodySource::FromString("method not allowed\n"), 405, "text/plain", false,
             fault);
        return;
    }
    BodySource body;
    if (route->kind == Route::Kind::Bytes) {
        body.bytes = route->bytes;
        body.size = route->bytes->size();
    } else {
        const int fd = open(route->hostPath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0) {
            if (fd >= 0) {
                close(fd);
            }
            Emit(req, res, BodySource::FromString("not found\n"), 404, "text/plain", false, fault);
            return;
        }
        body.fd = std::shared_ptr<int>(new int(fd), [](int* p) {
            close(*p);
            delete p;
        });
        body.size = static_cast<uint64_t>(st.st_size);
    }
    Emit(req, res, std::move(body), 200, route->contentType, true, fault);
}

void LoopbackServer::Impl::Emit(const httplib::Request& req, httplib::Response& res,
                                BodySource body, int status, const std::string& contentType,
                                bool honourRange, const Fault& fault) {
    uint64_t begin = 0;
    uint64_t length = body.size;
    res.status = status;
    const bool rangeAllowed =
        honourRange && fault.range == RangeMode::Honour && !fault.declaredLength && status == 200;
    if (rangeAllowed) {
        res.set_header("Accept-Ranges", "bytes");
    }
    if (rangeAllowed && req.has_header("Range")) {
        if (auto range = ParseRange(req.get_header_value("Range"))) {
            uint64_t first = range->first;
            uint64_t last = body.size == 0 ? 0 : body.size - 1;
            if (range->suffix) {
                first = body.size - std::min(*range->suffix, body.size);
            } else if (range->last) {
                last = std::min(*range->last, last);
            }
            if (first >= body.size) {
                res.status = 416;
                res.set_header("Content-Range", "bytes */" + std::to_string(body.size));
                res.set_content("", contentType);
                return;
            }
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                std::to_string(last) + "/" +
                                                std::to_string(body.size));
            begin = first;
            length = last - first + 1;
        }
    }

    const uint64_t declared = fault.declaredLength.value_or(length);
    if (!fault.omitLength && declared == 0) {
        res.set_content("", contentType);
        return;
    }

    // Writes the next piece of the body; false ends the reply by closing the
    // connection. `sent` counts the body bytes written so far.
    auto writeSome = [this, body, begin, length, declared, fault, localPort = req.local_port,
                      remotePort = req.remote_port](uint64_t sent, size_t wanted,
                                                    httplib::DataSink& sink) -> bool {
        if (fault.stallAfter && sent >= *fault.stallAfter) {
            Sleep(fault.stallFor);
            return false;
        }
        if (fault.resetAfter && sent >= *fault.resetAfter) {
            ResetConnection(localPort, remotePort);
            return false;
        }
        if (sent >= length) {
            return false;  // the declared length promised more than there is
        }
        if (fault.trickleBytes > 0 && sent > 0 && !Sleep(fault.trickleInterval)) {
            return false;
        }
        uint64_t n = std::min<uint64_t>({wanted, kChunk, length - sent});
        if (fault.stallAfter) {
            n = std::min(n, *fault.stallAfter - sent);
        }
        if (fault.resetAfter) {
            n = std::min(n, *fault.resetAfter - sent);
        }
        if (fault.trickleBytes > 0) {
            n = std::min<uint64_t>(n, fault.trickleBytes);
        }
        if (declared < length && sent + n >= declared) {
            n = length - sent;  // the excess beyond the declared length goes out too
        }
        std::string buffer;
        while (n > 0) {
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(n, kChunk));
            buffer.resize(piece);
            if (!body.Read(begin + sent, buffer.data(), piece) ||
                !sink.write(buffer.data(), piece)) {
                return false;
            }
            sent += piece;
            n -= piece;
        }
        return true;
    };

    if (fault.omitLength) {
        res.set_content_provider(contentType,
                                 [writeSome, length](size_t offset, httplib::DataSink& sink) {
                                     if (offset >= length) {
                                         return false;  // closing the connection marks the end
                                     }
                                     return writeSome(offset, kChunk, sink);
                                 });
    } else {
        res.set_content_provider(
            static_cast<size_t>(declared), contentType,
            [writeSome](size_t offset, size_t wanted, httplib::DataSink& sink) {
                return writeSome(offset, wanted, sink);
            });
    }
}

LoopbackServer::LoopbackServer() : LoopbackServer(Options{}) {}

LoopbackServer::LoopbackServer(Options options) : m_impl(std::make_unique<Impl>()) {
    auto& server = m_impl->server;
    const size_t workers = static_cast<size_t>(std::max(1, options.workers));
    server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    server.set_tcp_nodelay(true);
    if (!options.keepAlive) {
        server.set_keep_alive_max_count(1);
    }
    auto dispatch = [impl = m_impl.get()](const httplib::Request& req, httplib::Response& res) {
        impl->Dispatch(req, res);
    };
    server.Get(".*", dispatch);
    server.Post(".*", dispatch);
    server.Put(".*", dispatch);
    server.Patch(".*", dispatch);
    server.Delete(".*", dispatch);
    server.Options(".*", dispatch);

    m_port = server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("LoopbackServer: cannot listen on 127.0.0.1");
    }
    m_impl->thread = std::thread([&server] { server.listen_after_bind(); });
    // stop() only works once the accept loop runs.
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackServer::~LoopbackServer() {
    Stop();
}

void LoopbackServer::Stop() {
    {
        std::lock_guard lock(m_impl->mutex);
        if (m_impl->stopped) {
            return;
        }
        m_impl->stopping = true;
        m_impl->stopped = true;
    }
    m_impl->changed.notify_all();
    m_impl->server.stop();
    if (m_impl->thread.joinable()) {
        m_impl->thread.join();
    }
}

std::string LoopbackServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string LoopbackServer::Url(std::string_view path) const {
    return "http://" + HostPort() + std::string(path);
}

void LoopbackServer::ServeBytes(const std::string& path, std::string bytes,
                                std::string contentType) {
    Route route;
    route.kind = Route::Kind::Bytes;
    route.bytes = std::make_shared<const std::string>(std::move(bytes));
    route.contentType = std::move(contentType);
    std::lock_guard lock(m_impl->mutex);
    m_impl->routes[path] = std::move(route);
}

void LoopbackServer::ServeFile(const std::string& path, const std::string& hostPath,
                               std::string contentType) {
    Route route;
    route.kind = Route::Kind::File;
    route.hostPath = hostPath;
    route.contentType = std::move(contentType);
    std::lock_guard lock(m_impl->mutex);
    m_impl->routes[path] = std::move(route);
}

void LoopbackServer::Handle(const std::string& path, Handler handler) {
    Route route;
    route.kind = Route::Kind::Handler;
    route.handler = std::move(handler);
    std::lock_guard lock(m_impl->mutex);
    m_impl->routes[path] = std::move(route);
}

void LoopbackServer::Remove(const std::string& path) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->routes.erase(path);
}

void LoopbackServer::AddFault(const std::string& path, Fault fault) {
    if (fault.times == 0) {
        return;
    }
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults[path].push_back(std::move(fault));
}

void LoopbackServer::ClearFaults(const std::string& path) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults.erase(path);
}

std::vector<SeenRequest> LoopbackServer::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->seen;
}

std::vector<SeenRequest> LoopbackServer::Requests(std::string_view path) const {
    std::lock_guard lock(m_impl->mutex);
    std::vector<SeenRequest> out;
    for (const auto& r : m_impl->seen) {
        if (r.path == path) {
            out.push_back(r);
        }
    }
    return out;
}

size_t LoopbackServer::Count(std::string_view path, std::string_view method) const {
    std::lock_guard lock(m_impl->mutex);
    return static_cast<size_t>(
        std::count_if(m_impl->seen.begin(), m_impl->seen.end(), [&](const SeenRequest& r) {
            return r.path == path && (method.empty() || r.method == method);
        }));
}

bool LoopbackServer::WaitForCount(std::string_view path, size_t n,
                                  std::chrono::milliseconds timeout,
                                  std::string_view method) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, timeout, [&] {
        const auto count =
            std::count_if(m_impl->seen.begin(), m_impl->seen.end(), [&](const SeenRequest& r) {
                return r.path == path && (method.empty() || r.method == method);
            });
        return static_cast<size_t>(count) >= n;
    });
}

void LoopbackServer::ClearRequests() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->seen.clear();
}

}  // namespace zeph::test
