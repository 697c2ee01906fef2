// ICMP echo ("ping a host with a time-out"), for the download's network
// probe: an unprivileged ICMP socket, or a raw socket when running as root.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeph::platform {

enum class PingStatus : uint8_t {
    Reply,  // an echo reply came back in time
    TimedOut,
    NotPermitted,   // neither socket kind may be opened here
    ResolveFailed,  // the host name did not resolve
    Failed,         // sending failed
};

struct PingResult {
    PingStatus status = PingStatus::Failed;
    uint32_t roundTripMs = 0;
};

// One echo request with `payload` (IPv4).
PingResult Ping(std::string_view host, uint32_t timeoutMs,
                std::string_view payload = "Data Buffer");

}  // namespace zeph::platform
