// The command table of zephctl. Each command lives in its own file and
// registers itself:
//
//   ZEPH_COMMAND("keygen", "RSA key pair for signed documents", RunKeygen, KeygenHelp);
//
// A command gets the arguments after its name and returns the exit code; it
// prints its own --help text.
#pragma once

#include <string>
#include <vector>

namespace zephctl {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* summary;
    CommandFn run;
    const char* help;  // full usage text, printed by "zephctl NAME --help"
};

bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Prints "zephctl: <message>" on standard error and returns 1, the exit code
// of every failure.
int Fail(const std::string& message);

// True when args holds --help or -h; prints the command's help then.
bool WantsHelp(const Args& args, const char* help);

// Simple option reading: "--name value" or "--name=value". Removes what it
// reads from args so that the rest can be checked for unknown options.
bool TakeOption(Args& args, const std::string& name, std::string& value);
bool TakeFlag(Args& args, const std::string& name);
// Fails (returns false, message in `error`) when an unread option is left.
bool NoOptionsLeft(const Args& args, std::string& error);

}  // namespace zephctl

#define ZEPH_COMMAND_CAT2(a, b) a##b
#define ZEPH_COMMAND_CAT(a, b) ZEPH_COMMAND_CAT2(a, b)
#define ZEPH_COMMAND(name, summary, fn, help)                                       \
    static const bool ZEPH_COMMAND_CAT(kRegistered_, __LINE__) [[maybe_unused]] = \
        ::zephctl::RegisterCommand({name, summary, fn, help})
