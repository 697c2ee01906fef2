// The virtual-machine and sandbox detector behind the "vmvare" check leaf:
// a hypervisor, a virtual machine's firmware, or a container or application
// sandbox around the installer. See docs/environment-checks.md.
#pragma once

#include <string>
#include <vector>

namespace zeph {

// What the detector found; empty when the machine looks like real hardware.
struct EnvironmentFindings {
    std::vector<std::string> reasons;  // "cpu: hypervisor flag", "dmi sys_vendor: QEMU", ...
    bool Detected() const { return !reasons.empty(); }
};

EnvironmentFindings DetectVirtualEnvironment();

// True inside a virtual machine or sandbox.
bool IsVirtualEnvironment();

}  // namespace zeph
