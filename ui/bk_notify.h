// The notification record a host sends to its screen with WM_NOTIFY.
#pragma once

#include <cstdint>

#include "platform/draw_geometry.h"
#include "platform/message.h"

namespace zeph::ui {

// Notification codes.
inline constexpr std::uint32_t kNotifyCommand = 1;      // click released over the pressed element
inline constexpr std::uint32_t kNotifyRealWndRect = 2;  // a real window's element moved
inline constexpr std::uint32_t kNotifyMouseMove = 3;    // the mouse moved over an element
inline constexpr std::uint32_t kNotifyMouseLeave =
    4;  // the element under the mouse changed or left
inline constexpr std::uint32_t kNotifyHoverLeave = 6;  // an element's own hover/leave report
inline constexpr std::uint32_t kNotifyLButtonDown = 7;
inline constexpr std::uint32_t kNotifyDoubleClick = 8;
inline constexpr std::uint32_t kNotifyRButtonDown = 9;
inline constexpr std::uint32_t kNotifyRButtonUp = 13;
inline constexpr std::uint32_t kNotifyInvalidate = 1000;  // an element asks for a repaint

// idFrom of the two host kinds.
inline constexpr std::uintptr_t kViewControlId = 1000;
inline constexpr std::uintptr_t kViewExId = 0xFFFFFFFF;

// Actions of code 6.
inline constexpr int kNotifyActionHover = 3;
inline constexpr int kNotifyActionLeave = 4;

struct ElementNotify {
    platform::WindowHandle hwndFrom = 0;
    std::uintptr_t idFrom = 0;
    std::uint32_t code = 0;
    std::uint32_t itemId = 0;
    const char* tagName = nullptr;  // codes 1 and 8
    platform::Rect rect;            // code 2 (and 1000)
    const char* source = nullptr;   // code 6: "wnd"
    int action = 0;                 // code 6: kNotifyActionHover or kNotifyActionLeave
};

}  // namespace zeph::ui
