#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "net/downloader.h"
#include "tests/net/net_test_util.h"

namespace zeph::net {
namespace {

// Whether this process may send ICMP echo at all: as root (raw socket) or
// in the group range of unprivileged ICMP sockets.
bool IcmpPermitted() {
    if (geteuid() == 0) {
        return true;
    }
    std::ifstream range("/proc/sys/net/ipv4/ping_group_range");
    long low = 1, high = 0;
    range >> low >> high;
    return static_cast<long>(getegid()) >= low && static_cast<long>(getegid()) <= high;
}

TEST(NetworkProbe, CountsTheRepliesOfTwoEchoRequests) {
    test::ScopedProfile profile;
    EXPECT_EQ(NetworkProbe(u"127.0.0.1"), IcmpPermitted() ? 2 : 0);
}

TEST(NetworkProbe, AnUnresolvableNameIsMinusOne) {
    test::ScopedProfile profile;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(NetworkProbe(u""), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "An error occured in gethostbyname operation: WSAGetLastError () = 11001\n");
}

}  // namespace
}  // namespace zeph::net
