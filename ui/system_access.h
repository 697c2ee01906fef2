// What the engine needs from the machine besides windows and drawing: files
// named by Windows-form paths, the installed-fonts list of the registry and
// the program's own folder. Kept in one place so that the machine-profile
// layer can serve it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::ui {

// The whole file, or nothing when it cannot be read. Paths are Windows-form
// ("C:\dir\6001.xml") or host paths.
std::optional<std::string> ReadFileBytes(std::u16string_view path);
// The host path for a Windows-form path.
std::string HostPath(std::u16string_view path);

// Value names of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts.
std::vector<std::u16string> InstalledFontValueNames();

// The folder of the running program, with a trailing backslash.
std::u16string ProgramFolder();

}  // namespace zeph::ui
