// The firewall's authorised applications, kept in the profile's firewall.ini.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zeph::platform {

struct FirewallApp {
    std::u16string path;  // Windows form; compared ignoring letter case
    std::u16string name;
    bool enabled = true;
};

std::vector<FirewallApp> AuthorizedApps();
std::optional<FirewallApp> FindAuthorizedApp(std::u16string_view path);
// Adds or replaces (enabled) the entry of `path`.
WinError AddAuthorizedApp(std::u16string_view path, std::u16string_view name);
// FileNotFound when there is no entry.
WinError RemoveAuthorizedApp(std::u16string_view path);

}  // namespace zeph::platform
