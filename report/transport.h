// Carries a record to the telemetry endpoint ("/c/" on the telemetry host).
// Runs on the calling thread; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zeph {

// Posts the record bytes as they are (form content type, 10-second limits,
// the user's proxy, no redirects). The reply body, or "" on any failure and
// on every HTTP status other than 200: an empty reply is the failure signal.
std::string PostRecord(const uint8_t* data, size_t size);

// The same to a given URL (the crash poster, which is told the URL its
// parent would have used).
std::string PostRecordTo(const std::u16string& url, const uint8_t* data, size_t size);

}  // namespace zeph
