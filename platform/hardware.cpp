#include "platform/hardware.h"

#include <dirent.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "base/numbers.h"
#include "platform/host_io.h"
#include "platform/profile.h"

namespace zeph::platform {
namespace {

std::optional<std::string> Override(const char* key) {
    const auto& overrides = CurrentProfile()->HardwareOverrides();
    const auto it = overrides.find(key);
    if (it == overrides.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t' ||
                             text.back() == '\r' || text.back() == '\0')) {
        text.pop_back();
    }
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
        ++start;
    }
    return text.substr(start);
}

std::string ReadTrimmed(const std::string& path) {
    std::string text;
    if (ReadHostFile(path, text) != 0) {
        return {};
    }
    return Trimmed(std::move(text));
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::optional<uint32_t> HexNumber(const std::string& text) {
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

}  // namespace

std::optional<CpuidRegisters> CpuidLeaf1() {
    CpuidRegisters regs;
    bool have = false;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        regs = {a, b, c, d};
        have = true;
    }
#endif
    if (auto eax = Override("cpuid_eax")) {
        if (auto value = HexNumber(*eax)) {
            regs.eax = *value;
            have = true;
        }
    }
    if (auto edx = Override("cpuid_edx")) {
        if (auto value = HexNumber(*edx)) {
            regs.edx = *value;
            have = true;
        }
    }
    return have ? std::optional<CpuidRegisters>(regs) : std::nullopt;
}

std::vector<DiskIdentity> PhysicalDisks() {
    const auto model = Override("disk_model");
    const auto serial = Override("disk_serial");
    if (model || serial) {
        return {{model.value_or(""), serial.value_or("")}};
    }
    std::vector<DiskIdentity> disks;
    for (const auto& name : ListDir("/sys/block")) {
        if (name.rfind("loop", 0) == 0 || name.rfind("ram", 0) == 0 || name.rfind("dm-", 0) == 0 ||
            name.rfind("zram", 0) == 0 || name.rfind("sr", 0) == 0 || name.rfind("md", 0) == 0) {
            continue;
        }
        const std::string base = "/sys/block/" + name;
        DiskIdentity disk;
        disk.model = ReadTrimmed(base + "/device/model");
        disk.serial = ReadTrimmed(base + "/device/serial");
        if (disk.serial.empty()) {
            disk.serial = ReadTrimmed(base + "/serial");
        }
        if (!disk.model.empty() || !disk.serial.empty()) {
            disks.push_back(std::move(disk));
        }
    }
    return disks;
}

std::optional<std::string> BoardSerial() {
    if (auto serial = Override("board_serial")) {
        return serial;
    }
    std::string serial = ReadTrimmed("/sys/class/dmi/id/board_serial");
    if (serial.empty()) {
        return std::nullopt;
    }
    return serial;
}

std::vector<NetworkAdapter> NetworkAdapters() {
    if (auto mac = Override("mac")) {
        NetworkAdapter adapter;
        adapter.name = "eth0";
        adapter.bus = "pci";
        for (size_t i = 0; i + 1 < mac->size() && adapter.permanentMac.size() < 6; i += 2) {
            const int hi = HexDigitValue((*mac)[i]);
            const int lo = HexDigitValue((*mac)[i + 1]);
            if (hi < 0 || lo < 0) {
                return {};
            }
            adapter.permanentMac.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        if (adapter.permanentMac.size() != 6) {
            return {};
        }
        return {adapter};
    }
    std::vector<NetworkAdapter> adapters;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    for (const auto& name : ListDir("/sys/class/net")) {
        const std::string subsystem = LinkTarget("/sys/class/net/" + name + "/device/subsystem");
        const std::string bus = subsystem.substr(subsystem.find_last_of('/') + 1);
        if (bus != "pci" && bus != "usb") {
            continue;
        }
        NetworkAdapter adapter;
        adapter.name = name;
        adapter.bus = bus;
        if (fd >= 0 && name.size() < IFNAMSIZ) {
            // The permanent address, not the one an administrator may have set.
            alignas(ethtool_perm_addr) uint8_t buffer[sizeof(ethtool_perm_addr) + 32] = {};
            auto* request = reinterpret_cast<ethtool_perm_addr*>(buffer);
            request->cmd = ETHTOOL_GPERMADDR;
            request->size = 32;
            ifreq ifr{};
            std::strncpy(ifr.ifr_name, name.c_str(), IFNAMSIZ - 1);
            ifr.ifr_data = reinterpret_cast<char*>(buffer);
            if (::ioctl(fd, SIOCETHTOOL, &ifr) == 0 && request->size == 6) {
                const uint8_t* data = buffer + sizeof(ethtool_perm_addr);
                adapter.permanentMac.assign(data, data + 6);
            }
        }
        if (adapter.permanentMac.empty()) {
            const std::string text = ReadTrimmed("/sys/class/net/" + name + "/address");
            for (size_t i = 0; i + 1 < text.size() && adapter.permanentMac.size() < 6; i += 3) {
                adapter.permanentMac.push_back(
                    static_cast<uint8_t>(HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1])));
            }
        }
        if (adapter.permanentMac.size() == 6 &&
            std::any_of(adapter.permanentMac.begin(), adapter.permanentMac.end(),
                        [](uint8_t b) { return b != 0; })) {
            adapters.push_back(std::move(adapter));
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return adapters;
}

std::optional<std::string> SoundCardName() {
    if (auto sound = Override("sound")) {
        return sound;
    }
    std::string cards;
    if (ReadHostFile("/proc/asound/cards", cards) != 0) {
        return std::nullopt;
    }
    // " 0 [PCH            ]: HDA-Intel - HDA Intel PCH"
    const std::string first = cards.substr(0, cards.find('\n'));
    const size_t dash = first.find(" - ");
    if (first.find(']') == std::string::npos || dash == std::string::npos) {
        return std::nullopt;
    }
    std::string name = Trimmed(first.substr(dash + 3));
    if (name.empty()) {
        return std::nullopt;
    }
    return name;
}

bool IsVpnConnected() {
    if (auto vpn = Override("vpn")) {
        return *vpn == "1";
    }
    for (const auto& name : ListDir("/sys/class/net")) {
        const std::string base = "/sys/class/net/" + name;
        const std::string flags = ReadTrimmed(base + "/flags");
        const long value = std::strtol(flags.c_str(), nullptr, 16);
        if ((value & IFF_UP) == 0) {
            continue;
        }
        std::string uevent;
        ReadHostFile(base + "/uevent", uevent);
        const bool tun = ::access((base + "/tun_flags").c_str(), F_OK) == 0;
        const bool ppp = ReadTrimmed(base + "/type") == "512";
        const bool wireguard = uevent.find("DEVTYPE=wireguard") != std::string::npos;
        if (tun || ppp || wireguard) {
            return true;
        }
    }
    return false;
}

}  // namespace zeph::platform
