// The network probe: do ICMP echo requests to a well-known host come back?
#include <cstdio>
#include <cstdlib>

#include "net/curl_easy.h"
#include "net/downloader.h"
#include "platform/clock.h"
#include "platform/icmp.h"

namespace zeph::net {
namespace {

constexpr int kWsaHostNotFound = 11001;
constexpr uint32_t kEchoTimeoutMs = 1000;

}  // namespace

int NetworkProbe(const std::u16string& host) {
    // Starting the socket library seeds the runtime's random generator.
    std::srand(platform::GetSystemTime().milliseconds);
    const std::string name = ToAnsi(host);
    // "Data Buffer" with its terminating zero.
    const std::string_view payload("Data Buffer", 12);
    int replies = 0;
    for (int i = 0; i < 2; ++i) {
        const platform::PingResult result = platform::Ping(name, kEchoTimeoutMs, payload);
        switch (result.status) {
            case platform::PingStatus::Reply:
                ++replies;
                break;
            case platform::PingStatus::ResolveFailed:
                std::printf(
                    "An error occured in gethostbyname operation: WSAGetLastError () = %d\n",
                    kWsaHostNotFound);
                return -1;
            case platform::PingStatus::NotPermitted:
                return 0;  // no ICMP handle
            case platform::PingStatus::TimedOut:
            case platform::PingStatus::Failed:
                break;
        }
    }
    return replies;
}

}  // namespace zeph::net
