// The current mouse cursor.
#include "platform/cursor.h"

#include "platform/window_internal.h"

namespace zeph::platform {

CursorId SetCursor(CursorId cursor) {
    CursorId previous;
    internal::Backend* backend = nullptr;
    {
        std::lock_guard lock(internal::Sys().m);
        previous = internal::Sys().cursor;
        internal::Sys().cursor = cursor;
        backend = internal::Sys().backend.get();
    }
    if (backend != nullptr && previous != cursor) {
        backend->ShowCursor(cursor);
    }
    return previous;
}

CursorId GetCurrentCursor() {
    std::lock_guard lock(internal::Sys().m);
    return internal::Sys().cursor;
}

}  // namespace zeph::platform
