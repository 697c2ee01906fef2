// Tokens for starting programs as the logged-on user. On this system a
// token is the user a program is started as: the interactive session's user
// when the installer runs as root, else the installer's own user. There are
// no split (linked) tokens, so both forms of GetActiveUserToken agree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"

namespace zeph {

// The number Windows gives "not found" (no active session, no shell).
inline constexpr uint32_t kTokenNotFound = 1168;

struct UserToken {
    uint32_t uid = 0;
    uint32_t gid = 0;
    std::string userName;
    std::string home;
    uint32_t sessionId = 0;
    // How to start a program with this token.
    platform::StartAs startAs = platform::StartAs::Self;
    std::string source;  // where the user was found, for the log
};

enum class TokenForm : uint8_t {
    Plain,
    Linked,  // the elevated twin where the system has one
};

// The active session's user: 0, or kTokenNotFound when the installer runs as
// root and no session user is found.
uint32_t GetActiveUserToken(UserToken& token, TokenForm form = TokenForm::Plain);

// The user administers the machine (root, or the sudo, wheel or admin group).
bool IsAdminToken(const UserToken& token);

// This process's own user, placed in the active session: 0 (kTokenNotFound
// when running as root without a session user).
uint32_t GetTokenInActiveSession(UserToken& token);

}  // namespace zeph
