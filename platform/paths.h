// Windows-form paths and where they live on the host. Code above the layer
// handles paths as the installer does (C:\dir\a.exe); every file operation
// maps the drive letter through the profile's drive table. Drive Z: holds the
// host's root, so every host path has a Windows form.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::platform {

enum class WinPathKind : uint8_t {
    Drive,     // C:\dir\file (also \\?\C:\... and \??\C:\...)
    Pipe,      // \\.\pipe\name
    Device,    // \\.\name or \\.\Global\name
    Unc,       // \\server\share\... (not available)
    Relative,  // dir\file, resolved against the current folder
};

struct WinPath {
    WinPathKind kind = WinPathKind::Drive;
    char16_t drive = 0;                      // upper case, for Drive
    std::vector<std::u16string> components;  // after "." and ".." are resolved
    std::u16string name;                     // pipe or device name
};

// Splits and normalises as GetFullPathName does: '/' and '\' both separate,
// "." and ".." are resolved lexically (never above the drive's root),
// trailing dots and spaces of a component are dropped. nullopt for an empty
// path or a path with characters Windows forbids in names.
std::optional<WinPath> ParseWinPath(std::u16string_view path);

// The normal Windows form: "C:\dir\file", "C:\" for a root.
std::u16string FormatWinPath(const WinPath& path);

// The host path of a Windows path. Components that exist are matched without
// regard to letter case, as Windows would find them; the rest are kept as
// written. nullopt for a drive that is not in the table, UNC paths, pipes and
// devices other than the profile's device folder.
std::optional<std::string> ToHostPath(std::u16string_view windowsPath);

// The Windows form of a host path (relative paths against the current
// folder), through the drive whose folder holds it most specifically.
std::optional<std::u16string> ToWindowsPath(std::string_view hostPath);

}  // namespace zeph::platform
