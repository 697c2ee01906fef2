// A thread holder and a queue worker on top of it: the report queue's
// machinery.
//
// A thread that does not end within Stop's time-out is abandoned, not
// killed: it is detached and told so (IsAbandoned), finishes the item in
// hand and leaves without touching the queue again. An object must not go
// away while such a thread still runs in it: the queue's destructor waits
// for it (WaitForAbandonedThreads).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace kbase {

// The lock policy of the thread classes.
using Locker = std::mutex;

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;

class kxThreadBase {
  public:
    // StartThread's results.
    static constexpr int kStarted = 0;
    static constexpr int kAlreadyRunning = 255;
    static constexpr int kOutOfMemory = 250;
    static constexpr int kCreateFailed = 254;
    // Stop's result when no thread runs.
    static constexpr int kNotRunning = -3;

    kxThreadBase() = default;
    virtual ~kxThreadBase();
    kxThreadBase(const kxThreadBase&) = delete;
    kxThreadBase& operator=(const kxThreadBase&) = delete;

    // Starts the thread and returns once it runs.
    int StartThread();
    bool IsRunning() const;

    // Abandons the running thread (see above).
    virtual void Terminate();
    // Waits for the thread up to `timeoutMs` (kInfiniteWait: no limit) and
    // abandons it when it is still running then. 0, or kNotRunning.
    virtual int Stop(uint32_t timeoutMs);

    // Threads still running in this object: the current one and abandoned
    // ones.
    int ThreadsInside() const;

    void SetRunParameter(int parameter) { m_runParameter = parameter; }
    int RunParameter() const { return m_runParameter; }

  protected:
    virtual void CreateResources() {}
    virtual void ReleaseResources(int /*runResult*/) {}
    virtual int Run(int parameter) = 0;

    // On the worker: true once Terminate gave the calling thread up.
    bool IsAbandoned() const;
    // Blocks until no thread runs in this object any more. The destructor of
    // a class that Run uses calls it (after stopping the thread) before its
    // members go.
    void WaitForAbandonedThreads();

  private:
    void Trampoline(uint64_t generation);

    int m_runParameter = 0;
    mutable Locker m_runningLock;  // guards everything below but m_startLock
    Locker m_startLock;            // serialises StartThread, Stop's join and Terminate
    std::condition_variable m_changed;
    bool m_running = false;
    uint64_t m_generation = 0;  // which thread is the current one
    uint64_t m_startedGeneration = 0;
    std::thread m_thread;
    std::thread::id m_threadId;
    int m_liveThreads = 0;  // the current thread and abandoned ones
};

// The two events of the queue worker: a manual-reset data event and an
// auto-reset stop event, waited on together with the data event first.
class QueueEvents {
  public:
    enum class Fired : uint8_t { Data, Stop, Timeout, Failed };

    void Create();
    void Close();
    void SetData();
    void ResetData();
    void SetStop();
    // A negative time-out waits without limit; Failed when the events are
    // not created.
    Fired Wait(int32_t timeoutMs);

  private:
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_created = false;
    bool m_data = false;
    bool m_stop = false;
};

// A worker that hands queued items, one at a time and in order, to a
// callback. A stop request is seen only once the queue has drained.
template <typename Item, int Slots = 4, typename Lock = Locker>
class kxQueueThreadRun : public kxThreadBase {
  public:
    // Run's results.
    static constexpr int kStopped = 255;
    static constexpr int kTimedOut = 254;
    static constexpr int kWaitFailed = 253;

    class _CallBack {
      public:
        virtual ~_CallBack() = default;
        virtual int OnQueueItem(int parameter, const Item& item) = 0;
    };

    ~kxQueueThreadRun() override {
        Stop(kInfiniteWait);
        WaitForAbandonedThreads();
    }

    void SetCallback(_CallBack* callback) { m_callback = callback; }
    _CallBack* Callback() const { return m_callback; }
    void SetWaitTimeout(int32_t timeoutMs) { m_waitTimeout = timeoutMs; }

    // Appends a copy and wakes the worker; false (dropped) when no thread runs.
    bool Push(const Item& item) {
        if (!IsRunning()) {
            return false;
        }
        {
            std::lock_guard lock(m_queueLock);
            m_queue.push_back(item);
        }
        m_events.SetData();
        return true;
    }

    size_t QueuedCount() const {
        std::lock_guard lock(m_queueLock);
        return m_queue.size();
    }

    void Terminate() override {
        {
            std::lock_guard lock(m_queueLock);
            kxThreadBase::Terminate();
        }
        // The abandoned thread never releases them; a later start makes
        // fresh ones.
        m_events.Close();
    }

    int Stop(uint32_t timeoutMs) override {
        m_events.SetStop();
        return kxThreadBase::Stop(timeoutMs);
    }

  protected:
    void CreateResources() override { m_events.Create(); }
    void ReleaseResources(int) override { m_events.Close(); }

    int Run(int parameter) override {
        int result = kWaitFailed;
        while (true) {
            const auto fired = m_events.Wait(m_waitTimeout);
            if (fired != QueueEvents::Fired::Data) {
                result = fired == QueueEvents::Fired::Stop      ? kStopped
                         : fired == QueueEvents::Fired::Timeout ? kTimedOut
                                                                : kWaitFailed;
                break;
            }
            std::optional<Item> item;
            {
                std::lock_guard lock(m_queueLock);
                if (m_queue.empty()) {
                    // Under the lock, so that an item pushed right now keeps
                    // its wake-up.
                    m_events.ResetData();
                } else {
                    item = m_queue.front();
                }
            }
            if (!item) {
                continue;
            }
            // The callback runs without any lock held.
            if (m_callback != nullptr) {
                m_callback->OnQueueItem(parameter, *item);
            }
            if (IsAbandoned()) {
                return kStopped;
            }
            std::lock_guard lock(m_queueLock);
            if (!m_queue.empty()) {
                m_queue.pop_front();
            }
        }
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
        return result;
    }

    int32_t m_waitTimeout = -1;
    _CallBack* m_callback = nullptr;  // not owned

  private:
    mutable Lock m_queueLock;
    std::deque<Item> m_queue;
    QueueEvents m_events;
};

}  // namespace kbase
