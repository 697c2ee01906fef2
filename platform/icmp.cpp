#include "platform/icmp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace zeph::platform {
namespace {

uint16_t Checksum(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2) {
        sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    }
    if (size % 2 == 1) {
        sum += static_cast<uint32_t>(data[size - 1] << 8);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint16_t>(~sum);
}

int64_t NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

PingResult Ping(std::string_view host, uint32_t timeoutMs, std::string_view payload) {
    PingResult result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(std::string(host).c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        result.status = PingStatus::ResolveFailed;
        return result;
    }
    sockaddr_in target{};
    std::memcpy(&target, found->ai_addr, sizeof target);
    ::freeaddrinfo(found);

    // An unprivileged ICMP socket where ping_group_range allows it; the
    // kernel then chooses the identifier and strips the IP header.
    bool raw = false;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        raw = true;
    }
    if (fd < 0) {
        result.status =
            errno == EACCES || errno == EPERM ? PingStatus::NotPermitted : PingStatus::Failed;
        return result;
    }
    static uint16_t sequence = 0;
    const uint16_t seq = ++sequence;
    const uint16_t id = static_cast<uint16_t>(::getpid() & 0xFFFF);
    std::string packet(8 + payload.size(), '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(packet.data());
    bytes[0] = ICMP_ECHO;
    bytes[4] = static_cast<uint8_t>(id >> 8);
    bytes[5] = static_cast<uint8_t>(id & 0xFF);
    bytes[6] = static_cast<uint8_t>(seq >> 8);
    bytes[7] = static_cast<uint8_t>(seq & 0xFF);
    std::memcpy(bytes + 8, payload.data(), payload.size());
    const uint16_t sum = Checksum(bytes, packet.size());
    bytes[2] = static_cast<uint8_t>(sum >> 8);
    bytes[3] = static_cast<uint8_t>(sum & 0xFF);

    const int64_t start = NowMs();
    if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target) < 0) {
        result.status =
            errno == EACCES || errno == EPERM ? PingStatus::NotPermitted : PingStatus::Failed;
        ::close(fd);
        return result;
    }
    result.status = PingStatus::TimedOut;
    for (;;) {
        const int64_t left = static_cast<int64_t>(timeoutMs) - (NowMs() - start);
        if (left <= 0) {
            break;
        }
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        uint8_t reply[1500];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            ::recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0 || from.sin_addr.s_addr != target.sin_addr.s_addr) {
            continue;
        }
        size_t offset = 0;
        if (raw) {
            offset = static_cast<size_t>(reply[0] & 0x0F) * 4;
        }
        if (static_cast<size_t>(n) < offset + 8 || reply[offset] != ICMP_ECHOREPLY) {
            continue;
        }
        const uint16_t replySeq = static_cast<uint16_t>(reply[offset + 6] << 8 | reply[offset + 7]);
        const uint16_t replyId = static_cast<uint16_t>(reply[offset + 4] << 8 | reply[offset + 5]);
        if (replySeq != seq || (raw && replyId != id)) {
            continue;
        }
        result.status = PingStatus::Reply;
        result.roundTripMs = static_cast<uint32_t>(NowMs() - start);
        break;
    }
    ::close(fd);
    return result;
}

}  // namespace zeph::platform
