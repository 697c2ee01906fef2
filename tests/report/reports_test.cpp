// The report objects as their callers raise them, received by a telemetry
// endpoint on 127.0.0.1.
#include <gtest/gtest.h>

#include <thread>

#include "base/install_settings.h"
#include "report/condition_reporter.h"
#include "report/report_context.h"
#include "report/report_objects.h"
#include "rules/environment_probes.h"
#include "rules/machine_identity.h"
#include "tests/report/report_test_util.h"
#include "tests/support/profile_fixture.h"

namespace zeph {
namespace {

using namespace ZEdozureRare;

const std::u16string kIdex = u"0123456789ABCDEF0123456789ABCDEF";

class ReportsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ReportContext::Instance().Clear();
        m_settings = Settings();
    }
    void TearDown() override {
        ReportContext::Instance().Clear();
        Settings() = m_settings;
    }

    DecodedRecord Only() const {
        const auto records = telemetry.Records();
        EXPECT_EQ(records.size(), 1u);
        return records.empty() ? DecodedRecord{} : records.front();
    }

    test::ProfileFixture profile;
    test::TelemetryServer telemetry;

  private:
    InstallSettings m_settings;
};

TEST_F(ReportsTest, CaptureTakesTheIdentifiersFromTheMachine) {
    Settings().softId = u"77";
    ReportContext::Instance().Capture(222, 716, 1, ReportContext::Products::Compute);
    const auto values = ReportContext::Instance().Values();
    EXPECT_EQ(values.cid, 222);
    EXPECT_EQ(values.TidText(), u"77");
    EXPECT_EQ(values.KidText(), u"1");
    EXPECT_EQ(values.idex, GetMachineId());
    EXPECT_EQ(values.idex.size(), 32u);
    EXPECT_EQ(values.did, GetDeviceId());
    EXPECT_EQ(values.productsJson, InstalledProductsJson());

    // The partner flow's capture leaves the products text alone.
    ReportContext::Instance().SetProductsJson(u"{}");
    ReportContext::Instance().Capture(1, 2, 3, ReportContext::Products::Keep);
    EXPECT_EQ(ReportContext::Instance().Values().productsJson, u"{}");
}

TEST_F(ReportsTest, InstallStepCarriesTheContextAndFreshFacts) {
    auto& context = ReportContext::Instance();
    context.SetChannel(222, 716, 1);
    context.SetIdex(kIdex);
    context.SetDid(u"D1D2");
    context.SetSoftId(u"abc");  // a non-numeric software id reads as 0
    Settings().scene = 3;

    ZEdozureRareReport report;
    report.SetConfigVersion(5);
    report.SendStep(31, 262, 2, 7, u"detail");
    EXPECT_EQ(report.LastResult(), 0);

    const DecodedRecord record = Only();
    EXPECT_EQ(record.tableNumber, 7988);
    const auto columns = PublicBlockColumns(record);
    EXPECT_EQ(columns.cid, 222);
    EXPECT_EQ(columns.tid, 0);
    EXPECT_EQ(columns.kid, 1);
    EXPECT_EQ(columns.idex, U8(kIdex));
    EXPECT_EQ(record.Field("config_version")->number, 5);
    EXPECT_EQ(record.Field("step")->number, 31);
    EXPECT_EQ(record.Field("result")->number, 262);
    EXPECT_EQ(record.Field("products")->text, U8(InstalledProductsJson()));
    EXPECT_EQ(record.Field("system_code")->number, OsVersionCode());
    EXPECT_EQ(record.Field("did")->text, "D1D2");
    EXPECT_EQ(record.Field("scene")->number, 3);
    EXPECT_EQ(record.Field("small")->number, 2);
    EXPECT_EQ(record.Field("medium")->number, 7);
    EXPECT_EQ(record.Field("text")->text, "detail");
}

TEST_F(ReportsTest, TheOtherInstallTables) {
    ReportContext::Instance().SetChannel(9, 8, 7);
    ReportContext::Instance().SetIdex(kIdex);
    ZEdozureRareReport report;
    report.SendCondition(40, 2, 5, 3, u"");
    report.SendStatus(1, 1);
    report.SendUiEvent(u"Zeph", 12, 2, 3);
    const auto records = telemetry.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].tableNumber, 4680);
    EXPECT_EQ(FieldsJsonArray(records[0]),
              "[2,40,2," + JsonQuote(U8(InstalledProductsJson())) + ",5,3,\"\"]");
    EXPECT_EQ(records[1].tableNumber, 5847);
    EXPECT_EQ(FieldsJsonArray(records[1]), "[2,1,1]");
    EXPECT_EQ(records[2].tableNumber, 7213);
    EXPECT_EQ(FieldsJsonArray(records[2]), "[\"Zeph\",12,2,3,1]");
    for (const auto& record : records) {
        EXPECT_EQ(PublicBlockColumns(record).cid, 9);
        EXPECT_EQ(PublicBlockColumns(record).kid, 7);
    }
}

TEST_F(ReportsTest, ConditionChecksReportWithoutKidOrSoftwareId) {
    auto& context = ReportContext::Instance();
    context.SetChannel(222, 716, 5);
    context.SetSoftId(u"99");
    context.SetIdex(kIdex);
    InstallConditionReporter();
    GetRuleReporter().ReportUninstallCheck(205, 3);
    GetRuleReporter().ReportVpnCheck(1, 0);
    GetRuleReporter().ReportVirtualMachineCheck(2, 1);
    GetRuleReporter().ReportCityCheck(110000, 1, u"\u5317\u4EAC|110000");
    SetRuleReporter(nullptr);

    const auto records = telemetry.Records();
    ASSERT_EQ(records.size(), 4u);
    // Condition kind 2, code 30, the sub-code, the products text, then the rest.
    const std::string products = JsonQuote(U8(InstalledProductsJson()));
    const std::string expected[] = {
        "[2,30,1," + products + ",205,3,\"\"]",
        "[2,30,2," + products + ",1,0,\"\"]",
        "[2,30,3," + products + ",2,1,\"\"]",
        "[2,30,4," + products + ",110000,1,\"\xE5\x8C\x97\xE4\xBA\xAC|110000\"]",
    };
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(FieldsJsonArray(records[i]), expected[i]);
        const auto columns = PublicBlockColumns(records[i]);
        EXPECT_EQ(columns.cid, 222);
        EXPECT_EQ(columns.tid, 716);
        EXPECT_EQ(columns.kid, 0);
    }
}

TEST_F(ReportsTest, AnonymousReportsTakeTheMachineIdBeforeAnyCapture) {
    KUpdateInfoReport update;
    update.outcome = KUpdateInfoReport::kNotDrawn;
    EXPECT_EQ(update.Send(), 0);
    const DecodedRecord record = Only();
    EXPECT_EQ(record.tableNumber, 4033);
    EXPECT_EQ(FieldsJsonArray(record), "[3,0,0,\"\"]");
    const auto columns = PublicBlockColumns(record);
    EXPECT_EQ(columns.cid, 0);
    EXPECT_EQ(columns.idex, U8(GetMachineId()));
    EXPECT_NE(columns.idex, std::string(32, '0'));
}

TEST_F(ReportsTest, MainWindowSummary) {
    ReportContext::Instance().SetChannel(222, 716, 1);
    ReportContext::Instance().SetIdex(kIdex);
    Settings().scene = 4;
    MainWindowSummary summary;
    summary.restoredFromTray = true;
    summary.hiddenToTray = true;
    summary.startedByUser = true;
    summary.actionFlags = 3;
    summary.declinedExit = true;
    EXPECT_EQ(MakeMainWindowSummaryReport(summary).Send(), 0);
    const auto body = telemetry.Bodies().at(0);
    // Table 5010, then the bitmap 0D.
    EXPECT_EQ(static_cast<uint8_t>(body[10 + 81]), 0x92);
    EXPECT_EQ(static_cast<uint8_t>(body[10 + 83]), 0x0D);
    EXPECT_EQ(FieldsJsonArray(Only()), "[1,0,1,1,3,1,4,3]");
}

TEST_F(ReportsTest, LaunchProvenanceFromThisProcess) {
    ReportContext::Instance().SetChannel(222, 716, 1);
    ReportContext::Instance().SetIdex(kIdex);
    std::thread sender = StartProcessInfoReportThread();
    sender.join();
    const DecodedRecord record = Only();
    EXPECT_EQ(record.tableNumber, 3769);
    EXPECT_EQ(record.Field("cid")->number, 222);
    EXPECT_EQ(record.Field("tid")->number, 716);
    EXPECT_EQ(PublicBlockColumns(record).cid, 0);
    // The test runs under a parent of some kind.
    EXPECT_FALSE(record.Field("parent")->text.empty());
    EXPECT_NE(record.Field("chain_depth")->text, "0");
}

}  // namespace
}  // namespace zeph
