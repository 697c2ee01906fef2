// Thread message queues: posting, sending across threads, getting and
// dispatching, modal loops.
#include <atomic>
#include <chrono>

#include "platform/message.h"
#include "platform/window_internal.h"

namespace zeph::platform {

using internal::QueueItem;
using internal::SentItem;
using internal::Sys;
using internal::ThreadQueue;

namespace internal {

namespace {

// Owns the calling thread's queue; at thread exit the queue closes: pending
// sends to it return 0 and its windows go away.
struct QueueOwner {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueOwner();
};

thread_local QueueOwner t_queue;

QueueOwner::~QueueOwner() {
    if (!queue) {
        return;
    }
    System& s = Sys();
    std::vector<WindowHandle> natives;
    Backend* backend = nullptr;
    {
        std::lock_guard lock(s.m);
        queue->alive = false;
        for (auto& item : queue->sent) {
            item->done = true;
            if (auto sender = QueueLocked(item->sender)) {
                sender->cv.notify_all();
            }
        }
        queue->sent.clear();
        for (auto it = s.windows.begin(); it != s.windows.end();) {
            if (it->second->thread == queue->id) {
                if (it->second->native) {
                    natives.push_back(it->first);
                }
                std::erase(s.zorder, it->first);
                if (s.capture == it->first) {
                    s.capture = 0;
                }
                it = s.windows.erase(it);
            } else {
                ++it;
            }
        }
        s.queues.erase(queue->id);
        backend = s.backend.get();
    }
    if (backend != nullptr) {
        for (WindowHandle hwnd : natives) {
            backend->DestroyNative(hwnd);
        }
    }
}

}  // namespace

System& Sys() {
    // Never destroyed: thread exits and static destruction may still reach it.
    static System* system = new System;
    return *system;
}

std::shared_ptr<ThreadQueue> QueueLocked(ThreadId thread) {
    auto it = Sys().queues.find(thread);
    return it == Sys().queues.end() ? nullptr : it->second;
}

std::shared_ptr<ThreadQueue> CurrentQueueLocked() {
    if (!t_queue.queue) {
        auto q = std::make_shared<ThreadQueue>();
        q->id = GetCurrentThreadId();
        Sys().queues[q->id] = q;
        t_queue.queue = q;
    }
    return t_queue.queue;
}

void WakeQueueLocked(ThreadQueue& queue) {
    queue.cv.notify_all();
    if (Sys().backend && queue.id == Sys().eventThread) {
        // That thread waits in the backend's event wait, not on the variable.
        Sys().backend->Wake();
    }
}

}  // namespace internal

namespace {

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

LResult CallProc(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    WindowProc proc;
    {
        std::lock_guard lock(Sys().m);
        auto rec = internal::FindLocked(hwnd);
        if (!rec) {
            return 0;
        }
        proc = rec->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam)
                : DefWindowProc(hwnd, message, wParam, lParam);
}

// Runs one message sent from another thread; the lock is released while the
// procedure runs.
void ProcessSent(std::unique_lock<std::mutex>& lock, const std::shared_ptr<SentItem>& item) {
    lock.unlock();
    const LResult result =
        CallProc(item->msg.hwnd, item->msg.message, item->msg.wParam, item->msg.lParam);
    lock.lock();
    item->result = result;
    item->done = true;
    if (auto sender = internal::QueueLocked(item->sender)) {
        sender->cv.notify_all();
    }
}

WindowHandle FindPaintLocked(ThreadId thread) {
    WindowHandle best = 0;
    for (const auto& [hwnd, rec] : Sys().windows) {
        if (rec->thread != thread || rec->update.IsEmpty() || rec->destroying ||
            (rec->exStyle & WS_EX_LAYERED) != 0 || !internal::IsVisibleLocked(*rec)) {
            continue;
        }
        // Parents paint before their children, which draw over them.
        bool parentPending = false;
        for (WindowHandle p = rec->parent; p != 0;) {
            auto pr = internal::FindLocked(p);
            if (!pr) {
                break;
            }
            if (!pr->update.IsEmpty()) {
                parentPending = true;
                break;
            }
            p = pr->parent;
        }
        if (!parentPending && (best == 0 || hwnd < best)) {
            best = hwnd;
        }
    }
    return best;
}

// The heart of GetMessage and PeekMessage. Returns true with a message in
// `out` (WM_QUIT included), false when nothing is there and `wait` is off.
bool NextMessage(Message& out, std::uint32_t first, std::uint32_t last, bool remove, bool wait) {
    auto wanted = [&](std::uint32_t m) {
        return (first == 0 && last == 0) || (m >= first && m <= last);
    };
    internal::System& s = Sys();
    std::unique_lock lock(s.m);
    auto q = internal::CurrentQueueLocked();
    for (;;) {
        internal::Backend& backend = internal::BackendLocked();
        const bool eventThread = backend.IsEventThread();
        if (eventThread) {
            lock.unlock();
            backend.PumpEvents(0);
            lock.lock();
        }
        while (!q->sent.empty()) {
            auto item = q->sent.front();
            q->sent.pop_front();
            ProcessSent(lock, item);
        }

        bool routed = false;
        for (std::size_t i = 0; i < q->items.size(); ++i) {
            if (auto* m = std::get_if<Message>(&q->items[i])) {
                if (!wanted(m->message)) {
                    continue;
                }
                out = *m;
                if (remove) {
                    q->items.erase(q->items.begin() + static_cast<std::ptrdiff_t>(i));
                }
                return true;
            }
            // Input becomes a message only when routed, in arrival order;
            // the routed message takes the event's place.
            const InputEvent event = std::get<InputEvent>(q->items[i]);
            q->items.erase(q->items.begin() + static_cast<std::ptrdiff_t>(i));
            lock.unlock();
            std::optional<Message> message = internal::RouteInput(event);
            lock.lock();
            if (message) {
                message->time = NowMs();
                q->items.insert(
                    q->items.begin() + static_cast<std::ptrdiff_t>(std::min(i, q->items.size())),
                    *message);
            }
            routed = true;
            break;
        }
        if (routed) {
            continue;
        }

        if (q->quit && wanted(WM_QUIT)) {
            out = Message{0, WM_QUIT, static_cast<WParam>(q->quitCode), 0, NowMs()};
            if (remove) {
                q->quit = false;
            }
            return true;
        }
        if (wanted(WM_PAINT)) {
            if (WindowHandle hwnd = FindPaintLocked(q->id)) {
                out = Message{hwnd, WM_PAINT, 0, 0, NowMs()};
                return true;
            }
        }
        const std::uint64_t now = NowMs();
        if (wanted(WM_TIMER)) {
            if (auto timer = internal::DueTimerLocked(*q, remove, now)) {
                out = *timer;
                return true;
            }
        }

        lock.unlock();
        const int idleMs = backend.IdleWork();
        lock.lock();
        if (!q->items.empty() || !q->sent.empty()) {
            continue;
        }
        if (!wait) {
            return false;
        }
        std::optional<std::uint64_t> deadline = internal::NextTimerDueLocked(*q);
        if (idleMs >= 0) {
            const std::uint64_t idleDue = now + static_cast<std::uint64_t>(idleMs);
            deadline = deadline ? std::min(*deadline, idleDue) : idleDue;
        }
        if (eventThread) {
            // Native events and wake-ups both end the backend's wait.
            int timeout = 250;
            if (deadline) {
                timeout = static_cast<int>(
                    std::min<std::uint64_t>(*deadline > now ? *deadline - now : 0, 250));
            }
            lock.unlock();
            if (timeout > 0) {
                backend.PumpEvents(timeout);
            }
            lock.lock();
        } else if (deadline) {
            q->cv.wait_for(lock, std::chrono::milliseconds(*deadline > now ? *deadline - now : 0));
        } else {
            q->cv.wait(lock);
        }
    }
}

}  // namespace

ThreadId GetCurrentThreadId() {
    static std::atomic<ThreadId> next{1};
    thread_local const ThreadId id = next.fetch_add(1);
    return id;
}

std::uint64_t TickCount() {
    return NowMs();
}

bool PostMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    std::lock_guard lock(Sys().m);
    std::shared_ptr<ThreadQueue> q;
    if (hwnd == 0) {
        q = internal::CurrentQueueLocked();
    } else {
        auto rec = internal::FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        q = internal::QueueLocked(rec->thread);
    }
    if (!q || !q->alive) {
        return false;
    }
    q->items.emplace_back(Message{hwnd, message, wParam, lParam, NowMs()});
    internal::WakeQueueLocked(*q);
    return true;
}

bool PostThreadMessage(ThreadId thread, std::uint32_t message, WParam wParam, LParam lParam) {
    std::lock_guard lock(Sys().m);
    auto q = thread == GetCurrentThreadId() ? internal::CurrentQueueLocked()
                                            : internal::QueueLocked(thread);
    if (!q || !q->alive) {
        return false;
    }
    q->items.emplace_back(Message{0, message, wParam, lParam, NowMs()});
    internal::WakeQueueLocked(*q);
    return true;
}

LResult SendMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    internal::System& s = Sys();
    std::unique_lock lock(s.m);
    auto rec = internal::FindLocked(hwnd);
    if (!rec) {
        return 0;
    }
    if (rec->thread == GetCurrentThreadId()) {
        lock.unlock();
        return CallProc(hwnd, message, wParam, lParam);
    }
    auto target = internal::QueueLocked(rec->thread);
    if (!target || !target->alive) {
        return 0;
    }
    auto me = internal::CurrentQueueLocked();
    auto item = std::make_shared<SentItem>();
    item->msg = Message{hwnd, message, wParam, lParam, NowMs()};
    item->sender = me->id;
    target->sent.push_back(item);
    internal::WakeQueueLocked(*target);
    while (!item->done) {
        // Messages sent to this thread meanwhile are answered, so that two
        // threads sending to each other do not deadlock.
        if (!me->sent.empty()) {
            auto incoming = me->sent.front();
            me->sent.pop_front();
            ProcessSent(lock, incoming);
            continue;
        }
        me->cv.wait(lock);
    }
    return item->result;
}

void PostQuitMessage(int exitCode) {
    std::lock_guard lock(Sys().m);
    auto q = internal::CurrentQueueLocked();
    q->quit = true;
    q->quitCode = exitCode;
    internal::WakeQueueLocked(*q);
}

bool GetMessage(Message& msg) {
    NextMessage(msg, 0, 0, true, true);
    return msg.message != WM_QUIT;
}

bool PeekMessage(Message& msg, std::uint32_t first, std::uint32_t last, unsigned remove) {
    return NextMessage(msg, first, last, (remove & PM_REMOVE) != 0, false);
}

void WaitMessage() {
    Message msg;
    NextMessage(msg, 0, 0, false, true);
}

bool TranslateMessage(const Message& msg) {
    if (msg.message != WM_KEYDOWN) {
        return false;
    }
    char16_t ch = 0;
    switch (msg.wParam) {
        case VK_RETURN:
            ch = u'\r';
            break;
        case VK_ESCAPE:
            ch = 0x1B;
            break;
        case VK_BACK:
            ch = 0x08;
            break;
        case VK_TAB:
            ch = u'\t';
            break;
        default:
            return false;
    }
    std::lock_guard lock(Sys().m);
    auto q = internal::CurrentQueueLocked();
    q->items.emplace_front(Message{msg.hwnd, WM_CHAR, ch, msg.lParam, NowMs()});
    return true;
}

LResult DispatchMessage(const Message& msg) {
    if (msg.hwnd == 0) {
        return 0;
    }
    return CallProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

int PumpPendingMessages() {
    int count = 0;
    Message msg;
    while (PeekMessage(msg, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(msg);
        DispatchMessage(msg);
        ++count;
    }
    return count;
}

bool RunModalLoop(const std::function<bool()>& done,
                  const std::function<bool(const Message&)>& filter) {
    for (;;) {
        if (done()) {
            return true;
        }
        Message msg;
        if (!GetMessage(msg)) {
            // The outer loop must see the quit too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (!filter || !filter(msg)) {
            TranslateMessage(msg);
            DispatchMessage(msg);
        }
    }
}

}  // namespace zeph::platform
