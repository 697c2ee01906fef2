// Sending records to a telemetry endpoint on 127.0.0.1.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "report/install_report.h"
#include "report/report_blocks.h"
#include "report/report_context.h"
#include "report/report_objects.h"
#include "tests/report/report_test_util.h"
#include "tests/support/profile_fixture.h"

namespace zeph {
namespace {

const std::u16string kIdex = u"0123456789ABCDEF0123456789ABCDEF";

std::unique_ptr<KInstallSerialize> StatusBlock(int32_t what) {
    ZEdozureRare::ZEdozureRareReport r;
    r.what = what;
    auto block = std::make_unique<ZEdozureRareBlock>();
    block->FillStatus(r);
    return block;
}

KInstallReport StatusReport(int32_t what) {
    KInstallReport report;
    auto pub = std::make_unique<KPublicBlock>();
    pub->FillPublicBlock(u"222", u"716", u"1", kIdex);
    report.AddBlock(std::move(pub));
    report.AddBlock(StatusBlock(what));
    return report;
}

TEST(SendRecord, PostsTheRecordAsItIsToTheTelemetryPath) {
    test::ProfileFixture profile;
    test::TelemetryServer telemetry;
    KInstallReport report = StatusReport(1);
    const auto expected = report.BuildRecord();
    ASSERT_TRUE(expected.has_value());

    EXPECT_EQ(report.SendRecord(), 0);
    const auto requests = telemetry.server.Requests("/c/");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, std::string(expected->begin(), expected->end()));
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(report.ReplyText(), U16(test::kAcceptText));
}

TEST(SendRecord, AnythingButAnAcceptingReplyIsNotAccepted) {
    test::ProfileFixture profile;
    test::TelemetryServer telemetry;
    struct Case {
        const char* name;
        int status;
        std::string text;
        int result;
        bool keepsText;
    } cases[] = {
        {"accepted", 200, "[common]\nresult=1", 0, true},
        {"result 0", 200, "[common]\nresult=0", 1, true},
        {"server error", 500, "", 1, false},
        {"not found", 404, "", 1, false},
    };
    for (const auto& c : cases) {
        telemetry.SetReply(c.status, c.text);
        KInstallReport report = StatusReport(1);
        EXPECT_EQ(report.SendRecord(), c.result) << c.name;
        EXPECT_EQ(report.ReplyText(), c.keepsText ? U16(c.text) : u"") << c.name;
    }

    // A reply that is no envelope at all.
    telemetry.server.Handle("/c/", [](const test::SeenRequest&) {
        test::Reply reply;
        reply.body = "[common]\nresult=1";
        return reply;
    });
    KInstallReport report = StatusReport(1);
    EXPECT_NE(report.SendRecord(), 0);
    EXPECT_TRUE(report.ReplyText().empty());

    // No server at all.
    telemetry.server.Stop();
    KInstallReport unheard = StatusReport(1);
    EXPECT_NE(unheard.SendRecord(), 0);
}

TEST(SendRecord, TooLargeOrEmptyRecordsAreNotSent) {
    test::ProfileFixture profile;
    test::TelemetryServer telemetry;

    KInstallReport empty;
    EXPECT_EQ(empty.SendRecord(), static_cast<int>(SendResult::NoBlocks));

    // Two texts of 40,000 bytes each: every field fits, the record does not.
    ZEdozureRare::ZEdozureRareReport big;
    big.productsJson = std::u16string(40000, u'p');
    big.text = std::u16string(40000, u't');
    auto block = std::make_unique<ZEdozureRareBlock>();
    block->FillCondition(big);
    KInstallReport report;
    auto pub = std::make_unique<KPublicBlock>();
    pub->FillPublicBlock(u"1", u"1", u"1", kIdex);
    report.AddBlock(std::move(pub));
    report.AddBlock(std::move(block));
    EXPECT_EQ(report.SendRecord(), static_cast<int>(SendResult::TooLarge));
    EXPECT_EQ(telemetry.server.Count("/c/"), 0u);
}

}  // namespace
}  // namespace zeph
