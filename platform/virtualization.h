// Traces a virtual machine, a container or an application sandbox leaves on
// the host, for the installer's environment detector: the CPU's hypervisor
// flag, the firmware's DMI strings, hypervisor and container marker files.
// Read from /proc and /sys below a root folder that tests point at a fake
// tree.
#pragma once

#include <string>
#include <vector>

namespace zeph::platform {

struct HostMarkers {
    bool cpuHypervisorFlag = false;  // "hypervisor" among the flags of /proc/cpuinfo
    // /sys/class/dmi/id/*, trailing blanks removed; empty when unreadable.
    std::string sysVendor;
    std::string productName;
    std::string productVersion;
    std::string boardVendor;
    std::string biosVendor;
    std::string hypervisorType;  // /sys/hypervisor/type ("xen", ...)
    std::string kernelRelease;   // /proc/sys/kernel/osrelease
    // Marker files and folders that exist, by path below the root:
    // /.dockerenv, /run/.containerenv, /.flatpak-info, /run/firejail,
    // /proc/xen, /proc/vz (but not /proc/bc), /dev/vboxguest, /dev/vmci.
    std::vector<std::string> markerFiles;
    std::string initEnvironmentContainer;  // container= of /proc/1/environ (often unreadable)
    std::string initCgroup;                // /proc/1/cgroup
    std::vector<std::string> modules;      // names in /proc/modules
};

HostMarkers ReadHostMarkers();

// The folder that stands for "/" when reading the markers ("" or "/" for
// the real host). Any thread; tests set it before reading.
void SetHostMarkersRoot(std::string root);

}  // namespace zeph::platform
