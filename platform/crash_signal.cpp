#include "platform/crash_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/clock.h"

extern char** environ;

namespace zeph::platform {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);
constexpr size_t kAltStackBytes = 64 * 1024;

// EXCEPTION_* and STATUS_* numbers.
constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kInPageError = 0xC0000006;
constexpr uint32_t kDatatypeMisalignment = 0x80000002;
constexpr uint32_t kIllegalInstruction = 0xC000001D;
constexpr uint32_t kPrivilegedInstruction = 0xC0000096;
constexpr uint32_t kIntDivideByZero = 0xC0000094;
constexpr uint32_t kIntOverflow = 0xC0000095;
constexpr uint32_t kFltDivideByZero = 0xC000008E;
constexpr uint32_t kFltInexactResult = 0xC000008F;
constexpr uint32_t kFltInvalidOperation = 0xC0000090;
constexpr uint32_t kFltOverflow = 0xC0000091;
constexpr uint32_t kFltUnderflow = 0xC0000093;
constexpr uint32_t kFatalAppExit = 0xC0000409;  // abort()'s fail-fast

struct Installed {
    std::atomic<CrashHandler> handler{nullptr};
    void* context = nullptr;
    struct sigaction previous[kSignalCount] = {};
};
Installed g_installed;
void* g_altStack = nullptr;

int SignalIndex(int sig) {
    for (size_t i = 0; i < kSignalCount; ++i) {
        if (kSignals[i] == sig) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

uint64_t InstructionAddress(const siginfo_t* info, void* ucontext) {
#if defined(__x86_64__)
    if (ucontext != nullptr) {
        return static_cast<uint64_t>(
            static_cast<ucontext_t*>(ucontext)->uc_mcontext.gregs[REG_RIP]);
    }
#elif defined(__aarch64__)
    if (ucontext != nullptr) {
        return static_cast<ucontext_t*>(ucontext)->uc_mcontext.pc;
    }
#elif defined(__i386__)
    if (ucontext != nullptr) {
        return static_cast<uint32_t>(
            static_cast<ucontext_t*>(ucontext)->uc_mcontext.gregs[REG_EIP]);
    }
#endif
    return info != nullptr ? reinterpret_cast<uint64_t>(info->si_addr) : 0;
}

void ChainToPrevious(int sig, siginfo_t* info, void* ucontext) {
    const int index = SignalIndex(sig);
    const struct sigaction previous = g_installed.previous[index];
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(sig, info, ucontext);
        return;
    }
    if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler != SIG_DFL &&
        previous.sa_handler != SIG_IGN && previous.sa_handler != nullptr) {
        previous.sa_handler(sig);
        return;
    }
    // The default action. A fault happens again when the handler returns; a
    // signal that was sent (abort, kill) is raised again, pending until then.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    if (info == nullptr || info->si_code <= 0) {
        raise(sig);
    }
}

void OnSignal(int sig, siginfo_t* info, void* ucontext) {
    const int savedErrno = errno;
    const CrashHandler handler = g_installed.handler.load();
    if (handler != nullptr) {
        CrashEvent event;
        event.signal = sig;
        event.exceptionCode = ExceptionCodeForSignal(sig, info != nullptr ? info->si_code : 0);
        event.exceptionAddress = InstructionAddress(info, ucontext);
        handler(event, g_installed.context);
    }
    ChainToPrevious(sig, info, ucontext);
    errno = savedErrno;
}

void EnsureAltStack() {
    stack_t current = {};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) {
        return;
    }
    if (g_altStack == nullptr) {
        g_altStack = std::malloc(kAltStackBytes);
        if (g_altStack == nullptr) {
            return;
        }
    }
    stack_t stack = {};
    stack.ss_sp = g_altStack;
    stack.ss_size = kAltStackBytes;
    sigaltstack(&stack, nullptr);
}

}  // namespace

uint32_t ExceptionCodeForSignal(int signal, int signalCode) {
    switch (signal) {
        case SIGSEGV:
            return kAccessViolation;
        case SIGBUS:
            return signalCode == BUS_ADRALN ? kDatatypeMisalignment : kInPageError;
        case SIGILL:
            return signalCode == ILL_PRVOPC ? kPrivilegedInstruction : kIllegalInstruction;
        case SIGFPE:
            switch (signalCode) {
                case FPE_INTDIV:
                    return kIntDivideByZero;
                case FPE_INTOVF:
                    return kIntOverflow;
                case FPE_FLTDIV:
                    return kFltDivideByZero;
                case FPE_FLTOVF:
                    return kFltOverflow;
                case FPE_FLTUND:
                    return kFltUnderflow;
                case FPE_FLTRES:
                    return kFltInexactResult;
                default:
                    return kFltInvalidOperation;
            }
        case SIGABRT:
            return kFatalAppExit;
        default:
            return 0;
    }
}

bool InstallCrashHandler(CrashHandler handler, void* context) {
    if (handler == nullptr || g_installed.handler.load() != nullptr) {
        return false;
    }
    g_installed.context = context;
    g_installed.handler.store(handler);
    EnsureAltStack();
    struct sigaction action = {};
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // A second fatal signal inside the handler ends the process.
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals) {
        sigaddset(&action.sa_mask, sig);
    }
    for (size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &action, &g_installed.previous[i]);
    }
    return true;
}

void RemoveCrashHandler() {
    if (g_installed.handler.load() == nullptr) {
        return;
    }
    for (size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &g_installed.previous[i], nullptr);
    }
    g_installed.handler.store(nullptr);
    g_installed.context = nullptr;
}

int64_t TickOffsetFromMonotonic() {
    return static_cast<int64_t>(GetTickCount64()) -
           static_cast<int64_t>(signal_safe::MonotonicMs());
}

namespace signal_safe {

int64_t UnixTime() {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

uint64_t MonotonicMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

int ThreadId() {
    return static_cast<int>(syscall(SYS_gettid));
}

void SleepMs(uint32_t milliseconds) {
    timespec pause = {static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool WriteFile(const char* hostPath, const void* data, size_t size) {
    const int fd = open(hostPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const auto* p = static_cast<const char*>(data);
    bool ok = true;
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return close(fd) == 0 && ok;
}

int RunAndWait(const char* program, const char* const* argv, uint32_t timeoutMs) {
    // A bare fork: glibc's fork runs the atfork handlers, which may take
    // locks the crashed thread holds.
    const long pid = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        execve(program, const_cast<char* const*>(argv), environ);
        syscall(SYS_exit_group, 127);
    }
    constexpr uint32_t kPollMs = 10;
    for (uint32_t waited = 0;; waited += kPollMs) {
        int status = 0;
        const pid_t done = waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
        if (done == static_cast<pid_t>(pid)) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        if (waited >= timeoutMs) {
            return -1;
        }
        SleepMs(kPollMs);
    }
}

}  // namespace signal_safe
}  // namespace zeph::platform
