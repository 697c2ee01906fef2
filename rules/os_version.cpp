// The Windows version as the installer classifies it, from the profile's facts.
#include "platform/system_info.h"
#include "rules/environment_probes.h"
#include "rules/per_profile.h"

namespace zeph {
namespace {

using platform::OsVersion;
using platform::ProductType;

constexpr uint32_t kPlatformWin32Windows = 1;
constexpr uint32_t kPlatformWin32Nt = 2;
constexpr uint32_t kFirstBuildOfWindows11 = 21996;

}  // namespace

int32_t OsKindFromVersion(const OsVersion& v) {
    const bool workstation = v.productType == ProductType::Workstation;
    if (v.platformId == kPlatformWin32Windows) {
        // 95 and 98 carry 4.0 and 4.10 in the build's high word, Me 4.90.
        return ((v.build >> 16) & 0xFFFF) < 0x045A ? 1 : 2;
    }
    if (v.platformId != kPlatformWin32Nt) {
        return 0;
    }
    if (v.major <= 4) {
        return 4;
    }
    if (v.major == 5) {
        switch (v.minor) {
            case 0:
                return 3;
            case 1:
                return 6;
            case 2:
                return 5;
            default:
                return 0;
        }
    }
    if (v.major == 6 && v.minor <= 1) {
        if (!workstation) {
            return 9;
        }
        return v.minor == 0 ? 7 : 8;
    }
    if (!workstation) {
        return 0;
    }
    if (v.major == 6) {
        switch (v.minor) {
            case 3:
                return 11;
            case 4:
                return 12;
            default:
                return 10;
        }
    }
    if (v.major == 10 && v.minor == 0) {
        return v.build < kFirstBuildOfWindows11 ? 12 : 13;
    }
    return 10;
}

int32_t OsVersionCodeFromKind(int32_t kind, bool is64BitSystem, uint16_t servicePackMajor) {
    if (kind >= 1 && kind <= 5) {
        return kind;
    }
    if (kind == 6) {
        const bool sp3 = servicePackMajor >= 3;
        return is64BitSystem ? (sp3 ? 8 : 7) : (sp3 ? 28 : 27);
    }
    if (kind >= 7 && kind <= 12) {
        // 7 -> 9/10, 8 -> 11/12, ..., 12 -> 19/20.
        return 2 * kind - 5 + (is64BitSystem ? 1 : 0);
    }
    return 0;
}

int32_t OsKind() {
    static PerProfile<int32_t> cache;
    return cache.Get([] { return OsKindFromVersion(platform::GetOsVersion()); });
}

int32_t OsVersionCode() {
    return OsVersionCodeFromKind(OsKind(), Is64BitSystem(),
                                 platform::GetOsVersion().servicePackMajor);
}

bool Is64BitSystem() {
    static PerProfile<bool> cache;
    return cache.Get([] {
        using platform::ProcessorArchitecture;
        constexpr auto kAlpha64 = static_cast<ProcessorArchitecture>(7);
        const ProcessorArchitecture arch = platform::GetNativeArchitecture();
        return arch == ProcessorArchitecture::Ia64 || arch == ProcessorArchitecture::Amd64 ||
               arch == kAlpha64;
    });
}

SystemInformation GetSystemInformation() {
    static PerProfile<SystemInformation> cache;
    return cache.Get([] {
        SystemInformation info;
        info.is64BitSystem = platform::IsWow64Process();
        const OsVersion v = platform::GetOsVersion();
        if (v.major < 6 || (v.major == 6 && v.minor < 2)) {
            return info;
        }
        if (v.major == 6) {
            info.versionCode = v.minor == 2 ? 800 : v.minor == 3 ? 801 : v.minor == 4 ? 900 : 9999;
        } else {
            static constexpr uint32_t kBuilds[] = {10240, 10586, 14393, 15063, 16299, 17134,
                                                   17763, 18362, 18363, 19041, 19042};
            info.versionCode = 9999;
            for (size_t i = 0; i < std::size(kBuilds); ++i) {
                if (v.major == 10 && v.build == kBuilds[i]) {
                    info.versionCode = 1000 + static_cast<int32_t>(i);
                }
            }
        }
        if (info.versionCode >= 1004 && info.versionCode <= 1010) {
            // Builds that can run x86 code on ARM64: ask for the native machine.
            switch (platform::GetNativeMachine()) {
                case 0x014C:
                    info.is64BitSystem = false;
                    break;
                case 0x0200:
                case 0x8664:
                case 0xAA64:
                    info.is64BitSystem = true;
                    break;
                default:
                    break;
            }
        }
        return info;
    });
}

}  // namespace zeph
