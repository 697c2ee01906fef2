// Parses arbitrary bytes as .reg text (an imported file or a damaged hive); a
// text that parses must write out to text that parses back to the same keys
// and values.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/reg_text.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "reg_text_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zeph::platform;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<RegTextKey> keys;
    RegTextError error;
    if (!ParseRegText(bytes, keys, error)) {
        Check(keys.empty(), "a failed parse left keys");
        Check(error.line > 0 && !error.message.empty(), "a failed parse names no line");
        return 0;
    }
    RegTextWriter writer;
    size_t written = 0;
    for (const auto& key : keys) {
        if (key.remove) {
            continue;  // the writer has no removals
        }
        writer.Key(key.hive, key.path);
        for (const auto& value : key.values) {
            if (!value.remove) {
                writer.Value(value.name, value.type, value.data);
            }
        }
        ++written;
    }
    std::vector<RegTextKey> again;
    Check(ParseRegText(writer.Text(), again, error), "written text does not parse");
    Check(again.size() == written, "written text has another number of keys");
    size_t k = 0;
    for (const auto& key : keys) {
        if (key.remove) {
            continue;
        }
        const auto& back = again[k++];
        Check(back.hive == key.hive && back.path == key.path, "a key changed");
        size_t v = 0;
        for (const auto& value : key.values) {
            if (value.remove) {
                continue;
            }
            Check(v < back.values.size(), "a value was lost");
            const auto& b = back.values[v++];
            Check(b.name == value.name && b.type == value.type && b.data == value.data,
                  "a value changed");
        }
        Check(v == back.values.size(), "a value was added");
    }
    return 0;
}
