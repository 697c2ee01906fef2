#include "rules/environment_detector.h"

#include <algorithm>
#include <string_view>

#include "base/ascii.h"
#include "platform/virtualization.h"

namespace zeph {
namespace {

// Firmware strings of virtual machines (sys_vendor, product_name,
// product_version, board_vendor, bios_vendor), matched as parts, any case.
constexpr std::string_view kFirmwareWords[] = {
    "QEMU",
    "KVM",
    "VMware",
    "VirtualBox",
    "innotek",
    "Xen",
    "Bochs",
    "Parallels",
    "BHYVE",
    "SeaBIOS",
    "Virtual Machine",  // Hyper-V
    "HVM domU",
    "Google Compute Engine",
    "Amazon EC2",
    "OpenStack Nova",
    "Apple Virtualization",
};

// Guest drivers that only load inside a virtual machine.
constexpr std::string_view kGuestModules[] = {
    "vboxguest", "vboxsf",     "vmw_balloon",  "vmw_vmci",     "vmwgfx",
    "hv_vmbus",  "hv_balloon", "xen_blkfront", "xen_netfront", "virtio_balloon",
};

// Container runtimes as they appear in the first process's control groups.
constexpr std::string_view kCgroupWords[] = {"docker", "lxc", "kubepods", "containerd", "libpod"};

bool ContainsIgnoreCase(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (AsciiEqualsIgnoreCase(text.substr(i, word.size()), word)) {
            return true;
        }
    }
    return false;
}

void CheckFirmware(const char* field, const std::string& value, EnvironmentFindings& findings) {
    for (const std::string_view word : kFirmwareWords) {
        if (ContainsIgnoreCase(value, word)) {
            findings.reasons.push_back(std::string("dmi ") + field + ": " + value);
            return;
        }
    }
}

}  // namespace

EnvironmentFindings DetectVirtualEnvironment() {
    const platform::HostMarkers markers = platform::ReadHostMarkers();
    EnvironmentFindings findings;
    if (markers.cpuHypervisorFlag) {
        findings.reasons.emplace_back("cpu: hypervisor flag");
    }
    CheckFirmware("sys_vendor", markers.sysVendor, findings);
    CheckFirmware("product_name", markers.productName, findings);
    CheckFirmware("product_version", markers.productVersion, findings);
    CheckFirmware("board_vendor", markers.boardVendor, findings);
    CheckFirmware("bios_vendor", markers.biosVendor, findings);
    if (!markers.hypervisorType.empty()) {
        findings.reasons.push_back("hypervisor: " + markers.hypervisorType);
    }
    if (ContainsIgnoreCase(markers.kernelRelease, "microsoft")) {
        findings.reasons.push_back("kernel: " + markers.kernelRelease);
    }
    for (const auto& file : markers.markerFiles) {
        findings.reasons.push_back("marker: " + file);
    }
    if (!markers.initEnvironmentContainer.empty()) {
        findings.reasons.push_back("container: " + markers.initEnvironmentContainer);
    }
    for (const std::string_view word : kCgroupWords) {
        if (markers.initCgroup.find(word) != std::string::npos) {
            findings.reasons.push_back("cgroup: " + std::string(word));
            break;
        }
    }
    for (const auto& module : markers.modules) {
        if (std::find(std::begin(kGuestModules), std::end(kGuestModules), module) !=
            std::end(kGuestModules)) {
            findings.reasons.push_back("module: " + module);
        }
    }
    return findings;
}

bool IsVirtualEnvironment() {
    return DetectVirtualEnvironment().Detected();
}

}  // namespace zeph
