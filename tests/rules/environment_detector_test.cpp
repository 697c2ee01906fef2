#include "rules/environment_detector.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/virtualization.h"
#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kBareMetalCpu =
    "processor\t: 0\nvendor_id\t: GenuineIntel\nflags\t\t: fpu vme de pse tsc msr sse2 ht\n\n";
constexpr const char* kGuestCpu =
    "processor\t: 0\nvendor_id\t: GenuineIntel\nflags\t\t: fpu vme de pse hypervisor lahf_lm\n\n";

// A fake host: a desktop PC, plus the files of each case.
EnvironmentFindings Detect(const Files& files) {
    test::TempDir root;
    root.Write("proc/cpuinfo", kBareMetalCpu);
    root.Write("sys/class/dmi/id/sys_vendor", "Dell Inc.\n");
    root.Write("sys/class/dmi/id/product_name", "OptiPlex 7080\n");
    root.Write("sys/class/dmi/id/bios_vendor", "Dell Inc.\n");
    root.Write("proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    root.Write("proc/1/cgroup", "0::/init.scope\n");
    root.Write("proc/modules", "snd_hda_intel 57344 3 - Live 0x0\ne1000e 323584 0 - Live 0x0\n");
    for (const auto& [path, content] : files) {
        root.Write(path, content);
    }
    platform::SetHostMarkersRoot(root.Str());
    EnvironmentFindings findings = DetectVirtualEnvironment();
    EXPECT_EQ(IsVirtualEnvironment(), findings.Detected());
    platform::SetHostMarkersRoot("");
    return findings;
}

TEST(EnvironmentDetector, RealHardwareIsNotReported) {
    const EnvironmentFindings findings = Detect({});
    EXPECT_FALSE(findings.Detected()) << findings.reasons.front();
}

TEST(EnvironmentDetector, FindsVirtualMachinesAndSandboxes) {
    struct Case {
        const char* what;
        Files files;
        const char* reason;
    };
    const Case cases[] = {
        {"hypervisor CPU flag", {{"proc/cpuinfo", kGuestCpu}}, "cpu: hypervisor flag"},
        {"QEMU firmware", {{"sys/class/dmi/id/sys_vendor", "QEMU\n"}}, "dmi sys_vendor: QEMU"},
        {"VirtualBox",
         {{"sys/class/dmi/id/product_name", "VirtualBox\n"}},
         "dmi product_name: VirtualBox"},
        {"VMware",
         {{"sys/class/dmi/id/sys_vendor", "VMware, Inc.\n"}},
         "dmi sys_vendor: VMware, Inc."},
        {"Hyper-V",
         {{"sys/class/dmi/id/product_name", "Virtual Machine\n"}},
         "dmi product_name: Virtual Machine"},
        {"SeaBIOS", {{"sys/class/dmi/id/bios_vendor", "SeaBIOS\n"}}, "dmi bios_vendor: SeaBIOS"},
        {"Xen", {{"sys/hypervisor/type", "xen\n"}}, "hypervisor: xen"},
        {"WSL",
         {{"proc/sys/kernel/osrelease", "5.15.90.1-microsoft-standard-WSL2\n"}},
         "kernel: 5.15.90.1-microsoft-standard-WSL2"},
        {"Docker", {{".dockerenv", ""}}, "marker: /.dockerenv"},
        {"Podman", {{"run/.containerenv", ""}}, "marker: /run/.containerenv"},
        {"Flatpak", {{".flatpak-info", "[Application]\n"}}, "marker: /.flatpak-info"},
        {"Firejail", {{"run/firejail/mnt/x", ""}}, "marker: /run/firejail"},
        {"OpenVZ", {{"proc/vz/veinfo", ""}}, "marker: /proc/vz"},
        {"systemd-nspawn",
         {{"proc/1/environ", std::string("HOME=/\0container=systemd-nspawn\0", 32)}},
         "container: systemd-nspawn"},
        {"LXC cgroup", {{"proc/1/cgroup", "12:pids:/lxc/web\n"}}, "cgroup: lxc"},
        {"VirtualBox guest driver",
         {{"proc/modules", "vboxguest 45056 2 - Live 0x0\n"}},
         "module: vboxguest"},
    };
    for (const auto& c : cases) {
        const EnvironmentFindings findings = Detect(c.files);
        ASSERT_TRUE(findings.Detected()) << c.what;
        EXPECT_EQ(findings.reasons.front(), c.reason) << c.what;
    }
}

TEST(EnvironmentDetector, AnOpenVzHostIsNotAContainer) {
    EXPECT_FALSE(Detect({{"proc/vz/veinfo", ""}, {"proc/bc/0", ""}}).Detected());
}

}  // namespace
}  // namespace zeph
