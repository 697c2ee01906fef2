// Questions the installer asks about the machine: the Windows version and
// architecture, installed security products, the suite's uninstall history,
// a pending reboot and a VPN connection. All read the machine profile
// through the platform layer; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace zeph::platform {
struct OsVersion;
}

namespace zeph {

// The Windows family: 1 (95/98) ... 13 (10 build 21996 and later, i.e. 11);
// 0 for anything else, including server editions from 6.2 on.
int32_t OsKind();
// The number reports carry and the "osversion" leaf compares with: the
// kind, split by 32/64-bit (and XP by service pack 3).
int32_t OsVersionCode();

// The same from given facts, for the tables above.
int32_t OsKindFromVersion(const platform::OsVersion& version);
int32_t OsVersionCodeFromKind(int32_t kind, bool is64BitSystem, uint16_t servicePackMajor);

// The native architecture is 64-bit (IA-64, AMD64 or Alpha64); used by the
// product probes and OsVersionCode.
bool Is64BitSystem();

// The system-information record: whether the installer runs as a 32-bit
// process on 64-bit Windows (chooses registry views; reports carry it), and
// the version code it is derived with (800, 801, 900, 1000-1010, 9999; 0
// before 6.2).
struct SystemInformation {
    bool is64BitSystem = false;
    int32_t versionCode = 0;
};
SystemInformation GetSystemInformation();

// The installed-products record: compact JSON of 0/1 members "2345Explorer",
// "360safe", "BaiDuAntivirus", "BaiDuSafe", "QQGuanJia", "RuiXing",
// "huorong", "vkrt" and "zeph".
std::u16string InstalledProductsJson();

// The suite: its program folder ("ProgramPath" under the suite's key) holds
// the three executables of kSuiteExecutables.
bool IsSuiteInstalled();
bool Is360Installed();
bool IsHuorongInstalled();
// Tencent's real-time protection: its folder exists and its service is registered.
bool IsQQPCRtpPresent();

inline constexpr const char16_t* kSuiteExecutables[] = {u"zephtray.exe", u"zephsvc.exe",
                                                        u"zephmain.exe"};
// The driver-update tool of the "vkrt" member.
inline constexpr const char16_t* kDriverToolUninstallKey = u"VkrtDriverHelper";
inline constexpr const char16_t* kDriverToolExecutables[] = {u"vkrt.exe", u"vkrtsvc.exe"};

// HKLM "SYSTEM\CurrentControlSet\services\<name>" opens.
bool IsServiceRegistered(const std::u16string& name);

// The suite's uninstall history: the value under HKLM
// "SOFTWARE\Tarnwell\Antivirus", else under the machine-id class key, else 0.
uint32_t ReadUninstallCount();
uint32_t ReadUninstallTime();  // seconds since 1970

// HKLM "SOFTWARE\Tarnwell\Antivirus\KNeedReboot" exists.
bool IsRebootPending();

// The VPN probe: true when it ran; `connected` tells whether a VPN
// connection (a tun, ppp or WireGuard interface that is up) exists.
bool IsVpnConnected(bool& connected);

}  // namespace zeph
