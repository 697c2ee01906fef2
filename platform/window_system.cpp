// The window table: creation and destruction, placement, visibility,
// activation and focus, capture, invalid areas and painting, and the choice
// of backend.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/ascii.h"
#include "platform/window.h"
#include "platform/window_internal.h"

namespace zeph::platform {

using internal::Backend;
using internal::Sys;
using internal::System;
using internal::WindowRecord;

namespace internal {

std::shared_ptr<WindowRecord> FindLocked(WindowHandle hwnd) {
    if (hwnd == 0) {
        return nullptr;
    }
    auto it = Sys().windows.find(hwnd);
    return it == Sys().windows.end() ? nullptr : it->second;
}

WindowHandle TopLevelOfLocked(WindowHandle hwnd) {
    auto rec = FindLocked(hwnd);
    while (rec && rec->IsChild()) {
        auto parent = FindLocked(rec->parent);
        if (!parent) {
            return 0;
        }
        rec = parent;
    }
    return rec ? rec->handle : 0;
}

Point OriginInTopLevelLocked(const WindowRecord& rec) {
    Point p;
    const WindowRecord* cur = &rec;
    while (cur->IsChild()) {
        p.x += cur->rect.left;
        p.y += cur->rect.top;
        auto parent = FindLocked(cur->parent);
        if (!parent) {
            break;
        }
        cur = parent.get();
    }
    return p;
}

bool IsVisibleLocked(const WindowRecord& rec) {
    const WindowRecord* cur = &rec;
    for (;;) {
        if ((cur->style & WS_VISIBLE) == 0) {
            return false;
        }
        if (!cur->IsChild()) {
            return true;
        }
        auto parent = FindLocked(cur->parent);
        if (!parent) {
            return false;
        }
        cur = parent.get();
    }
}

void InvalidateLocked(WindowRecord& rec, const Rect& rect) {
    const Rect client{0, 0, rec.rect.Width(), rec.rect.Height()};
    const Rect r = rect.Intersect(client);
    if (r.IsEmpty()) {
        return;
    }
    rec.update.Add(r);
    for (WindowHandle c : rec.children) {
        auto child = FindLocked(c);
        if (child && (child->style & WS_VISIBLE) != 0) {
            InvalidateLocked(*child, r.Offset(-child->rect.left, -child->rect.top));
        }
    }
}

namespace {

std::optional<BackendKind> KindFromEnvironment() {
    const char* ui = std::getenv("ZEPH_UI");
    if (ui != nullptr && *ui != '\0') {
        if (AsciiEqualsIgnoreCase(ui, "headless")) {
            return BackendKind::Headless;
        }
        if (AsciiEqualsIgnoreCase(ui, "sdl")) {
            return BackendKind::Sdl;
        }
        std::fprintf(stderr,
                     "zeph: unknown ZEPH_UI value \"%s\" (headless or sdl); choosing by display\n",
                     ui);
    }
    return std::nullopt;
}

bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

Backend& BackendLocked() {
    System& s = Sys();
    if (!s.backend) {
        BackendKind kind = KindFromEnvironment().value_or(
            DisplayAvailable() ? BackendKind::Sdl : BackendKind::Headless);
        if (kind == BackendKind::Sdl) {
            std::string error;
            s.backend = MakeSdlBackend(error);
            if (s.backend) {
                s.eventThread = GetCurrentThreadId();
            } else {
                std::fprintf(stderr,
                             "zeph: the SDL window backend cannot start (%s); using headless\n",
                             error.c_str());
            }
        }
        if (!s.backend) {
            s.backend = MakeHeadlessBackend();
        }
    }
    return *s.backend;
}

}  // namespace internal

using internal::FindLocked;

BackendKind InitWindowSystem(std::optional<BackendKind> choice) {
    System& s = Sys();
    std::lock_guard lock(s.m);
    if (!s.backend && choice) {
        if (*choice == BackendKind::Sdl) {
            std::string error;
            s.backend = internal::MakeSdlBackend(error);
            if (s.backend) {
                s.eventThread = GetCurrentThreadId();
            } else {
                std::fprintf(stderr,
                             "zeph: the SDL window backend cannot start (%s); using headless\n",
                             error.c_str());
            }
        }
        if (!s.backend) {
            s.backend = internal::MakeHeadlessBackend();
        }
    }
    return internal::BackendLocked().Kind();
}

BackendKind CurrentBackend() {
    std::lock_guard lock(Sys().m);
    return internal::BackendLocked().Kind();
}

namespace {

Backend* NativeBackendFor(const WindowRecord& rec) {
    return rec.native ? Sys().backend.get() : nullptr;
}

void SendSizeAndMove(WindowHandle hwnd, bool moved, bool resized) {
    Rect rect;
    bool maximized = false;
    bool minimized = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return;
        }
        rect = rec->rect;
        maximized = rec->maximized;
        minimized = rec->minimized;
    }
    if (moved) {
        SendMessage(hwnd, WM_MOVE, 0, MakeLParam(rect.left, rect.top));
    }
    if (resized) {
        const WParam kind = minimized ? SIZE_MINIMIZED : maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
        SendMessage(hwnd, WM_SIZE, kind, minimized ? 0 : MakeLParam(rect.Width(), rect.Height()));
    }
}

// Keeps the content of a resized top-level window where it still fits.
void ResizeSurfaceLocked(WindowRecord& rec) {
    if (rec.IsChild() || (rec.exStyle & WS_EX_LAYERED) != 0) {
        return;
    }
    const int w = rec.rect.Width();
    const int h = rec.rect.Height();
    if (rec.surface && rec.surface->Width() == w && rec.surface->Height() == h) {
        return;
    }
    auto surface = std::make_unique<Bitmap>(w, h);
    if (rec.surface && !surface->IsEmpty()) {
        DeviceContext dc(*surface);
        dc.Blit(*rec.surface, Rect{0, 0, rec.surface->Width(), rec.surface->Height()}, Point{});
    }
    rec.surface = std::move(surface);
}

void RaiseLocked(WindowRecord& rec) {
    auto& z = Sys().zorder;
    std::erase(z, rec.handle);
    // Topmost windows stay ahead of the others.
    auto pos = z.begin();
    if ((rec.exStyle & WS_EX_TOPMOST) == 0) {
        while (pos != z.end()) {
            auto other = FindLocked(*pos);
            if (!other || (other->exStyle & WS_EX_TOPMOST) == 0) {
                break;
            }
            ++pos;
        }
    }
    z.insert(pos, rec.handle);
}

void CollectSubtreeLocked(WindowHandle hwnd, std::vector<WindowHandle>& out) {
    out.push_back(hwnd);
    if (auto rec = FindLocked(hwnd)) {
        for (WindowHandle c : rec->children) {
            CollectSubtreeLocked(c, out);
        }
    }
}

bool OnOwnThread(const WindowRecord& rec) {
    return rec.thread == GetCurrentThreadId();
}

}  // namespace

WindowHandle CreateWindow(const WindowParams& params) {
    System& s = Sys();
    auto rec = std::make_shared<WindowRecord>();
    Backend* backend = nullptr;
    {
        std::lock_guard lock(s.m);
        const bool child = (params.style & WS_CHILD) != 0;
        if (child) {
            auto parent = FindLocked(params.parent);
            if (!parent || !OnOwnThread(*parent)) {
                return 0;
            }
        } else {
            backend = &internal::BackendLocked();
            if (backend->Kind() == BackendKind::Sdl && s.eventThread != GetCurrentThreadId()) {
                std::fprintf(stderr,
                             "zeph: top-level windows live on the UI thread of the SDL backend\n");
                return 0;
            }
            if (params.parent != 0 && !FindLocked(params.parent)) {
                return 0;
            }
        }
        rec->handle = s.nextHandle++;
        rec->thread = GetCurrentThreadId();
        internal::CurrentQueueLocked();
        rec->proc = params.proc;
        rec->title = params.title;
        rec->style = params.style & ~WS_VISIBLE;
        rec->exStyle = params.exStyle;
        rec->classStyle = params.classStyle;
        rec->rect = params.rect;
        if (rec->rect.right < rec->rect.left) {
            rec->rect.right = rec->rect.left;
        }
        if (rec->rect.bottom < rec->rect.top) {
            rec->rect.bottom = rec->rect.top;
        }
        rec->restoreRect = rec->rect;
        if (child) {
            rec->parent = params.parent;
            rec->controlId = params.controlId;
            FindLocked(params.parent)->children.push_back(rec->handle);
        } else {
            rec->owner = params.parent;
        }
        s.windows[rec->handle] = rec;
        if (!child) {
            RaiseLocked(*rec);
            ResizeSurfaceLocked(*rec);
        }
    }
    const WindowHandle hwnd = rec->handle;
    if (backend != nullptr) {
        const bool ok =
            backend->CreateNative(hwnd, rec->title, rec->rect, params.style, params.exStyle);
        std::lock_guard lock(s.m);
        rec->native = ok;
        if (!ok) {
            std::erase(s.zorder, hwnd);
            s.windows.erase(hwnd);
            return 0;
        }
    }
    if (SendMessage(hwnd, WM_CREATE, 0, reinterpret_cast<LParam>(params.createParam)) == -1) {
        DestroyWindow(hwnd);
        return 0;
    }
    SendSizeAndMove(hwnd, true, true);
    if ((params.style & WS_VISIBLE) != 0 && IsWindow(hwnd)) {
        ShowWindow(hwnd, (params.exStyle & WS_EX_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : 0;
}

bool DestroyWindow(WindowHandle hwnd) {
    System& s = Sys();
    std::vector<WindowHandle> owned;
    {
        std::lock_guard lock(s.m);
        auto rec = FindLocked(hwnd);
        if (!rec || !OnOwnThread(*rec)) {
            return false;
        }
        if (rec->destroying) {
            return true;
        }
        rec->destroying = true;
        for (const auto& [h, other] : s.windows) {
            if (!other->IsChild() && other->owner == hwnd) {
                owned.push_back(h);
            }
        }
    }
    for (WindowHandle h : owned) {
        DestroyWindow(h);
    }
    std::vector<WindowHandle> subtree;
    {
        std::lock_guard lock(s.m);
        CollectSubtreeLocked(hwnd, subtree);
        auto rec = FindLocked(hwnd);
        if (rec && rec->IsChild() && (rec->style & WS_VISIBLE) != 0) {
            if (auto parent = FindLocked(rec->parent)) {
                internal::InvalidateLocked(*parent, rec->rect);
            }
        }
    }
    for (WindowHandle h : subtree) {
        SendMessage(h, WM_DESTROY);
    }
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
        SendMessage(*it, WM_NCDESTROY);
    }
    Backend* backend = nullptr;
    bool native = false;
    WindowHandle activateNext = 0;
    bool wasActive = false;
    {
        std::lock_guard lock(s.m);
        auto rec = FindLocked(hwnd);
        if (rec) {
            native = rec->native;
            backend = s.backend.get();
            if (!rec->IsChild()) {
                activateNext = rec->owner;
            }
        }
    }
    if (native && backend != nullptr) {
        backend->ContentChanged(hwnd, true);
    }
    {
        std::lock_guard lock(s.m);
        auto q = internal::CurrentQueueLocked();
        for (WindowHandle h : subtree) {
            auto rec = FindLocked(h);
            if (!rec) {
                continue;
            }
            if (rec->IsChild()) {
                if (auto parent = FindLocked(rec->parent)) {
                    std::erase(parent->children, h);
                }
            }
            std::erase(s.zorder, h);
            internal::RemoveTimersLocked(h);
            if (s.capture == h) {
                s.capture = 0;
            }
            if (s.hover == h) {
                s.hover = 0;
            }
            if (s.foreground == h) {
                s.foreground = 0;
            }
            if (s.sizeMove && s.sizeMove->hwnd == h) {
                s.sizeMove.reset();
            }
            if (q->focus == h) {
                q->focus = 0;
            }
            if (q->active == h) {
                q->active = 0;
                wasActive = true;
            }
            s.windows.erase(h);
        }
    }
    if (!wasActive) {
        activateNext = 0;
    }
    if (native && backend != nullptr) {
        backend->DestroyNative(hwnd);
    }
    if (activateNext != 0 && IsWindow(activateNext)) {
        SetActiveWindow(activateNext);
    }
    return true;
}

bool IsWindow(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec != nullptr;
}

ThreadId GetWindowThreadId(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec ? rec->thread : 0;
}

LResult DefWindowProc(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MOVE:
                    internal::BeginSizeMove(hwnd, 0);
                    return 0;
                case SC_SIZE:
                    if ((wParam & 0xF) >= 1 && (wParam & 0xF) <= 8) {
                        internal::BeginSizeMove(hwnd, static_cast<int>(wParam & 0xF));
                    }
                    return 0;
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    return 0;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_MAXIMIZE);
                    return 0;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    return 0;
                case SC_CLOSE:
                    SendMessage(hwnd, WM_CLOSE);
                    return 0;
                default:
                    return 0;
            }
        case WM_NCHITTEST: {
            const Rect r = GetWindowRect(hwnd);
            return r.Contains({LoWordSigned(lParam), HiWordSigned(lParam)}) ? HTCLIENT : HTNOWHERE;
        }
        case WM_SETCURSOR: {
            const WindowHandle parent = GetParent(hwnd);
            if (parent != 0 && (GetWindowLong(hwnd, GWL_STYLE) & WS_CHILD) != 0 &&
                SendMessage(parent, WM_SETCURSOR, wParam, lParam) != 0) {
                return 1;
            }
            const auto hit = static_cast<LResult>(
                static_cast<std::int16_t>(LoWord(static_cast<WParam>(lParam))));
            switch (hit) {
                case HTLEFT:
                case HTRIGHT:
                    SetCursor(CursorId::SizeWe);
                    break;
                case HTTOP:
                case HTBOTTOM:
                    SetCursor(CursorId::SizeNs);
                    break;
                case HTTOPLEFT:
                case HTBOTTOMRIGHT:
                    SetCursor(CursorId::SizeNwse);
                    break;
                case HTTOPRIGHT:
                case HTBOTTOMLEFT:
                    SetCursor(CursorId::SizeNesw);
                    break;
                default:
                    SetCursor(CursorId::Arrow);
                    break;
            }
            return 1;
        }
        case WM_NCLBUTTONDOWN: {
            const auto hit = static_cast<LResult>(wParam);
            if (hit == HTCAPTION) {
                SendMessage(hwnd, WM_SYSCOMMAND, SC_MOVE | static_cast<WParam>(HTCAPTION), lParam);
            } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
                SendMessage(hwnd, WM_SYSCOMMAND, SC_SIZE | static_cast<WParam>(hit - 9), lParam);
            }
            return 0;
        }
        case WM_PAINT:
            ValidateRect(hwnd, nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return 0;
    }
}

WindowProc SetWindowProc(WindowHandle hwnd, WindowProc proc) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return nullptr;
    }
    std::swap(rec->proc, proc);
    return proc;
}

WindowHandle GetParent(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return 0;
    }
    return rec->IsChild() ? rec->parent : rec->owner;
}

WindowHandle GetAncestorTopLevel(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    return internal::TopLevelOfLocked(hwnd);
}

std::vector<WindowHandle> GetChildren(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec ? rec->children : std::vector<WindowHandle>{};
}

WindowHandle GetDlgItem(WindowHandle parent, int controlId) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(parent);
    if (!rec) {
        return 0;
    }
    for (WindowHandle c : rec->children) {
        auto child = FindLocked(c);
        if (child && child->controlId == controlId) {
            return c;
        }
    }
    return 0;
}

int GetDlgCtrlID(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec ? rec->controlId : 0;
}

std::intptr_t GetWindowLong(WindowHandle hwnd, int index) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return 0;
    }
    switch (index) {
        case GWL_STYLE: {
            std::uint32_t style = rec->style;
            if (rec->minimized) {
                style |= WS_MINIMIZE;
            }
            if (rec->maximized) {
                style |= WS_MAXIMIZE;
            }
            return static_cast<std::intptr_t>(style);
        }
        case GWL_EXSTYLE:
            return static_cast<std::intptr_t>(rec->exStyle);
        case GWL_ID:
            return rec->controlId;
        case GWLP_USERDATA:
            return rec->userData;
        default:
            return 0;
    }
}

std::intptr_t SetWindowLong(WindowHandle hwnd, int index, std::intptr_t value) {
    std::intptr_t old = GetWindowLong(hwnd, index);
    bool visibilityChange = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return 0;
        }
        switch (index) {
            case GWL_STYLE: {
                const auto style = static_cast<std::uint32_t>(value);
                visibilityChange = ((style ^ rec->style) & WS_VISIBLE) != 0;
                // Visibility and the child bit change only through their calls.
                rec->style = (style & ~(WS_VISIBLE | WS_CHILD | WS_MINIMIZE | WS_MAXIMIZE)) |
                             (rec->style & (WS_VISIBLE | WS_CHILD));
                rec->maximized = (style & WS_MAXIMIZE) != 0 && rec->maximized;
                break;
            }
            case GWL_EXSTYLE:
                rec->exStyle = static_cast<std::uint32_t>(value);
                break;
            case GWL_ID:
                rec->controlId = static_cast<int>(value);
                break;
            case GWLP_USERDATA:
                rec->userData = value;
                break;
            default:
                return 0;
        }
    }
    if (visibilityChange) {
        ShowWindow(hwnd, (static_cast<std::uint32_t>(value) & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    }
    return old;
}

bool SetWindowText(WindowHandle hwnd, std::u16string_view text) {
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        rec->title = text;
        backend = NativeBackendFor(*rec);
    }
    if (backend != nullptr) {
        backend->SetTitle(hwnd, std::u16string(text));
    }
    return true;
}

std::u16string GetWindowText(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec ? rec->title : std::u16string();
}

Rect GetWindowRect(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return {};
    }
    if (!rec->IsChild()) {
        return rec->rect;
    }
    Point origin = internal::OriginInTopLevelLocked(*rec);
    const WindowHandle top = internal::TopLevelOfLocked(hwnd);
    if (auto topRec = FindLocked(top)) {
        origin.x += topRec->rect.left;
        origin.y += topRec->rect.top;
    }
    return Rect::FromSize(origin.x, origin.y, rec->rect.Width(), rec->rect.Height());
}

Rect GetClientRect(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec || rec->minimized) {
        return {};
    }
    return {0, 0, rec->rect.Width(), rec->rect.Height()};
}

Point ClientToScreen(WindowHandle hwnd, Point p) {
    const Rect r = GetWindowRect(hwnd);
    return {p.x + r.left, p.y + r.top};
}

Point ScreenToClient(WindowHandle hwnd, Point p) {
    const Rect r = GetWindowRect(hwnd);
    return {p.x - r.left, p.y - r.top};
}

bool MoveWindow(WindowHandle hwnd, const Rect& rect, bool repaint) {
    return SetWindowPos(hwnd, 0, rect.left, rect.top, rect.Width(), rect.Height(),
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

bool SetWindowPos(WindowHandle hwnd, WindowHandle insertAfter, int x, int y, int cx, int cy,
                  unsigned flags) {
    System& s = Sys();
    Rect target;
    bool topLevel = false;
    {
        std::lock_guard lock(s.m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        topLevel = !rec->IsChild();
        target = rec->rect;
        if ((flags & SWP_NOMOVE) == 0) {
            target = Rect::FromSize(x, y, target.Width(), target.Height());
        }
        if ((flags & SWP_NOSIZE) == 0) {
            target.right = target.left + std::max(cx, 0);
            target.bottom = target.top + std::max(cy, 0);
        }
    }
    if (topLevel && (flags & SWP_NOSIZE) == 0) {
        const Rect work = GetWorkArea();
        MinMaxInfo info;
        info.maxSize = {work.Width(), work.Height()};
        info.maxPosition = {work.left, work.top};
        info.minTrackSize = {0, 0};
        info.maxTrackSize = {32767, 32767};
        SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
        const int w = std::clamp(target.Width(), info.minTrackSize.x,
                                 std::max(info.minTrackSize.x, info.maxTrackSize.x));
        const int h = std::clamp(target.Height(), info.minTrackSize.y,
                                 std::max(info.minTrackSize.y, info.maxTrackSize.y));
        target.right = target.left + w;
        target.bottom = target.top + h;
    }
    bool moved = false;
    bool resized = false;
    Backend* backend = nullptr;
    bool topmostChange = false;
    bool topmost = false;
    {
        std::lock_guard lock(s.m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        const Rect old = rec->rect;
        moved = old.left != target.left || old.top != target.top;
        resized = old.Width() != target.Width() || old.Height() != target.Height();
        rec->rect = target;
        if (!rec->maximized && !rec->minimized) {
            rec->restoreRect = target;
        }
        if (resized) {
            ResizeSurfaceLocked(*rec);
        }
        if (topLevel && (flags & SWP_NOZORDER) == 0) {
            if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
                const bool was = (rec->exStyle & WS_EX_TOPMOST) != 0;
                topmost = insertAfter == HWND_TOPMOST;
                rec->exStyle =
                    topmost ? (rec->exStyle | WS_EX_TOPMOST) : (rec->exStyle & ~WS_EX_TOPMOST);
                topmostChange = was != topmost;
                RaiseLocked(*rec);
            } else if (insertAfter == HWND_BOTTOM) {
                std::erase(s.zorder, hwnd);
                s.zorder.push_back(hwnd);
            } else if (insertAfter == HWND_TOP) {
                RaiseLocked(*rec);
            }
        }
        if ((flags & SWP_NOREDRAW) == 0 && (moved || resized)) {
            if (rec->IsChild()) {
                if ((rec->style & WS_VISIBLE) != 0) {
                    if (auto parent = FindLocked(rec->parent)) {
                        internal::InvalidateLocked(*parent, old);
                    }
                    internal::InvalidateLocked(*rec, Rect{0, 0, target.Width(), target.Height()});
                }
            } else if (resized) {
                internal::InvalidateLocked(*rec, Rect{0, 0, target.Width(), target.Height()});
            }
            if (auto q = internal::QueueLocked(rec->thread)) {
                internal::WakeQueueLocked(*q);
            }
        }
        backend = NativeBackendFor(*rec);
    }
    if (backend != nullptr) {
        if (moved || resized) {
            backend->MoveNative(hwnd, target);
        }
        if (topmostChange) {
            backend->SetTopmost(hwnd, topmost);
        }
    }
    SendSizeAndMove(hwnd, moved, resized);
    if (flags & SWP_SHOWWINDOW) {
        ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    } else if (flags & SWP_HIDEWINDOW) {
        ShowWindow(hwnd, SW_HIDE);
    }
    return true;
}

bool ShowWindow(WindowHandle hwnd, int command) {
    System& s = Sys();
    bool wasVisible = false;
    bool visibilityChanged = false;
    bool sizeChanged = false;
    bool moved = false;
    bool activate = false;
    bool topLevel = false;
    Rect maximizedRect;
    Backend* backend = nullptr;
    WindowHandle owner = 0;
    if (command == SW_MAXIMIZE) {
        const Rect work = GetWorkArea();
        MinMaxInfo info;
        info.maxSize = {work.Width(), work.Height()};
        info.maxPosition = {work.left, work.top};
        info.minTrackSize = {0, 0};
        info.maxTrackSize = {32767, 32767};
        SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
        maximizedRect =
            Rect::FromSize(info.maxPosition.x, info.maxPosition.y, info.maxSize.x, info.maxSize.y);
    }
    {
        std::lock_guard lock(s.m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        topLevel = !rec->IsChild();
        wasVisible = (rec->style & WS_VISIBLE) != 0;
        owner = rec->owner;
        const Rect old = rec->rect;
        switch (command) {
            case SW_HIDE:
                rec->style &= ~WS_VISIBLE;
                break;
            case SW_MINIMIZE:
            case SW_SHOWMINIMIZED:
            case SW_SHOWMINNOACTIVE:
                if (topLevel && !rec->minimized) {
                    rec->wasMaximizedBeforeMinimize = rec->maximized;
                    rec->minimized = true;
                    sizeChanged = true;
                }
                rec->style |= WS_VISIBLE;
                break;
            case SW_MAXIMIZE:
                rec->style |= WS_VISIBLE;
                if (topLevel) {
                    if (!rec->maximized) {
                        rec->restoreRect = rec->rect;
                    }
                    rec->maximized = true;
                    rec->minimized = false;
                    rec->rect = maximizedRect;
                    sizeChanged = true;
                    activate = true;
                }
                break;
            case SW_RESTORE:
            case SW_SHOWNORMAL:
                rec->style |= WS_VISIBLE;
                if (topLevel) {
                    if (rec->minimized) {
                        rec->minimized = false;
                        sizeChanged = true;
                        if (!rec->wasMaximizedBeforeMinimize || command == SW_SHOWNORMAL) {
                            rec->maximized = false;
                            rec->rect = rec->restoreRect;
                        }
                    } else if (rec->maximized) {
                        rec->maximized = false;
                        rec->rect = rec->restoreRect;
                        sizeChanged = true;
                    }
                    activate = (rec->exStyle & WS_EX_NOACTIVATE) == 0;
                }
                break;
            case SW_SHOW:
                rec->style |= WS_VISIBLE;
                activate = topLevel && (rec->exStyle & WS_EX_NOACTIVATE) == 0;
                break;
            default:  // SW_SHOWNA, SW_SHOWNOACTIVATE
                rec->style |= WS_VISIBLE;
                break;
        }
        moved = old.left != rec->rect.left || old.top != rec->rect.top;
        sizeChanged = sizeChanged || old.GetSize() != rec->rect.GetSize();
        if (sizeChanged) {
            ResizeSurfaceLocked(*rec);
        }
        const bool nowVisible = (rec->style & WS_VISIBLE) != 0;
        visibilityChanged = nowVisible != wasVisible;
        if (visibilityChanged || sizeChanged) {
            if (rec->IsChild()) {
                if (auto parent = FindLocked(rec->parent)) {
                    internal::InvalidateLocked(*parent, old);
                }
            }
            if (nowVisible) {
                internal::InvalidateLocked(*rec, Rect{0, 0, rec->rect.Width(), rec->rect.Height()});
            }
            if (auto q = internal::QueueLocked(rec->thread)) {
                internal::WakeQueueLocked(*q);
            }
        }
        if (!nowVisible) {
            auto q = internal::QueueLocked(rec->thread);
            if (q && q->focus != 0) {
                // Focus inside a hidden window moves out of it.
                for (WindowHandle f = q->focus; f != 0;) {
                    if (f == hwnd) {
                        q->focus = 0;
                        break;
                    }
                    auto fr = FindLocked(f);
                    f = (fr && fr->IsChild()) ? fr->parent : 0;
                }
            }
            if (q && q->active == hwnd) {
                q->active = 0;
            }
        }
        backend = NativeBackendFor(*rec);
    }
    if (visibilityChanged) {
        SendMessage(hwnd, WM_SHOWWINDOW, (command == SW_HIDE) ? 0 : 1, 0);
    }
    if (backend != nullptr) {
        if (sizeChanged || moved) {
            backend->MoveNative(hwnd, GetWindowRect(hwnd));
        }
        backend->ShowNative(hwnd, command);
    }
    if (sizeChanged || moved) {
        SendSizeAndMove(hwnd, moved, sizeChanged);
    }
    if (activate) {
        SetActiveWindow(hwnd);
    } else if (command == SW_HIDE && topLevel && wasVisible && owner != 0 &&
               GetActiveWindow() == 0) {
        SetActiveWindow(owner);
    }
    return wasVisible;
}

bool IsWindowVisible(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec && internal::IsVisibleLocked(*rec);
}

bool IsIconic(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec && rec->minimized;
}

bool IsZoomed(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec && rec->maximized && !rec->minimized;
}

bool EnableWindow(WindowHandle hwnd, bool enable) {
    bool wasDisabled = false;
    bool changed = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        wasDisabled = (rec->style & WS_DISABLED) != 0;
        changed = wasDisabled == enable;
        rec->style = enable ? (rec->style & ~WS_DISABLED) : (rec->style | WS_DISABLED);
        if (!enable && Sys().capture == hwnd) {
            Sys().capture = 0;
        }
    }
    if (changed) {
        SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    }
    return wasDisabled;
}

bool IsWindowEnabled(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    return rec && (rec->style & WS_DISABLED) == 0;
}

WindowHandle SetActiveWindow(WindowHandle hwnd) {
    WindowHandle previous = 0;
    Backend* backend = nullptr;
    bool focusInside = false;
    {
        std::lock_guard lock(Sys().m);
        const WindowHandle top = internal::TopLevelOfLocked(hwnd);
        auto rec = FindLocked(top);
        if (!rec || !OnOwnThread(*rec)) {
            return 0;
        }
        hwnd = top;
        auto q = internal::CurrentQueueLocked();
        previous = q->active;
        if (previous == hwnd) {
            return previous;
        }
        q->active = hwnd;
        Sys().foreground = hwnd;
        RaiseLocked(*rec);
        backend = NativeBackendFor(*rec);
        for (WindowHandle f = q->focus; f != 0;) {
            if (f == hwnd) {
                focusInside = true;
                break;
            }
            auto fr = FindLocked(f);
            f = (fr && fr->IsChild()) ? fr->parent : 0;
        }
    }
    if (previous != 0) {
        SendMessage(previous, WM_NCACTIVATE, 0, 0);
        SendMessage(previous, WM_ACTIVATE, 0, static_cast<LParam>(hwnd));
    }
    SendMessage(hwnd, WM_NCACTIVATE, 1, 0);
    SendMessage(hwnd, WM_ACTIVATE, 1, static_cast<LParam>(previous));
    if (!focusInside) {
        SetFocus(hwnd);
    }
    if (backend != nullptr) {
        backend->Raise(hwnd);
    }
    return previous;
}

WindowHandle GetActiveWindow() {
    std::lock_guard lock(Sys().m);
    return internal::CurrentQueueLocked()->active;
}

bool SetForegroundWindow(WindowHandle hwnd) {
    if (!IsWindow(hwnd)) {
        return false;
    }
    if (GetWindowThreadId(hwnd) == GetCurrentThreadId()) {
        SetActiveWindow(hwnd);
    }
    std::lock_guard lock(Sys().m);
    Sys().foreground = internal::TopLevelOfLocked(hwnd);
    return true;
}

WindowHandle GetForegroundWindow() {
    std::lock_guard lock(Sys().m);
    return Sys().foreground;
}

WindowHandle SetFocus(WindowHandle hwnd) {
    WindowHandle previous = 0;
    {
        std::lock_guard lock(Sys().m);
        auto q = internal::CurrentQueueLocked();
        previous = q->focus;
        if (hwnd != 0) {
            auto rec = FindLocked(hwnd);
            if (!rec || !OnOwnThread(*rec)) {
                return 0;
            }
        }
        if (previous == hwnd) {
            return previous;
        }
        q->focus = hwnd;
    }
    if (previous != 0) {
        SendMessage(previous, WM_KILLFOCUS, hwnd, 0);
    }
    if (hwnd != 0) {
        SendMessage(hwnd, WM_SETFOCUS, previous, 0);
    }
    return previous;
}

WindowHandle GetFocus() {
    std::lock_guard lock(Sys().m);
    return internal::CurrentQueueLocked()->focus;
}

WindowHandle SetCapture(WindowHandle hwnd) {
    WindowHandle previous = 0;
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        if (!FindLocked(hwnd)) {
            return 0;
        }
        previous = Sys().capture;
        Sys().capture = hwnd;
        backend = Sys().backend.get();
    }
    if (previous != 0 && previous != hwnd) {
        SendMessage(previous, WM_CAPTURECHANGED, 0, static_cast<LParam>(hwnd));
    }
    if (backend != nullptr) {
        backend->CaptureMouse(true);
    }
    return previous;
}

bool ReleaseCapture() {
    WindowHandle previous = 0;
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        previous = Sys().capture;
        Sys().capture = 0;
        backend = Sys().backend.get();
    }
    if (previous != 0) {
        SendMessage(previous, WM_CAPTURECHANGED, 0, 0);
        if (backend != nullptr) {
            backend->CaptureMouse(false);
        }
    }
    return true;
}

WindowHandle GetCapture() {
    std::lock_guard lock(Sys().m);
    return Sys().capture;
}

bool TrackMouseLeave(WindowHandle hwnd) {
    bool leaveNow = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        rec->trackLeave = true;
        if (Sys().hover != hwnd) {
            rec->trackLeave = false;
            leaveNow = true;
        }
    }
    if (leaveNow) {
        PostMessage(hwnd, WM_MOUSELEAVE);
    }
    return true;
}

Point GetCursorPos() {
    std::lock_guard lock(Sys().m);
    return Sys().cursorPos;
}

bool InvalidateRect(WindowHandle hwnd, const Rect* rect) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return false;
    }
    internal::InvalidateLocked(
        *rec, rect != nullptr ? *rect : Rect{0, 0, rec->rect.Width(), rec->rect.Height()});
    if (auto q = internal::QueueLocked(rec->thread)) {
        internal::WakeQueueLocked(*q);
    }
    return true;
}

bool ValidateRect(WindowHandle hwnd, const Rect* rect) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return false;
    }
    if (rect == nullptr) {
        rec->update.Clear();
        return true;
    }
    // Pieces wholly inside the rectangle go; a region this small needs no
    // exact subtraction.
    Region kept;
    for (const Rect& piece : rec->update.Rects()) {
        if (piece.Intersect(*rect) != piece) {
            kept.Add(piece);
        }
    }
    rec->update = kept;
    return true;
}

bool GetUpdateRect(WindowHandle hwnd, Rect& rect) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        rect = {};
        return false;
    }
    rect = rec->update.Bounds();
    return !rec->update.IsEmpty();
}

bool UpdateWindow(WindowHandle hwnd) {
    bool pending = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return false;
        }
        pending = !rec->update.IsEmpty() && internal::IsVisibleLocked(*rec);
    }
    if (pending) {
        SendMessage(hwnd, WM_PAINT);
    }
    return true;
}

PaintScope::PaintScope(WindowHandle hwnd) : m_hwnd(hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return;
    }
    m_paintRegion = rec->update;
    m_paintRect = rec->update.Bounds();
    rec->update.Clear();
    if (!internal::IsVisibleLocked(*rec) || rec->rect.IsEmpty()) {
        return;
    }
    m_topLevel = internal::TopLevelOfLocked(hwnd);
    auto top = FindLocked(m_topLevel);
    if (!top || top->minimized || !top->surface || top->surface->IsEmpty()) {
        return;
    }
    const Point origin = internal::OriginInTopLevelLocked(*rec);
    m_dc = std::make_unique<DeviceContext>(*top->surface);
    m_dc->SetOrigin(origin);
    // A child is clipped to each of its ancestors' client areas.
    Rect visible{0, 0, rec->rect.Width(), rec->rect.Height()};
    Point offset;
    for (auto cur = rec; cur && cur->IsChild();) {
        offset.x -= cur->rect.left;
        offset.y -= cur->rect.top;
        auto parent = FindLocked(cur->parent);
        if (!parent) {
            break;
        }
        visible = visible.Intersect(
            Rect{0, 0, parent->rect.Width(), parent->rect.Height()}.Offset(offset.x, offset.y));
        cur = parent;
    }
    m_dc->IntersectClip(visible);
    m_dc->IntersectClip(m_paintRegion);
}

PaintScope::~PaintScope() {
    if (!m_dc) {
        return;
    }
    const Point origin = m_dc->Origin();
    m_dc.reset();
    Backend* backend = nullptr;
    Bitmap* surface = nullptr;
    {
        std::lock_guard lock(Sys().m);
        auto top = FindLocked(m_topLevel);
        if (!top || !top->surface) {
            return;
        }
        surface = top->surface.get();
        backend = NativeBackendFor(*top);
    }
    // The surface is only touched on this thread, so it stays valid here.
    if (backend != nullptr) {
        backend->Present(m_topLevel, *surface, m_paintRect.Offset(origin.x, origin.y));
        backend->ContentChanged(m_topLevel, false);
    }
}

bool UpdateLayeredWindow(WindowHandle hwnd, const Bitmap& picture, std::optional<Point> position,
                         std::uint8_t opacity) {
    Backend* backend = nullptr;
    Rect rect;
    bool moved = false;
    bool resized = false;
    Bitmap* surface = nullptr;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec || rec->IsChild() || (rec->exStyle & WS_EX_LAYERED) == 0) {
            return false;
        }
        rect = rec->rect;
        if (position) {
            rect = Rect::FromSize(position->x, position->y, rect.Width(), rect.Height());
        }
        rect.right = rect.left + picture.Width();
        rect.bottom = rect.top + picture.Height();
        moved = rect.TopLeft() != rec->rect.TopLeft();
        resized = rect.GetSize() != rec->rect.GetSize();
        rec->rect = rect;
        rec->surface = std::make_unique<Bitmap>(picture.Clone());
        rec->opacity = opacity;
        surface = rec->surface.get();
        backend = NativeBackendFor(*rec);
    }
    if (backend != nullptr) {
        if (moved || resized) {
            backend->MoveNative(hwnd, rect);
        }
        backend->SetOpacity(hwnd, opacity);
        backend->Present(hwnd, *surface, Rect{0, 0, rect.Width(), rect.Height()});
        backend->ContentChanged(hwnd, false);
    }
    SendSizeAndMove(hwnd, moved, resized);
    return true;
}

bool SetLayeredOpacity(WindowHandle hwnd, std::uint8_t opacity) {
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec || rec->IsChild()) {
            return false;
        }
        rec->opacity = opacity;
        backend = NativeBackendFor(*rec);
    }
    if (backend != nullptr) {
        backend->SetOpacity(hwnd, opacity);
    }
    return true;
}

Bitmap CaptureWindow(WindowHandle hwnd) {
    std::lock_guard lock(Sys().m);
    auto rec = FindLocked(hwnd);
    if (!rec) {
        return Bitmap(0, 0);
    }
    auto top = FindLocked(internal::TopLevelOfLocked(hwnd));
    if (!top || !top->surface) {
        return Bitmap(0, 0);
    }
    if (!rec->IsChild()) {
        return top->surface->Clone();
    }
    const Point origin = internal::OriginInTopLevelLocked(*rec);
    Bitmap part(rec->rect.Width(), rec->rect.Height());
    DeviceContext dc(part);
    dc.Blit(*top->surface,
            Rect::FromSize(origin.x, origin.y, rec->rect.Width(), rec->rect.Height()), Point{});
    return part;
}

Rect GetScreenRect() {
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        backend = &internal::BackendLocked();
    }
    return backend->ScreenRect();
}

Rect GetWorkArea() {
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        backend = &internal::BackendLocked();
    }
    return backend->WorkArea();
}

std::optional<double> GetDisplayScale() {
    Backend* backend = nullptr;
    {
        std::lock_guard lock(Sys().m);
        backend = &internal::BackendLocked();
    }
    return backend->DisplayScale();
}

namespace internal {

void NativeMoved(WindowHandle hwnd, Point topLeft) {
    bool moved = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec || rec->minimized) {
            return;
        }
        moved = rec->rect.TopLeft() != topLeft;
        rec->rect = Rect::FromSize(topLeft.x, topLeft.y, rec->rect.Width(), rec->rect.Height());
        if (!rec->maximized) {
            rec->restoreRect = rec->rect;
        }
    }
    if (moved) {
        SendSizeAndMove(hwnd, true, false);
    }
}

void NativeResized(WindowHandle hwnd, Size size) {
    bool resized = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec || rec->minimized) {
            return;
        }
        resized = rec->rect.GetSize() != size;
        if (resized) {
            rec->rect.right = rec->rect.left + size.cx;
            rec->rect.bottom = rec->rect.top + size.cy;
            ResizeSurfaceLocked(*rec);
            InvalidateLocked(*rec, Rect{0, 0, size.cx, size.cy});
        }
    }
    if (resized) {
        SendSizeAndMove(hwnd, false, true);
    }
}

void NativeShowState(WindowHandle hwnd, int command) {
    bool changed = false;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec) {
            return;
        }
        if (command == SW_MINIMIZE && !rec->minimized) {
            rec->wasMaximizedBeforeMinimize = rec->maximized;
            rec->minimized = true;
            changed = true;
        } else if (command == SW_RESTORE && rec->minimized) {
            rec->minimized = false;
            changed = true;
            InvalidateLocked(*rec, Rect{0, 0, rec->rect.Width(), rec->rect.Height()});
        }
    }
    if (changed) {
        SendSizeAndMove(hwnd, false, true);
    }
}

void NativeExposed(WindowHandle hwnd) {
    Backend* backend = nullptr;
    Bitmap* surface = nullptr;
    {
        std::lock_guard lock(Sys().m);
        auto rec = FindLocked(hwnd);
        if (!rec || !rec->surface) {
            return;
        }
        surface = rec->surface.get();
        backend = NativeBackendFor(*rec);
    }
    if (backend != nullptr) {
        backend->Present(hwnd, *surface, Rect{0, 0, surface->Width(), surface->Height()});
    }
}

}  // namespace internal

}  // namespace zeph::platform
