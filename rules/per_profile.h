// A value computed once per machine profile: probes that Windows answers
// once per process are kept until the current profile changes (tests and
// zephctl switch profiles within one process).
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "platform/profile.h"

namespace zeph {

template <typename T>
class PerProfile {
  public:
    template <typename Compute>
    T Get(Compute compute) {
        const std::shared_ptr<platform::Profile> profile = platform::CurrentProfile();
        {
            std::lock_guard lock(m_mutex);
            if (m_value && m_owner.lock() == profile) {
                return *m_value;
            }
        }
        // Computed outside the lock: two first callers may both compute, and
        // both get the same answer.
        T value = compute();
        std::lock_guard lock(m_mutex);
        m_owner = profile;
        m_value = value;
        return value;
    }

  private:
    std::mutex m_mutex;
    std::weak_ptr<platform::Profile> m_owner;
    std::optional<T> m_value;
};

}  // namespace zeph
