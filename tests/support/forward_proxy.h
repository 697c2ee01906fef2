// A forward proxy on 127.0.0.1 with an ephemeral port, so that tests prove
// proxy settings by the traffic that went through it. One port speaks both
// protocols a client may be configured for:
//   - HTTP proxy: absolute-form requests ("GET http://127.0.0.1:PORT/x
//     HTTP/1.1") are forwarded to the origin, and CONNECT opens a tunnel;
//   - SOCKS5 (RFC 1928, CONNECT command), told apart by its first byte.
// With credentials set, an HTTP client must send "Proxy-Authorization: Basic"
// with them (else 407) and a SOCKS5 client must authenticate with them
// (RFC 1929). Only destinations on 127.0.0.1 (or "localhost") are served;
// anything else is refused and recorded, so a test can never reach out.
//
// Every method may be called from any thread. The destructor stops the
// proxy and cuts open tunnels.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zeph::test {

class ForwardProxy {
public:
    enum class Protocol { Http, Connect, Socks5 };

    struct Options {
        // Both empty: no authentication asked for.
        std::string user;
        std::string password;
    };

    // One request or tunnel the proxy was asked for.
    struct Seen {
        Protocol protocol = Protocol::Http;
        std::string method;  // HTTP: the request method; CONNECT and SOCKS5: "CONNECT"
        // HTTP: the absolute URL as sent; CONNECT and SOCKS5: "host:port".
        std::string target;
        std::string proxyAuthorization;  // HTTP: the header's value as sent
        std::string socksUser;           // SOCKS5: the credentials sent, if any
        std::string socksPassword;
        bool authenticated = false;  // credentials matched (true when none are required)
        bool forwarded = false;      // the proxy connected to the destination
    };

    ForwardProxy();
    explicit ForwardProxy(Options options);
    ~ForwardProxy();
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;

    int Port() const;
    std::string Host() const { return "127.0.0.1"; }

    std::vector<Seen> Requests() const;
    size_t Count() const;
    size_t Count(Protocol protocol) const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace zeph::test
