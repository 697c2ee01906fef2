// The report queue: the one background sender, used by the partner screens
// for their user-interface events so that a click never waits on the
// network. Disabled until Start; events enqueued while disabled or before
// the worker runs are dropped.
//
//   disabled --Start--> enabled, running --Stop(3000), SetEnabled(false)--> disabled
#pragma once

#include <atomic>
#include <cstdint>

#include "report/report_objects.h"
#include "report/thread_base.h"

namespace KSemReport {

// The partner screens' events (the action of table 5010).
enum PartnerEvent : int32_t {
    kScreenShown = 4,
    kClosedAfterConfirm = 5,
    kSecureInstallPressed = 6,
    kNormalInstallPressed = 7,
    kQuestionSecondButton = 8,
    kQuestionFirstButton = 9,
    kFailureExitPressed = 11,
};

using ReportQueue = kbase::kxQueueThreadRun<ZEdozureRare::KUIInfoReport, 4, kbase::Locker>;

class ReportHelper : public ReportQueue, public ReportQueue::_CallBack {
  public:
    static constexpr int kRunParameter = 916;
    static constexpr int32_t kQueuedValue = 2;

    ReportHelper() = default;
    ~ReportHelper() override;

    // Enables the queue and starts its worker; nothing when already enabled.
    void Start();
    // Queues one event built from the report context; false when dropped.
    bool Enqueue(int32_t action, int32_t value = kQueuedValue);

    bool IsEnabled() const { return m_enabled.load() != 0; }
    void SetEnabled(bool enabled) { m_enabled.store(enabled ? 1 : 0); }

    // Sends one item (table 5010) on the worker.
    int OnQueueItem(int parameter, const ZEdozureRare::KUIInfoReport& item) override;

  private:
    std::atomic<uint8_t> m_enabled{0};
};

// The process-wide queue, made on first use (never null unless it could
// not be made) and stopped and destroyed at exit.
ReportHelper* GetReportHelper();

}  // namespace KSemReport
