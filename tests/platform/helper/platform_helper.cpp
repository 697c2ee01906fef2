// The second process of the platform tests. Exit codes: 0 done, 1 the wait
// timed out, 2 an object or file could not be opened, 3 bad arguments.
//
//   reg-set KEY PREFIX COUNT    sets COUNT DWORD values PREFIX0.. under HKCU\KEY
//   event-set NAME              opens the event and sets it
//   event-wait NAME MS          opens the event and waits for it
//   hold-mapping NAME READY     creates the mapping, sets event READY, sleeps
//   hold-mutex NAME READY       takes the mutex, sets event READY, exits holding it
//   hold-file PATH READY        opens PATH without sharing, sets READY, sleeps
//   report FILE                 writes its command line, show flag, uid and arguments
//   exit CODE                   exits with CODE
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/strings.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/kernel_objects.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"

using namespace zeph;
using namespace zeph::platform;

namespace {

int SetReady(const char* name) {
    Event ready;
    if (Event::Open(U16(name), ready) != WinError::Success) {
        return 2;
    }
    ready.Set();
    return 0;
}

[[noreturn]] void SleepForever() {
    for (;;) {
        ::pause();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 3;
    }
    const std::string role = argv[1];
    if (role == "reg-set" && argc == 5) {
        RegKey key;
        if (RegKey::Create(Hive::CurrentUser, U16(argv[2]), RegView::Default, key) !=
            WinError::Success) {
            return 2;
        }
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            if (key.SetDword(U16(std::string(argv[3]) + std::to_string(i)),
                             static_cast<uint32_t>(i)) != WinError::Success) {
                return 2;
            }
        }
        return 0;
    }
    if (role == "event-set" && argc == 3) {
        return SetReady(argv[2]);
    }
    if (role == "event-wait" && argc == 4) {
        Event event;
        if (Event::Open(U16(argv[2]), event) != WinError::Success) {
            return 2;
        }
        return event.Wait(static_cast<uint32_t>(std::atoi(argv[3]))) == WaitResult::Signaled ? 0
                                                                                             : 1;
    }
    if (role == "hold-mapping" && argc == 4) {
        FileMapping mapping;
        if (FileMapping::Create(U16(argv[2]), 4096, mapping) != WinError::Success) {
            return 2;
        }
        if (SetReady(argv[3]) != 0) {
            return 2;
        }
        SleepForever();
    }
    if (role == "hold-mutex" && argc == 4) {
        Mutex mutex;
        const WinError e = Mutex::Create(U16(argv[2]), MutexOwner::None, mutex);
        if ((e != WinError::Success && e != WinError::AlreadyExists) ||
            mutex.Wait(kInfinite) != WaitResult::Signaled) {
            return 2;
        }
        return SetReady(argv[3]);  // ends while owning it
    }
    if (role == "hold-file" && argc == 4) {
        File file;
        if (File::Open(U16(argv[2]), FileAccess::ReadWrite, FileShare::None,
                       Disposition::OpenAlways, file) != WinError::Success) {
            return 2;
        }
        if (SetReady(argv[3]) != 0) {
            return 2;
        }
        SleepForever();
    }
    if (role == "report" && argc >= 3) {
        const auto host = ToHostPath(U16(argv[2]));
        std::ofstream out(host.value_or(""));
        if (!out) {
            return 2;
        }
        const char* line = std::getenv("ZEPH_COMMAND_LINE");
        out << "line=" << (line ? line : "") << "\n";
        out << "show=" << static_cast<int>(GetStartupShowWindow()) << "\n";
        out << "uid=" << ::getuid() << "\n";
        out << "getcommandline=" << U8(GetCommandLine(argc, argv)) << "\n";
        for (int i = 3; i < argc; ++i) {
            out << "arg=" << argv[i] << "\n";
        }
        return 0;
    }
    if (role == "exit" && argc == 3) {
        return std::atoi(argv[2]);
    }
    return 3;
}
