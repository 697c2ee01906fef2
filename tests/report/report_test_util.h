// Shared pieces of the reporting tests: hexadecimal byte literals and a
// telemetry endpoint on 127.0.0.1 that answers like the real one and keeps
// what it was sent.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/strings.h"
#include "net/endpoints.h"
#include "report/record_decoder.h"
#include "report/reply_envelope.h"
#include "tests/support/loopback_server.h"

namespace zeph::test {

// "04 00 E9" -> {0x04, 0x00, 0xE9}; spaces are ignored.
inline std::vector<uint8_t> Hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            v = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            v = c - 'a' + 10;
        } else {
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return bytes;
}

inline std::string HexOf(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

inline const std::string kAcceptText = "[common]\r\nresult=1\r\n";

// The telemetry endpoint, installed in the endpoint table while it lives.
class TelemetryServer {
  public:
    TelemetryServer() {
        net::Endpoints endpoints = net::BuiltInEndpoints();
        endpoints.telemetry = U16(server.HostPort());
        net::SetEndpoints(endpoints);
        server.Handle("/c/", [this](const SeenRequest&) {
            std::lock_guard lock(m_mutex);
            LoopbackReply reply;
            reply.status = m_status;
            reply.body = m_status == 200 ? MakeReplyEnvelope(m_replyText) : "";
            return reply;
        });
    }
    ~TelemetryServer() { net::SetEndpoints(net::BuiltInEndpoints()); }

    void SetReply(int status, std::string text) {
        std::lock_guard lock(m_mutex);
        m_status = status;
        m_replyText = std::move(text);
    }

    // The posted bodies, in arrival order.
    std::vector<std::string> Bodies() const {
        std::vector<std::string> bodies;
        for (const auto& request : server.Requests("/c/")) {
            bodies.push_back(request.body);
        }
        return bodies;
    }

    // Every posted body decoded; a body that does not decode fails the test.
    std::vector<DecodedRecord> Records() const {
        std::vector<DecodedRecord> records;
        for (const auto& body : Bodies()) {
            DecodeResult result = DecodeRecord(body);
            EXPECT_TRUE(result.Ok()) << result.reason;
            records.push_back(std::move(result.record));
        }
        return records;
    }

    bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
        return server.WaitForCount("/c/", count, timeout, "POST");
    }

    LoopbackServer server;

  private:
    using LoopbackReply = Reply;
    mutable std::mutex m_mutex;
    int m_status = 200;
    std::string m_replyText = kAcceptText;
};

// The values of a record's fields, texts and numbers as JSON would show them.
inline std::string FieldsOf(const DecodedRecord& record) {
    return FieldsJsonArray(record);
}

}  // namespace zeph::test
