// zephctl: the operator's tool. Dispatches to the registered commands.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/command.h"

namespace zephctl {

std::vector<Command>& MutableCommands() {
    static std::vector<Command> commands;
    return commands;
}

bool RegisterCommand(const Command& command) {
    MutableCommands().push_back(command);
    return true;
}

const std::vector<Command>& Commands() { return MutableCommands(); }

int Fail(const std::string& message) {
    std::fprintf(stderr, "zephctl: %s\n", message.c_str());
    return 1;
}

bool WantsHelp(const Args& args, const char* help) {
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return true;
        }
    }
    return false;
}

bool TakeOption(Args& args, const std::string& name, std::string& value) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size()) {
            value = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            return true;
        }
        if (args[i].rfind(name + "=", 0) == 0) {
            value = args[i].substr(name.size() + 1);
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

bool TakeFlag(Args& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

bool NoOptionsLeft(const Args& args, std::string& error) {
    for (const auto& arg : args) {
        if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "usage: zephctl COMMAND [ARGS...]\n"
        "       zephctl COMMAND --help\n\n"
        "The operator's tool of the zephsetup installer.\n\ncommands:\n",
        out);
    std::vector<Command> sorted = Commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& command : sorted) {
        std::fprintf(out, "  %-16s %s\n", command.name, command.summary);
    }
}

}  // namespace
}  // namespace zephctl

int main(int argc, char** argv) {
    using namespace zephctl;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 1 : 0;
    }
    for (const auto& command : Commands()) {
        if (std::strcmp(command.name, argv[1]) == 0) {
            Args args(argv + 2, argv + argc);
            if (WantsHelp(args, command.help)) {
                return 0;
            }
            return command.run(args);
        }
    }
    return Fail(std::string("unknown command '") + argv[1] + "' (zephctl --help lists them)");
}
