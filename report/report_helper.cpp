#include "report/report_helper.h"

#include <cstdlib>
#include <new>
#include <thread>

#include "net/endpoints.h"
#include "platform/system_info.h"
#include "report/report_context.h"

namespace KSemReport {
namespace {

// 0: not made yet; 1: being made by another thread; else the instance.
constexpr uintptr_t kBeingMade = 1;
std::atomic<uintptr_t> g_instance{0};

constexpr uint32_t kExitStopTimeoutMs = 1500;

void DestroyAtExit() {
    auto* helper = reinterpret_cast<ReportHelper*>(g_instance.load());
    if (helper == nullptr || reinterpret_cast<uintptr_t>(helper) == kBeingMade) {
        return;
    }
    helper->Stop(kExitStopTimeoutMs);
    helper->SetEnabled(false);
    // A worker abandoned in a send still runs in the object: leave both to
    // the end of the process rather than wait for the network.
    if (helper->ThreadsInside() == 0) {
        g_instance.store(0);
        delete helper;
    }
}

}  // namespace

ReportHelper::~ReportHelper() {
    Stop(kExitStopTimeoutMs);
    WaitForAbandonedThreads();
}

void ReportHelper::Start() {
    if (m_enabled.load() != 0) {
        return;
    }
    m_enabled.store(1);
    if (Callback() == nullptr) {
        SetCallback(this);
        SetRunParameter(kRunParameter);
    }
    StartThread();
}

bool ReportHelper::Enqueue(int32_t action, int32_t value) {
    if (m_enabled.load() == 0) {
        return false;
    }
    return Push(ZEdozureRare::KUIInfoReport::FromContext(action, value));
}

int ReportHelper::OnQueueItem(int, const ZEdozureRare::KUIInfoReport& item) {
    item.Send();
    return 0;
}

ReportHelper* GetReportHelper() {
    uintptr_t expected = 0;
    if (g_instance.compare_exchange_strong(expected, kBeingMade)) {
        // What a send at exit uses must be made before the exit handler is
        // registered, so that it is destroyed after the handler ran.
        zeph::ReportContext::Instance();
        zeph::net::GetEndpoints();
        zeph::platform::GetAnsiCodePage();
        auto* helper = new (std::nothrow) ReportHelper();
        g_instance.store(reinterpret_cast<uintptr_t>(helper));
        if (helper != nullptr) {
            std::atexit(DestroyAtExit);
        }
        return helper;
    }
    uintptr_t current;
    while ((current = g_instance.load()) == kBeingMade) {
        std::this_thread::yield();
    }
    return reinterpret_cast<ReportHelper*>(current);
}

}  // namespace KSemReport
