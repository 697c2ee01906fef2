// Collects the lines logged through zeph::Log while it is alive, so that
// tests can check the exact log lines a component writes.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.h"

namespace zeph::test {

class LogCapture : public LogSink {
public:
    LogCapture() : m_previous(GetLogSink()) { SetLogSink(this); }
    ~LogCapture() override { SetLogSink(m_previous); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void Write(std::string_view message) override {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(message);
    }

    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

    // True when some line equals `line` exactly.
    bool Contains(std::string_view line) const {
        std::lock_guard lock(m_mutex);
        for (const auto& l : m_lines) {
            if (l == line) {
                return true;
            }
        }
        return false;
    }

private:
    LogSink* m_previous;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

}  // namespace zeph::test
