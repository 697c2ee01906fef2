#include "report/dump_mgr.h"

#include <filesystem>

#include "base/crc32.h"
#include "base/strings.h"
#include "net/endpoints.h"
#include "platform/crash_signal.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/system_info.h"
#include "report/crash_poster.h"
#include "report/install_report.h"
#include "report/report_blocks.h"
#include "report/report_context.h"
#include "rules/environment_probes.h"
#include "rules/machine_identity.h"

#ifndef ZEPH_FILE_VERSION
#define ZEPH_FILE_VERSION "0.0.0.0"
#endif

namespace zeph {
namespace {

constexpr char kSelfExecutable[] = "/proc/self/exe";

std::u16string FileNamePart(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"\\/");
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

void PutI32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

std::string TempFolder() {
    if (auto host = platform::ToHostPath(platform::GetTempPath())) {
        std::error_code error;
        if (std::filesystem::is_directory(*host, error)) {
            return *host;
        }
    }
    return std::filesystem::temp_directory_path().string();
}

}  // namespace

KDumpMgr& GetDumpMgr() {
    static KDumpMgr manager;
    return manager;
}

KDumpMgr::~KDumpMgr() {
    std::lock_guard lock(m_mutex);
    if (m_installed) {
        platform::RemoveCrashHandler();
        m_installed = false;
    }
}

bool KDumpMgr::Install() {
    return Install(Options{});
}

bool KDumpMgr::Install(const Options& options) {
    std::lock_guard lock(m_mutex);
    if (m_installed) {
        return false;
    }

    // The facts, gathered once while the process is still sound.
    const std::u16string self = platform::GetModuleFileName();
    m_facts.moduleName = FileNamePart(self);
    m_facts.moduleVersion = U16(ZEPH_FILE_VERSION);
    // The crash manager is linked into the executable: the same file.
    m_facts.processName = m_facts.moduleName;
    m_facts.processVersion = m_facts.moduleVersion;
    const auto context = ReportContext::Instance().Values();
    m_facts.idex = ReportContext::Instance().Idex();
    m_facts.did = context.did.empty() ? GetDeviceId() : context.did;
    m_facts.osKind = OsKind();
    m_facts.wow64 = GetSystemInformation().is64BitSystem ? 1 : 0;

    // The record, with the crash-time values still zero.
    KPublicBlock publicBlock;
    publicBlock.FillPublicBlock(u"0", u"0", u"0", m_facts.idex, 0);
    KDumpBlock dumpBlock;
    KDumpBlock::Offsets offsets;
    dumpBlock.Fill(m_facts, &offsets);
    auto record = BuildRecordBytes(publicBlock, dumpBlock);
    if (!record) {
        return false;
    }
    m_record = std::move(*record);
    m_clientTimeOffset = kRecordHeaderBytes + kPublicBlockClientTimeOffset;
    const size_t dumpStart = kRecordHeaderBytes + publicBlock.Output().size();
    m_cidOffset = dumpStart + offsets.cid;
    m_tidOffset = dumpStart + offsets.tid;
    m_codeOffset = dumpStart + offsets.exceptionCode;
    m_addressOffset = dumpStart + offsets.exceptionAddress;
    m_uptimeOffset = dumpStart + offsets.uptimeSeconds;
    m_tickOffset = platform::TickOffsetFromMonotonic();

    const std::string folder = options.recordFolder.empty() ? TempFolder() : options.recordFolder;
    m_recordPath = (std::filesystem::path(folder) /
                    ("zeph-crash-" + std::to_string(platform::GetCurrentProcessId()) + ".rec"))
                       .string();
    m_posterProgram = options.posterProgram.empty() ? kSelfExecutable : options.posterProgram;
    const std::u16string url = options.url.empty() ? net::TelemetryUrl() : options.url;
    m_posterArgs = {m_posterProgram, kPostCrashRecordSwitch, m_recordPath, U8(url)};
    m_posterArgv.clear();
    for (const auto& arg : m_posterArgs) {
        m_posterArgv.push_back(arg.c_str());
    }
    m_posterArgv.push_back(nullptr);
    m_posterTimeoutMs = options.posterTimeoutMs;

    if (!platform::InstallCrashHandler(&KDumpMgr::OnCrash, this)) {
        return false;
    }
    m_installed = true;
    return true;
}

bool KDumpMgr::IsInstalled() const {
    std::lock_guard lock(m_mutex);
    return m_installed;
}

void KDumpMgr::SetChannel(int32_t cid, int32_t tid) {
    m_cid.store(cid);
    m_tid.store(tid);
}

ZEdozureRare::KDumpInfoReport KDumpMgr::Facts() const {
    std::lock_guard lock(m_mutex);
    ZEdozureRare::KDumpInfoReport facts = m_facts;
    facts.cid = m_cid.load();
    facts.tid = m_tid.load();
    return facts;
}

std::string KDumpMgr::RecordPath() const {
    std::lock_guard lock(m_mutex);
    return m_recordPath;
}

std::vector<uint8_t> KDumpMgr::CrashRecord(const platform::CrashEvent& event, uint32_t clientTime,
                                           uint32_t uptimeSeconds) {
    std::lock_guard lock(m_mutex);
    if (m_record.empty()) {
        return {};
    }
    Patch(event, clientTime, uptimeSeconds);
    return m_record;
}

// Signal-safe: writes into the prepared bytes only.
void KDumpMgr::Patch(const platform::CrashEvent& event, uint32_t clientTime,
                     uint32_t uptimeSeconds) {
    PutI32(m_record, m_clientTimeOffset, clientTime);
    PutI32(m_record, m_cidOffset, static_cast<uint32_t>(m_cid.load()));
    PutI32(m_record, m_tidOffset, static_cast<uint32_t>(m_tid.load()));
    PutI32(m_record, m_codeOffset, event.exceptionCode);
    PutI32(m_record, m_addressOffset, static_cast<uint32_t>(event.exceptionAddress));
    PutI32(m_record, m_uptimeOffset, uptimeSeconds);
    const uint32_t crc =
        Crc32(m_record.data() + kRecordHeaderBytes, m_record.size() - kRecordHeaderBytes);
    PutI32(m_record, 6, crc);
}

void KDumpMgr::OnCrash(const platform::CrashEvent& event, void* context) {
    auto* self = static_cast<KDumpMgr*>(context);
    namespace safe = platform::signal_safe;
    const int me = safe::ThreadId();
    if (self->m_reportedThread.load() == me) {
        return;  // this thread's crash is reported (a previous handler aborting, say)
    }
    int expected = 0;
    while (!self->m_crashOwner.compare_exchange_strong(expected, me)) {
        if (expected == me) {
            return;  // a crash inside this handler: no second report
        }
        expected = 0;
        safe::SleepMs(1);
    }
    const uint64_t ticks = safe::MonotonicMs() + static_cast<uint64_t>(self->m_tickOffset);
    self->Patch(event, static_cast<uint32_t>(safe::UnixTime()),
                static_cast<uint32_t>(ticks / 1000));
    if (safe::WriteFile(self->m_recordPath.c_str(), self->m_record.data(), self->m_record.size())) {
        safe::RunAndWait(self->m_posterProgram.c_str(), self->m_posterArgv.data(),
                         self->m_posterTimeoutMs);
    }
    self->m_reportedThread.store(me);
    self->m_crashOwner.store(0);
}

}  // namespace zeph
