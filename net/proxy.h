// The user's proxy, applied to a libcurl handle right before a transfer.
//
// The suite keeps per-user proxy settings under HKCU
// "Software\Tarnwell\Zandrel\0"; its mode 1 defers to the system proxy of
// the Internet Settings. Missing keys or values mean no proxy, and registry
// errors are never reported.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>

namespace zeph::net {

// "Proxy Mode" values.
enum class ProxyMode : uint32_t {
    None = 0,
    System = 1,
    Http = 2,
    Socks = 3,
    Unspecified = 4,  // libcurl's default proxy type
};

// What the registry says, before it is applied.
struct ProxySettings {
    // Http, Socks or Unspecified; None when no proxy applies.
    ProxyMode type = ProxyMode::None;
    std::u16string host;
    int port = 80;
    bool authorization = false;
    std::u16string user;
    std::u16string password;
};

// The settings of the current profile's registry (an empty host when no
// proxy applies).
ProxySettings ReadProxySettings();

// The system proxy from an Internet Settings "ProxyServer" text: an HTTP
// proxy, or SOCKS when the text names "socks=". Lower-cases the text.
ProxySettings ParseSystemProxy(std::u16string_view proxyServer);

// Sets the proxy options on `handle`. 0 when no proxy applies or every option
// was set; otherwise the libcurl code of the first option that failed. A null
// handle gives 0.
int ApplyProxy(CURL* handle);

}  // namespace zeph::net
