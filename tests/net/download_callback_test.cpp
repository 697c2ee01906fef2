#include <gtest/gtest.h>

#include "base/install_settings.h"
#include "net/downloader.h"
#include "tests/net/net_test_util.h"

namespace zeph::net {
namespace {

using Message = test::RecordingPoster::Message;

uint32_t g_now = 0;
uint32_t FakeTicks() {
    return g_now;
}

constexpr WindowHandle kWindow = 0x1234;
constexpr uint32_t kProgress = 1127;

// Each test starts from the start-up defaults.
class DownloadCallback : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = InstallSettings{};
        Flags() = ProcessFlags{};
        g_now = 1000;
    }
    void TearDown() override {
        Settings() = InstallSettings{};
        Flags() = ProcessFlags{};
    }

    test::RecordingPoster poster;
};

TEST_F(DownloadCallback, PostsAtMostEvery80MsAndOnlyWhenTheFractionGrew) {
    KDowloadCallback callback(poster, kWindow, kProgress, nullptr, true, FakeTicks);
    const struct {
        uint32_t now;
        double fraction;
    } calls[] = {
        {1000, 0.10},  // first call: more than 80 ms since tick 0
        {1050, 0.20},  // too soon
        {1080, 0.30},  // exactly 80 ms: still too soon
        {1081, 0.30},  // 81 ms
        {1200, 0.30},  // fraction did not grow
        {1300, 0.50},
    };
    for (const auto& c : calls) {
        g_now = c.now;
        EXPECT_EQ(callback.OnProgress(1000000, c.fraction, 0), 0);
    }
    // Speed: bytes per millisecond since the last post.
    EXPECT_EQ(poster.posted, (std::vector<Message>{
                                 {kWindow, kProgress, 10, 100},   // 0.1 * 1e6 / 1000
                                 {kWindow, kProgress, 30, 2469},  // 0.2 * 1e6 / 81
                                 {kWindow, kProgress, 50, 913},   // 0.2 * 1e6 / 219
                             }));
}

TEST_F(DownloadCallback, ScaleDependsOnWhoElseFillsTheBar) {
    const struct {
        bool suiteInstalled;
        int source;
        int scene;
        int scale;
    } cases[] = {
        {false, 0, 0, 20},  {true, 0, 0, 100}, {false, 2, 0, 100}, {false, 1, 1, 100},
        {false, 3, 1, 100}, {false, 1, 0, 20}, {false, 3, 2, 20},  {false, 0, 1, 20},
    };
    for (const auto& c : cases) {
        Settings().source = c.source;
        Settings().scene = c.scene;
        KDowloadCallback callback(poster, kWindow, kProgress, nullptr, c.suiteInstalled, FakeTicks);
        EXPECT_EQ(callback.Scale(), c.scale)
            << c.suiteInstalled << " " << c.source << " " << c.scene;
    }
}

TEST_F(DownloadCallback, AlmostDoneAtScale20FillsTheDownloadPart) {
    KDowloadCallback callback(poster, kWindow, kProgress, nullptr, false, FakeTicks);
    EXPECT_EQ(callback.OnProgress(2000000, 0.99995, 0), 0);
    EXPECT_EQ(poster.posted, (std::vector<Message>{
                                 {kWindow, kProgress, 19, 1999},  // 0.99995 * 20, truncated
                                 {kWindow, kProgress, 20, 1999},
                             }));
}

TEST_F(DownloadCallback, AlmostDoneAtScale100PostsOnce) {
    KDowloadCallback callback(poster, kWindow, kProgress, nullptr, true, FakeTicks);
    callback.OnProgress(2000000, 0.99995, 0);
    ASSERT_EQ(poster.posted.size(), 1u);
    EXPECT_EQ(poster.posted[0].wParam, 99u);
}

TEST_F(DownloadCallback, DelayedDownloadPostsNothing) {
    Flags().delayedDownload = true;
    KDowloadCallback callback(poster, kWindow, kProgress, nullptr, false, FakeTicks);
    EXPECT_EQ(callback.OnProgress(100, 0.5, 0), 0);
    EXPECT_EQ(callback.OnProgress(100, 1.0, 0), 0);
    EXPECT_TRUE(poster.posted.empty());
}

TEST_F(DownloadCallback, CancelFlagFailsTheCall) {
    std::atomic<int32_t> cancel{0};
    KDowloadCallback callback(poster, kWindow, kProgress, &cancel, false, FakeTicks);
    EXPECT_EQ(callback.OnProgress(100, 0.5, 0), 0);
    cancel = 1;
    g_now += 1000;
    EXPECT_EQ(callback.OnProgress(100, 0.9, 0), kEFail);
    EXPECT_EQ(poster.posted.size(), 1u);
}

}  // namespace
}  // namespace zeph::net
