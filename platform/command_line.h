// Windows command lines: splitting by the rules of CommandLineToArgvW,
// quoting arguments so that they split back unchanged, and this process's
// own command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeph::platform {

// CommandLineToArgvW: the program name ends at the next space, or at the
// closing quote when it starts with one; the other arguments follow the
// backslash and quote rules of the C runtime.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// One argument quoted so that SplitCommandLine gives it back.
std::u16string QuoteArgument(std::u16string_view argument);
std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments);

// GetCommandLineW for this process: the line its starter passed when that
// line splits into exactly these arguments, else one built from them.
// argv[0] is shown as the executable's Windows path.
std::u16string GetCommandLine(int argc, const char* const* argv);

}  // namespace zeph::platform
