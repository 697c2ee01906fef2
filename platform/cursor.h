// Mouse cursors by their system ids.
#pragma once

#include <cstdint>

namespace zeph::platform {

enum class CursorId : std::uint32_t {
    Arrow = 32512,
    IBeam = 32513,
    Wait = 32514,
    SizeNwse = 32642,
    SizeNesw = 32643,
    SizeWe = 32644,
    SizeNs = 32645,
    SizeAll = 32646,
    Hand = 32649,
};

// Sets the cursor shown over the calling thread's windows; returns the
// previous one. The SDL backend shows it (a system without that cursor
// shape keeps the arrow); the headless backend only records it.
CursorId SetCursor(CursorId cursor);
CursorId GetCurrentCursor();

}  // namespace zeph::platform
