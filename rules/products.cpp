// Installed security products, the suite's uninstall history, a pending
// reboot, services and the VPN probe.
#include <initializer_list>
#include <optional>

#include "base/ascii.h"
#include "base/json.h"
#include "platform/files.h"
#include "platform/hardware.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "rules/environment_probes.h"
#include "rules/registry_places.h"

namespace zeph {
namespace {

using platform::Hive;
using platform::RegAccess;
using platform::RegKey;
using platform::RegView;
using platform::WinError;

constexpr std::u16string_view kUninstallKey =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr std::u16string_view kWow6432Uninstall =
    u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// A string value is read into a buffer of MAX_PATH characters.
constexpr size_t kValueChars = 260;

// An explicit Wow6432Node path is the literal key in the 64-bit view; the
// 32-bit view would redirect it a second time.
RegView ViewFor(std::u16string_view subKey) {
    return subKey.starts_with(u"SOFTWARE\\Wow6432Node\\") ? RegView::Wow64_64 : RegView::Default;
}

std::optional<std::u16string> ReadHklmString(std::u16string_view subKey, std::u16string_view name,
                                             RegView view) {
    RegKey key;
    if (RegKey::Open(Hive::LocalMachine, subKey, RegAccess::Read, view, key) != WinError::Success) {
        return std::nullopt;
    }
    auto value = key.ReadString(name);
    if (value && value->size() >= kValueChars) {
        return std::nullopt;  // would not fit the caller's buffer
    }
    return value;
}

std::u16string WithBackslash(std::u16string folder) {
    if (!folder.empty() && folder.back() != u'\\') {
        folder.push_back(u'\\');
    }
    return folder;
}

// The product's folder from a value that names it or a file in it; empty
// when none. The 64-bit view is the fallback.
std::u16string FileAwareFolder(std::u16string_view subKey, std::u16string_view name) {
    auto value = ReadHklmString(subKey, name, ViewFor(subKey));
    if (!value || value->empty()) {
        value = ReadHklmString(subKey, name, RegView::Wow64_64);
    }
    if (!value || value->empty()) {
        return {};
    }
    std::u16string text = *value;
    const auto trimmable = [](char16_t c) { return c == u'\\' || c == u'"'; };
    while (!text.empty() && trimmable(text.front())) {
        text.erase(0, 1);
    }
    while (!text.empty() && trimmable(text.back())) {
        text.pop_back();
    }
    for (const char16_t* ext : {u".exe", u".dll", u".ico", u".txt"}) {
        if (AsciiEndsWithIgnoreCase(text, ext)) {
            const size_t slash = text.find_last_of(u'\\');
            text = slash == std::u16string::npos ? std::u16string() : text.substr(0, slash);
            break;
        }
    }
    return text + u"\\";
}

// The product's folder as the value holds it; empty when none.
std::u16string PlainFolder(std::u16string_view subKey, std::u16string_view name) {
    const auto value = ReadHklmString(subKey, name, ViewFor(subKey));
    return value ? WithBackslash(*value) : std::u16string();
}

bool HoldsAll(const std::u16string& folder, std::initializer_list<const char16_t*> files) {
    if (folder.empty()) {
        return false;
    }
    for (const char16_t* file : files) {
        if (!platform::FileExists(folder + file)) {
            return false;
        }
    }
    return true;
}

// The plain key on 32-bit systems; on 64-bit ones the plain key, then the
// Wow6432Node twin, as the Baidu products are found.
std::u16string BaiduFolder(std::u16string_view product) {
    std::u16string folder = FileAwareFolder(std::u16string(kUninstallKey) + std::u16string(product),
                                            u"UninstallString");
    if (folder.empty() && Is64BitSystem()) {
        folder = FileAwareFolder(std::u16string(kWow6432Uninstall) + std::u16string(product),
                                 u"UninstallString");
    }
    return folder;
}

std::u16string SoftwareKey(std::u16string_view below) {
    return (Is64BitSystem() ? u"SOFTWARE\\Wow6432Node\\" : u"SOFTWARE\\") + std::u16string(below);
}

bool IsDriverToolInstalled() {
    const std::u16string folder =
        FileAwareFolder(std::u16string(kUninstallKey) + kDriverToolUninstallKey, u"DisplayIcon");
    return HoldsAll(folder, {kDriverToolExecutables[0], kDriverToolExecutables[1]});
}

bool IsBaiduAntivirusInstalled() {
    return HoldsAll(BaiduFolder(u"百度杀毒"), {u"baidusdSvc.exe", u"baidusd.exe"});
}

bool IsBaiduSafeInstalled() {
    return HoldsAll(BaiduFolder(u"百度卫士"), {u"BaiduAn.exe", u"BaiduAnTray.exe"});
}

bool IsQQGuanJiaInstalled() {
    return HoldsAll(PlainFolder(SoftwareKey(u"Tencent\\QQPCMgr"), u"InstallDir"),
                    {u"QQPCMgr.exe", u"TSSysKit.sys", u"QQPCRTP.exe"});
}

bool IsRisingInstalled() {
    return HoldsAll(PlainFolder(SoftwareKey(u"rising\\RAV"), u"installpath"),
                    {u"rstray.exe", u"rsmain.exe", u"ravmond.exe"}) &&
           IsServiceRegistered(u"rsravmon");
}

bool Is2345ExplorerInstalled() {
    return HoldsAll(FileAwareFolder(u"SOFTWARE\\2345Explorer", u"path"), {u"2345Explorer.exe"});
}

std::optional<uint32_t> ReadDwordAt(Hive hive, std::u16string_view subKey,
                                    std::u16string_view name) {
    RegKey key;
    if (RegKey::Open(hive, subKey, RegAccess::Read, RegView::Default, key) != WinError::Success) {
        return std::nullopt;
    }
    return key.ReadDword(name);
}

uint32_t ReadUninstallValue(std::u16string_view name) {
    if (const auto value = ReadDwordAt(Hive::LocalMachine, kSuiteKey, name)) {
        return *value;
    }
    return ReadDwordAt(Hive::ClassesRoot, kMachineIdKey, name).value_or(0);
}

}  // namespace

bool IsServiceRegistered(const std::u16string& name) {
    RegKey key;
    return RegKey::Open(Hive::LocalMachine, std::u16string(kServicesKey) + name, RegAccess::Read,
                        RegView::Default, key) == WinError::Success;
}

bool IsSuiteInstalled() {
    return HoldsAll(PlainFolder(kSuiteKey, u"ProgramPath"),
                    {kSuiteExecutables[0], kSuiteExecutables[1], kSuiteExecutables[2]});
}

bool Is360Installed() {
    const std::u16string key =
        std::u16string(Is64BitSystem() ? kWow6432Uninstall : kUninstallKey) + u"360安全卫士";
    const std::u16string registered = PlainFolder(key, u"InstallLocation");
    std::vector<std::u16string> candidates;
    if (registered.empty()) {
        candidates = {u"C:\\Program Files\\360\\360Safe\\",
                      u"C:\\Program Files (x86)\\360\\360Safe\\"};
    } else {
        candidates = {registered};
    }
    bool filesPresent = false;
    for (const auto& folder : candidates) {
        if (HoldsAll(folder, {u"360Safe.exe", u"deepscan\\zhudongfangyu.exe", u"EfiMon.sys"})) {
            filesPresent = true;
            break;
        }
    }
    return filesPresent &&
           (IsServiceRegistered(u"360SelfProtection") || IsServiceRegistered(u"360netmon"));
}

bool IsHuorongInstalled() {
    return HoldsAll(FileAwareFolder(u"SOFTWARE\\Huorong\\Sysdiag", u"InstallPath"),
                    {u"bin\\HipsTray.exe", u"bin\\HipsDaemon.exe"});
}

bool IsQQPCRtpPresent() {
    const std::u16string folder = PlainFolder(u"SOFTWARE\\Tencent\\QQPCMgr", u"InstallDir");
    return !folder.empty() && platform::FileExists(folder) && IsServiceRegistered(u"QQPCRTP");
}

std::u16string InstalledProductsJson() {
    cf::BkJson::Document document;
    const auto set = [&document](const char16_t* key, bool found) {
        document.Member(key).SetLong(found ? 1 : 0);
    };
    set(u"360safe", Is360Installed());
    set(u"zeph", IsSuiteInstalled());
    set(u"vkrt", IsDriverToolInstalled());
    set(u"BaiDuAntivirus", IsBaiduAntivirusInstalled());
    set(u"BaiDuSafe", IsBaiduSafeInstalled());
    set(u"QQGuanJia", IsQQGuanJiaInstalled());
    set(u"RuiXing", IsRisingInstalled());
    set(u"2345Explorer", Is2345ExplorerInstalled());
    set(u"huorong", IsHuorongInstalled());
    return document.ToString();
}

uint32_t ReadUninstallCount() {
    return ReadUninstallValue(u"uninstall_count");
}

uint32_t ReadUninstallTime() {
    return ReadUninstallValue(u"uninstall_time");
}

bool IsRebootPending() {
    RegKey key;
    return RegKey::Open(Hive::LocalMachine, kRebootMarkerKey, RegAccess::Read, RegView::Default,
                        key) == WinError::Success;
}

bool IsVpnConnected(bool& connected) {
    connected = platform::IsVpnConnected();
    return true;
}

}  // namespace zeph
