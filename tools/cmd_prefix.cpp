// zephctl prefix: create, show and restart the machine profile.
#include <cstdio>
#include <ctime>
#include <string>

#include "base/ascii.h"
#include "base/strings.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/firewall.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "tools/command.h"

namespace zephctl {
namespace {

using namespace zeph;
using namespace zeph::platform;

constexpr const char kPrefixHelp[] =
    "usage: zephctl prefix init [OPTIONS]\n"
    "       zephctl prefix show [--prefix DIR]\n"
    "       zephctl prefix reboot [--prefix DIR]\n"
    "\n"
    "The machine profile: the folder that makes this machine look like the\n"
    "Windows machine the installer expects ($ZEPH_PREFIX, by default\n"
    "$XDG_DATA_HOME/zephsetup/prefix). See docs/machine-profile.md.\n"
    "\n"
    "  init     create the profile, or change it; options not given keep their value:\n"
    "             --prefix DIR                the profile folder instead of $ZEPH_PREFIX\n"
    "             --version MAJOR.MINOR.BUILD  Windows version, e.g. 10.0.19045 or 6.1.7601\n"
    "             --server | --workstation    product type\n"
    "             --service-pack N            service pack number\n"
    "             --arch x86|x64|arm64        native architecture\n"
    "             --wow64 0|1                 1: the installer runs as a 32-bit process\n"
    "             --code-page N               ANSI code page (936)\n"
    "             --computer-name NAME        up to 15 characters\n"
    "             --session-id N              session of the installer's processes\n"
    "             --drive L=PATH[,TYPE[,BUS[,FREE_MB]]]\n"
    "                                         add or replace drive L: TYPE fixed, removable,\n"
    "                                         remote, cdrom or ramdisk; BUS sata, nvme, usb,\n"
    "                                         ...; FREE_MB simulates the free space\n"
    "             --remove-drive L            remove drive L\n"
    "  show     print the facts, folders, drives, firewall list and pending\n"
    "           restart operations\n"
    "  reboot   what a restart does: carry out the moves and deletions delayed\n"
    "           until the restart, drop the RunOnce entries (they are listed, not\n"
    "           run) and start the tick count again\n";

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 19) {
        return false;
    }
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > max) {
        return false;
    }
    out = value;
    return true;
}

std::string ProfileRoot(Args& args) {
    std::string root;
    if (!TakeOption(args, "--prefix", root)) {
        root = DefaultProfilePath();
    }
    return root;
}

// "D=/mnt/usb,removable,usb,2048"
bool ParseDrive(const std::string& spec, DriveSpec& drive, std::string& error) {
    if (spec.size() < 3 || spec[1] != '=' ||
        !((spec[0] >= 'A' && spec[0] <= 'Z') || (spec[0] >= 'a' && spec[0] <= 'z'))) {
        error = "--drive wants L=PATH[,TYPE[,BUS[,FREE_MB]]], not \"" + spec + "\"";
        return false;
    }
    drive.letter = AsciiToUpper(static_cast<char16_t>(spec[0]));
    std::vector<std::string> parts;
    size_t pos = 2;
    while (pos <= spec.size()) {
        size_t comma = spec.find(',', pos);
        if (comma == std::string::npos) {
            comma = spec.size();
        }
        parts.push_back(spec.substr(pos, comma - pos));
        pos = comma + 1;
    }
    if (parts[0].empty()) {
        error = "--drive " + spec + ": the host folder is missing";
        return false;
    }
    drive.hostPath = parts[0];  // a relative folder is inside the profile
    drive.type = DriveType::Fixed;
    if (parts.size() > 1 && !parts[1].empty()) {
        const auto type = ParseDriveType(parts[1]);
        if (!type) {
            error = "--drive " + spec + ": unknown type \"" + parts[1] + "\"";
            return false;
        }
        drive.type = *type;
    }
    drive.bus = drive.type == DriveType::Removable ? BusType::Usb
                : drive.type == DriveType::Fixed   ? BusType::Sata
                                                   : BusType::Unknown;
    if (parts.size() > 2 && !parts[2].empty()) {
        const auto bus = ParseBusType(parts[2]);
        if (!bus) {
            error = "--drive " + spec + ": unknown bus \"" + parts[2] + "\"";
            return false;
        }
        drive.bus = *bus;
    }
    if (parts.size() > 3 && !parts[3].empty()) {
        uint64_t mb = 0;
        if (!ParseUnsigned(parts[3], UINT64_MAX >> 20, mb)) {
            error = "--drive " + spec + ": FREE_MB must be a number";
            return false;
        }
        drive.freeMb = mb;
    }
    if (parts.size() > 4) {
        error = "--drive " + spec + ": too many fields";
        return false;
    }
    return true;
}

int PrintProblems(const std::vector<ProfileProblem>& problems) {
    for (const auto& problem : problems) {
        std::fprintf(stderr, "zephctl: %s\n", problem.ToString().c_str());
    }
    return problems.empty() ? 0 : 1;
}

int Init(Args args) {
    const std::string root = ProfileRoot(args);
    ProfileChanges changes;
    std::string value;
    if (TakeOption(args, "--version", value)) {
        unsigned major = 0, minor = 0, build = 0;
        char extra = 0;
        if (std::sscanf(value.c_str(), "%u.%u.%u%c", &major, &minor, &build, &extra) != 3) {
            return Fail("--version wants MAJOR.MINOR.BUILD, such as 10.0.19045");
        }
        changes.major = major;
        changes.minor = minor;
        changes.build = build;
    }
    const bool server = TakeFlag(args, "--server");
    const bool workstation = TakeFlag(args, "--workstation");
    if (server && workstation) {
        return Fail("--server and --workstation exclude each other");
    }
    if (server) {
        changes.productType = ProductType::Server;
    } else if (workstation) {
        changes.productType = ProductType::Workstation;
    }
    uint64_t number = 0;
    if (TakeOption(args, "--service-pack", value)) {
        if (!ParseUnsigned(value, 0xFFFF, number)) {
            return Fail("--service-pack wants a number");
        }
        changes.servicePackMajor = static_cast<uint16_t>(number);
    }
    if (TakeOption(args, "--arch", value)) {
        const auto arch = ParseArchitecture(value);
        if (!arch) {
            return Fail("--arch wants x86, x64 or arm64, not \"" + value + "\"");
        }
        changes.architecture = *arch;
    }
    if (TakeOption(args, "--wow64", value)) {
        if (value != "0" && value != "1") {
            return Fail("--wow64 wants 0 or 1");
        }
        changes.wow64Process = value == "1";
    }
    if (TakeOption(args, "--code-page", value)) {
        if (!ParseUnsigned(value, 65535, number) || number == 0) {
            return Fail("--code-page wants a code page number such as 936");
        }
        changes.ansiCodePage = static_cast<uint32_t>(number);
    }
    if (TakeOption(args, "--computer-name", value)) {
        if (value.empty() || value.size() > 15) {
            return Fail("--computer-name wants 1 to 15 characters");
        }
        changes.computerName = U16(value);
    }
    if (TakeOption(args, "--session-id", value)) {
        if (!ParseUnsigned(value, 0xFFFFFFFF, number)) {
            return Fail("--session-id wants a number");
        }
        changes.sessionId = static_cast<uint32_t>(number);
    }
    while (TakeOption(args, "--drive", value)) {
        DriveSpec drive;
        std::string error;
        if (!ParseDrive(value, drive, error)) {
            return Fail(error);
        }
        changes.drives.push_back(drive);
    }
    while (TakeOption(args, "--remove-drive", value)) {
        if (value.size() != 1 && !(value.size() == 2 && value[1] == ':')) {
            return Fail("--remove-drive wants a drive letter");
        }
        changes.removedDrives.push_back(static_cast<char16_t>(value[0]));
    }
    std::string error;
    if (!NoOptionsLeft(args, error)) {
        return Fail(error);
    }
    if (!args.empty()) {
        return Fail("unexpected argument " + args[0]);
    }
    std::vector<ProfileProblem> problems;
    if (!InitProfile(root, changes, problems)) {
        PrintProblems(problems);
        return Fail("the profile at " + root + " was not changed (mend the files named above)");
    }
    PrintProblems(problems);
    std::printf("profile ready at %s\n", root.c_str());
    return 0;
}

std::string FormatMs(int64_t ms) {
    const time_t seconds = static_cast<time_t>(ms / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

int Show(Args args) {
    const std::string root = ProfileRoot(args);
    std::string error;
    if (!NoOptionsLeft(args, error)) {
        return Fail(error);
    }
    auto profile = Profile::Open(root);
    SetCurrentProfile(profile);
    const SystemFacts& f = profile->Facts();
    std::printf("profile     %s\n", profile->Root().c_str());
    std::printf(
        "windows     %u.%u.%u %s%s, %s\n", f.major, f.minor, f.build,
        ProductTypeWord(f.productType),
        f.servicePackMajor ? (", service pack " + std::to_string(f.servicePackMajor)).c_str() : "",
        ArchitectureWord(f.architecture));
    std::printf("installer   %s\n", profile->IsWow64Process()
                                        ? "a 32-bit (WOW64) process: 32-bit registry view"
                                        : "a native process: 64-bit registry view");
    std::printf("computer    %s, user %s, code page %u, session %u\n", U8(f.computerName).c_str(),
                U8(f.userName).c_str(), f.ansiCodePage, f.sessionId);
    std::printf("tick count  %llu ms %s\n", static_cast<unsigned long long>(GetTickCount64()),
                f.tickOriginMs > 0 ? ("since the restart at " + FormatMs(f.tickOriginMs)).c_str()
                                   : "since the host's boot");
    std::printf("\nfolders\n");
    const std::pair<const char*, KnownFolder> folders[] = {
        {"Windows", KnownFolder::Windows},
        {"System", KnownFolder::System},
        {"SysWOW64", KnownFolder::SystemWow64},
        {"Program Files", KnownFolder::ProgramFilesNative},
        {"Program Files (x86)", KnownFolder::ProgramFilesX86},
        {"ProgramData", KnownFolder::ProgramData},
        {"AppData", KnownFolder::AppData},
        {"Local AppData", KnownFolder::LocalAppData},
        {"Temp", KnownFolder::Temp},
        {"Desktop", KnownFolder::Desktop},
    };
    for (const auto& [label, folder] : folders) {
        const std::u16string path = GetKnownFolder(folder);
        if (path.empty()) {
            continue;
        }
        std::printf("  %-20s %-45s %s\n", label, U8(path).c_str(),
                    ToHostPath(path).value_or("(no drive)").c_str());
    }
    std::printf("\ndrives\n");
    for (const auto& drive : profile->Drives()) {
        const std::u16string rootPath = std::u16string(1, drive.letter) + u":\\";
        DiskFreeSpace space;
        std::string free = "free: unknown";
        if (GetDiskFreeSpace(rootPath, space) == WinError::Success) {
            free = "free " + std::to_string(space.totalFreeBytes >> 20) + " MiB" +
                   (drive.freeMb ? " (simulated)" : "");
        }
        std::printf("  %c:  %-9s %-8s %-40s %s\n", static_cast<char>(drive.letter),
                    DriveTypeWord(drive.type), BusTypeWord(drive.bus), drive.hostPath.c_str(),
                    free.c_str());
    }
    const auto apps = AuthorizedApps();
    std::printf("\nfirewall    %zu authorised application%s\n", apps.size(),
                apps.size() == 1 ? "" : "s");
    for (const auto& app : apps) {
        std::printf("  %s  %s%s\n", U8(app.path).c_str(), U8(app.name).c_str(),
                    app.enabled ? "" : " (disabled)");
    }
    const auto pending = GetPendingRenames();
    std::printf("\nat the next restart: %zu operation%s\n", pending.size(),
                pending.size() == 1 ? "" : "s");
    for (const auto& op : pending) {
        if (op.to.empty()) {
            std::printf("  delete %s\n", U8(op.from).c_str());
        } else {
            std::printf("  move %s -> %s%s\n", U8(op.from).c_str(), U8(op.to).c_str(),
                        op.replace ? " (replacing)" : "");
        }
    }
    std::printf("\nregistry    %s/registry\n", profile->Root().c_str());
    std::printf("objects     %s\n", profile->ObjectDir().c_str());
    std::vector<std::string> problems;
    for (const auto& p : profile->Problems()) {
        problems.push_back(p.ToString());
    }
    for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser, Hive::ClassesRoot, Hive::Users}) {
        if (auto problem = HiveProblem(hive); !problem.empty()) {
            problems.push_back(problem);
        }
    }
    if (!problems.empty()) {
        std::printf("\nproblems (these files are left as they are until mended)\n");
        for (const auto& p : problems) {
            std::printf("  %s\n", p.c_str());
        }
    }
    return 0;
}

int Reboot(Args args) {
    const std::string root = ProfileRoot(args);
    std::string error;
    if (!NoOptionsLeft(args, error)) {
        return Fail(error);
    }
    auto profile = Profile::Open(root);
    SetCurrentProfile(profile);
    if (PrintProblems(profile->Problems()) != 0) {
        return Fail("the profile has damaged files; nothing was done");
    }
    int failures = 0;
    for (const auto& outcome : CarryOutPendingRenames()) {
        const auto& op = outcome.operation;
        const std::string what =
            op.to.empty() ? "delete " + U8(op.from) : "move " + U8(op.from) + " -> " + U8(op.to);
        if (outcome.result == WinError::Success) {
            std::printf("done    %s\n", what.c_str());
        } else {
            ++failures;
            std::printf("failed  %s: %s\n", what.c_str(), WinErrorMessage(outcome.result).c_str());
        }
    }
    // RunOnce entries run once at the next logon and are removed; here they
    // are only listed.
    for (RegView view : {RegView::Wow64_64, RegView::Wow64_32}) {
        RegKey runOnce;
        if (RegKey::Open(Hive::LocalMachine,
                         u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", RegAccess::All,
                         view, runOnce) != WinError::Success) {
            continue;
        }
        std::vector<RegValueEntry> values;
        runOnce.EnumValues(values);
        for (const auto& value : values) {
            std::printf("RunOnce %s (%s) dropped, not run\n", U8(value.name).c_str(),
                        U8(runOnce.Path()).c_str());
            runOnce.DeleteValue(value.name);
        }
        if (!profile->Is64Bit()) {
            break;
        }
    }
    ProfileChanges changes;
    changes.tickOriginMs = UnixTime() * 1000;
    std::vector<ProfileProblem> problems;
    if (!InitProfile(root, changes, problems)) {
        PrintProblems(problems);
        return Fail("the tick count was not restarted");
    }
    if (failures > 0) {
        return Fail(std::to_string(failures) + " delayed operation" + (failures == 1 ? "" : "s") +
                    " failed (listed above)");
    }
    std::printf("restarted\n");
    return 0;
}

int RunPrefix(const Args& all) {
    if (WantsHelp(all, kPrefixHelp)) {
        return 0;
    }
    if (all.empty()) {
        return Fail("prefix needs init, show or reboot (see zephctl prefix --help)");
    }
    Args rest(all.begin() + 1, all.end());
    if (all[0] == "init") {
        return Init(rest);
    }
    if (all[0] == "show") {
        return Show(rest);
    }
    if (all[0] == "reboot") {
        return Reboot(rest);
    }
    return Fail("unknown prefix command \"" + all[0] + "\" (init, show or reboot)");
}

}  // namespace

ZEPH_COMMAND("prefix", "the machine profile: init, show, reboot", RunPrefix, kPrefixHelp);

}  // namespace zephctl
