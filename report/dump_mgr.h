// The crash manager: turns a fatal signal anywhere in the process into one
// crash report and then lets the signal take its previous course.
//
// A crashed process can neither allocate nor talk to the network safely, so
// everything is prepared at Install: the facts (module and process names and
// versions, idex, did, OS kind, 64-bit flag), the whole record with room for
// the values known only at the crash, the record file's path and the command
// line of the poster. On a crash the handler, using async-signal-safe calls
// only:
//   1. waits for any other crashing thread to finish its report (a crash
//      inside the handler itself, or a second signal on a thread that has
//      reported already, goes on to step 6 at once);
//   2. patches cid and tid (SetChannel), the exception code and address, the
//      seconds since system start and the client time into the record, and
//      its CRC;
//   3. writes the record to its file;
//   4. starts this program again with kPostCrashRecordSwitch, the file and
//      the telemetry URL; that fresh process posts the record, deletes the
//      file and exits (RunCrashRecordPoster, called first thing in main);
//   5. waits for it up to the poster time-out (the transport's 10 seconds
//      and a margin);
//   6. returns, and the previous action runs (a previous handler is called;
//      the default action ends the process).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "report/report_objects.h"

namespace zeph {

namespace platform {
struct CrashEvent;
}

class KDumpMgr {
  public:
    struct Options {
        // The program that posts the record; empty: this executable.
        std::string posterProgram;
        // Where the record goes; empty: the telemetry endpoint.
        std::u16string url;
        // A host folder for the record file; empty: the temporary folder.
        std::string recordFolder;
        uint32_t posterTimeoutMs = 15000;
    };

    ~KDumpMgr();
    KDumpMgr(const KDumpMgr&) = delete;
    KDumpMgr& operator=(const KDumpMgr&) = delete;

    // Prepares the crash path and installs the handler; once per process
    // (later calls do nothing and return false).
    bool Install();
    bool Install(const Options& options);
    bool IsInstalled() const;

    // The install driver's channel numbers; 0 until it is told.
    void SetChannel(int32_t cid, int32_t tid);

    // The facts gathered at Install (and the channel), as they would be sent.
    ZEdozureRare::KDumpInfoReport Facts() const;
    // The record file's host path.
    std::string RecordPath() const;

    // The record the handler writes for `event` at `clientTime`, from the
    // prepared bytes (tests; not signal-safe).
    std::vector<uint8_t> CrashRecord(const platform::CrashEvent& event, uint32_t clientTime,
                                     uint32_t uptimeSeconds);

    friend KDumpMgr& GetDumpMgr();

  private:
    KDumpMgr() = default;
    static void OnCrash(const platform::CrashEvent& event, void* context);
    void Patch(const platform::CrashEvent& event, uint32_t clientTime, uint32_t uptimeSeconds);

    mutable std::mutex m_mutex;  // Install, Facts and the destructor
    bool m_installed = false;
    ZEdozureRare::KDumpInfoReport m_facts;
    std::atomic<int32_t> m_cid{0};
    std::atomic<int32_t> m_tid{0};

    // Prepared at Install for the handler.
    std::vector<uint8_t> m_record;
    size_t m_clientTimeOffset = 0;
    size_t m_cidOffset = 0;
    size_t m_tidOffset = 0;
    size_t m_codeOffset = 0;
    size_t m_addressOffset = 0;
    size_t m_uptimeOffset = 0;
    int64_t m_tickOffset = 0;
    std::string m_recordPath;
    std::string m_posterProgram;
    std::vector<std::string> m_posterArgs;
    std::vector<const char*> m_posterArgv;
    uint32_t m_posterTimeoutMs = 0;
    // The thread id reporting a crash now, 0 when none.
    std::atomic<int> m_crashOwner{0};
    // The thread that reported last: a second fatal signal on it while the
    // previous action runs is the same crash.
    std::atomic<int> m_reportedThread{0};
};

KDumpMgr& GetDumpMgr();

}  // namespace zeph
