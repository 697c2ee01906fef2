#include "base/log.h"

#include <atomic>
#include <cstdarg>

#include "base/format.h"

namespace zeph {
namespace {

std::atomic<LogSink*> g_sink{nullptr};

}  // namespace

void SetLogSink(LogSink* sink) { g_sink.store(sink, std::memory_order_release); }

LogSink* GetLogSink() { return g_sink.load(std::memory_order_acquire); }

void Log(const char* format, ...) {
    LogSink* sink = GetLogSink();
    if (sink == nullptr || !sink->Enabled()) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string message = FormatV(format, args);
    va_end(args);
    sink->Write(message);
}

}  // namespace zeph
