#include "rules/session_tokens.h"

#include "platform/system_info.h"
#include "platform/user_account.h"

namespace zeph {
namespace {

UserToken OwnToken() {
    const platform::UserAccount self = platform::CurrentUserAccount();
    UserToken token;
    token.uid = self.uid;
    token.gid = self.gid;
    token.userName = self.name;
    token.home = self.home;
    token.sessionId = platform::GetSessionId();
    token.startAs = platform::StartAs::Self;
    token.source = "own user";
    return token;
}

}  // namespace

uint32_t GetActiveUserToken(UserToken& token, TokenForm /*form*/) {
    const platform::UserAccount self = platform::CurrentUserAccount();
    if (self.uid != 0) {
        // Not root: the installer already runs in the user's session.
        token = OwnToken();
        return 0;
    }
    const auto user = platform::FindInteractiveUser();
    if (!user) {
        return kTokenNotFound;
    }
    token = UserToken{};
    token.uid = user->uid;
    token.gid = user->gid;
    token.userName = user->name;
    token.home = user->home;
    token.sessionId = platform::GetSessionId();
    token.startAs = platform::StartAs::InteractiveUser;
    token.source = user->source;
    return 0;
}

bool IsAdminToken(const UserToken& token) {
    if (token.uid == 0) {
        return true;
    }
    const auto account = platform::LookupUserAccount(token.uid);
    return account && platform::IsAdministratorAccount(*account);
}

uint32_t GetTokenInActiveSession(UserToken& token) {
    const platform::UserAccount self = platform::CurrentUserAccount();
    if (self.uid == 0 && !platform::FindInteractiveUser()) {
        return kTokenNotFound;
    }
    token = OwnToken();
    return 0;
}

}  // namespace zeph
