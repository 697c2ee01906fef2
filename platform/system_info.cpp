#include "platform/system_info.h"

#include <algorithm>
#include <map>
#include <thread>

#include "base/ascii.h"
#include "base/strings.h"

namespace zeph::platform {
namespace {

using EnvMap = std::map<std::u16string, std::u16string, AsciiLessIgnoreCase>;

std::u16string ArchitectureName(ProcessorArchitecture arch) {
    switch (arch) {
        case ProcessorArchitecture::Intel:
            return u"x86";
        case ProcessorArchitecture::Amd64:
            return u"AMD64";
        case ProcessorArchitecture::Arm64:
            return u"ARM64";
        case ProcessorArchitecture::Arm:
            return u"ARM";
        case ProcessorArchitecture::Ia64:
            return u"IA64";
    }
    return u"AMD64";
}

EnvMap BuildEnvironment(const Profile& profile) {
    const SystemFacts& f = profile.Facts();
    const KnownFolderTable& t = profile.Folders();
    const bool is64 = profile.Is64Bit();
    const bool wow64 = profile.IsWow64Process();
    const std::u16string programFiles = wow64 ? t.programFilesX86 : t.programFiles;
    EnvMap env;
    env[u"ALLUSERSPROFILE"] = t.programData;
    env[u"APPDATA"] = t.appData;
    env[u"CommonProgramFiles"] = programFiles + u"\\Common Files";
    if (is64) {
        env[u"CommonProgramFiles(x86)"] = t.programFilesX86 + u"\\Common Files";
        env[u"CommonProgramW6432"] = t.programFiles + u"\\Common Files";
        env[u"ProgramFiles(x86)"] = t.programFilesX86;
        env[u"ProgramW6432"] = t.programFiles;
    }
    env[u"COMPUTERNAME"] = f.computerName;
    env[u"ComSpec"] = t.system + u"\\cmd.exe";
    if (t.userProfile.size() >= 2) {
        env[u"HOMEDRIVE"] = t.userProfile.substr(0, 2);
        env[u"HOMEPATH"] = t.userProfile.size() > 2 ? t.userProfile.substr(2) : u"\\";
    }
    env[u"LOCALAPPDATA"] = t.localAppData;
    env[u"NUMBER_OF_PROCESSORS"] =
        U16(std::to_string(std::max(1u, std::thread::hardware_concurrency())));
    env[u"OS"] = u"Windows_NT";
    env[u"Path"] = t.system + u";" + t.windows + u";" + t.system + u"\\Wbem";
    env[u"PATHEXT"] = u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";
    env[u"PROCESSOR_ARCHITECTURE"] = wow64 ? u"x86" : ArchitectureName(f.architecture);
    if (wow64) {
        env[u"PROCESSOR_ARCHITEW6432"] = ArchitectureName(f.architecture);
    }
    env[u"ProgramData"] = t.programData;
    env[u"ProgramFiles"] = programFiles;
    if (t.windows.size() >= 2) {
        env[u"PUBLIC"] = t.windows.substr(0, 2) + u"\\Users\\Public";
        env[u"SystemDrive"] = t.windows.substr(0, 2);
    }
    env[u"SystemRoot"] = t.windows;
    env[u"TEMP"] = t.temp;
    env[u"TMP"] = t.temp;
    env[u"USERDOMAIN"] = f.computerName;
    env[u"USERNAME"] = f.userName;
    env[u"USERPROFILE"] = t.userProfile;
    env[u"windir"] = t.windows;
    for (const auto& [name, value] : profile.ExtraEnvironment()) {
        env[name] = value;
    }
    return env;
}

}  // namespace

OsVersion GetOsVersion() {
    const SystemFacts& f = CurrentProfile()->Facts();
    OsVersion v;
    v.major = f.major;
    v.minor = f.minor;
    v.build = f.build;
    v.productType = f.productType;
    v.servicePackMajor = f.servicePackMajor;
    v.servicePackMinor = f.servicePackMinor;
    if (f.servicePackMajor != 0) {
        v.csdVersion = u"Service Pack " + U16(std::to_string(f.servicePackMajor));
    }
    return v;
}

ProcessorArchitecture GetNativeArchitecture() {
    return CurrentProfile()->Facts().architecture;
}

uint16_t GetNativeMachine() {
    switch (GetNativeArchitecture()) {
        case ProcessorArchitecture::Intel:
            return 0x014C;
        case ProcessorArchitecture::Amd64:
            return 0x8664;
        case ProcessorArchitecture::Arm64:
            return 0xAA64;
        case ProcessorArchitecture::Arm:
            return 0x01C4;
        case ProcessorArchitecture::Ia64:
            return 0x0200;
    }
    return 0x8664;
}

bool IsWow64Process() {
    return CurrentProfile()->IsWow64Process();
}
bool Is64BitSystem() {
    return CurrentProfile()->Is64Bit();
}
std::u16string GetComputerName() {
    return CurrentProfile()->Facts().computerName;
}
std::u16string GetUserName() {
    return CurrentProfile()->Facts().userName;
}
uint32_t GetAnsiCodePage() {
    return CurrentProfile()->Facts().ansiCodePage;
}
uint32_t GetSessionId() {
    return CurrentProfile()->Facts().sessionId;
}

std::u16string GetKnownFolder(KnownFolder folder) {
    const auto profile = CurrentProfile();
    const KnownFolderTable& t = profile->Folders();
    switch (folder) {
        case KnownFolder::Windows:
            return t.windows;
        case KnownFolder::System:
            return t.system;
        case KnownFolder::SystemWow64:
            return t.systemWow64;
        case KnownFolder::ProgramFiles:
            return profile->IsWow64Process() ? t.programFilesX86 : t.programFiles;
        case KnownFolder::ProgramFilesX86:
            return t.programFilesX86;
        case KnownFolder::ProgramFilesNative:
            return t.programFiles;
        case KnownFolder::ProgramData:
            return t.programData;
        case KnownFolder::UserProfile:
            return t.userProfile;
        case KnownFolder::AppData:
            return t.appData;
        case KnownFolder::LocalAppData:
            return t.localAppData;
        case KnownFolder::Temp:
            return t.temp;
        case KnownFolder::Desktop:
            return t.desktop;
    }
    return {};
}

std::u16string GetTempPath() {
    // GetTempPath: TMP, then TEMP, then USERPROFILE, then the Windows folder.
    std::u16string path;
    for (const char16_t* name : {u"TMP", u"TEMP", u"USERPROFILE"}) {
        if (auto value = GetEnvironmentVariable(name); value && !value->empty()) {
            path = *value;
            break;
        }
    }
    if (path.empty()) {
        path = GetKnownFolder(KnownFolder::Windows);
    }
    if (path.empty() || path.back() != u'\\') {
        path += u'\\';
    }
    return path;
}

std::optional<std::u16string> GetEnvironmentVariable(std::u16string_view name) {
    const EnvMap env = BuildEnvironment(*CurrentProfile());
    const auto it = env.find(name);
    if (it == env.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::vector<std::pair<std::u16string, std::u16string>> GetEnvironmentVariables() {
    const EnvMap env = BuildEnvironment(*CurrentProfile());
    return {env.begin(), env.end()};
}

std::u16string ExpandEnvironmentStrings(std::u16string_view text) {
    const EnvMap env = BuildEnvironment(*CurrentProfile());
    std::u16string out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find(u'%', pos);
        if (open == std::u16string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const size_t close = text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        const std::u16string_view name = text.substr(open + 1, close - open - 1);
        const auto it = name.empty() ? env.end() : env.find(name);
        if (it != env.end()) {
            out.append(it->second);
            pos = close + 1;
        } else {
            // Undefined: the '%' and the name stay, and the closing '%' may
            // open the next variable.
            out.append(text.substr(open, close - open));
            pos = close;
        }
    }
    return out;
}

std::optional<std::u16string> ExpandEnvironmentStrings(std::u16string_view text,
                                                       size_t bufferChars) {
    std::u16string out = ExpandEnvironmentStrings(text);
    if (out.size() + 1 > bufferChars) {
        return std::nullopt;
    }
    return out;
}

}  // namespace zeph::platform
