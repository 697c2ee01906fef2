// The servers the installer talks to, and every URL it forms on them.
//
// The built-in table comes from the build (cmake/ZephEndpoints.cmake). When
// the environment variable ZEPH_ENDPOINTS names an INI file, its
// [endpoints] section replaces the entries it names (an empty value means no
// server); tests and the demo point the installer at 127.0.0.1 that way.
// Hosts are "host[:port]"; website, download_site, chat and vip_chat are
// URLs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::net {

struct Endpoints {
    std::u16string config;     // configuration server
    std::u16string pictures;   // picture host of the channel screens
    std::u16string catalogue;  // software catalogue
    std::u16string update;     // self-update document
    std::u16string city1;      // binary city services, asked in this order
    std::u16string city2;
    std::u16string city3;
    std::u16string cityid;         // HTTP city-id service
    std::u16string telemetry;      // report records
    std::u16string probe;          // network-probe host (ICMP echo)
    std::u16string website;        // the maker's web site (URL)
    std::u16string download_site;  // outside software download site (URL)
    std::u16string chat;           // customer-service chat (URL)
    std::u16string vip_chat;       // customer-service chat for members (URL)
};

// The table compiled into this build.
Endpoints BuiltInEndpoints();

// `base` with the [endpoints] entries of an INI file applied. False (and
// `error` says why) when the file cannot be read; unknown keys are reported
// in `warnings` and otherwise ignored.
bool ApplyEndpointsFile(const std::string& hostPath, Endpoints& base, std::string& error,
                        std::vector<std::string>& warnings);

// The built-in table with the file that ZEPH_ENDPOINTS names applied. When
// the file cannot be read the built-in table comes back; what an operator
// should know about the file is added to `messages`.
Endpoints EndpointsFromEnvironment(std::vector<std::string>& messages);

// The process-wide table: EndpointsFromEnvironment on first use, its
// messages written to standard error.
const Endpoints& GetEndpoints();
// Replaces the process-wide table (tests, tools). Call it before other
// threads use the table.
void SetEndpoints(Endpoints endpoints);

// URLs on the configuration server.
// "/seminstall/<cid>/<tid>[_<scene>].xml?time=<seconds>"; the scene is added
// when it is not 0, the time is the low 32 bits of the current time, signed.
std::u16string ConfigDocumentUrl(int32_t companyId, int32_t trynoId, int32_t scene,
                                 int32_t unixTime);
std::u16string PartnerOfferUrl();  // "/aldconfig/qqpcmgr.dat"
std::u16string AreaListUrl();      // "/aldconfig/area.dat"
std::u16string PopupPictureUrl();  // "/aldconfig/resource.png"

// "/softmgr_v2/softdetail/<softId>.json?ver=1" on the catalogue.
std::u16string SoftDetailUrl(std::u16string_view softId);
// "/defend/o1/jcqgx.ini" on the update server.
std::u16string UpdateDocumentUrl();

// The channel screen pictures on the picture host.
enum class ScreenPicture : uint8_t {
    Main,              // "/sem/installer/<tid>.png"
    Partner,           // "/sem/installer/ald_<tid>.png"
    PartnerOtherArea,  // "/sem/installer/ald2_<tid>.png"
};
std::u16string ScreenPictureUrl(ScreenPicture kind, int32_t trynoId);

// "http://<cityN>/cityinfo" for the three binary city services, in order.
std::array<std::u16string, 3> CityInfoUrls();
// "/ip/cityid" on the city-id service.
std::u16string CityIdUrl();
// "/c/" on the telemetry endpoint.
std::u16string TelemetryUrl();
// The host the network probe pings.
std::u16string ProbeHost();

// A page of the maker's web site: the site's URL followed by `path` as given.
std::u16string WebsitePageUrl(std::u16string_view path);

}  // namespace zeph::net
