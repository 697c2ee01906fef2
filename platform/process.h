// Processes: starting programs from Windows command lines, waiting for them,
// the running processes, the interactive user, and shared objects ("dll"
// packages) with their exports.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel_objects.h"
#include "platform/win_error.h"

namespace zeph::platform {

// SW_* numbers. A started program finds it in ZEPH_SHOW_WINDOW.
enum class ShowWindow : int32_t {
    Hide = 0,
    ShowNormal = 1,
    ShowMinimized = 2,
    ShowMaximized = 3,
    ShowNoActivate = 4,
    Show = 5,
    Minimize = 6,
    ShowMinNoActive = 7,
    ShowNa = 8,
    Restore = 9,
    ShowDefault = 10,
};

// The show flag this process was started with (ShowDefault when none).
ShowWindow GetStartupShowWindow();

enum class StartAs : uint8_t {
    Self,             // this process's user and environment
    InteractiveUser,  // as root: the active session's user with that user's environment
};

struct StartOptions {
    ShowWindow show = ShowWindow::ShowDefault;
    StartAs as = StartAs::Self;
    std::u16string currentDirectory;  // Windows form; empty: this process's
};

inline constexpr uint32_t kStillActive = 259;

// A started process. Destroying the handle leaves the process running.
class Process {
  public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool IsOpen() const { return m_pid > 0; }
    uint32_t Id() const { return static_cast<uint32_t>(m_pid); }
    // Signaled when the process ended, Timeout when it still runs.
    WaitResult Wait(uint32_t timeoutMs);
    // GetExitCodeProcess: kStillActive while it runs; 128 + n for a process
    // ended by signal n.
    uint32_t ExitCode();
    WinError Terminate();

  private:
    friend void AdoptProcess(int pid, Process& out);
    bool Reap(bool block);

    int m_pid = 0;
    int m_pidfd = -1;
    bool m_ended = false;
    uint32_t m_exitCode = kStillActive;
};

// CreateProcess from a command line formed as "\"path\" params": the first
// argument is the program (a Windows path; a bare name is looked up in PATH),
// the rest are split by the Windows rules. A program without its run bit
// gets it (a Windows machine needs none); scripts run by their "#!" line.
// FileNotFound when the program is missing, BadExeFormat when it cannot run.
// The started program finds its command line in ZEPH_COMMAND_LINE and the
// show flag in ZEPH_SHOW_WINDOW.
WinError StartProcess(std::u16string_view commandLine, const StartOptions& options, Process& out);

uint32_t GetCurrentProcessId();
// GetModuleFileName of the executable, in Windows form.
std::u16string GetModuleFileName();

// One entry of a process snapshot (read from /proc).
struct ProcessEntry {
    uint32_t pid = 0;
    uint32_t parentPid = 0;
    std::u16string exeName;  // file name of the executable
    std::u16string exePath;  // Windows form; empty when it cannot be read
};
std::vector<ProcessEntry> SnapshotProcesses();
// Entries whose exeName equals `name`, ignoring letter case.
std::vector<ProcessEntry> FindProcessesByName(std::u16string_view name);

// The user of the active graphical session. Only a process running as root
// asks: the active session from logind, else SUDO_UID, else PKEXEC_UID.
struct InteractiveUser {
    uint32_t uid = 0;
    uint32_t gid = 0;
    std::string name;
    std::string home;
    std::string source;                    // where it was found, for diagnostics
    bool administrator = false;            // a member of sudo, wheel or admin
    std::vector<std::string> environment;  // NAME=value
};
// Where FindInteractiveUser looks; tests point it elsewhere.
struct InteractiveUserSources {
    std::string sessionsDir = "/run/systemd/sessions";
    std::optional<std::string> sudoUid;    // default: $SUDO_UID
    std::optional<std::string> pkexecUid;  // default: $PKEXEC_UID
};
// nullopt when this process is not root or no user is found: programs then
// start as this process's own user.
std::optional<InteractiveUser> FindInteractiveUser(const InteractiveUserSources& sources = {});

// The export a "dll" package is entered through.
using PackageEntry = int (*)(const char16_t* params);

// A loaded shared object (LoadLibrary / FreeLibrary).
class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // ModNotFound when the file is missing, BadExeFormat when it is not a
    // loadable shared object (the loader's reason in `detail`).
    static WinError Load(std::u16string_view path, SharedLibrary& out,
                         std::string* detail = nullptr);
    bool IsLoaded() const { return m_handle != nullptr; }
    void Unload();
    // GetProcAddress: null when there is no such export.
    void* Symbol(const char* name) const;
    PackageEntry Export(const char* name) const {
        return reinterpret_cast<PackageEntry>(Symbol(name));
    }

  private:
    void* m_handle = nullptr;
};

}  // namespace zeph::platform
