#include "net/soft_detail.h"

#include <gtest/gtest.h>

#include "net/endpoints.h"
#include "tests/net/net_test_util.h"
#include "tests/support/loopback_server.h"

namespace zeph::net {
namespace {

TEST(FileNameFromUrl, TakesTheLastComponentLowerCased) {
    const struct {
        std::u16string_view downurl;
        bool ok;
        std::u16string_view fileName;
        int32_t notExe;
    } cases[] = {
        {u"http://dl.test/soft/setup.exe.pak", true, u"setup.exe", 0},
        {u"http://dl.test/soft/Setup.EXE", true, u"setup.exe", 0},
        {u"http://dl.test/soft/tool.zip", true, u"tool.zip", 1},
        {u"http://dl.test/soft/TOOL.PAK", true, u"tool", 1},
        {u"http://dl.test/a\\b\\app.exe", true, u"app.exe", 0},
        {u"http://dl.test/get/app.exe?from=zeph", true, u"app.exe", 0},
        {u"http://dl.test/x.exe.exe", true, u"x.exe", 0},
        {u"setup.exe", true, u"setup.exe", 0},
        {u"http://dl.test/soft/", false, u"", 0},
        {u"", false, u"", 0},
        {u"http://dl.test/.pak", false, u"", 1},
        {u"http://dl.test/..", false, u"", 1},  // would name the download folder's parent
    };
    for (const auto& c : cases) {
        SoftDetail record;
        record.downurl = c.downurl;
        EXPECT_EQ(FileNameFromUrl(record), c.ok) << U8(c.downurl);
        EXPECT_EQ(U8(record.fileName), U8(c.fileName)) << U8(c.downurl);
        EXPECT_EQ(record.notExe, c.notExe) << U8(c.downurl);
    }
}

constexpr char16_t kComplete[] =
    u"{\"logo\":\"http://pic.test/l.png\",\"softname\":\"\u538b\u7f29\",\"downurl\":"
    u"\"http://dl.test/zip.exe.pak\",\"filemd5\":\"0123456789abcdef0123456789abcdef\"}";

TEST(ParseSoftDetail, NeedsEveryMember) {
    SoftDetail record;
    EXPECT_TRUE(ParseSoftDetail(record, kComplete));
    EXPECT_EQ(record.logo, u"http://pic.test/l.png");
    EXPECT_EQ(record.softname, u"\u538b\u7f29");
    EXPECT_EQ(record.fileName, u"zip.exe");
    EXPECT_EQ(record.filemd5, u"0123456789abcdef0123456789abcdef");

    const struct {
        const char* name;
        std::u16string_view json;
    } invalid[] = {
        {"no logo", u"{\"softname\":\"s\",\"downurl\":\"http://d/x.exe\",\"filemd5\":\"m\"}"},
        {"no softname", u"{\"logo\":\"l\",\"downurl\":\"http://d/x.exe\",\"filemd5\":\"m\"}"},
        {"no downurl", u"{\"logo\":\"l\",\"softname\":\"s\",\"filemd5\":\"m\"}"},
        {"no file name",
         u"{\"logo\":\"l\",\"softname\":\"s\",\"downurl\":\"http://d/\",\"filemd5\":\"m\"}"},
        {"no md5", u"{\"logo\":\"l\",\"softname\":\"s\",\"downurl\":\"http://d/x.exe\"}"},
        {"empty logo",
         u"{\"logo\":\"\",\"softname\":\"s\",\"downurl\":\"http://d/x.exe\",\"filemd5\":\"m\"}"},
        {"number",
         u"{\"logo\":1,\"softname\":\"s\",\"downurl\":\"http://d/x.exe\",\"filemd5\":\"m\"}"},
        {"not json", u"<html>502</html>"},
    };
    for (const auto& c : invalid) {
        SoftDetail r;
        EXPECT_FALSE(ParseSoftDetail(r, std::u16string(c.json))) << c.name;
    }
}

TEST(LoadSoftDetail, FetchesTheCatalogueEntry) {
    test::ScopedProfile profile;
    test::LoopbackServer server;
    Endpoints endpoints = BuiltInEndpoints();
    endpoints.catalogue = U16(server.HostPort());
    SetEndpoints(endpoints);
    // The catalogue answers in UTF-8.
    server.ServeBytes("/softmgr_v2/softdetail/77.json", U8(kComplete), "application/json");
    server.AddFault("/softmgr_v2/softdetail/78.json", {.status = 404});
    server.ServeBytes("/softmgr_v2/softdetail/79.json", "");

    GetSoftDetail() = SoftDetail{};
    LoadSoftDetail(u"");
    EXPECT_EQ(GetSoftDetail().valid, 1) << "nothing asked, nothing fetched";
    EXPECT_TRUE(server.Requests().empty());

    LoadSoftDetail(u"77");
    EXPECT_EQ(GetSoftDetail().valid, 1);
    EXPECT_EQ(GetSoftDetail().softname, u"\u538b\u7f29");
    EXPECT_EQ(server.Requests().back().target, "/softmgr_v2/softdetail/77.json?ver=1");

    for (const char16_t* id : {u"78", u"79", u"80"}) {
        GetSoftDetail() = SoftDetail{};
        LoadSoftDetail(id);
        EXPECT_EQ(GetSoftDetail().valid, 0) << U8(id);
    }
}

}  // namespace
}  // namespace zeph::net
