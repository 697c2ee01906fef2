// Keyboard state and input events. Backends turn native events into
// InputEvents; tests inject them the same way. Each event is queued for the
// thread of the window it concerns and routed when that thread takes it:
// capture, hit testing (WM_NCHITTEST), cursor (WM_SETCURSOR), then the
// client or non-client mouse message, or the key message to the focus.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/draw_geometry.h"
#include "platform/message.h"

namespace zeph::platform {

// clang-format off
// Virtual key codes (the Windows numbering).
inline constexpr std::uint32_t VK_LBUTTON = 0x01;
inline constexpr std::uint32_t VK_RBUTTON = 0x02;
inline constexpr std::uint32_t VK_MBUTTON = 0x04;
inline constexpr std::uint32_t VK_BACK = 0x08;
inline constexpr std::uint32_t VK_TAB = 0x09;
inline constexpr std::uint32_t VK_RETURN = 0x0D;
inline constexpr std::uint32_t VK_SHIFT = 0x10;
inline constexpr std::uint32_t VK_CONTROL = 0x11;
inline constexpr std::uint32_t VK_MENU = 0x12;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;
inline constexpr std::uint32_t VK_SPACE = 0x20;
inline constexpr std::uint32_t VK_END = 0x23;
inline constexpr std::uint32_t VK_HOME = 0x24;
inline constexpr std::uint32_t VK_LEFT = 0x25;
inline constexpr std::uint32_t VK_UP = 0x26;
inline constexpr std::uint32_t VK_RIGHT = 0x27;
inline constexpr std::uint32_t VK_DOWN = 0x28;
inline constexpr std::uint32_t VK_DELETE = 0x2E;
inline constexpr std::uint32_t VK_F4 = 0x73;
// clang-format on

enum class MouseButton { Left, Right, Middle };

struct InputEvent {
    enum class Kind {
        MouseMove,
        ButtonDown,
        ButtonUp,
        DoubleClick,  // a second press in quick succession
        Wheel,
        MouseLeave,  // the pointer left every window of the backend
        KeyDown,
        KeyUp,
        Char,
    };
    Kind kind = Kind::MouseMove;
    // The top-level window the event is for; 0 = the top-most window under
    // the point (mouse) or the active window (keyboard).
    WindowHandle window = 0;
    Point screen;  // mouse position in screen coordinates
    MouseButton button = MouseButton::Left;
    int wheelDelta = 0;      // multiples of 120 per notch
    std::uint32_t key = 0;   // virtual key
    char16_t character = 0;  // Char
};

// Queues the event for the thread that owns its window. Returns false when
// there is no window to take it.
bool InjectInput(const InputEvent& event);

// Key state as of the last input routed on any thread: the high bit
// (negative result) when the key is down.
short GetKeyState(std::uint32_t virtualKey);

// Shorthands that inject at client coordinates of a window.
bool InjectMouseMove(WindowHandle hwnd, Point client);
bool InjectMouseButton(WindowHandle hwnd, Point client, MouseButton button, bool down);
bool InjectClick(WindowHandle hwnd, Point client, MouseButton button = MouseButton::Left);
bool InjectDoubleClick(WindowHandle hwnd, Point client);
bool InjectMouseLeave(WindowHandle hwnd);
bool InjectKey(WindowHandle hwnd, std::uint32_t virtualKey, bool down);
bool InjectText(WindowHandle hwnd, std::u16string_view text);

}  // namespace zeph::platform
