// What every rules fuzz target needs first: a machine profile of its own in
// a temporary folder (the user's is never touched) and no server to talk to,
// so that no input makes a leaf reach the network.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "net/endpoints.h"
#include "platform/profile.h"

namespace zeph::fuzz {

// Removes the temporary profile when the process ends.
struct FuzzProfile {
    std::string folder;
    ~FuzzProfile() {
        platform::SetCurrentProfile(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

inline void SetUpRulesFuzzing() {
    static const FuzzProfile profile = [] {
        char pattern[] = "/tmp/zeph-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        platform::SetCurrentProfile(platform::Profile::Open(std::string(pattern) + "/prefix"));
        net::SetEndpoints(net::Endpoints{});
        return FuzzProfile{pattern};
    }();
    (void)profile;
}

}  // namespace zeph::fuzz
