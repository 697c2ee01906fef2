#include "rules/install_config.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "base/base64.h"
#include "base/install_settings.h"
#include "base/strings.h"
#include "net/endpoints.h"
#include "tests/rules/test_keys.h"
#include "tests/rules/test_machine.h"
#include "tests/support/loopback_server.h"

namespace zeph {
namespace {

constexpr const char* kFile =
    R"(<dlfile url="http://dl/a.exe" md5="0123" moduletype="exe" path="%TEMP%\a.exe" downloadtype="1"/>)";

std::string Tryno(const std::string& attributes, const std::string& files = kFile) {
    return "<tryno " + attributes + ">" + files + "</tryno>";
}

std::string Document(const std::string& trynos,
                     const std::string& companyAttributes = R"(id="12" version="3")",
                     const std::string& rest = "<check/>") {
    return "<root>" + rest + "<install><company " + companyAttributes + ">" + trynos +
           "</company></install></root>";
}

const std::string kMinimal = Document(Tryno(R"(id="34" version="1")"));

class InstallConfigTest : public ::testing::Test {
  protected:
    test::TestMachine machine;
    KInstallConfigMgr config;
};

TEST_F(InstallConfigTest, ReadsEveryPackageAttribute) {
    const std::string file =
        R"(<dlfile url="http://dl/a.exe" md5="ABCDEF" moduletype="dll" path="%TEMP%\a.dll" param="-rs:3 -x")"
        R"( paramex="-y" funcname="Run" initfuncname="Init" uninitfuncname="Done" downloadtype="http")"
        R"( title="Zeph" waitexit="1" sd="2" ndp="3" downloadtime="600" speedcomponentpop="4")"
        R"( abtestrange="1,50" condition="1&amp;2" zephpack="0" show="5" showpop="6" delaydownload="7")"
        R"( iszephdownloadswitch="8" productcmdtype="1" semtype="9" unknown="ignored"/>)";
    ASSERT_EQ(config.ParseInstallConfig(Document(Tryno(
                  R"(id="34" version="5" Interval="3" condition="1|2" softname="泽斐")", file))),
              ConfigResult::Ok);
    const KTrynoNode* tryno = config.FindTryno(34);
    ASSERT_NE(tryno, nullptr);
    EXPECT_EQ(tryno->version, 5);
    EXPECT_EQ(tryno->interval, 3);
    EXPECT_EQ(tryno->condition, "1|2");
    EXPECT_EQ(tryno->softname, "泽斐");
    ASSERT_EQ(tryno->GetDlFileCount(), 1);
    const KDlFileNode& f = *tryno->GetDlFile(0);
    EXPECT_EQ(f.url, "http://dl/a.exe");
    EXPECT_EQ(f.md5, "ABCDEF");
    EXPECT_EQ(f.moduletype, "dll");
    EXPECT_EQ(f.path, "%TEMP%\\a.dll");
    EXPECT_EQ(f.param, "-rs:3 -x");
    EXPECT_EQ(f.paramex, "-y");
    EXPECT_EQ(f.funcname, "Run");
    EXPECT_EQ(f.initfuncname, "Init");
    EXPECT_EQ(f.uninitfuncname, "");  // never kept
    EXPECT_EQ(f.downloadtype, "http");
    EXPECT_EQ(f.title, "Zeph");
    EXPECT_EQ(f.waitexit, 1);
    EXPECT_EQ(f.sd, 2);
    EXPECT_EQ(f.ndp, 3);
    EXPECT_EQ(f.downloadtime, 600);
    EXPECT_EQ(f.speedcomponentpop, 4);
    EXPECT_EQ(f.abtestrange, "1,50");
    EXPECT_EQ(f.condition, "1&2");
    EXPECT_EQ(f.zephpack, 0);
    EXPECT_EQ(f.show, 5);
    EXPECT_EQ(f.showpop, 6);
    EXPECT_EQ(f.delaydownload, 7);
    EXPECT_EQ(f.iszephdownloadswitch, 8);
    EXPECT_EQ(f.productcmdtype, 1);
    EXPECT_EQ(f.semtype, 9);
    EXPECT_EQ(tryno->GetDlFile(1), nullptr);
    EXPECT_EQ(tryno->GetDlFile(-1), nullptr);
}

TEST_F(InstallConfigTest, IntegersReadLikeAtoiAndZephpackDefaultsToOne) {
    const std::string second =
        R"(<dlfile url="u" md5="m" moduletype="exe" path="p" downloadtype="1")"
        R"( sd="x12" ndp="12x" show=" -3" zephpack="0"/>)";
    ASSERT_EQ(config.ParseInstallConfig(
                  Document(Tryno(R"(id="34" version="1")", std::string(kFile) + second))),
              ConfigResult::Ok);
    const KTrynoNode* tryno = config.FindTryno(34);
    ASSERT_EQ(tryno->GetDlFileCount(), 2);
    EXPECT_EQ(tryno->GetDlFile(0)->zephpack, 1);
    EXPECT_EQ(tryno->GetDlFile(0)->show, 0);
    const KDlFileNode& f = *tryno->GetDlFile(1);
    EXPECT_EQ(f.zephpack, 0);
    EXPECT_EQ(f.sd, 0);
    EXPECT_EQ(f.ndp, 12);
    EXPECT_EQ(f.show, -3);
}

TEST_F(InstallConfigTest, DropsInvalidTrynos) {
    struct Case {
        const char* what;
        std::string tryno;
        int32_t id;
        bool kept;
    };
    const std::string noDownloadType = R"(<dlfile url="u" md5="m" moduletype="exe" path="p"/>)";
    const Case cases[] = {
        {"valid", Tryno(R"(id="7" version="1")"), 7, true},
        {"id 0 is allowed", Tryno(R"(id="0" version="1")"), 0, true},
        {"version 0", Tryno(R"(id="7" version="0")"), 7, false},
        {"no version", Tryno(R"(id="7")"), 7, false},
        {"negative interval", Tryno(R"(id="7" version="1" Interval="-1")"), 7, false},
        {"interval in lower case is another attribute",
         Tryno(R"(id="7" version="1" interval="-1")"), 7, true},
        {"negative id", Tryno(R"(id="-7" version="1")"), -7, false},
        {"no files", Tryno(R"(id="7" version="1")", ""), 7, false},
        {"only files without downloadtype",
         Tryno(R"(id="7" version="1")", noDownloadType + noDownloadType), 7, false},
        {"files of other names", Tryno(R"(id="7" version="1")", "<DLFILE/><file/>"), 7, false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(config.ParseInstallConfig(Document(c.tryno + Tryno(R"(id="99" version="1")"))),
                  ConfigResult::Ok)
            << c.what;
        EXPECT_EQ(config.FindTryno(c.id) != nullptr, c.kept) << c.what;
        EXPECT_EQ(config.GetCompany()->trynos.size(), c.kept ? 2u : 1u) << c.what;
    }
}

TEST_F(InstallConfigTest, KeepsOnlyValidPackagesInDocumentOrder) {
    const std::string files =
        R"(<dlfile url="1" md5="m" moduletype="exe" path="p" downloadtype="1"/>)"
        R"(<dlfile md5="m" moduletype="exe" path="p" downloadtype="1"/>)"
        R"(<dlfile url="3" moduletype="exe" path="p" downloadtype="1"/>)"
        R"(<dlfile url="4" md5="m" path="p" downloadtype="1"/>)"
        R"(<dlfile url="5" md5="m" moduletype="exe" downloadtype="1"/>)"
        R"(<dlfile url="6" md5="m" moduletype="exe" path="p" downloadtype=""/>)"
        R"(<dlfile url="7" md5="m" moduletype="exe" path="p" downloadtype="1"/>)";
    ASSERT_EQ(config.ParseInstallConfig(Document(Tryno(R"(id="34" version="1")", files))),
              ConfigResult::Ok);
    const KTrynoNode* tryno = config.FindTryno(34);
    ASSERT_EQ(tryno->GetDlFileCount(), 2);
    EXPECT_EQ(tryno->GetDlFile(0)->url, "1");
    EXPECT_EQ(tryno->GetDlFile(1)->url, "7");
    EXPECT_TRUE(tryno->IsValid());
}

TEST_F(InstallConfigTest, TheFirstOfTwoTrynosWithOneIdStays) {
    ASSERT_EQ(config.ParseInstallConfig(Document(Tryno(R"(id="7" version="0")") +
                                                 Tryno(R"(id="7" version="2")") +
                                                 Tryno(R"(id="7" version="3")"))),
              ConfigResult::Ok);
    // An invalid tryno is not stored, so the first valid one wins.
    ASSERT_NE(config.FindTryno(7), nullptr);
    EXPECT_EQ(config.FindTryno(7)->version, 2);
    EXPECT_EQ(config.GetCompany()->trynos.size(), 1u);
    EXPECT_EQ(config.FindTryno(8), nullptr);
}

TEST_F(InstallConfigTest, StructureDecidesTheResult) {
    struct Case {
        const char* what;
        std::string text;
        ConfigResult result;
    };
    const std::string company =
        R"(<company id="12" version="3">)" + Tryno(R"(id="34" version="1")") + "</company>";
    const Case cases[] = {
        {"minimal", kMinimal, ConfigResult::Ok},
        {"with run and variable sections",
         "<root><variable/><check/><install>" + company + "</install><run/></root>",
         ConfigResult::Ok},
        {"document element Root", "<Root><check/><install>" + company + "</install></Root>",
         ConfigResult::BadDocument},
        {"no check", "<root><install>" + company + "</install></root>", ConfigResult::BadDocument},
        {"Check in another case", "<root><Check/><install>" + company + "</install></root>",
         ConfigResult::BadDocument},
        {"no install", "<root><check/>" + company + "</root>", ConfigResult::BadDocument},
        {"no company", "<root><check/><install/></root>", ConfigResult::BadDocument},
        {"company id 0", Document(Tryno(R"(id="34" version="1")"), R"(id="0" version="3")"),
         ConfigResult::BadDocument},
        {"company without version", Document(Tryno(R"(id="34" version="1")"), R"(id="12")"),
         ConfigResult::BadDocument},
        {"every tryno invalid", Document(Tryno(R"(id="34" version="0")")),
         ConfigResult::BadDocument},
        {"not XML", "root", ConfigResult::BadDocument},
        {"unclosed element", "<root><check/>", ConfigResult::BadDocument},
        {"empty text", "", ConfigResult::BadDocument},
    };
    for (const auto& c : cases) {
        KInstallConfigMgr fresh;
        EXPECT_EQ(fresh.ParseInstallConfig(c.text), c.result) << c.what;
        EXPECT_EQ(fresh.GetCompany() != nullptr, c.result == ConfigResult::Ok) << c.what;
    }
}

TEST_F(InstallConfigTest, OnlyTheFirstCompanyIsRead) {
    const std::string text = R"(<root><check/><install><company id="1" version="1">)" +
                             Tryno(R"(id="1" version="1")") +
                             R"(</company><company id="2" version="1">)" +
                             Tryno(R"(id="2" version="1")") + "</company></install></root>";
    ASSERT_EQ(config.ParseInstallConfig(text), ConfigResult::Ok);
    EXPECT_EQ(config.GetCompany()->id, 1);
    EXPECT_EQ(config.FindTryno(2), nullptr);
}

TEST_F(InstallConfigTest, ReadsTheRunList) {
    const std::string run =
        R"(<run><item path="%TEMP%\a.exe" condition="1" param="#@#C:\Program Files\x.txt#@# -q"/>)"
        R"(<item condition="2"/><item path="%#Dir%\b.exe"/><other path="c.exe"/></run>)";
    const std::string text =
        Document(Tryno(R"(id="34" version="1")"), R"(id="12" version="3")", "<check/>" + run);
    ASSERT_EQ(config.ParseInstallConfig(text), ConfigResult::Ok);
    const auto& items = config.GetRunItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->path, R"(%TEMP%\a.exe)");
    EXPECT_EQ(items[0]->condition, "1");
    EXPECT_EQ(items[0]->param, R"("C:\Program Files\x.txt" -q)");
    EXPECT_EQ(items[1]->path, R"(%#Dir%\b.exe)");
    EXPECT_EQ(items[1]->condition, "");
    EXPECT_EQ(items[1]->param, "");

    // The next load starts the run list afresh.
    ASSERT_EQ(config.ParseInstallConfig(kMinimal), ConfigResult::Ok);
    EXPECT_TRUE(config.GetRunItems().empty());
}

TEST(AbTestRange, BucketsInsideTheRangeAreEligible) {
    struct Case {
        const char* range;
        int32_t bucket;
        bool eligible;
    };
    const Case cases[] = {
        {"20,40", 19, false},  {"20,40", 20, true}, {"20,40", 40, true}, {"20,40", 41, false},
        {"1,50", 51, false},   {"1,50", 50, true},  {"", 77, true},      {"30", 1, true},
        {"2a,40", 1, true},    {"20,4b", 1, true},  {" 20,40", 1, true}, {"20,40,60", 41, false},
        {"20,40,x", 30, true}, {",", 1, true},      {"20,", 1, true},    {"40,20", 30, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAbTestEligible(c.range, c.bucket), c.eligible) << c.range << " @" << c.bucket;
    }
    KDlFileNode file;
    file.abtestrange = "20,40";
    EXPECT_TRUE(file.IsEligible(40));
    EXPECT_FALSE(file.IsEligible(41));
}

class SignedConfigTest : public InstallConfigTest {
  protected:
    SignedConfigTest() { config.SetPublicKey(test::TestPublicKey()); }
};

TEST_F(SignedConfigTest, BodyDecodingDecidesBetween101And100) {
    const std::string body = test::SignForTest(kMinimal);
    // A document whose last block is spoilt: the text is cut short.
    auto bytes = Base64Decode(body);
    ASSERT_GE(bytes.size(), 2u * 128);
    bytes[bytes.size() - 100] ^= 0x55;
    const std::string cutShort = Base64Encode(bytes);
    struct Case {
        const char* what;
        std::string body;
        ConfigResult result;
    };
    const Case cases[] = {
        {"signed document", body, ConfigResult::Ok},
        {"plain XML", kMinimal, ConfigResult::EmptyText},
        {"a line break after the Base64", body + "\n", ConfigResult::EmptyText},
        {"decoded length not a multiple of 128", Base64Encode(std::string(100, 'x')),
         ConfigResult::EmptyText},
        {"the first block spoilt", (body[0] == 'A' ? "B" : "A") + body.substr(1),
         ConfigResult::EmptyText},
        {"a later block spoilt", cutShort, ConfigResult::BadDocument},
        {"signed Root", test::SignForTest("<Root/>"), ConfigResult::BadDocument},
    };
    for (const auto& c : cases) {
        KInstallConfigMgr fresh;
        fresh.SetPublicKey(test::TestPublicKey());
        EXPECT_EQ(fresh.LoadFromBody(c.body), c.result) << c.what;
    }
}

class FetchTest : public SignedConfigTest {
  protected:
    FetchTest() : m_saved(net::GetEndpoints()) {
        net::Endpoints endpoints = m_saved;
        endpoints.config = U16(server.HostPort());
        net::SetEndpoints(endpoints);
    }
    ~FetchTest() override {
        net::SetEndpoints(m_saved);
        Settings().scene = 0;
    }

    test::LoopbackServer server;

  private:
    net::Endpoints m_saved;
};

TEST_F(FetchTest, AsksForTheTrynoAndSceneWithTheTime) {
    server.ServeBytes("/seminstall/12/34.xml", test::SignForTest(kMinimal));
    server.ServeBytes("/seminstall/12/34_5.xml", test::SignForTest(kMinimal));
    const int64_t before = std::time(nullptr);
    EXPECT_EQ(config.LoadInstallConfig(12, 34), ConfigResult::Ok);
    Settings().scene = 5;
    EXPECT_EQ(config.LoadInstallConfig(12, 34), ConfigResult::Ok);
    const int64_t after = std::time(nullptr);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, "/seminstall/12/34.xml");
    EXPECT_EQ(requests[1].path, "/seminstall/12/34_5.xml");
    for (const auto& request : requests) {
        ASSERT_EQ(request.query.rfind("time=", 0), 0u) << request.target;
        const int64_t time = std::stoll(request.query.substr(5));
        EXPECT_GE(time, before);
        EXPECT_LE(time, after);
    }
    EXPECT_NE(config.FindTryno(34), nullptr);
}

TEST_F(FetchTest, AFailedOrEmptyAnswerIs50) {
    server.ServeBytes("/seminstall/12/35.xml", "");
    server.Handle("/seminstall/12/36.xml", [](const test::SeenRequest&) {
        return test::Reply{.status = 500, .body = "oops"};
    });
    EXPECT_EQ(config.LoadInstallConfig(12, 34), ConfigResult::FetchFailed);  // 404
    EXPECT_EQ(config.LoadInstallConfig(12, 35), ConfigResult::FetchFailed);  // empty body
    EXPECT_EQ(config.LoadInstallConfig(12, 36), ConfigResult::FetchFailed);  // server error
    server.Stop();
    EXPECT_EQ(config.LoadInstallConfig(12, 34), ConfigResult::FetchFailed);  // nobody listening
    EXPECT_EQ(config.GetCompany(), nullptr);
}

TEST_F(FetchTest, AServerAnsweringPlainXmlGives101) {
    server.ServeBytes("/seminstall/12/34.xml", kMinimal);
    EXPECT_EQ(config.LoadInstallConfig(12, 34), ConfigResult::EmptyText);
}

}  // namespace
}  // namespace zeph
