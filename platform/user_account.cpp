#include "platform/user_account.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

namespace zeph::platform {
namespace {

std::optional<UserAccount> FromPasswd(uint32_t uid) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    UserAccount account;
    account.uid = uid;
    account.gid = entry.pw_gid;
    account.name = entry.pw_name ? entry.pw_name : "";
    account.home = entry.pw_dir ? entry.pw_dir : "";
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(account.name.c_str(), entry.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        getgrouplist(account.name.c_str(), entry.pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<size_t>(std::max(count, 0)));
    account.groups.assign(groups.begin(), groups.end());
    return account;
}

std::optional<uint32_t> GroupId(const char* name) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return entry.gr_gid;
}

}  // namespace

UserAccount CurrentUserAccount() {
    const uint32_t uid = getuid();
    if (auto account = FromPasswd(uid)) {
        return *account;
    }
    UserAccount account;
    account.uid = uid;
    account.gid = getgid();
    account.groups.push_back(account.gid);
    return account;
}

std::optional<UserAccount> LookupUserAccount(uint32_t uid) {
    return FromPasswd(uid);
}

bool IsAdministratorAccount(const UserAccount& account) {
    if (account.uid == 0) {
        return true;
    }
    for (const char* name : {"sudo", "wheel", "admin"}) {
        const auto gid = GroupId(name);
        if (gid &&
            std::find(account.groups.begin(), account.groups.end(), *gid) != account.groups.end()) {
            return true;
        }
    }
    return false;
}

}  // namespace zeph::platform
