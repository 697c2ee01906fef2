#include "net/downloader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "net/curl_easy.h"
#include "tests/net/net_test_util.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback_server.h"

namespace zeph::net {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::LoopbackServer;
using test::PatternBytes;
using test::RecordingCallback;
using test::ScopedProfile;

constexpr size_t kSize = 300000;

std::u16string Url(const LoopbackServer& server, std::string_view path) {
    return U16(server.Url(path));
}

// ---- DownloadUrlToFile ------------------------------------------------------

TEST(DownloadUrlToFile, WritesTheFileAndReportsProgressWithTheProbedLength) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    RecordingCallback callback;
    int aux = -1;
    // The folders of the path do not exist yet.
    EXPECT_EQ(
        DownloadUrlToFile(Url(server, "/pkg.exe"), profile.Win("a\\b\\pkg.exe"), aux, &callback, 0),
        DownloadCode::Ok);
    EXPECT_EQ(aux, 0);
    EXPECT_EQ(test::ReadFile(profile.Host("a/b/pkg.exe")), content);
    ASSERT_FALSE(callback.calls.empty());
    for (const auto& call : callback.calls) {
        EXPECT_EQ(call.totalLength, static_cast<int32_t>(kSize));
        EXPECT_EQ(call.reserved, 0);
    }
    EXPECT_DOUBLE_EQ(callback.calls.back().fraction, 1.0);
    EXPECT_EQ(server.Count("/pkg.exe", "HEAD"), 1u);
    EXPECT_EQ(server.Count("/pkg.exe", "GET"), 1u);
    const auto get = server.Requests("/pkg.exe").back();
    EXPECT_EQ(get.Header("User-Agent"), "Mozilla/4.0");
    EXPECT_EQ(get.Header("Content-Type"), "application/octet-stream");
}

TEST(DownloadUrlToFile, HeadWithoutLengthStillDownloadsWithLengthZero) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    server.AddFault("/pkg.exe", {.method = "HEAD", .omitLength = true});
    RecordingCallback callback;
    int aux = -1;
    EXPECT_EQ(DownloadUrlToFile(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), aux, &callback, 0),
              DownloadCode::Ok);
    EXPECT_EQ(test::ReadFile(profile.Host("pkg.exe")), content);
    ASSERT_FALSE(callback.calls.empty());
    for (const auto& call : callback.calls) {
        EXPECT_EQ(call.totalLength, 0);
    }
}

TEST(DownloadUrlToFile, ReplacesAnEarlierFileAndFollowsRedirects) {
    ScopedProfile profile;
    LoopbackServer server;
    server.AddFault("/old", {.redirectTo = "/new"});
    server.ServeBytes("/new", "new content");
    std::ofstream(profile.Host("f.bin")) << std::string(100000, 'o');
    int aux = -1;
    EXPECT_EQ(DownloadUrlToFile(Url(server, "/old"), profile.Win("f.bin"), aux, nullptr, 0),
              DownloadCode::Ok);
    EXPECT_EQ(test::ReadFile(profile.Host("f.bin")), "new content");
}

TEST(DownloadUrlToFile, AFailureLeavesNoFileAndHandsBackItsCause) {
    const std::string content = PatternBytes(kSize);
    const struct {
        const char* name;
        Fault fault;
        int timeoutSeconds;
        int aux;
    } cases[] = {
        {"404 reply", {.method = "GET", .status = 404}, 0, 404},
        {"server error", {.method = "GET", .status = 503}, 0, 503},
        {"stall past the time limit",
         {.method = "GET", .stallAfter = kSize / 2},
         1,
         CURLE_OPERATION_TIMEDOUT},
        {"connection reset", {.method = "GET", .resetAfter = kSize / 2}, 0, CURLE_RECV_ERROR},
        {"length claims more",
         {.method = "GET", .declaredLength = kSize + 100},
         0,
         CURLE_PARTIAL_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedProfile profile;
        LoopbackServer server;
        server.ServeBytes("/pkg.exe", content);
        server.AddFault("/pkg.exe", c.fault);
        // An earlier file at the path goes too.
        std::ofstream(profile.Host("pkg.exe")) << "earlier";
        int aux = -1;
        EXPECT_EQ(DownloadUrlToFile(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), aux, nullptr,
                                    c.timeoutSeconds),
                  DownloadCode::RequestFailed);
        EXPECT_EQ(aux, c.aux);
        EXPECT_FALSE(std::filesystem::exists(profile.Host("pkg.exe")));
    }
}

TEST(DownloadUrlToFile, TheCancelFlagAbortsTheTransfer) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/pkg.exe", PatternBytes(kSize));
    // A slow link, so that the transfer is surely under way when it is asked.
    server.AddFault("/pkg.exe", {.method = "GET", .trickleBytes = 10000, .trickleInterval = 20ms});
    test::RecordingPoster poster;
    std::atomic<int32_t> cancel{1};
    KDowloadCallback callback(poster, 7, 1127, &cancel, false);
    int aux = -1;
    EXPECT_EQ(DownloadUrlToFile(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), aux, &callback, 0),
              DownloadCode::RequestFailed);
    EXPECT_EQ(aux, CURLE_ABORTED_BY_CALLBACK);
    EXPECT_FALSE(std::filesystem::exists(profile.Host("pkg.exe")));
    EXPECT_TRUE(poster.posted.empty());
}

TEST(DownloadUrlToFile, ArgumentsAndUnwritablePaths) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/f", "x");
    int aux = -1;
    EXPECT_EQ(DownloadUrlToFile(u"", profile.Win("f"), aux, nullptr, 0),
              DownloadCode::EmptyArgument);
    EXPECT_EQ(DownloadUrlToFile(Url(server, "/f"), u"", aux, nullptr, 0),
              DownloadCode::EmptyArgument);
    // A file stands where a folder of the path should be.
    std::ofstream(profile.Host("plain")) << "file";
    EXPECT_EQ(DownloadUrlToFile(Url(server, "/f"), profile.Win("plain\\f"), aux, nullptr, 0),
              DownloadCode::RequestFailed);
    EXPECT_EQ(aux, CURLE_WRITE_ERROR);
    EXPECT_EQ(server.Count("/f", "GET"), 0u) << "nothing to receive into, nothing asked for";
}

// ---- header probe -------------------------------------------------------------

TEST(FindContentLength, ReadsTheFirstContentLengthLine) {
    const struct {
        std::string_view text;
        std::optional<std::string> value;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 42\r\n\r\n", "42"},
        {"HTTP/1.1 200 OK\r\ncontent-length:7\r\n", "7"},
        {"HTTP/1.1 200 OK\r\nCONTENT-LENGTH: \t 9 \t\r\n", "9"},
        {"HTTP/1.1 200 OK\r\nContent-Length:   \r\n", ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n", "1"},
        {"HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\nContent-Length-Extra: 6\r\n", std::nullopt},
        {"HTTP/1.1 200 OK\r\nContent-Type: a:b\r\n", std::nullopt},
        {"HTTP/1.1 200 OK\nContent-Length: 5\n", std::nullopt},  // lines end in CR LF only
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindContentLength(c.text), c.value) << c.text;
    }
}

TEST(GetDownloadFileLength, ProbesWithHead) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/f", PatternBytes(1234));
    server.ServeBytes("/nolength", "abc");
    server.AddFault("/nolength", {.method = "HEAD", .omitLength = true});
    const struct {
        std::u16string url;
        std::u16string path;
        bool handle;
        DownloadCode code;
        int32_t length;
    } cases[] = {
        {Url(server, "/f"), u"C:\\f", true, DownloadCode::Ok, 1234},
        {Url(server, "/nolength"), u"C:\\f", true, DownloadCode::NoContentLength, 0},
        {U16("http://127.0.0.1:1/f"), u"C:\\f", true, DownloadCode::ProbeFailed, 0},
        {Url(server, "/f"), u"", true, DownloadCode::InvalidTask, 0},
        {Url(server, "/f"), u"C:\\f", false, DownloadCode::InvalidTask, 0},
    };
    for (const auto& c : cases) {
        DownloadTask task;
        task.url = c.url;
        task.path = c.path;
        if (c.handle) {
            task.curl.reset(NewEasyHandle());
        }
        EXPECT_EQ(GetDownloadFileLength(task), c.code) << U8(c.url);
        EXPECT_EQ(task.totalLength, c.length) << U8(c.url);
    }
    EXPECT_EQ(server.Count("/f", "GET"), 0u);
}

// ---- KCurlDownloader ----------------------------------------------------------

// Pauses between attempts, recorded instead of waited.
std::vector<uint32_t> g_pauses;
void RecordPause(uint32_t ms) {
    g_pauses.push_back(ms);
}

DownloadLimits QuickLimits(int attempts = 605) {
    g_pauses.clear();
    DownloadLimits limits;
    limits.attempts = attempts;
    limits.attemptSeconds = 1;
    limits.pause = &RecordPause;
    return limits;
}

TEST(KCurlDownloader, DownloadsAndLogsItsSteps) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    test::LogCapture log;
    RecordingCallback callback;
    int result = -1;
    EXPECT_EQ(KCurlDownloader().Download(Url(server, "/pkg.exe"), profile.Win("d\\pkg.exe"), result,
                                         &callback),
              DownloadCode::Ok);
    EXPECT_EQ(result, 200);
    EXPECT_EQ(test::ReadFile(profile.Host("d/pkg.exe")), content);
    EXPECT_EQ(
        log.Lines(),
        (std::vector<std::string>{
            "DownloadControl -- Start",
            "ExecuteDownload ResponseCode = 200",
            "DownloadControl -- ExE CurlCode = 0, Count = 1, CurrentSize = 300000, ResCode = 200",
            "DownloadControl -- End HRESULT = 0, Count = 1",
        }));
    ASSERT_FALSE(callback.calls.empty());
    EXPECT_EQ(callback.calls.back().totalLength, static_cast<int32_t>(kSize));
    EXPECT_DOUBLE_EQ(callback.calls.back().fraction, 1.0);
}

TEST(KCurlDownloader, HeadWithoutLengthFailsBeforeAnyGet) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/pkg.exe", PatternBytes(kSize));
    server.AddFault("/pkg.exe", {.method = "HEAD", .omitLength = true});
    test::LogCapture log;
    int result = -1;
    EXPECT_EQ(KCurlDownloader().Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result,
                                         nullptr),
              DownloadCode::NoContentLength);
    EXPECT_EQ(server.Count("/pkg.exe", "GET"), 0u);
    EXPECT_TRUE(log.Contains("DownloadControl GetDownloadFileLength Failure"));
    EXPECT_FALSE(std::filesystem::exists(profile.Host("pkg.exe")));
}

TEST(KCurlDownloader, ResumesAfterATimeOutAtOnce) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    server.AddFault("/pkg.exe", {.times = 1, .method = "GET", .stallAfter = 100000});
    test::LogCapture log;
    RecordingCallback callback;
    int result = -1;
    EXPECT_EQ(KCurlDownloader(QuickLimits())
                  .Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result, &callback),
              DownloadCode::Ok);
    EXPECT_EQ(test::ReadFile(profile.Host("pkg.exe")), content);
    EXPECT_TRUE(g_pauses.empty()) << "a time-out is retried at once";
    const auto gets = server.Requests("/pkg.exe");
    ASSERT_EQ(gets.size(), 3u);  // HEAD, the stalled GET, the resumed GET
    EXPECT_FALSE(gets[1].HasHeader("Range"));
    EXPECT_EQ(gets[2].Header("Range"), "bytes=100000-");
    EXPECT_TRUE(log.Contains(
        "DownloadControl -- ExE CurlCode = 28, Count = 1, CurrentSize = 100000, ResCode = 200"));
    EXPECT_TRUE(log.Contains(
        "DownloadControl -- ExE CurlCode = 0, Count = 2, CurrentSize = 300000, ResCode = 206"));
    EXPECT_TRUE(log.Contains("DownloadControl -- End HRESULT = 0, Count = 2"));
    // Each attempt is a request of its own: the fraction starts again.
    double previous = 0;
    bool restarted = false;
    for (const auto& call : callback.calls) {
        restarted = restarted || call.fraction < previous;
        previous = call.fraction;
    }
    EXPECT_TRUE(restarted);
}

TEST(KCurlDownloader, OtherFailuresWaitBeforeTheNextAttempt) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    server.AddFault("/pkg.exe", {.times = 1, .method = "GET", .resetAfter = 100000});
    server.AddFault("/pkg.exe", {.times = 1, .method = "GET", .status = 503});
    int result = -1;
    EXPECT_EQ(KCurlDownloader(QuickLimits())
                  .Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result, nullptr),
              DownloadCode::Ok);
    EXPECT_EQ(g_pauses, (std::vector<uint32_t>{500, 500}));
    // The 503 page between the attempts is not written into the file.
    EXPECT_EQ(test::ReadFile(profile.Host("pkg.exe")), content);
}

TEST(KCurlDownloader, AServerThatIgnoresRangesCountsAsSuccess) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    server.AddFault(
        "/pkg.exe",
        {.times = 1, .method = "GET", .range = test::RangeMode::Ignore, .stallAfter = 100000});
    server.AddFault("/pkg.exe", {.method = "GET", .range = test::RangeMode::Ignore});
    int result = -1;
    EXPECT_EQ(KCurlDownloader(QuickLimits())
                  .Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result, nullptr),
              DownloadCode::Ok);
    EXPECT_EQ(result, 200);
    // The resumed request got the whole file again; it starts over.
    EXPECT_EQ(test::ReadFile(profile.Host("pkg.exe")), content);
}

TEST(KCurlDownloader, AFileWholeBeforeTheFailureIsDone) {
    ScopedProfile profile;
    LoopbackServer server;
    const std::string content = PatternBytes(kSize);
    server.ServeBytes("/pkg.exe", content);
    // Every byte arrives, then the connection closes short of the length claimed.
    server.AddFault("/pkg.exe", {.times = 1, .method = "GET", .declaredLength = kSize + 1});
    int result = -1;
    EXPECT_EQ(KCurlDownloader(QuickLimits())
                  .Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result, nullptr),
              DownloadCode::Ok);
    EXPECT_EQ(test::ReadFile(profile.Host("pkg.exe")), content);
}

TEST(KCurlDownloader, GivesUpAfterTheLastAttemptAndKeepsWhatItHas) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/pkg.exe", PatternBytes(kSize));
    server.AddFault("/pkg.exe", {.method = "GET", .status = 500});
    test::LogCapture log;
    int result = -1;
    EXPECT_EQ(KCurlDownloader(QuickLimits(3))
                  .Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result, nullptr),
              DownloadCode::AttemptsExhausted);
    EXPECT_EQ(result, 500);
    EXPECT_EQ(server.Count("/pkg.exe", "GET"), 3u);
    EXPECT_EQ(g_pauses.size(), 2u) << "no pause after the last attempt";
    EXPECT_TRUE(log.Contains("DownloadControl -- End HRESULT = 259, Count = 4"));
    EXPECT_TRUE(std::filesystem::exists(profile.Host("pkg.exe")));
}

TEST(KCurlDownloader, TheCancelFlagStopsTheAttempts) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/pkg.exe", PatternBytes(kSize));
    server.AddFault("/pkg.exe", {.method = "GET", .trickleBytes = 10000, .trickleInterval = 20ms});
    test::RecordingPoster poster;
    std::atomic<int32_t> cancel{1};
    KDowloadCallback callback(poster, 7, 1127, &cancel, false);
    test::LogCapture log;
    int result = -1;
    EXPECT_EQ(KCurlDownloader(QuickLimits())
                  .Download(Url(server, "/pkg.exe"), profile.Win("pkg.exe"), result, &callback),
              DownloadCode::AttemptsExhausted);
    EXPECT_EQ(result, CURLE_ABORTED_BY_CALLBACK);
    // One attempt, aborted at its first progress call, and no second one.
    EXPECT_TRUE(log.Contains("DownloadControl -- End HRESULT = 259, Count = 1"));
    EXPECT_LE(server.Count("/pkg.exe", "GET"), 1u);
    EXPECT_TRUE(g_pauses.empty());
}

TEST(KCurlDownloader, SetUpFailures) {
    ScopedProfile profile;
    LoopbackServer server;
    server.ServeBytes("/f", "x");
    std::ofstream(profile.Host("plain")) << "file";
    const struct {
        std::u16string url;
        std::u16string path;
        DownloadCode code;
        const char* line;
    } cases[] = {
        {u"", profile.Win("f"), DownloadCode::InvalidTask, "DownloadControl curlExecuter Invalid"},
        {Url(server, "/f"), u"", DownloadCode::InvalidTask, "DownloadControl curlExecuter Invalid"},
        {U16("http://127.0.0.1:1/f"), profile.Win("f"), DownloadCode::ProbeFailed,
         "DownloadControl GetDownloadFileLength Failure"},
        {Url(server, "/f"), profile.Win("plain\\f"), DownloadCode::CreateFileFailed,
         "DownloadControl CreateFile Failure"},
    };
    for (const auto& c : cases) {
        test::LogCapture log;
        int result = -1;
        EXPECT_EQ(KCurlDownloader().Download(c.url, c.path, result, nullptr), c.code) << c.line;
        EXPECT_TRUE(log.Contains(c.line)) << c.line;
        EXPECT_EQ(result, -1) << "untouched before the attempts";
    }
}

}  // namespace
}  // namespace zeph::net
