// Window messages and per-thread message queues.
//
// A message is (window, number, wParam, lParam) with the numbers of the
// Windows messages that the UI code is written against. Every thread that
// touches a queue gets one: PostMessage works from any thread, SendMessage
// to a window of another thread is delivered on that thread (inside its
// GetMessage/PeekMessage, or while it waits in a SendMessage of its own) and
// waits for the answer. GetMessage returns, in this order: messages sent
// from other threads (handled inside), posted messages and input in arrival
// order, WM_QUIT, WM_PAINT for windows with an invalid area, then WM_TIMER.
#pragma once

#include <cstdint>
#include <functional>

namespace zeph::platform {

using WindowHandle = std::uintptr_t;  // 0 = no window
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;
using ThreadId = std::uint32_t;  // 0 = no thread

// clang-format off
inline constexpr std::uint32_t WM_NULL = 0x0000;
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr std::uint32_t WM_ENABLE = 0x000A;
inline constexpr std::uint32_t WM_SETTEXT = 0x000C;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr std::uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr std::uint32_t WM_SETTINGCHANGE = 0x001A;
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;
inline constexpr std::uint32_t WM_GETMINMAXINFO = 0x0024;
inline constexpr std::uint32_t WM_NOTIFY = 0x004E;
inline constexpr std::uint32_t WM_NCDESTROY = 0x0082;
inline constexpr std::uint32_t WM_NCHITTEST = 0x0084;
inline constexpr std::uint32_t WM_NCACTIVATE = 0x0086;
inline constexpr std::uint32_t WM_GETDLGCODE = 0x0087;
inline constexpr std::uint32_t WM_NCMOUSEMOVE = 0x00A0;
inline constexpr std::uint32_t WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr std::uint32_t WM_NCLBUTTONUP = 0x00A2;
inline constexpr std::uint32_t WM_NCLBUTTONDBLCLK = 0x00A3;
inline constexpr std::uint32_t WM_NCRBUTTONDOWN = 0x00A4;
inline constexpr std::uint32_t WM_NCRBUTTONUP = 0x00A5;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_HSCROLL = 0x0114;
inline constexpr std::uint32_t WM_VSCROLL = 0x0115;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t WM_CAPTURECHANGED = 0x0215;
inline constexpr std::uint32_t WM_ENTERSIZEMOVE = 0x0231;
inline constexpr std::uint32_t WM_EXITSIZEMOVE = 0x0232;
inline constexpr std::uint32_t WM_MOUSELEAVE = 0x02A3;
inline constexpr std::uint32_t WM_PRINT = 0x0317;
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_APP = 0x8000;

// Key and button flags in wParam of mouse messages.
inline constexpr WParam MK_LBUTTON = 0x0001;
inline constexpr WParam MK_RBUTTON = 0x0002;
inline constexpr WParam MK_SHIFT = 0x0004;
inline constexpr WParam MK_CONTROL = 0x0008;
inline constexpr WParam MK_MBUTTON = 0x0010;

// WM_SIZE kinds.
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr WParam SIZE_MINIMIZED = 1;
inline constexpr WParam SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND commands (the low four bits carry extra data).
inline constexpr WParam SC_SIZE = 0xF000;
inline constexpr WParam SC_MOVE = 0xF010;
inline constexpr WParam SC_MINIMIZE = 0xF020;
inline constexpr WParam SC_MAXIMIZE = 0xF030;
inline constexpr WParam SC_CLOSE = 0xF060;
inline constexpr WParam SC_RESTORE = 0xF120;

// WM_NCHITTEST answers.
inline constexpr LResult HTERROR = -2;
inline constexpr LResult HTTRANSPARENT = -1;
inline constexpr LResult HTNOWHERE = 0;
inline constexpr LResult HTCLIENT = 1;
inline constexpr LResult HTCAPTION = 2;
inline constexpr LResult HTLEFT = 10;
inline constexpr LResult HTRIGHT = 11;
inline constexpr LResult HTTOP = 12;
inline constexpr LResult HTTOPLEFT = 13;
inline constexpr LResult HTTOPRIGHT = 14;
inline constexpr LResult HTBOTTOM = 15;
inline constexpr LResult HTBOTTOMLEFT = 16;
inline constexpr LResult HTBOTTOMRIGHT = 17;

// PeekMessage options.
inline constexpr unsigned PM_NOREMOVE = 0;
inline constexpr unsigned PM_REMOVE = 1;
// clang-format on

struct Message {
    WindowHandle hwnd = 0;
    std::uint32_t message = WM_NULL;
    WParam wParam = 0;
    LParam lParam = 0;
    std::uint64_t time = 0;  // milliseconds of the monotonic clock when queued
};

// The calling thread's id in this layer (a small number, stable for the
// thread's life).
ThreadId GetCurrentThreadId();

// Fails (false) for a window that does not exist. hwnd 0 posts a thread
// message to the calling thread.
bool PostMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);
bool PostThreadMessage(ThreadId thread, std::uint32_t message, WParam wParam = 0,
                       LParam lParam = 0);
// Calls the window procedure and returns its result; 0 for a window that
// does not exist or is destroyed before its thread takes the message.
LResult SendMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);
void PostQuitMessage(int exitCode);

// Waits for the next message. False on WM_QUIT (msg then holds it).
bool GetMessage(Message& msg);
// Like GetMessage without waiting; true when a message was there. The range
// [first, last] filters by number (0, 0 = all); PM_NOREMOVE leaves it queued.
bool PeekMessage(Message& msg, std::uint32_t first = 0, std::uint32_t last = 0,
                 unsigned remove = PM_REMOVE);
// Waits until something arrives for the calling thread.
void WaitMessage();
// Turns key presses that carry characters (Enter, Esc, Tab, Backspace) into
// WM_CHAR; text typed on a keyboard arrives as WM_CHAR by itself.
bool TranslateMessage(const Message& msg);
LResult DispatchMessage(const Message& msg);

// Handles every message that is ready without waiting; returns how many.
int PumpPendingMessages();

// A nested message loop that runs until `done` answers true (checked after
// each message; wake the loop with a PostMessage) or WM_QUIT arrives, which
// is posted again for the outer loop. `filter` may take a message before
// dispatch (return true when taken). Returns false when WM_QUIT ended it.
bool RunModalLoop(const std::function<bool()>& done,
                  const std::function<bool(const Message&)>& filter = nullptr);

// Milliseconds of the monotonic clock (the tick count).
std::uint64_t TickCount();

}  // namespace zeph::platform
