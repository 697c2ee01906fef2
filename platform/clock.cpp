#include "platform/clock.h"

#include <time.h>

#include <cerrno>

#include "platform/profile.h"

namespace zeph::platform {
namespace {

int64_t ClockMs(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

SystemTime FromTm(const tm& t, int milliseconds) {
    SystemTime st;
    st.year = static_cast<uint16_t>(t.tm_year + 1900);
    st.month = static_cast<uint16_t>(t.tm_mon + 1);
    st.dayOfWeek = static_cast<uint16_t>(t.tm_wday);
    st.day = static_cast<uint16_t>(t.tm_mday);
    st.hour = static_cast<uint16_t>(t.tm_hour);
    st.minute = static_cast<uint16_t>(t.tm_min);
    st.second = static_cast<uint16_t>(t.tm_sec);
    st.milliseconds = static_cast<uint16_t>(milliseconds);
    return st;
}

}  // namespace

uint64_t GetTickCount64() {
    const int64_t origin = CurrentProfile()->Facts().tickOriginMs;
    if (origin <= 0) {
        // Windows counts the time asleep too, as CLOCK_BOOTTIME does.
        return static_cast<uint64_t>(ClockMs(CLOCK_BOOTTIME));
    }
    const int64_t now = ClockMs(CLOCK_REALTIME);
    return now > origin ? static_cast<uint64_t>(now - origin) : 0;
}

uint32_t GetTickCount() {
    return static_cast<uint32_t>(GetTickCount64());
}

SystemTime GetLocalTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return FromTm(local, static_cast<int>(ts.tv_nsec / 1000000));
}

SystemTime GetSystemTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm utc{};
    ::gmtime_r(&ts.tv_sec, &utc);
    return FromTm(utc, static_cast<int>(ts.tv_nsec / 1000000));
}

int64_t UnixTime() {
    return static_cast<int64_t>(::time(nullptr));
}

void Sleep(uint32_t milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // namespace zeph::platform
