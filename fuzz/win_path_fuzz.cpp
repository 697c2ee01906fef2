// Parses arbitrary text as a Windows path (paths come from configuration
// documents and command lines); the normal form of a path must parse to
// itself, and a drive path never climbs above its root.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/paths.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "win_path_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zeph::platform;
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const auto parsed = ParseWinPath(text);
    if (!parsed) {
        return 0;
    }
    for (const auto& part : parsed->components) {
        Check(!part.empty() && part != u".", "an empty or '.' component");
        Check(parsed->kind == WinPathKind::Relative || part != u"..", "'..' left in a rooted path");
    }
    if (parsed->kind == WinPathKind::Drive && parsed->drive != 0) {
        const std::u16string normal = FormatWinPath(*parsed);
        const auto again = ParseWinPath(normal);
        Check(again.has_value(), "the normal form does not parse");
        Check(FormatWinPath(*again) == normal, "the normal form is not stable");
    }
    return 0;
}
