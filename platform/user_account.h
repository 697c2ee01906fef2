// The host user accounts behind the installer's session and token probes:
// who this process runs as, and whether an account administers the machine
// (root, or a member of the sudo, wheel or admin group, the counterpart of
// the Administrators group).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zeph::platform {

struct UserAccount {
    uint32_t uid = 0;
    uint32_t gid = 0;
    std::string name;
    std::string home;
    std::vector<uint32_t> groups;  // supplementary groups, primary included
};

// This process's (real) user.
UserAccount CurrentUserAccount();
// Any user by id; nullopt when the system knows none.
std::optional<UserAccount> LookupUserAccount(uint32_t uid);

bool IsAdministratorAccount(const UserAccount& account);

}  // namespace zeph::platform
