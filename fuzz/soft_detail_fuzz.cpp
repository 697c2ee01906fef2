// Reads arbitrary text as a software detail answer. A record that parses must
// have every text, and its file name must be a single plain name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/strings.h"
#include "net/soft_detail.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "soft_detail_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string json =
        zeph::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    zeph::net::SoftDetail record;
    if (zeph::net::ParseSoftDetail(record, json)) {
        Check(!record.downurl.empty() && !record.filemd5.empty() && !record.softname.empty() &&
                  !record.logo.empty(),
              "a valid record lacks a text");
    }
    if (!record.fileName.empty()) {
        Check(record.fileName.find_first_of(u"\\/") == std::u16string::npos,
              "the file name holds a separator");
        Check(record.fileName != u"." && record.fileName != u"..", "the file name is a folder");
    }
    return 0;
}
