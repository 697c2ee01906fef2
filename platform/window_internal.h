// State shared by the window system's files: the window table, the thread
// queues and the backend interface. Everything here is guarded by one
// mutex (System::m); window procedures and backend calls run without it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/cursor.h"
#include "platform/draw.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/window.h"

namespace zeph::platform::internal {

// What a backend does for top-level windows. Every call comes on the thread
// that owns the window, without the system lock.
class Backend {
  public:
    virtual ~Backend() = default;
    virtual BackendKind Kind() const = 0;
    virtual bool CreateNative(WindowHandle hwnd, const std::u16string& title, const Rect& rect,
                              std::uint32_t style, std::uint32_t exStyle) = 0;
    virtual void DestroyNative(WindowHandle hwnd) = 0;
    // command: SW_HIDE, SW_SHOW..., SW_MINIMIZE, SW_MAXIMIZE, SW_RESTORE.
    virtual void ShowNative(WindowHandle hwnd, int command) = 0;
    virtual void MoveNative(WindowHandle hwnd, const Rect& rect) = 0;
    virtual void SetTitle(WindowHandle hwnd, const std::u16string& title) = 0;
    virtual void SetOpacity(WindowHandle hwnd, std::uint8_t opacity) = 0;
    virtual void SetTopmost(WindowHandle hwnd, bool topmost) = 0;
    virtual void Raise(WindowHandle hwnd) = 0;
    // Shows the `dirty` part of the window's content.
    virtual void Present(WindowHandle hwnd, const Bitmap& content, const Rect& dirty) = 0;
    // Called after a top-level window's content changed and when it goes.
    virtual void ContentChanged(WindowHandle hwnd, bool closing) = 0;
    virtual void ShowCursor(CursorId cursor) = 0;
    virtual void CaptureMouse(bool capture) = 0;
    // Native events of the calling thread become input and window changes;
    // waits up to timeoutMs (0 = do not wait) when nothing is there.
    virtual bool IsEventThread() const = 0;
    virtual void PumpEvents(int timeoutMs) = 0;
    virtual void Wake() = 0;
    // Milliseconds until the backend needs the loop again (snapshots), or -1.
    virtual int IdleWork() = 0;
    virtual Rect ScreenRect() = 0;
    virtual Rect WorkArea() = 0;
    virtual std::optional<double> DisplayScale() = 0;
};

std::unique_ptr<Backend> MakeHeadlessBackend();
// Nothing when SDL cannot start (the message in `error`).
std::unique_ptr<Backend> MakeSdlBackend(std::string& error);

struct Timer {
    WindowHandle hwnd = 0;
    std::uintptr_t id = 0;
    unsigned period = 0;
    std::uint64_t due = 0;
};

struct SentItem {
    Message msg;
    LResult result = 0;
    bool done = false;
    ThreadId sender = 0;
};

using QueueItem = std::variant<Message, InputEvent>;

struct ThreadQueue {
    ThreadId id = 0;
    std::condition_variable cv;
    std::deque<QueueItem> items;
    std::deque<std::shared_ptr<SentItem>> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    std::uintptr_t nextThreadTimerId = 1;
    WindowHandle focus = 0;
    WindowHandle active = 0;
    bool alive = true;
};

struct WindowRecord {
    WindowHandle handle = 0;
    WindowHandle parent = 0;  // children
    WindowHandle owner = 0;   // top-level windows
    ThreadId thread = 0;
    WindowProc proc;
    std::u16string title;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t classStyle = 0;
    int controlId = 0;
    std::intptr_t userData = 0;
    Rect rect;         // screen (top-level) or parent client coordinates (child)
    Rect restoreRect;  // before maximising
    bool minimized = false;
    bool maximized = false;
    bool wasMaximizedBeforeMinimize = false;
    bool native = false;  // the backend made a native window for it
    bool destroying = false;
    bool trackLeave = false;
    Region update;                       // client coordinates
    std::vector<WindowHandle> children;  // bottom to top
    std::unique_ptr<Bitmap> surface;     // top-level content
    std::uint8_t opacity = 255;

    bool IsChild() const { return (style & WS_CHILD) != 0; }
};

struct SizeMove {
    WindowHandle hwnd = 0;
    int edge = 0;  // 0 = move, else 1-8 as the WMSZ_ edges
    Point start;
    Rect startRect;
};

struct System {
    std::mutex m;
    std::unique_ptr<Backend> backend;
    std::atomic<ThreadId> eventThread{0};  // the thread that waits in the backend's event wait
    std::unordered_map<WindowHandle, std::shared_ptr<WindowRecord>> windows;
    std::vector<WindowHandle> zorder;  // top-level windows, front first
    std::unordered_map<ThreadId, std::shared_ptr<ThreadQueue>> queues;
    WindowHandle nextHandle = 0x100;
    WindowHandle capture = 0;
    WindowHandle hover = 0;  // the window last under the mouse
    WindowHandle foreground = 0;
    Point cursorPos;
    std::array<bool, 256> keys{};
    CursorId cursor = CursorId::Arrow;
    std::optional<SizeMove> sizeMove;
};

System& Sys();

// Lock-held helpers.
std::shared_ptr<WindowRecord> FindLocked(WindowHandle hwnd);
std::shared_ptr<ThreadQueue> QueueLocked(ThreadId thread);  // nullptr when gone
std::shared_ptr<ThreadQueue> CurrentQueueLocked();          // created on demand
void WakeQueueLocked(ThreadQueue& queue);
Backend& BackendLocked();  // chooses the backend on first use
WindowHandle TopLevelOfLocked(WindowHandle hwnd);
// Client origin of the window inside its top-level window.
Point OriginInTopLevelLocked(const WindowRecord& rec);
bool IsVisibleLocked(const WindowRecord& rec);
// Invalidates the rectangle (client coordinates) of the window and of its
// visible children beneath it.
void InvalidateLocked(WindowRecord& rec, const Rect& rect);

// Routes one input event on the owning thread; nothing when it was used up
// (moves of a size/move loop, leave bookkeeping).
std::optional<Message> RouteInput(const InputEvent& event);
// Starts the move (edge 0) or size loop of a top-level window.
void BeginSizeMove(WindowHandle hwnd, int edge);

// Timers of the calling thread's queue.
std::optional<Message> DueTimerLocked(ThreadQueue& queue, bool remove, std::uint64_t now);
std::optional<std::uint64_t> NextTimerDueLocked(const ThreadQueue& queue);
void RemoveTimersLocked(WindowHandle hwnd);

// Native window events reported by a backend.
void NativeMoved(WindowHandle hwnd, Point topLeft);
void NativeResized(WindowHandle hwnd, Size size);
void NativeShowState(WindowHandle hwnd, int command);
void NativeExposed(WindowHandle hwnd);

}  // namespace zeph::platform::internal
