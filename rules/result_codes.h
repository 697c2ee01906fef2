// Result codes of the install rules, by band: the configuration document
// (50, 100, 101) and conditions with the uninstall-interval gate (200-204,
// 352, 358). The install driver passes them on and reports them as numbers.
#pragma once

#include <cstdint>

namespace zeph {

enum class ConfigResult : int32_t {
    Ok = 0,
    FetchFailed = 50,   // no answer, an error status or an empty body
    BadDocument = 100,  // XML error, wrong structure, or an invalid company
    EmptyText = 101,    // the body decodes to no text
};

enum class ConditionResult : int32_t {
    Holds = 0,
    Fails = 200,
    NoCondition = 201,  // no condition text, or no configuration loaded
    Malformed = 202,    // unbalanced or malformed; also an id of more than 32 digits
    // 203 is not used.
    BadCharacter = 204,                  // a character other than digits & | ~ ( )
    UninstalledRecently = 352,           // uninstall time under the suite's key
    UninstalledRecentlyClassRoot = 358,  // uninstall time under the class-root key
};

// Outcome codes the uninstall leaves report (never returned by a condition).
inline constexpr int32_t kUninstallCountsTooEarly = 357;
inline constexpr int32_t kUninstallCountAndTimeHit = 359;

constexpr int32_t ToInt(ConfigResult r) {
    return static_cast<int32_t>(r);
}
constexpr int32_t ToInt(ConditionResult r) {
    return static_cast<int32_t>(r);
}

}  // namespace zeph
