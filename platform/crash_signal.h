// Fatal signals as the unhandled-exception filter sees them, and the few
// services a crash handler may use while the process is in an unknown state.
//
// A crash handler runs inside the signal handler on the crashing thread: it
// may only call async-signal-safe code (the signal_safe functions below, and
// work on memory prepared beforehand). After it returns, the action that was
// installed before runs: a previous handler is called with the same signal
// information, the default action ends the process as it would have.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zeph::platform {

struct CrashEvent {
    int signal = 0;
    // The Windows exception code the signal stands for (0xC0000005 for an
    // invalid memory access, ...).
    uint32_t exceptionCode = 0;
    // The address of the faulting instruction (the faulting data address
    // where the instruction pointer is unknown).
    uint64_t exceptionAddress = 0;
};

using CrashHandler = void (*)(const CrashEvent& event, void* context);

// Installs `handler` for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT and
// keeps the actions installed before. Gives the calling thread an alternate
// signal stack when it has none, so that a stack overflow on it still
// reaches the handler. False when a handler is installed already.
bool InstallCrashHandler(CrashHandler handler, void* context);
// Puts the previous actions back.
void RemoveCrashHandler();

// The exception code for a signal and its si_code.
uint32_t ExceptionCodeForSignal(int signal, int signalCode);

// Milliseconds that turn signal_safe::MonotonicMs into the tick count
// (GetTickCount64). Not signal-safe: take it beforehand.
int64_t TickOffsetFromMonotonic();

namespace signal_safe {

int64_t UnixTime();
uint64_t MonotonicMs();
int ThreadId();
void SleepMs(uint32_t milliseconds);
// Creates or replaces a host file (mode 0600) with the bytes.
bool WriteFile(const char* hostPath, const void* data, size_t size);
// Starts `program` with `argv` (null-terminated) and this process's
// environment and waits up to `timeoutMs` for it. Its exit code, or -1 when
// it could not start, did not end in time (it is left running) or was ended
// by a signal.
int RunAndWait(const char* program, const char* const* argv, uint32_t timeoutMs);

}  // namespace signal_safe

}  // namespace zeph::platform
