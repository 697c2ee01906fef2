// Invalid areas, WM_PAINT and painting into the top-level surface.
#include <gtest/gtest.h>

#include "tests/platform_ui/window_fixture.h"

namespace zeph::platform {
namespace {

using test::WindowLog;

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;

// A window that fills its whole client area with one colour on WM_PAINT and
// remembers the paint rectangles.
struct Painter {
    WindowLog log;
    Colorref color;
    std::vector<Rect> paints;
    explicit Painter(Colorref c) : color(c) {
        log.answer = [this](WindowHandle h, std::uint32_t m, WParam,
                            LParam) -> std::optional<LResult> {
            if (m != WM_PAINT) {
                return std::nullopt;
            }
            PaintScope ps(h);
            paints.push_back(ps.PaintRect());
            if (ps.Dc() != nullptr) {
                ps.Dc()->FillRect(GetClientRect(h), color);
            }
            return 0;
        };
    }
};

TEST(Paint, ChildrenPaintOverTheirParentAtTheirOffsetAndClipped) {
    InitWindowSystem(BackendKind::Headless);
    Painter parent(MakeColorref(255, 0, 0));
    Painter child(MakeColorref(0, 0, 255));
    const WindowHandle top = parent.log.Create({0, 0, 100, 80});
    // Hangs over the parent's right edge: only the inside part is drawn.
    child.log.Create({80, 10, 130, 30}, WS_CHILD | WS_VISIBLE, top);
    PumpPendingMessages();
    const Bitmap shot = CaptureWindow(top);
    EXPECT_EQ(shot.Pixel(5, 5), kRed);
    EXPECT_EQ(shot.Pixel(85, 15), kBlue);
    EXPECT_EQ(shot.Pixel(99, 29), kBlue);
    EXPECT_EQ(shot.Pixel(85, 35), kRed);
    EXPECT_EQ(shot.Width(), 100);
}

TEST(Paint, RequestsBeforeOnePaintBecomeOnePaintOfTheirUnion) {
    InitWindowSystem(BackendKind::Headless);
    Painter p(MakeColorref(0, 255, 0));
    const WindowHandle w = p.log.Create({0, 0, 200, 100});
    PumpPendingMessages();
    p.paints.clear();
    const Rect a{10, 10, 20, 20};
    const Rect b{50, 40, 60, 70};
    InvalidateRect(w, &a);
    InvalidateRect(w, &b);
    PumpPendingMessages();
    ASSERT_EQ(p.paints.size(), 1u);
    EXPECT_EQ(p.paints[0], (Rect{10, 10, 60, 70}));
    // Nothing asked, nothing painted.
    PumpPendingMessages();
    EXPECT_EQ(p.paints.size(), 1u);
}

TEST(Paint, OnlyTheInvalidAreaChanges) {
    InitWindowSystem(BackendKind::Headless);
    Painter p(MakeColorref(255, 0, 0));
    const WindowHandle w = p.log.Create({0, 0, 50, 50});
    PumpPendingMessages();
    p.color = MakeColorref(0, 0, 255);
    const Rect part{0, 0, 10, 10};
    InvalidateRect(w, &part);
    PumpPendingMessages();
    const Bitmap shot = CaptureWindow(w);
    EXPECT_EQ(shot.Pixel(5, 5), kBlue);
    EXPECT_EQ(shot.Pixel(15, 15), kRed);
}

TEST(Paint, HiddenWindowsWaitAndResizedWindowsRepaint) {
    InitWindowSystem(BackendKind::Headless);
    Painter p(MakeColorref(255, 0, 0));
    const WindowHandle w = p.log.Create({0, 0, 50, 50}, WS_POPUP);
    PumpPendingMessages();
    EXPECT_TRUE(p.paints.empty());
    ShowWindow(w, SW_SHOW);
    PumpPendingMessages();
    EXPECT_EQ(p.paints.size(), 1u);
    MoveWindow(w, {0, 0, 80, 60});
    PumpPendingMessages();
    ASSERT_EQ(p.paints.size(), 2u);
    EXPECT_EQ(p.paints[1], (Rect{0, 0, 80, 60}));
    EXPECT_EQ(CaptureWindow(w).Pixel(79, 59), kRed);
}

TEST(Paint, LayeredWindowsShowTheirPicture) {
    InitWindowSystem(BackendKind::Headless);
    WindowLog log;
    const WindowHandle w = log.Create({10, 10, 20, 20}, WS_POPUP | WS_VISIBLE, 0, 0, WS_EX_LAYERED);
    Bitmap picture(30, 20);
    picture.Clear(0x80000080);  // half-transparent blue, premultiplied
    ASSERT_TRUE(UpdateLayeredWindow(w, picture, Point{5, 6}, 200));
    EXPECT_EQ(GetWindowRect(w), (Rect{5, 6, 35, 26}));
    EXPECT_EQ(CaptureWindow(w).Pixel(29, 19), 0x80000080u);
    const WindowHandle plain = log.Create({0, 0, 5, 5});
    EXPECT_FALSE(UpdateLayeredWindow(plain, picture, std::nullopt, 255));
}

}  // namespace
}  // namespace zeph::platform
