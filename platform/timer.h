// Window timers: WM_TIMER (wParam = timer id) to the window, or to the thread
// with hwnd 0, at the requested period. Timers come after every other
// message, like paint, and a late timer fires once, not once per period
// missed.
#pragma once

#include <cstdint>

#include "platform/message.h"

namespace zeph::platform {

// Starts or restarts timer `id` of `hwnd` (which must belong to the calling
// thread). With hwnd 0 the id is chosen and returned. 0 on failure.
std::uintptr_t SetTimer(WindowHandle hwnd, std::uintptr_t id, unsigned periodMs);
bool KillTimer(WindowHandle hwnd, std::uintptr_t id);

}  // namespace zeph::platform
