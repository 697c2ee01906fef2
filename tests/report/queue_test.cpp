// The report queue against a telemetry endpoint on 127.0.0.1: ordering,
// dropping while disabled, drain before stop, and a stop that gives up on a
// stuck send.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "report/report_context.h"
#include "report/report_helper.h"
#include "tests/report/report_test_util.h"
#include "tests/support/profile_fixture.h"

namespace zeph {
namespace {

using KSemReport::ReportHelper;
using namespace std::chrono_literals;

class ReportQueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& context = ReportContext::Instance();
        context.Clear();
        context.SetChannel(222, 716, 1);
        context.SetIdex(u"0123456789ABCDEF0123456789ABCDEF");
        context.SetDid(u"D1D2");
    }
    void TearDown() override { ReportContext::Instance().Clear(); }

    std::vector<int64_t> SentActions() const {
        std::vector<int64_t> actions;
        for (const auto& record : telemetry.Records()) {
            actions.push_back(record.Field("action")->number);
        }
        return actions;
    }

    test::ProfileFixture profile;
    test::TelemetryServer telemetry;
};

TEST_F(ReportQueueTest, DropsEventsUntilStartedThenSendsThemInOrder) {
    ReportHelper helper;
    EXPECT_FALSE(helper.Enqueue(KSemReport::kScreenShown));
    EXPECT_FALSE(helper.IsRunning());

    helper.Start();
    EXPECT_TRUE(helper.IsEnabled());
    EXPECT_TRUE(helper.IsRunning());
    EXPECT_EQ(helper.RunParameter(), ReportHelper::kRunParameter);
    EXPECT_TRUE(helper.Enqueue(KSemReport::kScreenShown));
    EXPECT_TRUE(helper.Enqueue(KSemReport::kSecureInstallPressed));
    EXPECT_TRUE(helper.Enqueue(KSemReport::kClosedAfterConfirm));
    ASSERT_TRUE(telemetry.WaitFor(3));
    EXPECT_EQ(helper.Stop(3000), 0);
    EXPECT_EQ(SentActions(), (std::vector<int64_t>{4, 6, 5}));
    EXPECT_EQ(telemetry.server.Count("/c/"), 3u) << "one record per event";

    // The queued event's record: the context's channel, no flags, value 2.
    const auto record = telemetry.Records().front();
    EXPECT_EQ(record.tableNumber, 5010);
    EXPECT_EQ(FieldsJsonArray(record), "[0,0,0,0,4,0,2,3]");
    const auto columns = PublicBlockColumns(record);
    EXPECT_EQ(columns.cid, 222);
    EXPECT_EQ(columns.tid, 716);
    EXPECT_EQ(columns.kid, 1);

    // Disabled again: dropped.
    helper.SetEnabled(false);
    EXPECT_FALSE(helper.Enqueue(KSemReport::kScreenShown));
    EXPECT_EQ(helper.Stop(3000), kbase::kxThreadBase::kNotRunning);
}

TEST_F(ReportQueueTest, TidTextIsTheSoftwareIdWhenSet) {
    ReportContext::Instance().SetSoftId(u"88x");
    ReportHelper helper;
    helper.Start();
    helper.Enqueue(KSemReport::kFailureExitPressed);
    ASSERT_TRUE(telemetry.WaitFor(1));
    helper.Stop(3000);
    EXPECT_EQ(PublicBlockColumns(telemetry.Records().front()).tid, 88);
}

TEST_F(ReportQueueTest, StopWaitsUntilTheQueueHasDrained) {
    telemetry.server.AddFault("/c/", {.times = -1, .method = "POST", .delay = 100ms});
    ReportHelper helper;
    helper.Start();
    for (int32_t action = 4; action <= 8; ++action) {
        ASSERT_TRUE(helper.Enqueue(action));
    }
    EXPECT_EQ(helper.Stop(30000), 0);
    EXPECT_FALSE(helper.IsRunning());
    EXPECT_EQ(helper.QueuedCount(), 0u);
    EXPECT_EQ(SentActions(), (std::vector<int64_t>{4, 5, 6, 7, 8}));
}

TEST_F(ReportQueueTest, StopGivesUpOnAStuckSendAndTheRestIsLost) {
    telemetry.server.AddFault("/c/", {.times = -1, .method = "POST", .delay = 10s});
    ReportHelper helper;
    helper.Start();
    for (int32_t action = 4; action <= 8; ++action) {
        ASSERT_TRUE(helper.Enqueue(action));
    }
    ASSERT_TRUE(telemetry.WaitFor(1));
    EXPECT_EQ(helper.Stop(200), 0);
    EXPECT_FALSE(helper.IsRunning());
    EXPECT_EQ(helper.ThreadsInside(), 1) << "the abandoned worker is still in its send";

    // Cut the stuck reply; the abandoned worker then leaves without sending
    // the rest.
    telemetry.server.Stop();
    for (int i = 0; i < 2000 && helper.ThreadsInside() > 0; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(helper.ThreadsInside(), 0);
    EXPECT_EQ(telemetry.server.Count("/c/"), 1u);
}

TEST_F(ReportQueueTest, StartsAgainAfterAnAbandonedWorker) {
    telemetry.server.AddFault("/c/", {.times = 1, .method = "POST", .delay = 10s});
    ReportHelper helper;
    helper.Start();
    helper.Enqueue(4);
    ASSERT_TRUE(telemetry.WaitFor(1));
    helper.Stop(100);
    helper.SetEnabled(false);

    // A new worker runs while the old one is still stuck.
    helper.Start();
    EXPECT_TRUE(helper.IsRunning());
    EXPECT_TRUE(helper.Enqueue(9));
    ASSERT_TRUE(telemetry.WaitFor(2));
    EXPECT_EQ(helper.Stop(3000), 0);
    EXPECT_EQ(telemetry.Records().back().Field("action")->number, 9);
    EXPECT_EQ(helper.ThreadsInside(), 1);
    telemetry.server.Stop();  // frees the old worker before the helper goes
}

TEST(GetReportHelper, EveryThreadGetsTheOneInstance) {
    std::vector<std::thread> threads;
    std::vector<KSemReport::ReportHelper*> seen(8, nullptr);
    std::atomic<bool> go{false};
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            seen[i] = KSemReport::GetReportHelper();
        });
    }
    go.store(true);
    for (auto& t : threads) {
        t.join();
    }
    ASSERT_NE(seen[0], nullptr);
    for (auto* helper : seen) {
        EXPECT_EQ(helper, seen[0]);
    }
    EXPECT_FALSE(seen[0]->IsEnabled());
}

}  // namespace
}  // namespace zeph
