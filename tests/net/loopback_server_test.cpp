// The loopback server and the forward proxy that the HTTP tests of every
// folder rely on: each injected fault must look to a client the way a real
// bad server or network looks.
#include "tests/support/loopback_server.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "tests/support/forward_proxy.h"

namespace zeph::test {
namespace {

using namespace std::chrono_literals;

struct Transfer {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
};

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// A plain libcurl transfer; `setup` adds options.
template <typename Setup>
Transfer Fetch(const std::string& url, Setup setup) {
    Transfer t;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t.body);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t.headers);
    setup(h);
    t.code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &t.status);
    curl_easy_cleanup(h);
    return t;
}

Transfer Fetch(const std::string& url) {
    return Fetch(url, [](CURL*) {});
}

const std::string kContent = [] {
    std::string s(100000, '\0');
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<char>('a' + i % 26);
    }
    return s;
}();

TEST(LoopbackServer, FaultsLookLikeBadServers) {
    const struct {
        const char* name;
        Fault fault;
        const char* range;  // Range header to send, or null
        CURLcode code;
        long status;
        std::optional<size_t> bytes;  // body bytes received, when they are certain
    } cases[] = {
        {"plain", {}, nullptr, CURLE_OK, 200, kContent.size()},
        {"range honoured", {}, "99990-", CURLE_OK, 206, 10},
        {"range beyond the end", {}, "100000-", CURLE_OK, 416, 0},
        {"range ignored", {.range = RangeMode::Ignore}, "10-", CURLE_OK, 200, kContent.size()},
        {"status", {.status = 503}, nullptr, CURLE_OK, 503, 10},
        {"length claims more",
         {.declaredLength = 200000},
         nullptr,
         CURLE_PARTIAL_FILE,
         200,
         kContent.size()},
        {"length claims less", {.declaredLength = 10}, nullptr, CURLE_OK, 200, 10},
        {"no length", {.omitLength = true}, nullptr, CURLE_OK, 200, kContent.size()},
        {"stall", {.stallAfter = 1000, .stallFor = 300ms}, nullptr, CURLE_PARTIAL_FILE, 200, 1000},
        {"reset", {.resetAfter = 50000}, nullptr, CURLE_RECV_ERROR, 200, std::nullopt},
        {"trickle",
         {.trickleBytes = 40000, .trickleInterval = 10ms},
         nullptr,
         CURLE_OK,
         200,
         kContent.size()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        server.ServeBytes("/f", kContent);
        server.AddFault("/f", c.fault);
        const Transfer t = Fetch(server.Url("/f"), [&](CURL* h) {
            if (c.range != nullptr) {
                curl_easy_setopt(h, CURLOPT_RANGE, c.range);
            }
        });
        EXPECT_EQ(t.code, c.code);
        EXPECT_EQ(t.status, c.status);
        if (c.bytes) {
            EXPECT_EQ(t.body.size(), *c.bytes);
        }
        if (c.code == CURLE_OK && c.status / 100 == 2) {
            const size_t offset = c.status == 206 ? kContent.size() - t.body.size() : 0;
            EXPECT_EQ(t.body, kContent.substr(offset, t.body.size()));
        }
    }
}

TEST(LoopbackServer, HeadWithoutLengthKeepsTheGetWhole) {
    LoopbackServer server;
    server.ServeBytes("/f", kContent);
    server.AddFault("/f", {.method = "HEAD", .omitLength = true});
    const Transfer head =
        Fetch(server.Url("/f"), [](CURL* h) { curl_easy_setopt(h, CURLOPT_NOBODY, 1L); });
    EXPECT_EQ(head.code, CURLE_OK);
    EXPECT_EQ(head.headers.find("Content-Length"), std::string::npos) << head.headers;
    const Transfer get = Fetch(server.Url("/f"));
    EXPECT_NE(get.headers.find("Content-Length: 100000"), std::string::npos) << get.headers;
    EXPECT_EQ(get.body, kContent);
}

TEST(LoopbackServer, FaultsCountDownAndFollowEachOther) {
    LoopbackServer server;
    server.ServeBytes("/f", "ok");
    server.AddFault("/f", {.times = 1, .status = 404});
    server.AddFault("/f", {.times = 1, .redirectTo = "/g"});
    server.ServeBytes("/g", "moved");
    EXPECT_EQ(Fetch(server.Url("/f")).status, 404);
    const Transfer redirected =
        Fetch(server.Url("/f"), [](CURL* h) { curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L); });
    EXPECT_EQ(redirected.body, "moved");
    EXPECT_EQ(Fetch(server.Url("/f")).body, "ok");
    EXPECT_EQ(server.Count("/f"), 3u);
    EXPECT_EQ(server.Count("/g", "GET"), 1u);
}

TEST(LoopbackServer, HandlersSeeRequestsAndPrefixesMatch) {
    LoopbackServer server;
    server.Handle("/api/*", [](const SeenRequest& r) {
        return Reply{.status = 201, .body = r.method + " " + r.path + " " + r.query + " " + r.body};
    });
    const Transfer t = Fetch(server.Url("/api/x?a=1"),
                             [](CURL* h) { curl_easy_setopt(h, CURLOPT_POSTFIELDS, "payload"); });
    EXPECT_EQ(t.status, 201);
    EXPECT_EQ(t.body, "POST /api/x a=1 payload");
    const auto seen = server.Requests("/api/x");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen[0].body, "payload");
    EXPECT_EQ(Fetch(server.Url("/other")).status, 404);
}

TEST(LoopbackServer, StopCutsAStalledReply) {
    auto server = std::make_unique<LoopbackServer>();
    server->ServeBytes("/f", kContent);
    server->AddFault("/f", {.stallAfter = 10});
    std::thread client([&] {
        const Transfer t = Fetch(server->Url("/f"));
        EXPECT_NE(t.code, CURLE_OK);
    });
    ASSERT_TRUE(server->WaitForCount("/f", 1, 5s));
    server->Stop();  // returns although the reply is stalled for ten minutes
    client.join();
}

TEST(ForwardProxy, CarriesHttpAndSocksTrafficToLoopbackOnly) {
    LoopbackServer server;
    server.ServeBytes("/f", "through");
    ForwardProxy proxy;
    const std::string address = "127.0.0.1:" + std::to_string(proxy.Port());

    const Transfer http = Fetch(
        server.Url("/f"), [&](CURL* h) { curl_easy_setopt(h, CURLOPT_PROXY, address.c_str()); });
    EXPECT_EQ(http.body, "through");
    const Transfer socks = Fetch(server.Url("/f"), [&](CURL* h) {
        curl_easy_setopt(h, CURLOPT_PROXY, address.c_str());
        curl_easy_setopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_SOCKS5));
    });
    EXPECT_EQ(socks.body, "through");
    const Transfer outside = Fetch("http://192.0.2.1/f", [&](CURL* h) {
        curl_easy_setopt(h, CURLOPT_PROXY, address.c_str());
    });
    EXPECT_EQ(outside.status, 403);

    const auto seen = proxy.Requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].protocol, ForwardProxy::Protocol::Http);
    EXPECT_EQ(seen[0].target, server.Url("/f"));
    EXPECT_TRUE(seen[0].forwarded);
    EXPECT_EQ(seen[1].protocol, ForwardProxy::Protocol::Socks5);
    EXPECT_EQ(seen[1].target, server.HostPort());
    EXPECT_FALSE(seen[2].forwarded);
    EXPECT_EQ(server.Count("/f"), 2u);
}

TEST(ForwardProxy, DemandsItsCredentials) {
    LoopbackServer server;
    server.ServeBytes("/f", "ok");
    ForwardProxy proxy({.user = "u", .password = "p"});
    const std::string address = "127.0.0.1:" + std::to_string(proxy.Port());
    const struct {
        long type;
        const char* credentials;
        long status;
        bool authenticated;
    } cases[] = {
        {CURLPROXY_HTTP, nullptr, 407, false},   {CURLPROXY_HTTP, "u:wrong", 407, false},
        {CURLPROXY_HTTP, "u:p", 200, true},      {CURLPROXY_SOCKS5, "u:p", 200, true},
        {CURLPROXY_SOCKS5, "u:wrong", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.credentials ? c.credentials : "none");
        const Transfer t = Fetch(server.Url("/f"), [&](CURL* h) {
            curl_easy_setopt(h, CURLOPT_PROXY, address.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYTYPE, c.type);
            if (c.credentials != nullptr) {
                curl_easy_setopt(h, CURLOPT_PROXYUSERPWD, c.credentials);
            }
        });
        EXPECT_EQ(t.status, c.status);
        ASSERT_FALSE(proxy.Requests().empty());
        EXPECT_EQ(proxy.Requests().back().authenticated, c.authenticated);
    }
    EXPECT_EQ(server.Count("/f"), 2u);
}

}  // namespace
}  // namespace zeph::test
