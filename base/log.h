// The process-wide diagnostic log entry point. Code in every folder logs
// through Log(); the installer's logger registers itself as the sink when it
// starts and removes itself when it stops. Without a sink a call costs one
// atomic load and writes nothing.
//
// Messages are UTF-8 printf formats with UTF-8 arguments (convert wide text
// with U8()); the sink turns them into the log file's encoding.
#pragma once

#include <string_view>

namespace zeph {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Cheap check made before formatting.
    virtual bool Enabled() const { return true; }
    // One formatted message, without time stamp or line end. Any thread.
    virtual void Write(std::string_view message) = 0;
};

// The sink is not owned and must stay alive while it is registered.
void SetLogSink(LogSink* sink);
LogSink* GetLogSink();

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zeph
