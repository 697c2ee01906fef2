#include "net/http_request.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "net/curl_easy.h"
#include "tests/net/net_test_util.h"
#include "tests/support/loopback_server.h"

namespace zeph::net {
namespace {

using test::Fault;
using test::LoopbackServer;
using test::Reply;
using test::SeenRequest;

std::u16string Url(const LoopbackServer& server, std::string_view path) {
    return U16(server.Url(path));
}

// A port nobody listens on: a server's, after it stopped.
int ClosedPort() {
    LoopbackServer server;
    const int port = server.Port();
    server.Stop();
    return port;
}

TEST(HttpGet, ReturnsTheBodyAndSendsTheDownloadHeaders) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/doc", std::string("abc\0def", 7));
    std::string body = "stale";
    EXPECT_EQ(HttpGet(Url(server, "/doc?time=5"), body), 0);
    EXPECT_EQ(body, std::string("abc\0def", 7));
    const auto seen = server.Requests("/doc");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].query, "time=5");
    EXPECT_EQ(seen[0].Header("Content-Type"), "application/octet-stream");
    EXPECT_EQ(seen[0].Header("User-Agent"), "Mozilla/4.0");
    EXPECT_EQ(seen[0].Header("Accept"), "*/*");
}

TEST(HttpGet, AFailedStatusIsTheResultAndKeepsItsPage) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.Handle("/missing",
                  [](const SeenRequest&) { return Reply{.status = 404, .body = "no such page"}; });
    std::string body;
    EXPECT_EQ(HttpGet(Url(server, "/missing"), body), 404);
    EXPECT_EQ(body, "no such page");
}

TEST(HttpGet, FollowsRedirects) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.AddFault("/old", {.redirectTo = "/new"});
    server.ServeBytes("/new", "moved here");
    std::string body;
    EXPECT_EQ(HttpGet(Url(server, "/old"), body), 0);
    EXPECT_EQ(body, "moved here");
}

TEST(HttpGet, TransferFailuresGiveTheCurlCodeAndNoBody) {
    test::ScopedProfile profile;
    LoopbackServer server;
    const std::string big(kMaxReplyBytes + 1, 'x');
    server.ServeBytes("/big", big);
    server.ServeBytes("/big-unannounced", big);
    server.AddFault("/big-unannounced", {.omitLength = true});
    server.ServeBytes("/cut", std::string(200000, 'y'));
    server.AddFault("/cut", {.resetAfter = 100000});
    const struct {
        std::u16string url;
        int expected;
    } cases[] = {
        {Url(server, "/big"), CURLE_FILESIZE_EXCEEDED},
        {Url(server, "/big-unannounced"), CURLE_FILESIZE_EXCEEDED},
        {Url(server, "/cut"), CURLE_RECV_ERROR},
        {U16("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x"), CURLE_COULDNT_CONNECT},
        {u"not a url", CURLE_URL_MALFORMAT},
    };
    for (const auto& c : cases) {
        std::string body;
        EXPECT_EQ(HttpGet(c.url, body), c.expected) << U8(c.url);
        if (c.expected == CURLE_FILESIZE_EXCEEDED) {
            EXPECT_TRUE(body.empty()) << "a truncated document must not look like one";
        }
    }
}

TEST(HttpGet, SendsTheUrlInTheAnsiCodePage) {
    test::ScopedProfile profile;  // code page 936
    LoopbackServer server;
    server.ServeBytes("/\xD6\xD0.txt", "gbk");
    std::string body;
    EXPECT_EQ(HttpGet(Url(server, "/\u4E2D.txt"), body), 0);
    EXPECT_EQ(body, "gbk");
}

TEST(HttpPost, SendsTheBytesAsTheyAreAndReturnsTheReply) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.Handle("/c/", [](const SeenRequest& r) {
        return Reply{.body = "[Result]\r\nsize=" + std::to_string(r.body.size())};
    });
    const std::string record("\x10\x00\xff\x01 a=b&c", 10);
    std::string reply;
    EXPECT_EQ(HttpPost(Url(server, "/c/"), record.data(), record.size(), reply), 0);
    EXPECT_EQ(reply, "[Result]\r\nsize=10");
    const auto seen = server.Requests("/c/");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].body, record);
    EXPECT_EQ(seen[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen[0].Header("User-Agent"), "Mozilla/4.0");
}

TEST(HttpPost, AnyOtherStatusLeavesTheReplyEmpty) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.Handle("/c/", [](const SeenRequest&) { return Reply{.status = 500, .body = "oops"}; });
    server.AddFault("/moved", {.redirectTo = "/c/"});
    std::string reply = "stale";
    EXPECT_EQ(HttpPost(Url(server, "/c/"), "x", 1, reply), 500);
    EXPECT_EQ(reply, "");
    // Redirects are not followed: the record is not posted twice.
    EXPECT_EQ(HttpPost(Url(server, "/moved"), "x", 1, reply), 302);
    EXPECT_EQ(server.Count("/c/"), 1u);
}

TEST(HttpPost, ReplyBeyondTheBoundFails) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.Handle("/c/", [](const SeenRequest&) {
        return Reply{.body = std::string(kMaxReplyBytes + 1, 'r')};
    });
    std::string reply;
    EXPECT_EQ(HttpPost(Url(server, "/c/"), "x", 1, reply), CURLE_FILESIZE_EXCEEDED);
    EXPECT_TRUE(reply.empty());
}

TEST(CityPosts, ReturnTheStatusAndTheBody) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.Handle("/cityinfo", [](const SeenRequest& r) {
        return Reply{.status = r.body.size() == 28 ? 200 : 400, .body = "{\"cityid\":\"101\"}"};
    });
    server.Handle("/ip/cityid", [](const SeenRequest&) {
        return Reply{.status = 202, .body = "{\"data\":\"7\"}"};
    });

    const std::string request(28, '\x5a');
    std::string reply;
    EXPECT_EQ(HttpPostBytes(Url(server, "/cityinfo"), request.data(), request.size(), reply), 200);
    EXPECT_EQ(reply, "{\"cityid\":\"101\"}");
    const SeenRequest bytes = server.Requests("/cityinfo").at(0);
    EXPECT_EQ(bytes.Header("Content-Type"), "application/octet-stream");
    EXPECT_EQ(bytes.body, request);

    EXPECT_EQ(HttpPostEmpty(Url(server, "/ip/cityid"),
                            {"uniqid: u-1", "Content-Type: text/plain", "from: zeph"}, reply),
              202);
    EXPECT_EQ(reply, "{\"data\":\"7\"}");
    const SeenRequest empty = server.Requests("/ip/cityid").at(0);
    EXPECT_EQ(empty.method, "POST");
    EXPECT_EQ(empty.Header("Content-Length"), "0");
    EXPECT_EQ(empty.Header("uniqid"), "u-1");
    EXPECT_EQ(empty.Header("Content-Type"), "text/plain");
    EXPECT_EQ(empty.Header("User-Agent"), "Mozilla/4.0");
}

TEST(CityPosts, FailuresGiveZeroAndNoBody) {
    test::ScopedProfile profile;
    LoopbackServer server;
    server.Handle("/cut",
                  [](const SeenRequest&) { return Reply{.body = std::string(300000, 'z')}; });
    server.AddFault("/cut", {.resetAfter = 100000});
    const std::u16string refused =
        U16("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/cityinfo");
    for (const std::u16string& url : {std::u16string(), refused, Url(server, "/cut")}) {
        std::string reply = "stale";
        EXPECT_EQ(HttpPostBytes(url, "x", 1, reply), 0) << U8(url);
        EXPECT_EQ(reply, "") << U8(url);
        reply = "stale";
        EXPECT_EQ(HttpPostEmpty(url, {}, reply), 0) << U8(url);
        EXPECT_EQ(reply, "") << U8(url);
    }
}

}  // namespace
}  // namespace zeph::net
