// Finding the conversion visitor id in the file name and on the clipboard,
// and the two outcome reports.
#include "report/ocpc.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "platform/shell.h"
#include "report/report_context.h"
#include "tests/report/report_test_util.h"
#include "tests/support/profile_fixture.h"

namespace cf::ocpc {
namespace {

using zeph::U16;
using zeph::U8;

TEST(FindConversionVisitor, FileNameAndClipboard) {
    struct Case {
        const char* path;
        const char* clipboard;
        const char* primary;
        const char* secondary;
    } cases[] = {
        {"C:\\Users\\u\\Downloads\\setup_b123456d_ch0.exe", "", "123456", ""},
        {"Z:\\home\\u\\setup_b12345xd.exe", "", "12345x", ""},
        {"setup_bad_b65a321D.exe", "", "65a321", ""},
        {"/home/u/Downloads/setup_b654321D.exe", "", "654321", ""},
        {"C:\\a_b123456d.dir\\setup.exe", "", "", ""},  // only the file name counts
        {"C:\\x\\_b12345d.exe", "", "", ""},            // 8 characters
        {"C:\\x\\_B123456d.exe", "", "", ""},           // the marker is case-sensitive
        {"C:\\x\\setup_b123456x.exe", "", "", ""},
        {"C:\\x.y\\setup_b123456d", "", "123456", ""},  // no extension to drop
        {"C:\\x\\setup.exe", R"({"cfBdVid":"abc","bdVid":"zz"})", "abc", "zz"},
        {"C:\\x\\setup_b123456d.exe", R"({"cfBdVid":"abc","bdVid":"zz"})", "123456", "zz"},
        {"C:\\x\\setup.exe", R"({"cfBdVid":7,"bdVid":["zz"]})", "", ""},
        {"C:\\x\\setup.exe", R"(["cfBdVid","abc"])", "", ""},
        {"C:\\x\\setup.exe", "not json", "", ""},
        {"C:\\x\\setup.exe", R"({"bdVid":"only"})", "", "only"},
    };
    const KZephOcpcCnf cnf;
    for (const auto& c : cases) {
        const ConversionIds ids = FindConversionVisitor(U16(c.path), U16(c.clipboard), cnf);
        EXPECT_EQ(U8(ids.primary), c.primary) << c.path << " " << c.clipboard;
        EXPECT_EQ(U8(ids.secondary), c.secondary) << c.path << " " << c.clipboard;
        EXPECT_EQ(ids.found, *c.primary != '\0') << c.path;
    }
}

TEST(ReportConversion, ReportsTheSearchAndItsOutcome) {
    zeph::test::ProfileFixture profile;
    zeph::test::TelemetryServer telemetry;
    zeph::ReportContext::Instance().SetIdex(u"0123456789ABCDEF0123456789ABCDEF");
    zeph::platform::SetClipboardProvider([] { return std::u16string(u"{\"cfBdVid\":\"v42\"}"); });

    auto& ocpc = Ocpc();
    ocpc.ReportConversion();
    zeph::platform::SetClipboardProvider(nullptr);
    zeph::ReportContext::Instance().Clear();

    EXPECT_EQ(ocpc.ConversionVisitorId(), u"v42");
    const auto records = telemetry.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].tableNumber, 8179);
    EXPECT_EQ(FieldsJsonArray(records[0]), R"([1,1,1,"1"])");
    EXPECT_EQ(FieldsJsonArray(records[1]), R"([1,1,2,"1"])");
}

}  // namespace
}  // namespace cf::ocpc
