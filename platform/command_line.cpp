#include "platform/command_line.h"

#include <cstdlib>

#include "base/strings.h"
#include "platform/process.h"

namespace zeph::platform {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> args;
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (i >= line.size()) {
        return args;
    }
    // The program name: no escapes, quotes only group.
    std::u16string program;
    if (line[i] == u'"') {
        ++i;
        while (i < line.size() && line[i] != u'"') {
            program.push_back(line[i++]);
        }
        if (i < line.size()) {
            ++i;
        }
    }
    while (i < line.size() && !IsBlank(line[i])) {
        if (line[i] != u'"') {
            program.push_back(line[i]);
        }
        ++i;
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::u16string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsBlank(line[i]))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == u'\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == u'"') {
                arg.append(slashes / 2, u'\\');
                if (slashes % 2 == 1) {
                    arg.push_back(u'"');
                    ++i;
                } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
                    arg.push_back(u'"');  // "" inside quotes is one quote
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg.append(slashes, u'\\');
                if (i < line.size() && (quoted || !IsBlank(line[i]))) {
                    arg.push_back(line[i++]);
                }
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::u16string QuoteArgument(std::u16string_view arg) {
    if (!arg.empty() && arg.find_first_of(u" \t\n\v\"") == std::u16string_view::npos) {
        return std::u16string(arg);
    }
    std::u16string out = u"\"";
    size_t slashes = 0;
    for (char16_t c : arg) {
        if (c == u'\\') {
            ++slashes;
            continue;
        }
        if (c == u'"') {
            out.append(slashes * 2 + 1, u'\\');
        } else {
            out.append(slashes, u'\\');
        }
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, u'\\');
    out.push_back(u'"');
    return out;
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments) {
    std::u16string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            line += u' ';
        }
        if (i == 0) {
            // The program name cannot hold quotes; it is quoted whole.
            line += u"\"" + arguments[0] + u"\"";
        } else {
            line += QuoteArgument(arguments[i]);
        }
    }
    return line;
}

std::u16string GetCommandLine(int argc, const char* const* argv) {
    std::vector<std::u16string> given;
    for (int i = 1; i < argc; ++i) {
        given.push_back(Utf8ToUtf16(argv[i]));
    }
    if (const char* passed = std::getenv("ZEPH_COMMAND_LINE"); passed && *passed) {
        const std::u16string line = Utf8ToUtf16(passed);
        std::vector<std::u16string> split = SplitCommandLine(line);
        if (!split.empty() &&
            std::equal(split.begin() + 1, split.end(), given.begin(), given.end())) {
            return line;
        }
    }
    std::vector<std::u16string> all;
    all.push_back(GetModuleFileName());
    all.insert(all.end(), given.begin(), given.end());
    return JoinCommandLine(all);
}

}  // namespace zeph::platform
