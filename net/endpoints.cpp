#include "net/endpoints.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/ascii.h"
#include "base/format.h"
#include "base/ini.h"
#include "base/strings.h"

namespace zeph::net {
namespace {

struct Field {
    const char16_t* key;
    std::u16string Endpoints::*member;
};

constexpr Field kFields[] = {
    {u"config", &Endpoints::config},       {u"pictures", &Endpoints::pictures},
    {u"catalogue", &Endpoints::catalogue}, {u"update", &Endpoints::update},
    {u"city1", &Endpoints::city1},         {u"city2", &Endpoints::city2},
    {u"city3", &Endpoints::city3},         {u"cityid", &Endpoints::cityid},
    {u"telemetry", &Endpoints::telemetry}, {u"probe", &Endpoints::probe},
    {u"website", &Endpoints::website},     {u"download_site", &Endpoints::download_site},
    {u"chat", &Endpoints::chat},           {u"vip_chat", &Endpoints::vip_chat},
};

std::u16string Http(std::u16string_view host, std::u16string_view pathAndQuery) {
    std::u16string url = u"http://";
    url += host;
    url += pathAndQuery;
    return url;
}

struct ProcessTable {
    std::once_flag loaded;
    Endpoints table;
};

ProcessTable& Process() {
    static ProcessTable process;
    return process;
}

}  // namespace

Endpoints BuiltInEndpoints() {
    Endpoints e;
#define ZEPH_ENDPOINT(key, value) e.key = value;
#include "net/endpoints_built_in.inc"
#undef ZEPH_ENDPOINT
    return e;
}

bool ApplyEndpointsFile(const std::string& hostPath, Endpoints& base, std::string& error,
                        std::vector<std::string>& warnings) {
    const auto ini = IniDocument::Load(hostPath, kCodePageUtf8);
    if (!ini) {
        error = "cannot read " + hostPath;
        return false;
    }
    if (!ini->HasSection(u"endpoints")) {
        warnings.push_back(hostPath + ": no [endpoints] section");
    }
    for (const std::u16string& key : ini->KeyNames(u"endpoints")) {
        bool known = false;
        for (const Field& field : kFields) {
            if (AsciiEqualsIgnoreCase(key, field.key)) {
                base.*field.member = ini->Find(u"endpoints", key).value_or(u"");
                known = true;
            }
        }
        if (!known) {
            warnings.push_back(hostPath + ": unknown key \"" + U8(key) + "\" in [endpoints]");
        }
    }
    return true;
}

Endpoints EndpointsFromEnvironment(std::vector<std::string>& messages) {
    Endpoints table = BuiltInEndpoints();
    const char* file = std::getenv("ZEPH_ENDPOINTS");
    if (file == nullptr || *file == '\0') {
        return table;
    }
    std::string error;
    std::vector<std::string> warnings;
    if (!ApplyEndpointsFile(file, table, error, warnings)) {
        messages.push_back("ZEPH_ENDPOINTS: " + error + "; using the built-in servers");
        return BuiltInEndpoints();
    }
    for (const std::string& warning : warnings) {
        messages.push_back("ZEPH_ENDPOINTS: " + warning);
    }
    return table;
}

const Endpoints& GetEndpoints() {
    ProcessTable& process = Process();
    std::call_once(process.loaded, [&] {
        std::vector<std::string> messages;
        process.table = EndpointsFromEnvironment(messages);
        // The logger may not run yet; an operator must still learn that the
        // servers asked for are not the ones used.
        for (const std::string& message : messages) {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
    });
    return process.table;
}

void SetEndpoints(Endpoints endpoints) {
    ProcessTable& process = Process();
    std::call_once(process.loaded, [] {});
    process.table = std::move(endpoints);
}

std::u16string ConfigDocumentUrl(int32_t companyId, int32_t trynoId, int32_t scene,
                                 int32_t unixTime) {
    const std::u16string tryno =
        scene != 0 ? FormatW(u"%d_%d", trynoId, scene) : FormatW(u"%d", trynoId);
    return Http(GetEndpoints().config,
                FormatW(u"/seminstall/%d/%s.xml?time=%d", companyId, tryno.c_str(), unixTime));
}

std::u16string PartnerOfferUrl() {
    return Http(GetEndpoints().config, u"/aldconfig/qqpcmgr.dat");
}
std::u16string AreaListUrl() {
    return Http(GetEndpoints().config, u"/aldconfig/area.dat");
}
std::u16string PopupPictureUrl() {
    return Http(GetEndpoints().config, u"/aldconfig/resource.png");
}

std::u16string SoftDetailUrl(std::u16string_view softId) {
    const std::u16string id(softId);
    return Http(GetEndpoints().catalogue,
                FormatW(u"/softmgr_v2/softdetail/%s.json?ver=1", id.c_str()));
}

std::u16string UpdateDocumentUrl() {
    return Http(GetEndpoints().update, u"/defend/o1/jcqgx.ini");
}

std::u16string ScreenPictureUrl(ScreenPicture kind, int32_t trynoId) {
    const char16_t* pattern = u"/sem/installer/%d.png";
    if (kind == ScreenPicture::Partner) {
        pattern = u"/sem/installer/ald_%d.png";
    } else if (kind == ScreenPicture::PartnerOtherArea) {
        pattern = u"/sem/installer/ald2_%d.png";
    }
    return Http(GetEndpoints().pictures, FormatW(pattern, trynoId));
}

std::array<std::u16string, 3> CityInfoUrls() {
    const Endpoints& e = GetEndpoints();
    return {Http(e.city1, u"/cityinfo"), Http(e.city2, u"/cityinfo"), Http(e.city3, u"/cityinfo")};
}

std::u16string CityIdUrl() {
    return Http(GetEndpoints().cityid, u"/ip/cityid");
}
std::u16string TelemetryUrl() {
    return Http(GetEndpoints().telemetry, u"/c/");
}
std::u16string ProbeHost() {
    return GetEndpoints().probe;
}

std::u16string WebsitePageUrl(std::u16string_view path) {
    std::u16string url = GetEndpoints().website;
    url += path;
    return url;
}

}  // namespace zeph::net
