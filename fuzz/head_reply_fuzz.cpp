// Looks for the length in arbitrary header text of a HEAD reply. A value
// found is a trimmed part of one header line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "net/downloader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = zeph::net::FindContentLength(text);
    if (value) {
        const bool inText = text.find(*value) != std::string_view::npos;
        const bool trimmed = value->empty() || (value->front() != ' ' && value->back() != ' ' &&
                                                value->front() != '\t' && value->back() != '\t');
        const bool oneLine = value->find("\r\n") == std::string::npos;
        if (!inText || !trimmed || !oneLine) {
            std::fprintf(stderr, "head_reply_fuzz: bad value\n");
            std::abort();
        }
    }
    return 0;
}
