#include "platform/shell.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "base/strings.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/process_spawn.h"

extern char** environ;

namespace zeph::platform {
namespace {

std::mutex g_clipboardMutex;
ClipboardProvider g_clipboard;

bool LooksLikeUrl(std::u16string_view target) {
    const size_t colon = target.find(u':');
    if (colon == std::u16string_view::npos || colon < 2) {
        return false;  // "C:\..." has its colon at 1
    }
    for (size_t i = 0; i < colon; ++i) {
        const char16_t c = target[i];
        const bool ok =
            (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
            (i > 0 && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.'));
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

WinError ShellOpen(std::u16string_view target) {
    if (target.empty()) {
        return WinError::InvalidParameter;
    }
    std::string argument;
    if (LooksLikeUrl(target)) {
        argument = U8(target);
    } else {
        const auto host = ToHostPath(target);
        struct stat st {};
        if (!host || ::stat(host->c_str(), &st) != 0) {
            return WinError::FileNotFound;
        }
        argument = *host;
    }
    SpawnRequest request;
    std::vector<std::string> base;
    for (char** e = environ; e && *e; ++e) {
        base.emplace_back(*e);
    }
    if (auto user = FindInteractiveUser(); user && user->uid != ::geteuid()) {
        base = user->environment;
        request.user = std::move(user);
    }
    request.environment = ChildEnvironment(base);
    request.program = FindInPath("xdg-open", request.environment);
    if (request.program.empty()) {
        return WinError::NoAssociation;
    }
    request.argv = {request.program, argument};
    pid_t pid = 0;
    if (const WinError e = Spawn(request, pid); e != WinError::Success) {
        return WinError::NoAssociation;
    }
    Process process;
    AdoptProcess(pid, process);
    // xdg-open returns once the handler has started; a handler that keeps it
    // waiting counts as started.
    if (process.Wait(10000) == WaitResult::Timeout) {
        return WinError::Success;
    }
    return process.ExitCode() == 0 ? WinError::Success : WinError::NoAssociation;
}

void SetClipboardProvider(ClipboardProvider provider) {
    std::lock_guard lock(g_clipboardMutex);
    g_clipboard = std::move(provider);
}

std::u16string GetClipboardText() {
    ClipboardProvider provider;
    {
        std::lock_guard lock(g_clipboardMutex);
        provider = g_clipboard;
    }
    return provider ? provider() : std::u16string();
}

}  // namespace zeph::platform
