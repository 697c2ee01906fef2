// A package as a "dll": its export receives the parameter text.
#include <cstddef>

namespace {
char16_t g_lastParams[256];
}

extern "C" __attribute__((visibility("default"))) int Install(const char16_t* params) {
    size_t n = 0;
    while (params && params[n] != 0 && n + 1 < 256) {
        g_lastParams[n] = params[n];
        ++n;
    }
    g_lastParams[n] = 0;
    return static_cast<int>(n);
}

extern "C" __attribute__((visibility("default"))) const char16_t* LastParams() {
    return g_lastParams;
}
