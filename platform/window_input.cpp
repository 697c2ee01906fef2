// Input: queuing events for the owning thread, routing them to windows as
// messages (capture, hit test, cursor, client and non-client messages,
// mouse-leave tracking), the move and size loop, and the key state.
#include "platform/input.h"
#include "platform/window_internal.h"

namespace zeph::platform {

using internal::FindLocked;
using internal::Sys;
using internal::System;

namespace {

bool IsMouse(InputEvent::Kind k) {
    using K = InputEvent::Kind;
    return k == K::MouseMove || k == K::ButtonDown || k == K::ButtonUp || k == K::DoubleClick ||
           k == K::Wheel || k == K::MouseLeave;
}

WindowHandle TopLevelAtLocked(Point p) {
    for (WindowHandle h : Sys().zorder) {
        auto rec = FindLocked(h);
        if (rec && (rec->style & WS_VISIBLE) != 0 && !rec->minimized && rec->rect.Contains(p)) {
            return h;
        }
    }
    return 0;
}

// The deepest visible child under the point (screen coordinates).
WindowHandle DeepestChildLocked(WindowHandle top, Point screen) {
    auto rec = FindLocked(top);
    if (!rec) {
        return 0;
    }
    Point local{screen.x - rec->rect.left, screen.y - rec->rect.top};
    WindowHandle found = top;
    for (;;) {
        WindowHandle next = 0;
        for (auto it = rec->children.rbegin(); it != rec->children.rend(); ++it) {
            auto child = FindLocked(*it);
            if (child && (child->style & WS_VISIBLE) != 0 && child->rect.Contains(local)) {
                next = *it;
                local = {local.x - child->rect.left, local.y - child->rect.top};
                rec = child;
                break;
            }
        }
        if (next == 0) {
            return found;
        }
        found = next;
    }
}

WParam MouseKeyFlagsLocked() {
    const auto& k = Sys().keys;
    WParam flags = 0;
    flags |= k[VK_LBUTTON] ? MK_LBUTTON : 0;
    flags |= k[VK_RBUTTON] ? MK_RBUTTON : 0;
    flags |= k[VK_MBUTTON] ? MK_MBUTTON : 0;
    flags |= k[VK_SHIFT] ? MK_SHIFT : 0;
    flags |= k[VK_CONTROL] ? MK_CONTROL : 0;
    return flags;
}

std::uint32_t ButtonKey(MouseButton b) {
    switch (b) {
        case MouseButton::Right:
            return VK_RBUTTON;
        case MouseButton::Middle:
            return VK_MBUTTON;
        case MouseButton::Left:
            break;
    }
    return VK_LBUTTON;
}

// Clears the hover window, posting its WM_MOUSELEAVE when it asked for one.
void LeaveHoverLocked(WindowHandle next) {
    System& s = Sys();
    const WindowHandle old = s.hover;
    s.hover = next;
    if (old == 0 || old == next) {
        return;
    }
    auto rec = FindLocked(old);
    if (rec && rec->trackLeave) {
        rec->trackLeave = false;
        if (auto q = internal::QueueLocked(rec->thread)) {
            q->items.emplace_back(Message{old, WM_MOUSELEAVE, 0, 0, TickCount()});
            internal::WakeQueueLocked(*q);
        }
    }
}

std::uint32_t ClientMessage(const InputEvent& e, bool doubleClicks) {
    using K = InputEvent::Kind;
    const int b = e.button == MouseButton::Left ? 0 : e.button == MouseButton::Right ? 1 : 2;
    static constexpr std::uint32_t kDown[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static constexpr std::uint32_t kUp[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    static constexpr std::uint32_t kDbl[] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
    switch (e.kind) {
        case K::ButtonDown:
            return kDown[b];
        case K::ButtonUp:
            return kUp[b];
        case K::DoubleClick:
            return doubleClicks ? kDbl[b] : kDown[b];
        case K::Wheel:
            return WM_MOUSEWHEEL;
        default:
            return WM_MOUSEMOVE;
    }
}

std::uint32_t NonClientMessage(const InputEvent& e, bool doubleClicks) {
    using K = InputEvent::Kind;
    if (e.kind == K::Wheel) {
        return WM_MOUSEWHEEL;
    }
    if (e.kind == K::MouseMove || e.button == MouseButton::Middle) {
        return e.kind == K::MouseMove ? WM_NCMOUSEMOVE : WM_NULL;
    }
    const bool left = e.button == MouseButton::Left;
    switch (e.kind) {
        case K::ButtonDown:
            return left ? WM_NCLBUTTONDOWN : WM_NCRBUTTONDOWN;
        case K::ButtonUp:
            return left ? WM_NCLBUTTONUP : WM_NCRBUTTONUP;
        case K::DoubleClick:
            return left ? (doubleClicks ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN) : WM_NCRBUTTONDOWN;
        default:
            return WM_NULL;
    }
}

void StepSizeMove(const internal::SizeMove& sm, Point cursor) {
    const int dx = cursor.x - sm.start.x;
    const int dy = cursor.y - sm.start.y;
    Rect r = sm.startRect;
    if (sm.edge == 0) {
        r = r.Offset(dx, dy);
        SetWindowPos(sm.hwnd, 0, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    const bool left = sm.edge == 1 || sm.edge == 4 || sm.edge == 7;
    const bool right = sm.edge == 2 || sm.edge == 5 || sm.edge == 8;
    const bool top = sm.edge == 3 || sm.edge == 4 || sm.edge == 5;
    const bool bottom = sm.edge == 6 || sm.edge == 7 || sm.edge == 8;
    if (left) {
        r.left += dx;
    }
    if (right) {
        r.right += dx;
    }
    if (top) {
        r.top += dy;
    }
    if (bottom) {
        r.bottom += dy;
    }
    MinMaxInfo info;
    info.minTrackSize = {0, 0};
    info.maxTrackSize = {32767, 32767};
    SendMessage(sm.hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
    // The edge being dragged stops; the opposite edge stays where it is.
    const int w = std::clamp(r.Width(), info.minTrackSize.x,
                             std::max(info.minTrackSize.x, info.maxTrackSize.x));
    const int h = std::clamp(r.Height(), info.minTrackSize.y,
                             std::max(info.minTrackSize.y, info.maxTrackSize.y));
    if (left) {
        r.left = r.right - w;
    } else {
        r.right = r.left + w;
    }
    if (top) {
        r.top = r.bottom - h;
    } else {
        r.bottom = r.top + h;
    }
    SetWindowPos(sm.hwnd, 0, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<Message> RouteMouse(const InputEvent& e) {
    using K = InputEvent::Kind;
    System& s = Sys();
    std::unique_lock lock(s.m);
    if (e.kind != K::MouseLeave) {
        s.cursorPos = e.screen;
    }
    if (e.kind == K::ButtonDown || e.kind == K::DoubleClick) {
        s.keys[ButtonKey(e.button)] = true;
    } else if (e.kind == K::ButtonUp) {
        s.keys[ButtonKey(e.button)] = false;
    }

    if (s.sizeMove) {
        const internal::SizeMove sm = *s.sizeMove;
        if (e.kind == K::MouseMove) {
            lock.unlock();
            StepSizeMove(sm, e.screen);
        } else if (e.kind == K::ButtonUp && e.button == MouseButton::Left) {
            s.sizeMove.reset();
            lock.unlock();
            ReleaseCapture();
            SendMessage(sm.hwnd, WM_EXITSIZEMOVE);
        }
        return std::nullopt;
    }
    if (e.kind == K::MouseLeave) {
        if (s.capture == 0) {
            LeaveHoverLocked(0);
        }
        return std::nullopt;
    }

    WindowHandle target = 0;
    bool captured = false;
    if (s.capture != 0 && FindLocked(s.capture)) {
        target = s.capture;
        captured = true;
    } else {
        WindowHandle top = 0;
        if (auto rec = FindLocked(e.window); rec && !rec->IsChild() &&
                                             (rec->style & WS_VISIBLE) != 0 &&
                                             rec->rect.Contains(e.screen)) {
            top = e.window;
        } else {
            top = TopLevelAtLocked(e.screen);
        }
        if (top == 0) {
            LeaveHoverLocked(0);
            return std::nullopt;
        }
        target = DeepestChildLocked(top, e.screen);
        LeaveHoverLocked(target);
        // A disabled window (the owner of a modal dialog) takes no input.
        for (WindowHandle h = target; h != 0;) {
            auto rec = FindLocked(h);
            if (!rec) {
                break;
            }
            if ((rec->style & WS_DISABLED) != 0) {
                return std::nullopt;
            }
            h = rec->IsChild() ? rec->parent : 0;
        }
    }
    auto targetRec = FindLocked(target);
    if (!targetRec) {
        return std::nullopt;
    }
    const bool doubleClicks = (targetRec->classStyle & CS_DBLCLKS) != 0;
    const WindowHandle top = internal::TopLevelOfLocked(target);
    auto topRec = FindLocked(top);
    auto q = internal::CurrentQueueLocked();
    const bool activate = (e.kind == K::ButtonDown || e.kind == K::DoubleClick) && topRec &&
                          q->active != top && (topRec->exStyle & WS_EX_NOACTIVATE) == 0;
    const WParam keyFlags = MouseKeyFlagsLocked();
    lock.unlock();

    LResult hit = HTCLIENT;
    if (!captured) {
        hit = SendMessage(target, WM_NCHITTEST, 0, MakeLParam(e.screen.x, e.screen.y));
    }
    const bool client = hit == HTCLIENT;
    const std::uint32_t number =
        client ? ClientMessage(e, doubleClicks) : NonClientMessage(e, doubleClicks);
    if (activate) {
        SetActiveWindow(top);
    }
    if (!captured) {
        SendMessage(target, WM_SETCURSOR, target,
                    MakeLParam(static_cast<int>(hit), static_cast<int>(number)));
    }
    if (number == WM_NULL || !IsWindow(target)) {
        return std::nullopt;
    }
    Message msg{target, number, 0, 0, 0};
    if (number == WM_MOUSEWHEEL) {
        msg.wParam =
            (static_cast<WParam>(static_cast<std::uint16_t>(e.wheelDelta)) << 16) | keyFlags;
        msg.lParam = MakeLParam(e.screen.x, e.screen.y);
    } else if (client) {
        const Point c = ScreenToClient(target, e.screen);
        msg.wParam = keyFlags;
        msg.lParam = MakeLParam(c.x, c.y);
    } else {
        msg.wParam = static_cast<WParam>(hit);
        msg.lParam = MakeLParam(e.screen.x, e.screen.y);
    }
    return msg;
}

std::optional<Message> RouteKey(const InputEvent& e) {
    using K = InputEvent::Kind;
    System& s = Sys();
    std::unique_lock lock(s.m);
    if (e.kind == K::KeyDown) {
        s.keys[e.key & 0xFF] = true;
    } else if (e.kind == K::KeyUp) {
        s.keys[e.key & 0xFF] = false;
    }
    auto q = internal::CurrentQueueLocked();
    WindowHandle target = q->focus != 0 ? q->focus : q->active != 0 ? q->active : e.window;
    auto rec = FindLocked(target);
    if (!rec) {
        return std::nullopt;
    }
    for (WindowHandle h = target; h != 0;) {
        auto r = FindLocked(h);
        if (!r) {
            break;
        }
        if ((r->style & WS_DISABLED) != 0) {
            return std::nullopt;
        }
        h = r->IsChild() ? r->parent : 0;
    }
    const bool alt = s.keys[VK_MENU] && e.key != VK_MENU;
    lock.unlock();
    switch (e.kind) {
        case K::KeyDown:
            return Message{target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, e.key, 1, 0};
        case K::KeyUp:
            return Message{target, alt ? WM_SYSKEYUP : WM_KEYUP, e.key,
                           static_cast<LParam>(0xC0000001u), 0};
        default:
            return Message{target, WM_CHAR, e.character, 1, 0};
    }
}

}  // namespace

namespace internal {

std::optional<Message> RouteInput(const InputEvent& event) {
    return IsMouse(event.kind) ? RouteMouse(event) : RouteKey(event);
}

void BeginSizeMove(WindowHandle hwnd, int edge) {
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec || rec->IsChild() || Sys().sizeMove || (edge == 0 && rec->maximized)) {
            return;
        }
        // Only a held button drags; a release ends the loop.
        if (!Sys().keys[VK_LBUTTON]) {
            return;
        }
        Sys().sizeMove = SizeMove{hwnd, edge, Sys().cursorPos, rec->rect};
    }
    SendMessage(hwnd, WM_ENTERSIZEMOVE);
    SetCapture(hwnd);
}

}  // namespace internal

bool InjectInput(const InputEvent& event) {
    System& s = Sys();
    std::lock_guard lock(s.m);
    WindowHandle owner = 0;
    if (IsMouse(event.kind)) {
        if (s.capture != 0 && FindLocked(s.capture)) {
            owner = s.capture;
        } else if (event.window != 0 && FindLocked(event.window)) {
            owner = event.window;
        } else if (event.kind != InputEvent::Kind::MouseLeave) {
            owner = TopLevelAtLocked(event.screen);
        }
        if (owner == 0) {
            owner = s.hover;  // the leave of the last window under the mouse
        }
    } else {
        owner = event.window != 0 ? event.window : s.foreground;
    }
    auto rec = FindLocked(owner);
    if (!rec) {
        if (IsMouse(event.kind)) {
            s.cursorPos = event.kind == InputEvent::Kind::MouseLeave ? s.cursorPos : event.screen;
        }
        return false;
    }
    auto q = internal::QueueLocked(rec->thread);
    if (!q || !q->alive) {
        return false;
    }
    q->items.emplace_back(event);
    internal::WakeQueueLocked(*q);
    return true;
}

short GetKeyState(std::uint32_t virtualKey) {
    std::lock_guard lock(Sys().m);
    return Sys().keys[virtualKey & 0xFF] ? static_cast<short>(-32768) : 0;
}

namespace {

InputEvent MouseEventAt(WindowHandle hwnd, Point client, InputEvent::Kind kind) {
    InputEvent e;
    e.kind = kind;
    e.window = GetAncestorTopLevel(hwnd);
    e.screen = ClientToScreen(hwnd, client);
    return e;
}

}  // namespace

bool InjectMouseMove(WindowHandle hwnd, Point client) {
    return InjectInput(MouseEventAt(hwnd, client, InputEvent::Kind::MouseMove));
}

bool InjectMouseButton(WindowHandle hwnd, Point client, MouseButton button, bool down) {
    InputEvent e = MouseEventAt(hwnd, client,
                                down ? InputEvent::Kind::ButtonDown : InputEvent::Kind::ButtonUp);
    e.button = button;
    return InjectInput(e);
}

bool InjectClick(WindowHandle hwnd, Point client, MouseButton button) {
    return InjectMouseButton(hwnd, client, button, true) &&
           InjectMouseButton(hwnd, client, button, false);
}

bool InjectDoubleClick(WindowHandle hwnd, Point client) {
    if (!InjectClick(hwnd, client)) {
        return false;
    }
    InputEvent e = MouseEventAt(hwnd, client, InputEvent::Kind::DoubleClick);
    return InjectInput(e) && InjectMouseButton(hwnd, client, MouseButton::Left, false);
}

bool InjectMouseLeave(WindowHandle hwnd) {
    InputEvent e;
    e.kind = InputEvent::Kind::MouseLeave;
    e.window = GetAncestorTopLevel(hwnd);
    return InjectInput(e);
}

bool InjectKey(WindowHandle hwnd, std::uint32_t virtualKey, bool down) {
    InputEvent e;
    e.kind = down ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
    e.window = GetAncestorTopLevel(hwnd);
    e.key = virtualKey;
    return InjectInput(e);
}

bool InjectText(WindowHandle hwnd, std::u16string_view text) {
    for (char16_t ch : text) {
        InputEvent e;
        e.kind = InputEvent::Kind::Char;
        e.window = GetAncestorTopLevel(hwnd);
        e.character = ch;
        if (!InjectInput(e)) {
            return false;
        }
    }
    return true;
}

}  // namespace zeph::platform
