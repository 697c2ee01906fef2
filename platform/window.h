// Windows: creation, the window procedure, placement, visibility, focus,
// mouse capture, painting and the choice of backend.
//
// A window belongs to the thread that created it; its procedure runs on
// that thread. Top-level windows map to native windows of the backend
// (`sdl`) or live in memory (`headless`); child windows always live inside
// their top-level window, which draws them in its surface. Top-level
// rectangles are in screen coordinates, child rectangles in their parent's
// client coordinates; windows have no frame, so the client area is the
// whole window.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/draw_geometry.h"
#include "platform/message.h"

namespace zeph::platform {

// clang-format off
// Window styles and extended styles (the Windows numbering, kept as data).
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_MINIMIZE = 0x20000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr std::uint32_t WS_MAXIMIZE = 0x01000000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;

inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr std::uint32_t WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr std::uint32_t WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
inline constexpr std::uint32_t WS_EX_LAYERED = 0x00080000;
inline constexpr std::uint32_t WS_EX_NOACTIVATE = 0x08000000;

// Class style: double clicks arrive as WM_xBUTTONDBLCLK.
inline constexpr std::uint32_t CS_DBLCLKS = 0x0008;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// SetWindowPos flags.
inline constexpr unsigned SWP_NOSIZE = 0x0001;
inline constexpr unsigned SWP_NOMOVE = 0x0002;
inline constexpr unsigned SWP_NOZORDER = 0x0004;
inline constexpr unsigned SWP_NOREDRAW = 0x0008;
inline constexpr unsigned SWP_NOACTIVATE = 0x0010;
inline constexpr unsigned SWP_SHOWWINDOW = 0x0040;
inline constexpr unsigned SWP_HIDEWINDOW = 0x0080;

// Insert-after values of SetWindowPos.
inline constexpr WindowHandle HWND_TOP = 0;
inline constexpr WindowHandle HWND_BOTTOM = 1;
inline constexpr WindowHandle HWND_TOPMOST = static_cast<WindowHandle>(-1);
inline constexpr WindowHandle HWND_NOTOPMOST = static_cast<WindowHandle>(-2);

// GetWindowLong indexes.
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_ID = -12;
inline constexpr int GWLP_USERDATA = -21;
// clang-format on

using WindowProc = std::function<LResult(WindowHandle, std::uint32_t, WParam, LParam)>;

struct WindowParams {
    WindowProc proc;
    std::u16string title;
    std::uint32_t style = WS_POPUP;
    std::uint32_t exStyle = 0;
    std::uint32_t classStyle = CS_DBLCLKS;
    // Screen coordinates for a top-level window, parent client coordinates
    // for a child (WS_CHILD) window.
    Rect rect;
    WindowHandle parent = 0;      // the parent of a child, the owner of a top-level window
    int controlId = 0;            // children only
    void* createParam = nullptr;  // passed as lParam of WM_CREATE
};

// Bounds of WM_GETMINMAXINFO (lParam points to one), all in pixels.
struct MinMaxInfo {
    Point maxSize;
    Point maxPosition;
    Point minTrackSize;
    Point maxTrackSize;
};

// Creates the window: WM_CREATE (an answer of -1 fails the creation), then
// WM_SIZE and WM_MOVE; WS_VISIBLE shows it. 0 on failure.
WindowHandle CreateWindow(const WindowParams& params);
// WM_DESTROY to the window and then its descendants, then WM_NCDESTROY;
// owned windows go first. False for a window that does not exist.
bool DestroyWindow(WindowHandle hwnd);
bool IsWindow(WindowHandle hwnd);
ThreadId GetWindowThreadId(WindowHandle hwnd);

// What a window procedure does not handle itself: WM_CLOSE destroys the
// window, WM_SYSCOMMAND moves, sizes, minimises, maximises and restores,
// WM_NCHITTEST answers HTCLIENT, WM_SETCURSOR asks the parent and then sets
// the arrow (or the resize cursor of a border zone), WM_PAINT validates,
// WM_NCLBUTTONDOWN on a caption or border starts a move or size,
// WM_GETMINMAXINFO keeps the defaults.
LResult DefWindowProc(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam);
// Replaces the window's procedure; returns the previous one.
WindowProc SetWindowProc(WindowHandle hwnd, WindowProc proc);

WindowHandle GetParent(WindowHandle hwnd);  // a child's parent, else the owner
WindowHandle GetAncestorTopLevel(WindowHandle hwnd);
std::vector<WindowHandle> GetChildren(WindowHandle hwnd);
WindowHandle GetDlgItem(WindowHandle parent, int controlId);
int GetDlgCtrlID(WindowHandle hwnd);
std::intptr_t GetWindowLong(WindowHandle hwnd, int index);
std::intptr_t SetWindowLong(WindowHandle hwnd, int index, std::intptr_t value);

bool SetWindowText(WindowHandle hwnd, std::u16string_view text);
std::u16string GetWindowText(WindowHandle hwnd);

// Placement. Top-level sizes are bounded by WM_GETMINMAXINFO; changes send
// WM_MOVE and WM_SIZE.
Rect GetWindowRect(WindowHandle hwnd);  // screen coordinates
Rect GetClientRect(WindowHandle hwnd);  // (0, 0, width, height)
bool MoveWindow(WindowHandle hwnd, const Rect& rect, bool repaint = true);
bool SetWindowPos(WindowHandle hwnd, WindowHandle insertAfter, int x, int y, int cx, int cy,
                  unsigned flags);
Point ClientToScreen(WindowHandle hwnd, Point p);
Point ScreenToClient(WindowHandle hwnd, Point p);

// Visibility and state. ShowWindow returns whether it was visible before.
bool ShowWindow(WindowHandle hwnd, int command);
bool IsWindowVisible(WindowHandle hwnd);  // the window and all its ancestors
bool IsIconic(WindowHandle hwnd);
bool IsZoomed(WindowHandle hwnd);
bool EnableWindow(WindowHandle hwnd, bool enable);  // returns whether it was disabled
bool IsWindowEnabled(WindowHandle hwnd);

// Activation and keyboard focus (per thread).
WindowHandle SetActiveWindow(WindowHandle hwnd);
WindowHandle GetActiveWindow();
bool SetForegroundWindow(WindowHandle hwnd);
WindowHandle GetForegroundWindow();
WindowHandle SetFocus(WindowHandle hwnd);  // returns the previous focus
WindowHandle GetFocus();

// Mouse capture: every mouse message goes to the capturing window.
WindowHandle SetCapture(WindowHandle hwnd);
bool ReleaseCapture();
WindowHandle GetCapture();
// Asks for one WM_MOUSELEAVE when the mouse leaves the window.
bool TrackMouseLeave(WindowHandle hwnd);
Point GetCursorPos();

// Painting. An invalid area makes GetMessage return WM_PAINT for the
// window; BeginPaint gives a device context on the top-level surface with
// the origin at the window's client origin, clipped to the window and the
// invalid area, and validates it; EndPaint shows the result.
bool InvalidateRect(WindowHandle hwnd, const Rect* rect);  // nullptr = whole window
bool ValidateRect(WindowHandle hwnd, const Rect* rect);
bool GetUpdateRect(WindowHandle hwnd, Rect& rect);
bool UpdateWindow(WindowHandle hwnd);  // sends WM_PAINT now when invalid

class PaintScope {
  public:
    explicit PaintScope(WindowHandle hwnd);
    ~PaintScope();
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    // Null when the window cannot paint (hidden, destroyed, empty).
    DeviceContext* Dc() { return m_dc.get(); }
    // The invalid area's bounds in client coordinates.
    const Rect& PaintRect() const { return m_paintRect; }
    const Region& PaintRegion() const { return m_paintRegion; }

  private:
    WindowHandle m_hwnd;
    WindowHandle m_topLevel = 0;
    Rect m_paintRect;
    Region m_paintRegion;
    std::unique_ptr<DeviceContext> m_dc;
};

// Layered windows: the picture is the window's content with per-pixel
// alpha and the constant opacity; position and size follow the picture.
bool UpdateLayeredWindow(WindowHandle hwnd, const Bitmap& picture, std::optional<Point> position,
                         std::uint8_t opacity);
bool SetLayeredOpacity(WindowHandle hwnd, std::uint8_t opacity);

// The whole content of a top-level window as shown (its surface, or the
// layered picture); an empty bitmap for other windows.
Bitmap CaptureWindow(WindowHandle hwnd);

// The screen, for centring and maximising.
Rect GetScreenRect();
Rect GetWorkArea();
// Scale factor of the display (1.0 = 96 dpi) when the backend knows one.
std::optional<double> GetDisplayScale();

enum class BackendKind { Headless, Sdl };
// Chooses the backend before the first window: ZEPH_UI ("headless" or
// "sdl"), else sdl when a display is available, else headless. An explicit
// choice overrides the environment. Falls back to headless (with a message
// on standard error) when SDL cannot start. Returns the backend in use.
BackendKind InitWindowSystem(std::optional<BackendKind> choice = std::nullopt);
BackendKind CurrentBackend();

}  // namespace zeph::platform
