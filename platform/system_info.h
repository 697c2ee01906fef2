// System facts of the machine profile as the Windows queries report them:
// version, architecture, names, code page, known folders and environment
// variables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile.h"

namespace zeph::platform {

// OSVERSIONINFOEX as RtlGetVersion fills it (the true version).
struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 2;  // VER_PLATFORM_WIN32_NT
    ProductType productType = ProductType::Workstation;
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    std::u16string csdVersion;  // "Service Pack 3", or empty
};
OsVersion GetOsVersion();

// GetNativeSystemInfo's processor architecture.
ProcessorArchitecture GetNativeArchitecture();
// IsWow64Process2's native machine (IMAGE_FILE_MACHINE_*: 0x014C x86,
// 0x8664 x64, 0xAA64 ARM64, 0x0200 IA-64).
uint16_t GetNativeMachine();
// IsWow64Process: the installer is a 32-bit process on a 64-bit system.
bool IsWow64Process();
bool Is64BitSystem();

std::u16string GetComputerName();
std::u16string GetUserName();
uint32_t GetAnsiCodePage();  // GetACP
// ProcessIdToSessionId of this process.
uint32_t GetSessionId();

enum class KnownFolder : uint8_t {
    Windows,       // GetWindowsDirectory
    System,        // GetSystemDirectory (System32 also for the WOW64 process)
    SystemWow64,   // GetSystemWow64Directory
    ProgramFiles,  // as this process sees it: the x86 one for a WOW64 process
    ProgramFilesX86,
    ProgramFilesNative,  // the 64-bit one on a 64-bit system (ProgramW6432)
    ProgramData,         // CSIDL_COMMON_APPDATA, %ALLUSERSPROFILE%
    UserProfile,
    AppData,  // CSIDL_APPDATA
    LocalAppData,
    Temp,
    Desktop,
};
// Windows form, without a trailing backslash.
std::u16string GetKnownFolder(KnownFolder folder);
// GetTempPath: the temporary folder with a trailing backslash.
std::u16string GetTempPath();

// The profile's environment: the variables Windows derives from the folders
// and facts (TEMP, APPDATA, ALLUSERSPROFILE, ProgramFiles, SystemRoot, ...),
// then [environment] of system.ini. Names are case-insensitive.
std::optional<std::u16string> GetEnvironmentVariable(std::u16string_view name);
std::vector<std::pair<std::u16string, std::u16string>> GetEnvironmentVariables();

// ExpandEnvironmentStrings: every %NAME% of a defined variable is replaced;
// undefined ones and lone '%' stay as written.
std::u16string ExpandEnvironmentStrings(std::u16string_view text);
// With the caller's buffer: nullopt when the result and its terminating NUL
// need more than `bufferChars` characters (Windows then returns the size
// needed and leaves the buffer unusable).
std::optional<std::u16string> ExpandEnvironmentStrings(std::u16string_view text,
                                                       size_t bufferChars);

}  // namespace zeph::platform
