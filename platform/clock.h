// Time as the installer reads it: the tick count from the profile's tick
// origin (its last simulated restart, or the host's boot), local and UTC
// wall-clock time, seconds since 1970.
#pragma once

#include <cstdint>

namespace zeph::platform {

// SYSTEMTIME.
struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;      // 1-12
    uint16_t dayOfWeek = 0;  // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// GetTickCount: milliseconds since the tick origin, wrapping after 49.7 days.
uint32_t GetTickCount();
uint64_t GetTickCount64();

SystemTime GetLocalTime();
SystemTime GetSystemTime();  // UTC

// time(): seconds since 1970 (UTC).
int64_t UnixTime();

void Sleep(uint32_t milliseconds);

}  // namespace zeph::platform
