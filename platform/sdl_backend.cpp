// The SDL backend: each top-level window is a borderless SDL window whose
// surface receives the window's content. Native events become input and
// window changes on the UI thread (the thread that started the backend).
// A window that answers WM_NCHITTEST with HTCAPTION or a border code is
// dragged or sized by the desktop through SDL's hit test.
#include <SDL.h>

#include <atomic>
#include <unordered_map>

#include "base/strings.h"
#include "platform/shell.h"
#include "platform/window_internal.h"

namespace zeph::platform::internal {

namespace {

std::uint32_t MapKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<std::uint32_t>('A' + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<std::uint32_t>('0' + (key - SDLK_0));
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return 0x70 + static_cast<std::uint32_t>(key - SDLK_F1);
    }
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_END:
            return VK_END;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT:
            return VK_MENU;
        default:
            return 0;
    }
}

SDL_HitTestResult HitTestThunk(SDL_Window*, const SDL_Point* area, void* data) {
    const auto hwnd = reinterpret_cast<WindowHandle>(data);
    const Point screen = ClientToScreen(hwnd, {area->x, area->y});
    switch (SendMessage(hwnd, WM_NCHITTEST, 0, MakeLParam(screen.x, screen.y))) {
        case HTCAPTION:
            return SDL_HITTEST_DRAGGABLE;
        case HTLEFT:
            return SDL_HITTEST_RESIZE_LEFT;
        case HTRIGHT:
            return SDL_HITTEST_RESIZE_RIGHT;
        case HTTOP:
            return SDL_HITTEST_RESIZE_TOP;
        case HTBOTTOM:
            return SDL_HITTEST_RESIZE_BOTTOM;
        case HTTOPLEFT:
            return SDL_HITTEST_RESIZE_TOPLEFT;
        case HTTOPRIGHT:
            return SDL_HITTEST_RESIZE_TOPRIGHT;
        case HTBOTTOMLEFT:
            return SDL_HITTEST_RESIZE_BOTTOMLEFT;
        case HTBOTTOMRIGHT:
            return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
        default:
            return SDL_HITTEST_NORMAL;
    }
}

class SdlBackend final : public Backend {
  public:
    explicit SdlBackend(Uint32 wakeEvent) : m_wakeEvent(wakeEvent) {}

    ~SdlBackend() override {
        for (auto& [id, cursor] : m_cursors) {
            if (cursor != nullptr) {
                SDL_FreeCursor(cursor);
            }
        }
    }

    BackendKind Kind() const override { return BackendKind::Sdl; }

    bool CreateNative(WindowHandle hwnd, const std::u16string& title, const Rect& rect,
                      std::uint32_t style, std::uint32_t exStyle) override {
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
        if (style & WS_THICKFRAME) {
            flags |= SDL_WINDOW_RESIZABLE;
        }
        if (exStyle & WS_EX_TOOLWINDOW) {
            flags |= SDL_WINDOW_SKIP_TASKBAR;
        }
        if (exStyle & WS_EX_TOPMOST) {
            flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        }
        const std::string utf8 = Utf16ToUtf8(title);
        SDL_Window* win =
            SDL_CreateWindow(utf8.c_str(), rect.left, rect.top, std::max(rect.Width(), 1),
                             std::max(rect.Height(), 1), flags);
        if (win == nullptr) {
            return false;
        }
        // Fails on drivers without it (dummy, offscreen); windows then move
        // only through SC_MOVE.
        SDL_SetWindowHitTest(win, HitTestThunk, reinterpret_cast<void*>(hwnd));
        m_windows[hwnd] = win;
        m_byId[SDL_GetWindowID(win)] = hwnd;
        return true;
    }

    void DestroyNative(WindowHandle hwnd) override {
        if (SDL_Window* win = Find(hwnd)) {
            m_byId.erase(SDL_GetWindowID(win));
            m_windows.erase(hwnd);
            SDL_DestroyWindow(win);
        }
    }

    void ShowNative(WindowHandle hwnd, int command) override {
        SDL_Window* win = Find(hwnd);
        if (win == nullptr) {
            return;
        }
        switch (command) {
            case SW_HIDE:
                SDL_HideWindow(win);
                break;
            case SW_MINIMIZE:
            case SW_SHOWMINIMIZED:
            case SW_SHOWMINNOACTIVE:
                SDL_ShowWindow(win);
                SDL_MinimizeWindow(win);
                break;
            case SW_RESTORE:
                SDL_RestoreWindow(win);
                SDL_ShowWindow(win);
                break;
            default:
                SDL_ShowWindow(win);
                break;
        }
    }

    void MoveNative(WindowHandle hwnd, const Rect& rect) override {
        if (SDL_Window* win = Find(hwnd)) {
            SDL_SetWindowPosition(win, rect.left, rect.top);
            SDL_SetWindowSize(win, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
        }
    }

    void SetTitle(WindowHandle hwnd, const std::u16string& title) override {
        if (SDL_Window* win = Find(hwnd)) {
            SDL_SetWindowTitle(win, Utf16ToUtf8(title).c_str());
        }
    }

    void SetOpacity(WindowHandle hwnd, std::uint8_t opacity) override {
        if (SDL_Window* win = Find(hwnd)) {
            // Needs a compositor; without one the window stays opaque.
            SDL_SetWindowOpacity(win, opacity / 255.0f);
        }
    }

    void SetTopmost(WindowHandle hwnd, bool topmost) override {
        if (SDL_Window* win = Find(hwnd)) {
            SDL_SetWindowAlwaysOnTop(win, topmost ? SDL_TRUE : SDL_FALSE);
        }
    }

    void Raise(WindowHandle hwnd) override {
        if (SDL_Window* win = Find(hwnd)) {
            SDL_RaiseWindow(win);
        }
    }

    void Present(WindowHandle hwnd, const Bitmap& content, const Rect& dirty) override {
        SDL_Window* win = Find(hwnd);
        if (win == nullptr || content.IsEmpty()) {
            return;
        }
        SDL_Surface* target = SDL_GetWindowSurface(win);
        if (target == nullptr) {
            return;
        }
        const Rect r = dirty.Intersect(Rect{0, 0, std::min(content.Width(), target->w),
                                            std::min(content.Height(), target->h)});
        if (r.IsEmpty()) {
            return;
        }
        // The bitmap's memory layout is SDL's ARGB8888; copied without
        // blending because its alpha is premultiplied.
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(content.Row(0)), content.Width(), content.Height(), 32,
            content.Stride(), SDL_PIXELFORMAT_ARGB8888);
        if (source == nullptr) {
            return;
        }
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        SDL_Rect sr{r.left, r.top, r.Width(), r.Height()};
        SDL_Rect dr = sr;
        SDL_BlitSurface(source, &sr, target, &dr);
        SDL_FreeSurface(source);
        SDL_Rect update{r.left, r.top, r.Width(), r.Height()};
        SDL_UpdateWindowSurfaceRects(win, &update, 1);
    }

    void ContentChanged(WindowHandle, bool) override {}

    void ShowCursor(CursorId id) override {
        auto it = m_cursors.find(id);
        if (it == m_cursors.end()) {
            it = m_cursors.emplace(id, SDL_CreateSystemCursor(SystemCursor(id))).first;
        }
        // Drivers without cursors give none; the current one stays.
        if (it->second != nullptr) {
            SDL_SetCursor(it->second);
        }
    }

    void CaptureMouse(bool capture) override { SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE); }

    bool IsEventThread() const override { return Sys().eventThread == GetCurrentThreadId(); }

    void PumpEvents(int timeoutMs) override {
        SDL_Event ev;
        bool got =
            timeoutMs > 0 ? SDL_WaitEventTimeout(&ev, timeoutMs) != 0 : SDL_PollEvent(&ev) != 0;
        while (got) {
            Handle(ev);
            got = SDL_PollEvent(&ev) != 0;
        }
    }

    void Wake() override {
        if (!m_wakePending.exchange(true)) {
            SDL_Event ev{};
            ev.type = m_wakeEvent;
            SDL_PushEvent(&ev);
        }
    }

    int IdleWork() override { return -1; }

    Rect ScreenRect() override {
        SDL_Rect r;
        if (SDL_GetDisplayBounds(0, &r) != 0) {
            return {0, 0, 1280, 800};
        }
        return Rect::FromSize(r.x, r.y, r.w, r.h);
    }

    Rect WorkArea() override {
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(0, &r) != 0) {
            return ScreenRect();
        }
        return Rect::FromSize(r.x, r.y, r.w, r.h);
    }

    std::optional<double> DisplayScale() override {
        float hdpi = 0;
        if (SDL_GetDisplayDPI(0, nullptr, &hdpi, nullptr) != 0 || hdpi <= 0) {
            return std::nullopt;
        }
        return hdpi / 96.0;
    }

  private:
    SDL_Window* Find(WindowHandle hwnd) const {
        auto it = m_windows.find(hwnd);
        return it == m_windows.end() ? nullptr : it->second;
    }

    WindowHandle ById(Uint32 id) const {
        auto it = m_byId.find(id);
        return it == m_byId.end() ? 0 : it->second;
    }

    static SDL_SystemCursor SystemCursor(CursorId id) {
        switch (id) {
            case CursorId::IBeam:
                return SDL_SYSTEM_CURSOR_IBEAM;
            case CursorId::Wait:
                return SDL_SYSTEM_CURSOR_WAIT;
            case CursorId::SizeNwse:
                return SDL_SYSTEM_CURSOR_SIZENWSE;
            case CursorId::SizeNesw:
                return SDL_SYSTEM_CURSOR_SIZENESW;
            case CursorId::SizeWe:
                return SDL_SYSTEM_CURSOR_SIZEWE;
            case CursorId::SizeNs:
                return SDL_SYSTEM_CURSOR_SIZENS;
            case CursorId::SizeAll:
                return SDL_SYSTEM_CURSOR_SIZEALL;
            case CursorId::Hand:
                return SDL_SYSTEM_CURSOR_HAND;
            case CursorId::Arrow:
                break;
        }
        return SDL_SYSTEM_CURSOR_ARROW;
    }

    Point ToScreen(WindowHandle hwnd, int x, int y) const {
        const Rect r = GetWindowRect(hwnd);
        return {r.left + x, r.top + y};
    }

    void Handle(const SDL_Event& ev) {
        if (ev.type == m_wakeEvent) {
            m_wakePending = false;
            return;
        }
        switch (ev.type) {
            case SDL_MOUSEMOTION: {
                InputEvent e;
                e.kind = InputEvent::Kind::MouseMove;
                e.window = ById(ev.motion.windowID);
                if (e.window == 0) {
                    return;
                }
                e.screen = ToScreen(e.window, ev.motion.x, ev.motion.y);
                InjectInput(e);
                return;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                InputEvent e;
                e.window = ById(ev.button.windowID);
                if (e.window == 0) {
                    return;
                }
                const bool down = ev.type == SDL_MOUSEBUTTONDOWN;
                e.kind = !down                   ? InputEvent::Kind::ButtonUp
                         : ev.button.clicks == 2 ? InputEvent::Kind::DoubleClick
                                                 : InputEvent::Kind::ButtonDown;
                e.button = ev.button.button == SDL_BUTTON_RIGHT    ? MouseButton::Right
                           : ev.button.button == SDL_BUTTON_MIDDLE ? MouseButton::Middle
                                                                   : MouseButton::Left;
                e.screen = ToScreen(e.window, ev.button.x, ev.button.y);
                InjectInput(e);
                return;
            }
            case SDL_MOUSEWHEEL: {
                InputEvent e;
                e.kind = InputEvent::Kind::Wheel;
                e.window = ById(ev.wheel.windowID);
                e.screen = GetCursorPos();
                e.wheelDelta = ev.wheel.y * 120;
                InjectInput(e);
                return;
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                InputEvent e;
                e.kind =
                    ev.type == SDL_KEYDOWN ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
                e.window = ById(ev.key.windowID);
                e.key = MapKey(ev.key.keysym.sym);
                if (e.key != 0) {
                    InjectInput(e);
                }
                return;
            }
            case SDL_TEXTINPUT: {
                const WindowHandle hwnd = ById(ev.text.windowID);
                for (char16_t ch : Utf8ToUtf16(ev.text.text)) {
                    InputEvent e;
                    e.kind = InputEvent::Kind::Char;
                    e.window = hwnd;
                    e.character = ch;
                    InjectInput(e);
                }
                return;
            }
            case SDL_WINDOWEVENT:
                HandleWindowEvent(ev.window);
                return;
            default:
                return;
        }
    }

    void HandleWindowEvent(const SDL_WindowEvent& w) {
        const WindowHandle hwnd = ById(w.windowID);
        if (hwnd == 0) {
            return;
        }
        switch (w.event) {
            case SDL_WINDOWEVENT_MOVED:
                NativeMoved(hwnd, {w.data1, w.data2});
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                NativeResized(hwnd, {w.data1, w.data2});
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                NativeExposed(hwnd);
                break;
            case SDL_WINDOWEVENT_LEAVE: {
                InputEvent e;
                e.kind = InputEvent::Kind::MouseLeave;
                e.window = hwnd;
                InjectInput(e);
                break;
            }
            case SDL_WINDOWEVENT_CLOSE:
                PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE);
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                NativeShowState(hwnd, SW_MINIMIZE);
                break;
            case SDL_WINDOWEVENT_RESTORED:
                NativeShowState(hwnd, SW_RESTORE);
                break;
            default:
                break;
        }
    }

    Uint32 m_wakeEvent;
    std::atomic<bool> m_wakePending{false};
    std::unordered_map<WindowHandle, SDL_Window*> m_windows;
    std::unordered_map<Uint32, WindowHandle> m_byId;
    std::unordered_map<CursorId, SDL_Cursor*> m_cursors;
};

}  // namespace

std::unique_ptr<Backend> MakeSdlBackend(std::string& error) {
    // The program handles its own signals; SDL must not take SIGINT.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    const Uint32 wake = SDL_RegisterEvents(1);
    if (wake == static_cast<Uint32>(-1)) {
        error = "no SDL user event left";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_StartTextInput();
    // The desktop's clipboard, read on the UI thread: SDL's clipboard answers
    // there only.
    const ThreadId uiThread = GetCurrentThreadId();
    SetClipboardProvider([uiThread]() -> std::u16string {
        if (GetCurrentThreadId() != uiThread || SDL_HasClipboardText() != SDL_TRUE) {
            return {};
        }
        char* text = SDL_GetClipboardText();
        std::u16string out = text != nullptr ? Utf8ToUtf16(text) : std::u16string();
        SDL_free(text);
        return out;
    });
    return std::make_unique<SdlBackend>(wake);
}

}  // namespace zeph::platform::internal
