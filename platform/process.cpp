#include "platform/process.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/close_range.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "base/ascii.h"
#include "base/strings.h"
#include "platform/command_line.h"
#include "platform/host_io.h"
#include "platform/paths.h"
#include "platform/process_spawn.h"
#include "platform/profile.h"

extern char** environ;

namespace zeph::platform {
namespace {

std::vector<std::string> OwnEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        env.emplace_back(*e);
    }
    return env;
}

void SetVariable(std::vector<std::string>& env, const std::string& name, const std::string& value) {
    const std::string prefix = name + "=";
    std::erase_if(env, [&](const std::string& entry) { return entry.rfind(prefix, 0) == 0; });
    env.push_back(prefix + value);
}

std::optional<std::string> GetVariable(const std::vector<std::string>& env,
                                       const std::string& name) {
    const std::string prefix = name + "=";
    for (const auto& entry : env) {
        if (entry.rfind(prefix, 0) == 0) {
            return entry.substr(prefix.size());
        }
    }
    return std::nullopt;
}

std::map<std::string, std::string> ReadKeyValues(const std::string& path) {
    std::map<std::string, std::string> values;
    std::string text;
    if (ReadHostFile(path, text) != 0) {
        return values;
    }
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(pos, end - pos);
        if (const size_t eq = line.find('='); eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
        pos = end + 1;
    }
    return values;
}

bool ParseUid(const std::string& text, uint32_t& uid) {
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    uid = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& base) {
    std::vector<std::string> env = base;
    SetVariable(env, "ZEPH_PREFIX", CurrentProfile()->Root());
    return env;
}

std::string FindInPath(const std::string& name, const std::vector<std::string>& environment) {
    const std::string path =
        GetVariable(environment, "PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find(':', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string dir = path.substr(pos, end - pos);
        if (dir.empty()) {
            dir = ".";
        }
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                return candidate;
            }
        }
        pos = end + 1;
    }
    return {};
}

WinError Spawn(const SpawnRequest& request, pid_t& pid) {
    // Everything the child needs is prepared here: after fork it may only
    // make async-signal-safe calls.
    std::vector<char*> argv;
    for (const auto& arg : request.argv) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : request.environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    std::vector<gid_t> groups;
    if (request.user) {
        int count = 64;
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(request.user->name.c_str(), request.user->gid, groups.data(), &count) <
            0) {
            groups.resize(static_cast<size_t>(count));
            ::getgrouplist(request.user->name.c_str(), request.user->gid, groups.data(), &count);
        }
        groups.resize(static_cast<size_t>(std::max(count, 0)));
    }
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        return WinErrorFromErrno(errno);
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int err = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        return WinErrorFromErrno(err);
    }
    if (child == 0) {
        ::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC);
        sigset_t all;
        sigemptyset(&all);
        ::sigprocmask(SIG_SETMASK, &all, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        int err = 0;
        if (request.user) {
            if (::setgroups(groups.size(), groups.data()) != 0 ||
                ::setgid(request.user->gid) != 0 || ::setuid(request.user->uid) != 0) {
                err = errno;
            }
        }
        if (err == 0 && !request.directory.empty() && ::chdir(request.directory.c_str()) != 0) {
            err = errno;
        }
        if (err == 0) {
            ::execve(request.program.c_str(), argv.data(), envp.data());
            err = errno;
        }
        ssize_t ignored = ::write(errorPipe[1], &err, sizeof err);
        (void)ignored;
        ::_exit(127);
    }
    ::close(errorPipe[1]);
    int childError = 0;
    ssize_t got = 0;
    do {
        got = ::read(errorPipe[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        ::waitpid(child, nullptr, 0);
        switch (childError) {
            case ENOENT:
                return WinError::FileNotFound;
            case ENOEXEC:
            case ELIBBAD:
                return WinError::BadExeFormat;
            case EACCES:
            case EPERM:
                return WinError::AccessDenied;
            default:
                return WinErrorFromErrno(childError);
        }
    }
    pid = child;
    return WinError::Success;
}

void AdoptProcess(int pid, Process& out) {
    out = Process();
    out.m_pid = pid;
    out.m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    out.m_ended = false;
    out.m_exitCode = kStillActive;
}

ShowWindow GetStartupShowWindow() {
    if (const char* value = std::getenv("ZEPH_SHOW_WINDOW"); value && *value) {
        char* end = nullptr;
        const long number = std::strtol(value, &end, 10);
        if (*end == '\0' && number >= 0 && number <= 11) {
            return static_cast<ShowWindow>(number);
        }
    }
    return ShowWindow::ShowDefault;
}

Process::~Process() {
    if (m_pid > 0 && !m_ended && !Reap(false)) {
        // Windows processes outlive their handles; someone must still reap it.
        std::thread([pid = m_pid] { ::waitpid(pid, nullptr, 0); }).detach();
    }
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
    }
}

Process::Process(Process&& other) noexcept
    : m_pid(other.m_pid),
      m_pidfd(other.m_pidfd),
      m_ended(other.m_ended),
      m_exitCode(other.m_exitCode) {
    other.m_pid = 0;
    other.m_pidfd = -1;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Process old(std::move(*this));
        m_pid = other.m_pid;
        m_pidfd = other.m_pidfd;
        m_ended = other.m_ended;
        m_exitCode = other.m_exitCode;
        other.m_pid = 0;
        other.m_pidfd = -1;
    }
    return *this;
}

bool Process::Reap(bool block) {
    if (m_ended) {
        return true;
    }
    int status = 0;
    pid_t result = 0;
    do {
        result = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) {
        return false;
    }
    m_ended = true;
    if (result < 0) {
        m_exitCode = 0;  // reaped elsewhere (SIGCHLD ignored)
    } else if (WIFEXITED(status)) {
        m_exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        m_exitCode = 128u + static_cast<uint32_t>(WTERMSIG(status));
    }
    return true;
}

WaitResult Process::Wait(uint32_t timeoutMs) {
    if (m_pid <= 0) {
        return WaitResult::Failed;
    }
    if (m_ended || Reap(false)) {
        return WaitResult::Signaled;
    }
    if (m_pidfd >= 0) {
        pollfd pfd{m_pidfd, POLLIN, 0};
        const int timeout = timeoutMs == kInfinite
                                ? -1
                                : static_cast<int>(std::min<uint32_t>(timeoutMs, 0x7FFFFFFF));
        int ready = 0;
        do {
            ready = ::poll(&pfd, 1, timeout);
        } while (ready < 0 && errno == EINTR);
        if (ready > 0) {
            Reap(true);
            return WaitResult::Signaled;
        }
        return ready == 0 ? WaitResult::Timeout : WaitResult::Failed;
    }
    for (uint32_t waited = 0;; waited += 5) {
        if (Reap(false)) {
            return WaitResult::Signaled;
        }
        if (timeoutMs != kInfinite && waited >= timeoutMs) {
            return WaitResult::Timeout;
        }
        ::usleep(5000);
    }
}

uint32_t Process::ExitCode() {
    if (m_pid <= 0) {
        return 0;
    }
    Reap(false);
    return m_ended ? m_exitCode : kStillActive;
}

WinError Process::Terminate() {
    if (m_pid <= 0) {
        return WinError::InvalidHandle;
    }
    if (m_ended) {
        return WinError::AccessDenied;  // as for a process that already ended
    }
    if (::kill(m_pid, SIGKILL) != 0) {
        return WinErrorFromErrno(errno);
    }
    return WinError::Success;
}

WinError StartProcess(std::u16string_view commandLine, const StartOptions& options, Process& out) {
    out = Process();
    const std::vector<std::u16string> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) {
        return WinError::InvalidParameter;
    }
    SpawnRequest request;
    std::vector<std::string> base = OwnEnvironment();
    if (options.as == StartAs::InteractiveUser) {
        if (auto user = FindInteractiveUser(); user && user->uid != ::geteuid()) {
            base = user->environment;
            request.user = std::move(user);
        }
    }
    request.environment = ChildEnvironment(base);
    const std::u16string& program = args[0];
    if (program.find_first_of(u"\\/:") == std::u16string::npos) {
        request.program = FindInPath(U8(program), request.environment);
        if (request.program.empty()) {
            return WinError::FileNotFound;
        }
    } else {
        const auto host = ToHostPath(program);
        if (!host) {
            return WinError::PathNotFound;
        }
        request.program = *host;
    }
    struct stat st {};
    if (::stat(request.program.c_str(), &st) != 0) {
        return errno == ENOENT ? WinError::FileNotFound : WinErrorFromErrno(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return WinError::AccessDenied;
    }
    char magic[4] = {};
    if (const int fd = ::open(request.program.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        const ssize_t got = ::read(fd, magic, sizeof magic);
        ::close(fd);
        const bool elf = got == 4 && std::memcmp(magic,
                                                 "\x7f"
                                                 "ELF",
                                                 4) == 0;
        const bool script = got >= 2 && magic[0] == '#' && magic[1] == '!';
        if (!elf && !script) {
            return WinError::BadExeFormat;
        }
    }
    if ((st.st_mode & 0111) == 0) {
        // A Windows machine runs any .exe; give the file its run bit.
        ::chmod(request.program.c_str(), (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2));
    }
    request.argv.push_back(request.program);
    for (size_t i = 1; i < args.size(); ++i) {
        request.argv.push_back(U8(args[i]));
    }
    SetVariable(request.environment, "ZEPH_COMMAND_LINE", U8(commandLine));
    SetVariable(request.environment, "ZEPH_SHOW_WINDOW",
                std::to_string(static_cast<int32_t>(options.show)));
    if (!options.currentDirectory.empty()) {
        const auto dir = ToHostPath(options.currentDirectory);
        if (!dir) {
            return WinError::DirectoryInvalid;
        }
        request.directory = *dir;
    }
    pid_t pid = 0;
    if (const WinError e = Spawn(request, pid); e != WinError::Success) {
        return e;
    }
    AdoptProcess(pid, out);
    return WinError::Success;
}

uint32_t GetCurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

namespace {

std::string ReadLink(const std::string& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) {
        return {};
    }
    std::string target(buffer, static_cast<size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.size() > kDeleted.size() &&
        target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        target.resize(target.size() - kDeleted.size());
    }
    return target;
}

}  // namespace

std::u16string GetModuleFileName() {
    const std::string exe = ReadLink("/proc/self/exe");
    if (exe.empty()) {
        return {};
    }
    return ToWindowsPath(exe).value_or(Utf8ToUtf16(exe));
}

std::vector<ProcessEntry> SnapshotProcesses() {
    std::vector<ProcessEntry> entries;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return entries;
    }
    while (const dirent* entry = ::readdir(proc)) {
        const std::string name = entry->d_name;
        uint32_t pid = 0;
        if (!ParseUid(name, pid)) {
            continue;
        }
        std::string stat;
        if (ReadHostFile("/proc/" + name + "/stat", stat) != 0) {
            continue;  // ended meanwhile
        }
        ProcessEntry item;
        item.pid = pid;
        const size_t open = stat.find('(');
        const size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size()) {
            // After ") S " comes the parent's id.
            const size_t start = stat.find(' ', close + 2);
            if (start != std::string::npos) {
                item.parentPid =
                    static_cast<uint32_t>(std::strtoul(stat.c_str() + start + 1, nullptr, 10));
            }
        }
        const std::string exe = ReadLink("/proc/" + name + "/exe");
        if (!exe.empty()) {
            item.exePath = ToWindowsPath(exe).value_or(u"");
            item.exeName = Utf8ToUtf16(exe.substr(exe.find_last_of('/') + 1));
        } else if (open != std::string::npos && close != std::string::npos && close > open) {
            item.exeName = Utf8ToUtf16(stat.substr(open + 1, close - open - 1));
        }
        entries.push_back(std::move(item));
    }
    ::closedir(proc);
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
    return entries;
}

std::vector<ProcessEntry> FindProcessesByName(std::u16string_view name) {
    std::vector<ProcessEntry> found;
    for (auto& entry : SnapshotProcesses()) {
        if (AsciiEqualsIgnoreCase(entry.exeName, name)) {
            found.push_back(std::move(entry));
        }
    }
    return found;
}

std::optional<InteractiveUser> FindInteractiveUser(const InteractiveUserSources& sources) {
    if (::geteuid() != 0) {
        return std::nullopt;
    }
    uint32_t uid = 0;
    std::string source;
    std::map<std::string, std::string> session;
    if (DIR* dir = ::opendir(sources.sessionsDir.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name[0] != '.' && name.find('.') == std::string::npos) {
                names.push_back(name);
            }
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            auto values = ReadKeyValues(sources.sessionsDir + "/" + name);
            const std::string& type = values["TYPE"];
            uint32_t candidate = 0;
            if (values["ACTIVE"] == "1" && values["REMOTE"] != "1" &&
                (type == "x11" || type == "wayland" || type == "mir") &&
                ParseUid(values["UID"], candidate) && candidate != 0) {
                uid = candidate;
                source = "logind session " + name;
                session = std::move(values);
                break;
            }
        }
    }
    if (uid == 0) {
        const std::optional<std::string> sudo =
            sources.sudoUid
                ? sources.sudoUid
                : (std::getenv("SUDO_UID") ? std::optional<std::string>(std::getenv("SUDO_UID"))
                                           : std::nullopt);
        const std::optional<std::string> pkexec =
            sources.pkexecUid
                ? sources.pkexecUid
                : (std::getenv("PKEXEC_UID") ? std::optional<std::string>(std::getenv("PKEXEC_UID"))
                                             : std::nullopt);
        if (sudo && ParseUid(*sudo, uid) && uid != 0) {
            source = "SUDO_UID";
        } else if (pkexec && ParseUid(*pkexec, uid) && uid != 0) {
            source = "PKEXEC_UID";
        } else {
            return std::nullopt;
        }
    }
    const passwd* pw = ::getpwuid(uid);
    if (pw == nullptr) {
        return std::nullopt;
    }
    InteractiveUser user;
    user.uid = uid;
    user.gid = pw->pw_gid;
    user.name = pw->pw_name;
    user.home = pw->pw_dir ? pw->pw_dir : "/";
    user.source = source;
    {
        int count = 64;
        std::vector<gid_t> groups(static_cast<size_t>(count));
        if (::getgrouplist(user.name.c_str(), user.gid, groups.data(), &count) < 0) {
            groups.resize(static_cast<size_t>(count));
            ::getgrouplist(user.name.c_str(), user.gid, groups.data(), &count);
        }
        groups.resize(static_cast<size_t>(std::max(count, 0)));
        for (const char* admin : {"sudo", "wheel", "admin"}) {
            if (const group* g = ::getgrnam(admin);
                g && std::find(groups.begin(), groups.end(), g->gr_gid) != groups.end()) {
                user.administrator = true;
            }
        }
    }
    const std::vector<std::string> own = OwnEnvironment();
    auto& env = user.environment;
    env.push_back("HOME=" + user.home);
    env.push_back("USER=" + user.name);
    env.push_back("LOGNAME=" + user.name);
    env.push_back(std::string("SHELL=") +
                  (pw->pw_shell && *pw->pw_shell ? pw->pw_shell : "/bin/sh"));
    env.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
    const std::string runtime = "/run/user/" + std::to_string(uid);
    if (Exists(runtime)) {
        env.push_back("XDG_RUNTIME_DIR=" + runtime);
        if (Exists(runtime + "/bus")) {
            env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/bus");
        }
    }
    std::string display = session.count("DISPLAY") ? session["DISPLAY"] : "";
    if (display.empty()) {
        display = GetVariable(own, "DISPLAY").value_or("");
    }
    if (!display.empty()) {
        env.push_back("DISPLAY=" + display);
    }
    if (auto wayland = GetVariable(own, "WAYLAND_DISPLAY")) {
        env.push_back("WAYLAND_DISPLAY=" + *wayland);
    }
    if (Exists(user.home + "/.Xauthority")) {
        env.push_back("XAUTHORITY=" + user.home + "/.Xauthority");
    }
    for (const auto& entry : own) {
        if (entry.rfind("LANG=", 0) == 0 || entry.rfind("LC_", 0) == 0 ||
            entry.rfind("ZEPH_", 0) == 0) {
            env.push_back(entry);
        }
    }
    return user;
}

SharedLibrary::~SharedLibrary() {
    Unload();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = nullptr;
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

void SharedLibrary::Unload() {
    if (m_handle) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
}

WinError SharedLibrary::Load(std::u16string_view path, SharedLibrary& out, std::string* detail) {
    out.Unload();
    const auto host = ToHostPath(path);
    if (!host) {
        return WinError::ModNotFound;
    }
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return WinError::ModNotFound;
    }
    void* handle = ::dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (detail) {
            const char* reason = ::dlerror();
            *detail = reason ? reason : "";
        }
        return WinError::BadExeFormat;
    }
    out.m_handle = handle;
    return WinError::Success;
}

void* SharedLibrary::Symbol(const char* name) const {
    return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

}  // namespace zeph::platform
