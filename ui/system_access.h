// What the engine needs from the machine besides windows and drawing, all
// through the machine profile: files named by Windows-form paths, the
// installed-fonts list of the registry and the program's own folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::ui {

// The whole file at a Windows-form path ("C:\dir\6001.xml"), or nothing
// when it cannot be read.
std::optional<std::string> ReadFileBytes(std::u16string_view path);

// Value names of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts.
std::vector<std::u16string> InstalledFontValueNames();

// The folder of the running program, Windows form, with a trailing backslash.
std::u16string ProgramFolder();

}  // namespace zeph::ui
