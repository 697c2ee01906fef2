// Every table's block byte for byte from known values, and the decoder
// giving those values back.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "report/install_report.h"
#include "report/record_decoder.h"
#include "report/report_objects.h"
#include "tests/report/report_test_util.h"

namespace zeph {
namespace {

using test::Hex;
using test::HexOf;
using namespace ZEdozureRare;

constexpr uint32_t kTime = 1600000000;
const std::u16string kIdex = u"0123456789ABCDEF0123456789ABCDEF";

ZEdozureRareReport InstallReport() {
    ZEdozureRareReport r;
    r.channel = {u"222", u"716", u"1", kIdex};
    r.configVersion = 3;
    r.step = 31;
    r.result = 262;
    r.productsJson = u"{\"zeph\":0}";
    r.systemCode = 1001;
    r.did = u"D1D2";
    r.scene = 2;
    r.small = 1;
    r.medium = 0x1234;
    r.text = u"ok";
    r.code = 30;
    r.subcode = 4;
    r.number1 = 101;
    r.number2 = 1;
    r.what = 1;
    r.value = 0;
    r.title = u"Zeph";
    r.number = 7;
    r.detail = 2;
    r.uiKind = 3;
    return r;
}

struct TableCase {
    const char* name;
    uint16_t table;
    std::function<std::optional<std::vector<uint8_t>>()> record;
    const char* block;   // the specific block's bytes
    const char* fields;  // the decoder's values as a JSON array
};

std::vector<TableCase> Cases() {
    return {
        {"install step", 7988,
         [] {
             auto r = InstallReport();
             return r.Record(ReportTable::InstallStep, kTime);
         },
         "34 1F 04 00 00 00 03 00 00 00 1F 00 00 00 06 01"
         "00 00 0A 00 F3 AA F2 ED F8 E0 AA B2 B8 F5 E9 03"
         "00 00 04 00 CC B9 CC BA 00 01 00 B8 01 00 B8 01"
         "00 B8 01 00 B8 00 00 02 01 34 12 02 00 E7 E3",
         R"([4,3,31,262,"{\"zeph\":0}",1001,"D1D2",0,"0","0","0","0",0,2,1,4660,"ok"])"},
        {"condition result", 4680,
         [] {
             auto r = InstallReport();
             r.productsJson = u"{}";
             r.text = u"\u5317\u4EAC";
             return r.Record(ReportTable::Condition, kTime);
         },
         "48 12 02 00 00 00 1E 00 00 00 04 00 00 00 02 00"
         "F3 F5 65 00 00 00 01 00 00 00 06 00 6D 04 1F 6C"
         "32 24",
         "[2,30,4,\"{}\",101,1,\"\xE5\x8C\x97\xE4\xBA\xAC\"]"},
        {"short status before the pop-up", 5847,
         [] { return InstallReport().Record(ReportTable::Status, kTime); }, "D7 16 02 01 00",
         "[2,1,0]"},
        {"main-window event", 7213,
         [] { return InstallReport().Record(ReportTable::MainWindowEvent, kTime); },
         "2D 1C 04 00 D2 ED F8 E0 07 00 00 00 02 03 01", R"(["Zeph",7,2,3,1])"},
        {"launch provenance", 3769,
         [] {
             KProcessInfoReport r;
             r.texts = {u"bash", u"gnome-terminal-", u"systemd", u"Z:\\usr\\bin",
                        u"3",    u"terminal"};
             r.cid = 222;
             r.tid = 716;
             r.idex = kIdex;
             return r.Record(kTime);
         },
         "B9 0E 04 00 EA E9 FB E0 0F 00 EF E6 E7 E5 ED A5"
         "FC ED FA E5 E1 E6 E9 E4 A5 07 00 FB F1 FB FC ED"
         "E5 EC 0A 00 D2 B2 D4 FD FB FA D4 EA E1 E6 01 00"
         "BB 08 00 FC ED FA E5 E1 E6 E9 E4 01 DE 00 00 00"
         "CC 02 00 00",
         R"(["bash","gnome-terminal-","systemd","Z:\\usr\\bin","3","terminal",1,222,716])"},
        {"main-window summary: hidden to tray, restored, started by user", 5010,
         [] {
             KUIInfoReport r;
             r.cidText = u"222";
             r.tidText = u"716";
             r.kidText = u"1";
             r.idex = kIdex;
             r.flags = {true, false, true, true};
             r.kind = 3;
             r.action = 2;
             r.value = 0;
             return r.Record(kTime);
         },
         "92 13 0D 02 00 00 00 00 00 00 00 00 00 00 00 03", "[1,0,1,1,2,0,0,3]"},
        {"self-update outcome", 4033,
         [] {
             KUpdateInfoReport r;
             r.outcome = KUpdateInfoReport::kDownloadFailed;
             r.detail = 28;
             r.downloadCode = 404;
             r.idex = kIdex;
             return r.Record(kTime);
         },
         "C1 0F 04 00 00 00 1C 00 00 00 94 01 00 00 00 00", R"([4,28,404,""])"},
        {"conversion outcome", 8179,
         [] {
             OcpcInfoReport r;
             r.stage = OcpcInfoReport::kFound;
             r.idex = kIdex;
             return r.Record(kTime);
         },
         "F3 1F 01 01 00 00 00 02 00 00 00 01 00 B9", R"([1,1,2,"1"])"},
        {"crash", 3806,
         [] {
             KDumpInfoReport r;
             r.idex = kIdex;
             r.did = u"ABCD";
             r.cid = 222;
             r.tid = 716;
             r.moduleName = u"zephsetup.exe";
             r.moduleVersion = u"0.1.0.0";
             r.exceptionCode = static_cast<int32_t>(0xC0000005u);
             r.exceptionAddress = 0x00401000;
             r.processName = u"zephsetup.exe";
             r.processVersion = u"0.1.0.0";
             r.osKind = 11;
             r.wow64 = 1;
             r.uptimeSeconds = 3600;
             return r.Record(kTime);
         },
         "DE 0E 04 00 C9 CA CB CC DE 00 00 00 CC 02 00 00"
         "0D 00 F2 ED F8 E0 FB ED FC FD F8 A6 ED F0 ED 07"
         "00 B8 A6 B9 A6 B8 A6 B8 05 00 00 C0 00 10 40 00"
         "0D 00 F2 ED F8 E0 FB ED FC FD F8 A6 ED F0 ED 07"
         "00 B8 A6 B9 A6 B8 A6 B8 0B 00 00 00 01 00 00 00"
         "10 0E 00 00",
         R"(["ABCD",222,716,"zephsetup.exe","0.1.0.0",-1073741819,4198400,"zephsetup.exe","0.1.0.0",11,1,3600])"},
    };
}

TEST(Tables, EveryBlockByteForByteAndBackThroughTheDecoder) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        const auto record = c.record();
        ASSERT_TRUE(record.has_value());
        const auto block = Hex(c.block);
        ASSERT_GE(record->size(), block.size());
        EXPECT_EQ(HexOf({record->end() - static_cast<long>(block.size()), record->end()}),
                  HexOf(block));

        const DecodeResult decoded = DecodeRecord(*record);
        ASSERT_TRUE(decoded.Ok()) << decoded.reason;
        EXPECT_EQ(decoded.record.tableNumber, c.table);
        EXPECT_EQ(FieldsJsonArray(decoded.record), c.fields);
        const PublicColumns columns = PublicBlockColumns(decoded.record);
        EXPECT_EQ(columns.idex, "0123456789ABCDEF0123456789ABCDEF");
        EXPECT_EQ(columns.clientTime, kTime);
    }
}

TEST(Tables, PublicBlockOfEachReport) {
    // The install report carries its channel; the others "0", "0", "0".
    struct Case {
        const char* name;
        std::optional<std::vector<uint8_t>> record;
        int32_t cid, tid, kid;
    };
    auto install = InstallReport();
    KUIInfoReport ui;
    ui.cidText = u"5";
    ui.tidText = u"";  // an empty software id reads as 0
    ui.kidText = u"9";
    ui.idex = kIdex;
    KUpdateInfoReport update;
    update.idex = kIdex;
    const Case cases[] = {
        {"install", install.Record(ReportTable::InstallStep, kTime), 222, 716, 1},
        {"ui", ui.Record(kTime), 5, 0, 9},
        {"update", update.Record(kTime), 0, 0, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.record.has_value()) << c.name;
        const auto decoded = DecodeRecord(*c.record);
        ASSERT_TRUE(decoded.Ok()) << c.name << ": " << decoded.reason;
        const auto columns = PublicBlockColumns(decoded.record);
        EXPECT_EQ(columns.cid, c.cid) << c.name;
        EXPECT_EQ(columns.tid, c.tid) << c.name;
        EXPECT_EQ(columns.kid, c.kid) << c.name;
        EXPECT_EQ(decoded.record.PublicField("version")->number, 7) << c.name;
        EXPECT_EQ(decoded.record.PublicField("client_key")->text, "q7rm2xk0wpt9bvz3jd6ehyu4gfa1");
    }
}

TEST(Tables, ExtremeValuesComeBackUnchanged) {
    ZEdozureRareReport r = InstallReport();
    r.reportKind = INT_MIN;
    r.configVersion = INT_MAX;
    r.scene = 255;
    r.small = 255;
    r.medium = 65535;
    r.productsJson = u"\"quoted\" \\ \n\t\u0001 \U0001F600";
    r.text = std::u16string(300, u'\u00E9');
    const auto record = r.Record(ReportTable::InstallStep, UINT32_MAX);
    ASSERT_TRUE(record.has_value());
    const auto decoded = DecodeRecord(*record);
    ASSERT_TRUE(decoded.Ok()) << decoded.reason;
    const auto& f = decoded.record;
    EXPECT_EQ(f.Field("report_kind")->number, INT_MIN);
    EXPECT_EQ(f.Field("config_version")->number, INT_MAX);
    EXPECT_EQ(f.Field("scene")->number, 255);
    EXPECT_EQ(f.Field("small")->number, 255);
    EXPECT_EQ(f.Field("medium")->number, 65535);
    EXPECT_EQ(f.Field("products")->text, U8(r.productsJson));
    EXPECT_EQ(f.Field("text")->text, U8(r.text));
    EXPECT_EQ(PublicBlockColumns(f).clientTime, int64_t{UINT32_MAX});
}

TEST(Tables, LaunchProvenanceTextsAreCutToFiftyCharacters) {
    KProcessInfoReport r;
    r.idex = kIdex;
    r.texts[0] = std::u16string(60, u'x');
    // A surrogate pair across the cut stays whole (it is dropped).
    r.texts[1] = std::u16string(49, u'y') + u"\U0001F600";
    r.texts[2] = u"short";
    const auto decoded = DecodeRecord(*r.Record(kTime));
    ASSERT_TRUE(decoded.Ok()) << decoded.reason;
    EXPECT_EQ(decoded.record.Field("parent")->text, std::string(50, 'x'));
    EXPECT_EQ(decoded.record.Field("grandparent")->text, std::string(49, 'y'));
    EXPECT_EQ(decoded.record.Field("great_grandparent")->text, "short");
}

}  // namespace
}  // namespace zeph
