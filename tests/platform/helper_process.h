// Starting the tests' second program (helper/platform_helper.cpp) through
// the layer's own process start.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/strings.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace zeph::platform::helper {

inline std::u16string HelperPath() {
    const auto path = ToWindowsPath(ZEPH_PLATFORM_HELPER);
    return path.value_or(u"");
}

inline std::u16string HelperCommand(std::string_view args) {
    return u"\"" + HelperPath() + u"\" " + U16(args);
}

inline WinError StartHelper(std::string_view args, Process& process,
                            const StartOptions& options = {}) {
    return StartProcess(HelperCommand(args), options, process);
}

// Runs the helper to its end; its exit code, or ~0u when it did not end.
inline uint32_t RunHelper(std::string_view args, uint32_t timeoutMs = 30000) {
    Process process;
    const WinError started = StartHelper(args, process);
    EXPECT_EQ(started, WinError::Success) << std::string(args);
    if (started != WinError::Success) {
        return ~0u;
    }
    if (process.Wait(timeoutMs) != WaitResult::Signaled) {
        ADD_FAILURE() << "helper did not end: " << args;
        process.Terminate();
        process.Wait(kInfinite);
        return ~0u;
    }
    return process.ExitCode();
}

}  // namespace zeph::platform::helper
