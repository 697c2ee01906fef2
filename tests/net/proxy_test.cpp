#include "net/proxy.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/base64.h"
#include "net/downloader.h"
#include "net/http_request.h"
#include "tests/net/net_test_util.h"
#include "tests/support/forward_proxy.h"
#include "tests/support/loopback_server.h"

namespace zeph::net {
namespace {

using platform::Hive;
using platform::RegKey;
using test::ForwardProxy;
using test::LoopbackServer;
using test::ScopedProfile;

constexpr std::u16string_view kSuiteKey = u"Software\\Tarnwell\\Zandrel\\0";
constexpr std::u16string_view kInternetSettings =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

TEST(ParseSystemProxy, ReadsTheHttpOrSocksEntry) {
    const struct {
        std::u16string_view text;
        ProxyMode type;
        std::u16string_view host;
        int port;
    } cases[] = {
        {u"http=10.0.0.1:8080;https=10.0.0.1:8443", ProxyMode::Http, u"10.0.0.1", 8080},
        {u"socks=10.0.0.2:1080", ProxyMode::Socks, u"10.0.0.2", 1080},
        {u"HTTP=Proxy.Corp:3128;SOCKS=10.0.0.3:1081", ProxyMode::Socks, u"10.0.0.3", 1081},
        {u"proxy.corp:8000", ProxyMode::Http, u"proxy.corp", 8000},
        {u"proxy.corp", ProxyMode::Http, u"proxy.corp", 80},
        {u"proxy.corp:0", ProxyMode::Http, u"proxy.corp", 80},
        {u"https=10.0.0.9:443;ftp=10.0.0.8:21", ProxyMode::Http, u"https=10.0.0.9", 443},
    };
    for (const auto& c : cases) {
        const ProxySettings s = ParseSystemProxy(c.text);
        EXPECT_EQ(s.type, c.type) << U8(c.text);
        EXPECT_EQ(U8(s.host), U8(c.host)) << U8(c.text);
        EXPECT_EQ(s.port, c.port) << U8(c.text);
    }
}

TEST(ReadProxySettings, DefaultsAndTypes) {
    {
        ScopedProfile profile;
        EXPECT_TRUE(ReadProxySettings().host.empty()) << "no key, no proxy";
    }
    {
        ScopedProfile profile;
        RegKey suite = ScopedProfile::Key(Hive::CurrentUser, kSuiteKey);
        suite.SetDword(u"Proxy Mode", 2);
        suite.SetString(u"Proxy Host", u"gateway");
        const ProxySettings s = ReadProxySettings();
        EXPECT_EQ(s.type, ProxyMode::Http);
        EXPECT_EQ(s.host, u"gateway");
        EXPECT_EQ(s.port, 80) << "a missing port is 80";
        EXPECT_FALSE(s.authorization);
    }
    {
        ScopedProfile profile;
        RegKey suite = ScopedProfile::Key(Hive::CurrentUser, kSuiteKey);
        suite.SetDword(u"Proxy Mode", 3);
        suite.SetString(u"Proxy Host", u"gateway");
        suite.SetString(u"Proxy Port", u"1080");  // not a DWORD: missing
        suite.SetDword(u"Proxy Authorization", 1);
        suite.SetString(u"Proxy Password", std::u16string(300, u'p'));
        const ProxySettings s = ReadProxySettings();
        EXPECT_EQ(s.type, ProxyMode::Socks);
        EXPECT_EQ(s.port, 80);
        EXPECT_TRUE(s.authorization);
        EXPECT_EQ(s.user, u"");
        EXPECT_EQ(s.password.size(), 259u) << "read into a 260-character buffer";
    }
}

// Where the request went.
enum class Via { Direct, Http, Socks };

TEST(ApplyProxy, EveryModeIsProvedByItsTraffic) {
    LoopbackServer server;
    server.ServeBytes("/f", "payload");
    ForwardProxy proxy;
    const std::u16string proxyPort = U16(std::to_string(proxy.Port()));

    using Seed = std::function<void(RegKey & suite, RegKey & internet)>;
    auto mode = [&](uint32_t m) {
        return [m, &proxyPort](RegKey& suite, RegKey&) {
            suite.SetDword(u"Proxy Mode", m);
            suite.SetString(u"Proxy Host", u"127.0.0.1");
            suite.SetDword(u"Proxy Port", static_cast<uint32_t>(std::stoi(U8(proxyPort))));
        };
    };
    auto system = [&](uint32_t enable, std::u16string server_) {
        return [enable, server_](RegKey& suite, RegKey& internet) {
            suite.SetDword(u"Proxy Mode", 1);
            internet.SetDword(u"ProxyEnable", enable);
            internet.SetString(u"ProxyServer", server_);
        };
    };
    const struct {
        const char* name;
        Seed seed;
        Via via;
    } cases[] = {
        {"no settings", [](RegKey&, RegKey&) {}, Via::Direct},
        {"mode 0", mode(0), Via::Direct},
        {"mode 1, http entry", system(1, u"http=127.0.0.1:" + proxyPort + u";https=127.0.0.1:1"),
         Via::Http},
        {"mode 1, socks entry", system(1, u"socks=127.0.0.1:" + proxyPort), Via::Socks},
        {"mode 1, plain text", system(1, u"127.0.0.1:" + proxyPort), Via::Http},
        {"mode 1, disabled", system(0, u"127.0.0.1:" + proxyPort), Via::Direct},
        {"mode 2", mode(2), Via::Http},
        {"mode 3", mode(3), Via::Socks},
        {"mode 4", mode(4), Via::Http},
        {"mode 5", mode(5), Via::Direct},
        {"mode 2 without host",
         [&](RegKey& suite, RegKey& internet) {
             mode(2)(suite, internet);
             suite.SetString(u"Proxy Host", u"");
         },
         Via::Direct},
        {"mode as text",
         [&](RegKey& suite, RegKey& internet) {
             mode(2)(suite, internet);
             suite.SetString(u"Proxy Mode", u"2");
         },
         Via::Direct},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedProfile profile;
        RegKey suite = ScopedProfile::Key(Hive::CurrentUser, kSuiteKey);
        RegKey internet = ScopedProfile::Key(Hive::CurrentUser, kInternetSettings);
        c.seed(suite, internet);
        const size_t http = proxy.Count(ForwardProxy::Protocol::Http);
        const size_t socks = proxy.Count(ForwardProxy::Protocol::Socks5);
        const size_t direct = server.Count("/f");

        std::string body;
        EXPECT_EQ(HttpGet(U16(server.Url("/f")), body), 0);
        EXPECT_EQ(body, "payload");
        EXPECT_EQ(server.Count("/f"), direct + 1);
        EXPECT_EQ(proxy.Count(ForwardProxy::Protocol::Http), http + (c.via == Via::Http ? 1 : 0));
        EXPECT_EQ(proxy.Count(ForwardProxy::Protocol::Socks5),
                  socks + (c.via == Via::Socks ? 1 : 0));
    }
}

TEST(ApplyProxy, CredentialsReachTheProxy) {
    LoopbackServer server;
    server.ServeBytes("/f", "payload");
    ForwardProxy guarded({.user = "zeph", .password = "s3cret"});
    ForwardProxy open;
    const struct {
        const char* name;
        ForwardProxy* proxy;
        uint32_t mode;
        std::u16string_view user;
        ForwardProxy::Protocol protocol;
    } cases[] = {
        {"http", &guarded, 2, u"zeph", ForwardProxy::Protocol::Http},
        {"socks", &guarded, 3, u"zeph", ForwardProxy::Protocol::Socks5},
        {"empty user", &open, 2, u"", ForwardProxy::Protocol::Http},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedProfile profile;
        RegKey suite = ScopedProfile::Key(Hive::CurrentUser, kSuiteKey);
        suite.SetDword(u"Proxy Mode", c.mode);
        suite.SetString(u"Proxy Host", u"127.0.0.1");
        suite.SetDword(u"Proxy Port", static_cast<uint32_t>(c.proxy->Port()));
        suite.SetDword(u"Proxy Authorization", 1);
        suite.SetString(u"Proxy User", c.user);
        suite.SetString(u"Proxy Password", u"s3cret");

        std::string body;
        EXPECT_EQ(HttpGet(U16(server.Url("/f")), body), 0);
        EXPECT_EQ(body, "payload");
        const ForwardProxy::Seen seen = c.proxy->Requests().back();
        EXPECT_EQ(seen.protocol, c.protocol);
        EXPECT_TRUE(seen.authenticated);
        if (c.protocol == ForwardProxy::Protocol::Http) {
            // "%s:%s" of user and password, even with an empty user.
            EXPECT_EQ(seen.proxyAuthorization, "Basic " + Base64Encode(U8(c.user) + ":s3cret"));
        } else {
            EXPECT_EQ(seen.socksUser, U8(c.user));
            EXPECT_EQ(seen.socksPassword, "s3cret");
        }
    }
}

TEST(ApplyProxy, OnlyTheProxiedTransfersUseIt) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/f", "payload");
    server.Handle("/post", [](const test::SeenRequest&) { return test::Reply{.body = "ok"}; });
    ForwardProxy proxy;
    RegKey suite = ScopedProfile::Key(Hive::CurrentUser, kSuiteKey);
    suite.SetDword(u"Proxy Mode", 2);
    suite.SetString(u"Proxy Host", u"127.0.0.1");
    suite.SetDword(u"Proxy Port", static_cast<uint32_t>(proxy.Port()));

    std::string reply;
    EXPECT_EQ(HttpPost(U16(server.Url("/post")), "r", 1, reply), 0);
    EXPECT_EQ(proxy.Count(), 1u);
    int aux = -1;
    EXPECT_EQ(DownloadUrlToFile(U16(server.Url("/f")), profile.Win("a.bin"), aux, nullptr, 0),
              DownloadCode::Ok);
    EXPECT_EQ(proxy.Count(), 2u) << "the file download goes through the proxy";
    EXPECT_EQ(server.Count("/f", "HEAD"), 1u) << "its header probe does not";

    EXPECT_EQ(HttpPostBytes(U16(server.Url("/post")), "r", 1, reply), 200);
    EXPECT_EQ(HttpPostEmpty(U16(server.Url("/post")), {}, reply), 200);
    int result = -1;
    EXPECT_EQ(
        KCurlDownloader().Download(U16(server.Url("/f")), profile.Win("b.bin"), result, nullptr),
        DownloadCode::Ok);
    EXPECT_EQ(proxy.Count(), 2u) << "city lookups and the resumable download go direct";
}

TEST(ApplyProxy, NullHandleIsNoProxy) {
    EXPECT_EQ(ApplyProxy(nullptr), 0);
}

}  // namespace
}  // namespace zeph::net
