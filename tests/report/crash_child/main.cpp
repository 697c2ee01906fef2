// A program that installs the crash manager and then crashes, for the crash
// report test. Like the installer, it first hands the poster switch to the
// crash path.
//
//   report_crash_child segv|abort|ill [--channel CID TID] [--chain]
//
// --chain installs a handler of its own before the crash manager; that
// handler ends the process with exit code 42.
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/crash_poster.h"
#include "report/dump_mgr.h"

namespace {

void PreviousHandler(int) {
    _exit(42);
}

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = zeph::RunCrashRecordPoster(argc, argv); rc >= 0) {
        return rc;
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: report_crash_child segv|abort|ill [--channel CID TID] [--chain]\n");
        return 2;
    }
    const std::string mode = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--chain") == 0) {
            struct sigaction action = {};
            action.sa_handler = PreviousHandler;
            sigemptyset(&action.sa_mask);
            for (int sig : {SIGSEGV, SIGABRT, SIGILL}) {
                sigaction(sig, &action, nullptr);
            }
        }
    }
    if (!zeph::GetDumpMgr().Install()) {
        std::fprintf(stderr, "report_crash_child: Install failed\n");
        return 3;
    }
    for (int i = 2; i + 2 < argc; ++i) {
        if (std::strcmp(argv[i], "--channel") == 0) {
            zeph::GetDumpMgr().SetChannel(std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
        }
    }
    if (mode == "segv") {
        // Not null: the sanitizers would stop a null store before it faults.
        volatile uintptr_t address = 16;
        volatile int* nowhere = reinterpret_cast<volatile int*>(address);
        *nowhere = 1;
    } else if (mode == "abort") {
        std::abort();
    } else if (mode == "ill") {
        __builtin_trap();
    }
    return 4;
}
