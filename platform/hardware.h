// Hardware facts for the machine identifiers and the VPN probe: processor
// signature, disks, main board, network adapters, sound card. Each can be
// fixed in [hardware] of system.ini (tests, machines without the device);
// otherwise it is read from the host (/sys, /proc, CPUID).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zeph::platform {

struct CpuidRegisters {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};
// CPUID leaf 1 (signature and feature bits). [hardware] cpuid_eax / cpuid_edx
// replace the two registers the device id uses.
std::optional<CpuidRegisters> CpuidLeaf1();

struct DiskIdentity {
    std::string model;  // trailing blanks removed
    std::string serial;
};
// Physical disks in name order (sda, sdb, nvme0n1 ...), without loop, RAM
// and device-mapper devices. [hardware] disk_model / disk_serial give one
// disk instead.
std::vector<DiskIdentity> PhysicalDisks();

// The main board's serial number ([hardware] board_serial, else
// /sys/class/dmi/id/board_serial, readable by root only).
std::optional<std::string> BoardSerial();

struct NetworkAdapter {
    std::string name;
    std::string bus;                    // "pci", "usb" or "" for virtual devices
    std::vector<uint8_t> permanentMac;  // 6 bytes
};
// Adapters on a PCI or USB bus with their permanent hardware address, in
// name order. [hardware] mac (12 hexadecimal digits) gives one adapter.
std::vector<NetworkAdapter> NetworkAdapters();

// The first sound card's name ([hardware] sound, else /proc/asound/cards).
std::optional<std::string> SoundCardName();

// An active VPN connection: a tun, ppp or WireGuard interface that is up
// ([hardware] vpn = 0 or 1 overrides).
bool IsVpnConnected();

}  // namespace zeph::platform
