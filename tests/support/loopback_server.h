// A real HTTP/1.1 server on 127.0.0.1 with an ephemeral port, for tests and
// benchmarks of everything that talks HTTP. It serves bytes, host files or
// handlers per path, injects faults per path, and keeps every request it saw
// (method, target, headers, body) for the test to inspect.
//
//   LoopbackServer server;
//   server.ServeBytes("/pkg.bin", bytes);
//   server.AddFault("/pkg.bin", {.times = 1, .method = "GET", .status = 404});
//   ... download server.Url("/pkg.bin") twice ...
//   EXPECT_EQ(server.Count("/pkg.bin", "GET"), 2u);
//
// Paths: a registered path is matched against the request's decoded path
// (without the query). A path ending in '*' matches every request path that
// starts with the text before the '*'; an exact path wins over such a prefix,
// a longer prefix over a shorter one. Unknown paths answer 404.
//
// Served content answers GET and HEAD (HEAD gets the headers of the GET),
// honours a single "Range: bytes=a-b" with 206 (416 beyond the end) and
// streams from memory or from the file in small chunks, so a file of any size
// costs no memory. Other methods on served content answer 405. Handlers see
// every method.
//
// Every method may be called from any thread while the server runs. The
// destructor stops the server; requests still stalled or delayed by a fault
// are cut off.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zeph::test {

// One request as the server received it.
struct SeenRequest {
    std::string method;  // "GET", "HEAD", "POST", ...
    std::string path;    // decoded path without the query
    std::string target;  // the request target exactly as sent (path and query)
    std::string query;   // the text after '?' in the target, "" without one
    // Header names as sent (in name order); look them up with Header(),
    // which ignores case.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first value of a header (name compared ignoring case), or "".
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

// What a handler answers. The body goes through the same fault injection and
// Range handling as served content when `honourRange` is set.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    // Extra headers (not Content-Length, which the server computes).
    std::vector<std::pair<std::string, std::string>> headers;
    bool honourRange = false;
};

enum class RangeMode {
    Honour,  // a single byte range gets 206 with that part
    Ignore,  // the whole content with 200, as a server without range support
};

// A misbehaviour injected into the replies of one path. The first fault of
// the path whose method matches applies to a request; `times` then counts
// down and the fault is gone at 0. Fields combine where it makes sense (a
// delay before a stall, say); the status and redirect faults replace the
// content, the others change how the content is sent.
//
// Designated initialisers must follow the declaration order:
//   {.times = 1, .method = "GET", .stallAfter = 4096}
struct Fault {
    int times = -1;      // requests it applies to; -1 means every one
    std::string method;  // "" any method, else only requests with this method

    std::chrono::milliseconds delay{0};  // wait before any byte of the reply

    int status = 0;          // non-zero: answer this status with a short text body
    std::string redirectTo;  // non-empty: redirect (a path or an absolute URL)
    int redirectStatus = 302;

    // The body without Content-Length, its end marked by closing the
    // connection. With `.method = "HEAD"` this is a HEAD reply without length.
    bool omitLength = false;
    // Content-Length claims this many bytes whatever the content is: more
    // than the content cuts the connection after it, fewer sends the rest as
    // excess bytes. Disables Range handling.
    std::optional<uint64_t> declaredLength;
    RangeMode range = RangeMode::Honour;

    // After this many body bytes, send nothing more for `stallFor` (or until
    // the server stops), then close the connection.
    std::optional<uint64_t> stallAfter;
    std::chrono::milliseconds stallFor{std::chrono::minutes(10)};
    // After this many body bytes, abort the connection with a TCP reset.
    std::optional<uint64_t> resetAfter;
    // Send the body `trickleBytes` at a time with `trickleInterval` between
    // writes (a slow link).
    size_t trickleBytes = 0;
    std::chrono::milliseconds trickleInterval{0};
};

class LoopbackServer {
public:
    using Handler = std::function<Reply(const SeenRequest&)>;

    struct Options {
        int workers = 8;        // threads serving connections at the same time
        bool keepAlive = true;  // false: every reply closes its connection
    };

    LoopbackServer();
    explicit LoopbackServer(Options options);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return m_port; }
    // "127.0.0.1:PORT", the form the endpoint table takes.
    std::string HostPort() const;
    // "http://127.0.0.1:PORT" + path.
    std::string Url(std::string_view path) const;

    // Content for GET and HEAD on `path`.
    void ServeBytes(const std::string& path, std::string bytes,
                    std::string contentType = "application/octet-stream");
    // A host file, read at each request (a later change of the file shows).
    void ServeFile(const std::string& path, const std::string& hostPath,
                   std::string contentType = "application/octet-stream");
    // Any method on `path`; the handler runs on a server thread.
    void Handle(const std::string& path, Handler handler);
    // Forgets what `path` serves (it answers 404 again).
    void Remove(const std::string& path);

    void AddFault(const std::string& path, Fault fault);
    void ClearFaults(const std::string& path);

    // Requests in arrival order (all, or those to one request path).
    std::vector<SeenRequest> Requests() const;
    std::vector<SeenRequest> Requests(std::string_view path) const;
    // Requests to a request path, of one method or of any ("").
    size_t Count(std::string_view path, std::string_view method = "") const;
    // Waits until Count(path, method) reaches n; false on time-out.
    bool WaitForCount(std::string_view path, size_t n, std::chrono::milliseconds timeout,
                      std::string_view method = "") const;
    void ClearRequests();

    // Stops serving; idempotent. Stalled and delayed replies are cut off.
    void Stop();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
    int m_port = 0;
};

}  // namespace zeph::test
