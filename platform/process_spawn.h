// Inside the layer: starting a host program with an argument vector, an
// environment and optionally another user, shared by StartProcess and the
// shell.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/win_error.h"

namespace zeph::platform {

struct SpawnRequest {
    std::string program;  // host path
    std::vector<std::string> argv;
    std::vector<std::string> environment;  // NAME=value
    std::string directory;                 // empty: inherited
    std::optional<InteractiveUser> user;   // run as this user (needs root)
};

// Forks and executes; the result tells whether the program started. `pid`
// is the child's.
WinError Spawn(const SpawnRequest& request, pid_t& pid);

// This process's environment with the variables every started program gets
// (the profile, so that our own programs find the same machine).
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& base);

// A program found in PATH (host form), or "".
std::string FindInPath(const std::string& name, const std::vector<std::string>& environment);

// Hands a started process to Process so that it is reaped.
void AdoptProcess(int pid, Process& out);

}  // namespace zeph::platform
