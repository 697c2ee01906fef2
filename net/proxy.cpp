#include "net/proxy.h"

#include "base/ascii.h"
#include "base/format.h"
#include "base/numbers.h"
#include "net/curl_easy.h"
#include "platform/registry.h"

namespace zeph::net {
namespace {

// Strings are read into 260-character buffers.
constexpr size_t kMaxText = 259;

constexpr std::u16string_view kSuiteKey = u"Software\\Tarnwell\\Zandrel\\%d";
constexpr int kProductNumber = 0;  // this installer never sets a product number
constexpr std::u16string_view kInternetSettings =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::u16string ReadText(const platform::RegKey& key, std::u16string_view name) {
    std::u16string text = key.ReadString(name).value_or(u"");
    if (text.size() > kMaxText) {
        text.resize(kMaxText);
    }
    return text;
}

ProxySettings ReadSystemProxy() {
    platform::RegKey key;
    if (platform::RegKey::Open(platform::Hive::CurrentUser, kInternetSettings,
                               platform::RegAccess::Read, platform::RegView::Default,
                               key) != platform::WinError::Success) {
        return {};
    }
    if (key.ReadDword(u"ProxyEnable").value_or(0) == 0) {
        return {};
    }
    const std::u16string server = ReadText(key, u"ProxyServer");
    if (server.empty()) {
        return {};
    }
    return ParseSystemProxy(server);
}

}  // namespace

ProxySettings ParseSystemProxy(std::u16string_view proxyServer) {
    ProxySettings settings;
    std::u16string text = AsciiLower(proxyServer);
    settings.type = ProxyMode::Http;
    if (const size_t socks = text.find(u"socks="); socks != std::u16string::npos) {
        settings.type = ProxyMode::Socks;
        text = text.substr(socks + 6);
    } else if (const size_t http = text.find(u"http="); http != std::u16string::npos) {
        text = text.substr(http + 5);
    }
    // The rest runs to the end of the text ("1080;http=..."); the port
    // conversion reads only its leading digits.
    if (const size_t colon = text.find(u':'); colon != std::u16string::npos) {
        settings.host = text.substr(0, colon);
        settings.port = StrToIntW(std::u16string_view(text).substr(colon + 1));
    } else {
        settings.host = text;
        settings.port = 0;
    }
    if (settings.port == 0) {
        settings.port = 80;
    }
    return settings;
}

ProxySettings ReadProxySettings() {
    platform::RegKey key;
    const std::u16string path = FormatW(std::u16string(kSuiteKey).c_str(), kProductNumber);
    if (platform::RegKey::Open(platform::Hive::CurrentUser, path, platform::RegAccess::Read,
                               platform::RegView::Default, key) != platform::WinError::Success) {
        return {};
    }
    // A DWORD of another registry type reads as missing.
    const uint32_t mode = key.ReadDword(u"Proxy Mode").value_or(0);
    ProxySettings settings;
    switch (static_cast<ProxyMode>(mode)) {
        case ProxyMode::System:
            settings = ReadSystemProxy();
            break;
        case ProxyMode::Http:
        case ProxyMode::Socks:
        case ProxyMode::Unspecified:
            settings.type = static_cast<ProxyMode>(mode);
            settings.port = static_cast<int>(key.ReadDword(u"Proxy Port").value_or(80));
            settings.host = ReadText(key, u"Proxy Host");
            break;
        default:
            return {};
    }
    if (settings.host.empty()) {
        return {};
    }
    if (key.ReadDword(u"Proxy Authorization").value_or(0) != 0) {
        settings.authorization = true;
        settings.user = ReadText(key, u"Proxy User");
        settings.password = ReadText(key, u"Proxy Password");
    }
    return settings;
}

int ApplyProxy(CURL* handle) {
    if (handle == nullptr) {
        return 0;
    }
    const ProxySettings settings = ReadProxySettings();
    if (settings.host.empty()) {
        return 0;
    }
    Options options(handle);
    if (settings.type == ProxyMode::Http) {
        options.Long(CURLOPT_PROXYTYPE, CURLPROXY_HTTP);
    } else if (settings.type == ProxyMode::Socks) {
        options.Long(CURLOPT_PROXYTYPE, CURLPROXY_SOCKS5);
    }
    const std::string host = ToAnsi(settings.host);
    options.Long(CURLOPT_PROXYPORT, settings.port).Text(CURLOPT_PROXY, host.c_str());
    if (settings.authorization) {
        std::u16string userPassword = settings.user;
        userPassword += u':';
        userPassword += settings.password;
        const std::string credentials = ToAnsi(userPassword);
        options.Long(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC))
            .Text(CURLOPT_PROXYUSERPWD, credentials.c_str());
    }
    return options.Result();
}

}  // namespace zeph::net
