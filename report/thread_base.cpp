#include "report/thread_base.h"

#include <new>
#include <system_error>

namespace kbase {

kxThreadBase::~kxThreadBase() {
    // Derived classes stop their thread first; what is left here has ended
    // or was abandoned.
    std::unique_lock lock(m_runningLock);
    m_changed.wait(lock, [this] { return m_liveThreads == 0; });
    lock.unlock();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

int kxThreadBase::StartThread() {
    std::lock_guard start(m_startLock);
    std::unique_lock lock(m_runningLock);
    if (m_running) {
        return kAlreadyRunning;
    }
    if (m_thread.joinable()) {
        // The previous thread has left Run; only its last steps remain.
        lock.unlock();
        m_thread.join();
        lock.lock();
    }
    const uint64_t generation = ++m_generation;
    try {
        m_thread = std::thread(&kxThreadBase::Trampoline, this, generation);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (const std::system_error&) {
        return kCreateFailed;
    }
    ++m_liveThreads;
    // Wait until the thread runs with its resources made (it may even have
    // run through already).
    m_changed.wait(lock, [&] { return m_startedGeneration == generation; });
    return kStarted;
}

bool kxThreadBase::IsRunning() const {
    std::lock_guard lock(m_runningLock);
    return m_running;
}

int kxThreadBase::ThreadsInside() const {
    std::lock_guard lock(m_runningLock);
    return m_liveThreads;
}

bool kxThreadBase::IsAbandoned() const {
    std::lock_guard lock(m_runningLock);
    return m_threadId != std::this_thread::get_id();
}

void kxThreadBase::Trampoline(uint64_t generation) {
    {
        std::lock_guard lock(m_runningLock);
        m_running = true;
        m_threadId = std::this_thread::get_id();
    }
    CreateResources();
    // The starter returns only now: what it does next (queue an item, say)
    // finds the resources in place.
    {
        std::lock_guard lock(m_runningLock);
        m_startedGeneration = generation;
    }
    m_changed.notify_all();
    const int result = Run(m_runParameter);
    bool current;
    {
        std::lock_guard lock(m_runningLock);
        current = m_generation == generation && m_threadId == std::this_thread::get_id();
    }
    if (current) {
        ReleaseResources(result);
    }
    {
        std::lock_guard lock(m_runningLock);
        if (current) {
            m_running = false;
        }
        --m_liveThreads;
    }
    m_changed.notify_all();
}

void kxThreadBase::Terminate() {
    std::lock_guard start(m_startLock);
    std::lock_guard lock(m_runningLock);
    if (!m_running || !m_thread.joinable()) {
        return;
    }
    m_thread.detach();
    m_threadId = {};
    m_running = false;
    ++m_generation;
    m_changed.notify_all();
}

int kxThreadBase::Stop(uint32_t timeoutMs) {
    std::unique_lock lock(m_runningLock);
    if (!m_running) {
        return kNotRunning;
    }
    const uint64_t generation = m_generation;
    const auto ended = [&] { return !m_running || m_generation != generation; };
    bool finished;
    if (timeoutMs == kInfiniteWait) {
        m_changed.wait(lock, ended);
        finished = true;
    } else {
        finished = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended);
    }
    lock.unlock();
    if (!finished) {
        Terminate();
        return 0;
    }
    std::lock_guard start(m_startLock);
    std::lock_guard again(m_runningLock);
    if (!m_running && m_thread.joinable() && m_thread.get_id() == m_threadId) {
        m_thread.join();
    }
    return 0;
}

void kxThreadBase::WaitForAbandonedThreads() {
    std::unique_lock lock(m_runningLock);
    m_changed.wait(lock, [this] { return m_liveThreads == 0; });
}

void QueueEvents::Create() {
    std::lock_guard lock(m_mutex);
    if (!m_created) {
        m_created = true;
        m_data = false;
        m_stop = false;
    }
}

void QueueEvents::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_created = false;
        m_data = false;
        m_stop = false;
    }
    m_signal.notify_all();
}

void QueueEvents::SetData() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_created) {
            return;
        }
        m_data = true;
    }
    m_signal.notify_all();
}

void QueueEvents::ResetData() {
    std::lock_guard lock(m_mutex);
    m_data = false;
}

void QueueEvents::SetStop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_created) {
            return;
        }
        m_stop = true;
    }
    m_signal.notify_all();
}

QueueEvents::Fired QueueEvents::Wait(int32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return !m_created || m_data || m_stop; };
    if (timeoutMs < 0) {
        m_signal.wait(lock, ready);
    } else if (!m_signal.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return Fired::Timeout;
    }
    if (!m_created) {
        return Fired::Failed;
    }
    if (m_data) {
        return Fired::Data;  // manual reset: stays set
    }
    m_stop = false;  // auto reset
    return Fired::Stop;
}

}  // namespace kbase
