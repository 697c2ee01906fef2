#include "platform/firewall.h"

#include <cerrno>
#include <cstdio>

#include "base/ascii.h"
#include "base/strings.h"
#include "platform/host_io.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/profile_files.h"

namespace zeph::platform {
namespace {

// firewall.ini holds one section per application: [app1], [app2], ...
// with path, name and enabled.
WinError Load(const std::string& file, std::vector<FirewallApp>& apps) {
    apps.clear();
    std::string bytes;
    if (const int err = ReadHostFile(file, bytes); err != 0) {
        return err == ENOENT ? WinError::Success : WinErrorFromErrno(err);
    }
    std::vector<ProfileProblem> problems;
    const StrictIni ini = ParseStrictIni(bytes, file, problems);
    for (const auto& section : ini.sections) {
        FirewallApp app;
        bool hasPath = false;
        for (const auto& entry : section.entries) {
            if (entry.key == "path") {
                app.path = U16(entry.value);
                hasPath = !entry.value.empty();
            } else if (entry.key == "name") {
                app.name = U16(entry.value);
            } else if (entry.key == "enabled") {
                if (entry.value != "0" && entry.value != "1") {
                    problems.push_back({file, entry.line, "enabled: expected 0 or 1"});
                }
                app.enabled = entry.value != "0";
            } else {
                problems.push_back({file, entry.line, "unknown key \"" + entry.key + "\""});
            }
        }
        if (!hasPath) {
            problems.push_back({file, section.line, "[" + section.name + "] has no path"});
            continue;
        }
        apps.push_back(std::move(app));
    }
    if (!problems.empty()) {
        for (const auto& problem : problems) {
            std::fprintf(stderr, "zephsetup: %s\n", problem.ToString().c_str());
        }
        return WinError::InvalidData;
    }
    return WinError::Success;
}

std::string Write(const std::vector<FirewallApp>& apps) {
    std::string text = "; The firewall's authorised applications.\n";
    int index = 0;
    for (const auto& app : apps) {
        text += "\n[app" + std::to_string(++index) + "]\n";
        text += "path=" + U8(app.path) + "\n";
        text += "name=" + U8(app.name) + "\n";
        text += std::string("enabled=") + (app.enabled ? "1" : "0") + "\n";
    }
    return text;
}

std::u16string Normal(std::u16string_view path) {
    const auto parsed = ParseWinPath(path);
    return parsed ? FormatWinPath(*parsed) : std::u16string(path);
}

bool SamePath(std::u16string_view a, std::u16string_view b) {
    return AsciiEqualsIgnoreCase(Normal(a), Normal(b));
}

std::string FilePath() {
    return CurrentProfile()->FilePath("firewall.ini");
}

}  // namespace

std::vector<FirewallApp> AuthorizedApps() {
    std::vector<FirewallApp> apps;
    if (Load(FilePath(), apps) != WinError::Success) {
        apps.clear();
    }
    return apps;
}

std::optional<FirewallApp> FindAuthorizedApp(std::u16string_view path) {
    for (auto& app : AuthorizedApps()) {
        if (SamePath(app.path, path)) {
            return app;
        }
    }
    return std::nullopt;
}

WinError AddAuthorizedApp(std::u16string_view path, std::u16string_view name) {
    if (path.empty()) {
        return WinError::InvalidParameter;
    }
    const std::string file = FilePath();
    HostFileLock lock(file + ".lock");
    std::vector<FirewallApp> apps;
    if (const WinError e = Load(file, apps); e != WinError::Success) {
        return e;  // a damaged list is left as it is
    }
    std::erase_if(apps, [&](const FirewallApp& app) { return SamePath(app.path, path); });
    apps.push_back({Normal(path), std::u16string(name), true});
    const int err = ReplaceHostFile(file, Write(apps));
    return err == 0 ? WinError::Success : WinErrorFromErrno(err);
}

WinError RemoveAuthorizedApp(std::u16string_view path) {
    const std::string file = FilePath();
    HostFileLock lock(file + ".lock");
    std::vector<FirewallApp> apps;
    if (const WinError e = Load(file, apps); e != WinError::Success) {
        return e;
    }
    const size_t removed =
        std::erase_if(apps, [&](const FirewallApp& app) { return SamePath(app.path, path); });
    if (removed == 0) {
        return WinError::FileNotFound;
    }
    const int err = ReplaceHostFile(file, Write(apps));
    return err == 0 ? WinError::Success : WinErrorFromErrno(err);
}

}  // namespace zeph::platform
