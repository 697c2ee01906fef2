// Parses arbitrary text as a JSON document; a document that parses must write
// out (compact and pretty) to text that parses back to the same document.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/json.h"
#include "base/strings.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "json_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    if (size > 0 && data[0] == 0) {
        // Raw UTF-16LE units, to reach every code unit including NUL.
        for (size_t i = 1; i + 1 < size; i += 2) {
            text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        }
    } else {
        text = zeph::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    cf::BkJson::Document doc;
    if (!doc.Parse(text)) {
        Check(doc.Root() == nullptr, "a failed parse left a root");
        Check(doc.GetError().code != cf::BkJson::ErrorCode::None, "a failed parse has no code");
        return 0;
    }
    const std::u16string compact = doc.ToString();
    cf::BkJson::Document again;
    Check(again.Parse(compact) == 1, "written text does not parse");
    Check(again.ToString() == compact, "written text parses to another document");
    cf::BkJson::Document pretty;
    Check(pretty.Parse(doc.ToPrettyString()) == 1, "pretty text does not parse");
    Check(pretty.ToString() == compact, "pretty text parses to another document");
    return 0;
}
