// Window and thread timers, kept in the owning thread's queue.
#include "platform/timer.h"

#include "platform/window_internal.h"

namespace zeph::platform {

using internal::Sys;

std::uintptr_t SetTimer(WindowHandle hwnd, std::uintptr_t id, unsigned periodMs) {
    std::lock_guard lock(Sys().m);
    std::shared_ptr<internal::ThreadQueue> q;
    if (hwnd != 0) {
        auto rec = internal::FindLocked(hwnd);
        if (!rec || rec->thread != GetCurrentThreadId()) {
            return 0;
        }
    }
    q = internal::CurrentQueueLocked();
    if (hwnd == 0) {
        id = q->nextThreadTimerId++;
    }
    // A zero period would spin: the shortest is one millisecond.
    periodMs = std::max(periodMs, 1u);
    const std::uint64_t due = TickCount() + periodMs;
    for (auto& t : q->timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.period = periodMs;
            t.due = due;
            return id;
        }
    }
    q->timers.push_back({hwnd, id, periodMs, due});
    q->cv.notify_all();
    return id;
}

bool KillTimer(WindowHandle hwnd, std::uintptr_t id) {
    std::lock_guard lock(Sys().m);
    auto q = internal::CurrentQueueLocked();
    const auto removed = std::erase_if(
        q->timers, [&](const internal::Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return removed > 0;
}

namespace internal {

std::optional<Message> DueTimerLocked(ThreadQueue& queue, bool remove, std::uint64_t now) {
    Timer* earliest = nullptr;
    for (auto& t : queue.timers) {
        if (t.due <= now && (earliest == nullptr || t.due < earliest->due)) {
            earliest = &t;
        }
    }
    if (earliest == nullptr) {
        return std::nullopt;
    }
    Message msg{earliest->hwnd, WM_TIMER, earliest->id, 0, now};
    if (remove) {
        // Missed periods collapse into this one message.
        earliest->due = now + earliest->period;
    }
    return msg;
}

std::optional<std::uint64_t> NextTimerDueLocked(const ThreadQueue& queue) {
    std::optional<std::uint64_t> next;
    for (const auto& t : queue.timers) {
        next = next ? std::min(*next, t.due) : t.due;
    }
    return next;
}

void RemoveTimersLocked(WindowHandle hwnd) {
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return;
    }
    if (auto q = QueueLocked(rec->thread)) {
        std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd; });
    }
}

}  // namespace internal

}  // namespace zeph::platform
