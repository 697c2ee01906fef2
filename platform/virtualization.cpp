#include "platform/virtualization.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

namespace zeph::platform {
namespace {

std::mutex g_rootMutex;
std::string g_root;

std::string Root() {
    std::lock_guard lock(g_rootMutex);
    return g_root;
}

// Small proc and sys files only: at most 1 MiB is read.
std::string ReadSmall(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text(1 << 20, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

std::string TrimmedLine(const std::string& path) {
    std::string text = ReadSmall(path);
    const size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos) {
        text.resize(end);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    return text;
}

bool HasHypervisorFlag(const std::string& cpuinfo) {
    std::istringstream lines(cpuinfo);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("flags", 0) != 0) {
            continue;
        }
        const size_t colon = line.find(':');
        std::istringstream words(colon == std::string::npos ? std::string()
                                                            : line.substr(colon + 1));
        std::string word;
        while (words >> word) {
            if (word == "hypervisor") {
                return true;
            }
        }
        return false;  // one processor's flags say it
    }
    return false;
}

}  // namespace

void SetHostMarkersRoot(std::string root) {
    while (!root.empty() && root.back() == '/') {
        root.pop_back();
    }
    std::lock_guard lock(g_rootMutex);
    g_root = std::move(root);
}

HostMarkers ReadHostMarkers() {
    const std::string root = Root();
    HostMarkers markers;
    markers.cpuHypervisorFlag = HasHypervisorFlag(ReadSmall(root + "/proc/cpuinfo"));
    const std::string dmi = root + "/sys/class/dmi/id/";
    markers.sysVendor = TrimmedLine(dmi + "sys_vendor");
    markers.productName = TrimmedLine(dmi + "product_name");
    markers.productVersion = TrimmedLine(dmi + "product_version");
    markers.boardVendor = TrimmedLine(dmi + "board_vendor");
    markers.biosVendor = TrimmedLine(dmi + "bios_vendor");
    markers.hypervisorType = TrimmedLine(root + "/sys/hypervisor/type");
    markers.kernelRelease = TrimmedLine(root + "/proc/sys/kernel/osrelease");

    std::error_code ec;
    for (const char* marker : {"/.dockerenv", "/run/.containerenv", "/.flatpak-info",
                               "/run/firejail", "/proc/xen", "/dev/vboxguest", "/dev/vmci"}) {
        if (std::filesystem::exists(root + marker, ec)) {
            markers.markerFiles.emplace_back(marker);
        }
    }
    // OpenVZ containers have /proc/vz without /proc/bc; the host has both.
    if (std::filesystem::exists(root + "/proc/vz", ec) &&
        !std::filesystem::exists(root + "/proc/bc", ec)) {
        markers.markerFiles.emplace_back("/proc/vz");
    }

    const std::string environ = ReadSmall(root + "/proc/1/environ");
    for (size_t start = 0; start < environ.size();) {
        size_t end = environ.find('\0', start);
        if (end == std::string::npos) {
            end = environ.size();
        }
        const std::string_view entry(environ.data() + start, end - start);
        if (entry.substr(0, 10) == "container=") {
            markers.initEnvironmentContainer = std::string(entry.substr(10));
        }
        start = end + 1;
    }
    markers.initCgroup = ReadSmall(root + "/proc/1/cgroup");

    std::istringstream modules(ReadSmall(root + "/proc/modules"));
    std::string line;
    while (std::getline(modules, line)) {
        const size_t space = line.find(' ');
        markers.modules.push_back(line.substr(0, space));
    }
    return markers;
}

}  // namespace zeph::platform
