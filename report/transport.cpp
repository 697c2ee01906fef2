#include "report/transport.h"

#include "net/endpoints.h"
#include "net/http_request.h"

namespace zeph {

std::string PostRecord(const uint8_t* data, size_t size) {
    return PostRecordTo(net::TelemetryUrl(), data, size);
}

std::string PostRecordTo(const std::u16string& url, const uint8_t* data, size_t size) {
    std::string reply;
    if (net::HttpPost(url, data, size, reply) != 0) {
        reply.clear();
    }
    return reply;
}

}  // namespace zeph
