#include "net/endpoints.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "base/strings.h"
#include "tests/support/temp_dir.h"

namespace zeph::net {
namespace {

Endpoints Sample() {
    Endpoints e;
    e.config = u"conf.test:8080";
    e.pictures = u"pic.test";
    e.catalogue = u"soft.test";
    e.update = u"up.test";
    e.city1 = u"city.test";
    e.city2 = u"10.1.1.1:81";
    e.city3 = u"10.1.1.2:82";
    e.cityid = u"cityid.test";
    e.telemetry = u"stat.test:9000";
    e.probe = u"probe.test";
    e.website = u"https://www.example.test";
    return e;
}

TEST(Endpoints, UrlsAreFormedOnTheirHosts) {
    SetEndpoints(Sample());
    const struct {
        std::u16string url;
        std::u16string_view expected;
    } cases[] = {
        {ConfigDocumentUrl(222, 716, 0, 1700000000),
         u"http://conf.test:8080/seminstall/222/716.xml?time=1700000000"},
        {ConfigDocumentUrl(222, 716, 3, -5),
         u"http://conf.test:8080/seminstall/222/716_3.xml?time=-5"},
        {PartnerOfferUrl(), u"http://conf.test:8080/aldconfig/qqpcmgr.dat"},
        {AreaListUrl(), u"http://conf.test:8080/aldconfig/area.dat"},
        {PopupPictureUrl(), u"http://conf.test:8080/aldconfig/resource.png"},
        {SoftDetailUrl(u"123"), u"http://soft.test/softmgr_v2/softdetail/123.json?ver=1"},
        {UpdateDocumentUrl(), u"http://up.test/defend/o1/jcqgx.ini"},
        {ScreenPictureUrl(ScreenPicture::Main, 716), u"http://pic.test/sem/installer/716.png"},
        {ScreenPictureUrl(ScreenPicture::Partner, 716),
         u"http://pic.test/sem/installer/ald_716.png"},
        {ScreenPictureUrl(ScreenPicture::PartnerOtherArea, 716),
         u"http://pic.test/sem/installer/ald2_716.png"},
        {CityInfoUrls()[0], u"http://city.test/cityinfo"},
        {CityInfoUrls()[2], u"http://10.1.1.2:82/cityinfo"},
        {CityIdUrl(), u"http://cityid.test/ip/cityid"},
        {TelemetryUrl(), u"http://stat.test:9000/c/"},
        {ProbeHost(), u"probe.test"},
        {WebsitePageUrl(u"/privacy/zephPrivacy.html"),
         u"https://www.example.test/privacy/zephPrivacy.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U8(c.url), U8(c.expected));
    }
}

TEST(Endpoints, FileReplacesTheEntriesItNames) {
    test::TempDir dir;
    const auto file = dir.Write("endpoints.ini",
                                "; local servers\n"
                                "[endpoints]\n"
                                "Config = 127.0.0.1:8123\n"
                                "telemetry=127.0.0.1:8124\n"
                                "city2=\n"
                                "cdn=somewhere\n"
                                "[other]\n"
                                "pictures=ignored\n");
    Endpoints e = BuiltInEndpoints();
    const Endpoints builtIn = e;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(ApplyEndpointsFile(file.string(), e, error, warnings)) << error;
    EXPECT_EQ(e.config, u"127.0.0.1:8123");
    EXPECT_EQ(e.telemetry, u"127.0.0.1:8124");
    EXPECT_EQ(e.city2, u"");  // explicitly no server
    EXPECT_EQ(e.pictures, builtIn.pictures);
    EXPECT_EQ(e.catalogue, builtIn.catalogue);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"cdn\""), std::string::npos) << warnings[0];
}

TEST(Endpoints, EnvironmentNamesTheFile) {
    test::TempDir dir;
    const auto file = dir.Write("e.ini", "[endpoints]\nupdate=127.0.0.1:9\n");
    std::vector<std::string> messages;

    ::setenv("ZEPH_ENDPOINTS", file.c_str(), 1);
    EXPECT_EQ(EndpointsFromEnvironment(messages).update, u"127.0.0.1:9");
    EXPECT_TRUE(messages.empty());

    ::setenv("ZEPH_ENDPOINTS", (dir.Str() + "/missing.ini").c_str(), 1);
    const Endpoints fallback = EndpointsFromEnvironment(messages);
    EXPECT_EQ(fallback.update, BuiltInEndpoints().update);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("missing.ini"), std::string::npos) << messages[0];

    ::unsetenv("ZEPH_ENDPOINTS");
}

}  // namespace
}  // namespace zeph::net
