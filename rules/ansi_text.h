// The narrow texts of the configuration document as the installer reads
// them: attributes of check items, leaves and variables, and the paths,
// parameters and conditions of packages, are taken in the machine's ANSI
// code page (the profile's), not as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zeph {

std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

}  // namespace zeph
