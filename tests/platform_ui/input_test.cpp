// Input routing: hit testing, cursors, capture, leave tracking, double
// clicks, keyboard, and the move and size loops.
#include <gtest/gtest.h>

#include "platform/cursor.h"
#include "tests/platform_ui/window_fixture.h"

namespace zeph::platform {
namespace {

using test::WindowLog;

class Input : public ::testing::Test {
  protected:
    void SetUp() override { InitWindowSystem(BackendKind::Headless); }
    WindowLog log;
};

Point PointOf(LParam l) {
    return {LoWordSigned(l), HiWordSigned(l)};
}

TEST_F(Input, MouseGoesToTheDeepestChildInItsClientCoordinates) {
    const WindowHandle top = log.Create({100, 100, 300, 300});
    const WindowHandle child = log.Create({50, 50, 150, 150}, WS_CHILD | WS_VISIBLE, top);
    const WindowHandle inner = log.Create({10, 10, 30, 30}, WS_CHILD | WS_VISIBLE, child);
    struct Case {
        Point client;
        WindowHandle target;
        Point expected;
    };
    const Case cases[] = {
        {{5, 5}, top, {5, 5}},
        {{55, 55}, child, {5, 5}},
        {{65, 65}, inner, {5, 5}},
    };
    for (const Case& c : cases) {
        log.Clear();
        InjectMouseMove(top, c.client);
        PumpPendingMessages();
        const auto moves = log.Of(WM_MOUSEMOVE);
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_EQ(moves[0].hwnd, c.target);
        EXPECT_EQ(PointOf(moves[0].lParam), c.expected);
        // The cursor question comes before the move.
        EXPECT_EQ(log.Sequence({WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE}, c.target),
                  (std::vector<std::uint32_t>{WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE}));
    }
}

TEST_F(Input, OverlappingWindowsTakeTheMouseInTheirZOrder) {
    const WindowHandle a = log.Create({0, 0, 100, 100});
    const WindowHandle b = log.Create({50, 50, 150, 150});
    const WindowHandle pinned = log.Create({400, 0, 500, 100});
    auto under = [&](Point screen) {
        log.Clear();
        InjectInput({InputEvent::Kind::MouseMove, 0, screen});
        PumpPendingMessages();
        const auto moves = log.Of(WM_MOUSEMOVE);
        return moves.empty() ? WindowHandle{0} : moves[0].hwnd;
    };
    EXPECT_EQ(under({75, 75}), b);  // the last shown is on top
    SetActiveWindow(a);
    EXPECT_EQ(under({75, 75}), a);
    // A topmost window stays above windows activated after it.
    SetWindowPos(pinned, HWND_TOPMOST, 60, 60, 0, 0, SWP_NOSIZE);
    SetActiveWindow(b);
    EXPECT_EQ(under({75, 75}), pinned);
    ShowWindow(pinned, SW_HIDE);
    EXPECT_EQ(under({75, 75}), b);
    EXPECT_EQ(under({300, 300}), 0u);
}

TEST_F(Input, CaptureTakesEveryMouseMessage) {
    const WindowHandle a = log.Create({0, 0, 100, 100});
    const WindowHandle b = log.Create({200, 0, 300, 100});
    SetCapture(a);
    InjectMouseMove(b, {10, 10});
    PumpPendingMessages();
    const auto moves = log.Of(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].hwnd, a);
    EXPECT_EQ(PointOf(moves[0].lParam), (Point{210, 10}));
    ReleaseCapture();
    EXPECT_EQ(log.Of(WM_CAPTURECHANGED, a).size(), 1u);
}

TEST_F(Input, LeaveIsPostedOnceWhenTheMouseLeavesATrackingWindow) {
    const WindowHandle a = log.Create({0, 0, 100, 100});
    const WindowHandle b = log.Create({200, 0, 300, 100});
    InjectMouseMove(a, {10, 10});
    PumpPendingMessages();
    EXPECT_TRUE(TrackMouseLeave(a));
    InjectMouseMove(a, {20, 20});
    PumpPendingMessages();
    EXPECT_TRUE(log.Of(WM_MOUSELEAVE).empty());
    InjectMouseMove(b, {10, 10});
    InjectMouseMove(b, {20, 10});
    PumpPendingMessages();
    ASSERT_EQ(log.Of(WM_MOUSELEAVE).size(), 1u);
    EXPECT_EQ(log.Of(WM_MOUSELEAVE)[0].hwnd, a);
    // Leaving every window counts too.
    TrackMouseLeave(b);
    InjectMouseLeave(b);
    PumpPendingMessages();
    EXPECT_EQ(log.Of(WM_MOUSELEAVE, b).size(), 1u);
}

TEST_F(Input, DoubleClicksNeedTheClassStyle) {
    WindowParams p;
    p.rect = {0, 0, 50, 50};
    p.style = WS_POPUP | WS_VISIBLE;
    p.classStyle = 0;
    std::vector<std::uint32_t> plain;
    p.proc = [&](WindowHandle h, std::uint32_t m, WParam w, LParam l) -> LResult {
        plain.push_back(m);
        return DefWindowProc(h, m, w, l);
    };
    const WindowHandle noDbl = CreateWindow(p);
    const WindowHandle dbl = log.Create({100, 0, 150, 50});
    InjectDoubleClick(noDbl, {5, 5});
    InjectDoubleClick(dbl, {5, 5});
    PumpPendingMessages();
    EXPECT_EQ(std::count(plain.begin(), plain.end(), WM_LBUTTONDOWN), 2);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(
        log.Sequence({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}, dbl),
        (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    DestroyWindow(noDbl);
}

TEST_F(Input, ADisabledWindowGetsNoInput) {
    const WindowHandle w = log.Create({0, 0, 100, 100});
    EnableWindow(w, false);
    InjectClick(w, {10, 10});
    InjectKey(w, VK_RETURN, true);
    PumpPendingMessages();
    EXPECT_TRUE(log.Of(WM_LBUTTONDOWN).empty());
    EXPECT_TRUE(log.Of(WM_KEYDOWN).empty());
    EnableWindow(w, true);
    InjectClick(w, {10, 10});
    PumpPendingMessages();
    EXPECT_EQ(log.Of(WM_LBUTTONDOWN).size(), 1u);
}

TEST_F(Input, KeysGoToTheFocusAndEnterBecomesACharacter) {
    const WindowHandle top = log.Create({0, 0, 100, 100});
    const WindowHandle edit = log.Create({0, 0, 50, 20}, WS_CHILD | WS_VISIBLE, top);
    SetFocus(edit);
    InjectKey(top, VK_CONTROL, true);
    PumpPendingMessages();
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    InjectKey(top, VK_CONTROL, false);
    InjectKey(top, VK_RETURN, true);
    InjectText(top, u"好");
    PumpPendingMessages();
    EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
    const auto chars = log.Of(WM_CHAR, edit);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].wParam, static_cast<WParam>(u'\r'));
    EXPECT_EQ(chars[1].wParam, static_cast<WParam>(u'好'));
}

TEST_F(Input, CaptionHitMovesTheWindowUntilTheButtonGoesUp) {
    log.answer = [](WindowHandle, std::uint32_t m, WParam, LParam) -> std::optional<LResult> {
        return m == WM_NCHITTEST ? std::optional<LResult>(HTCAPTION) : std::nullopt;
    };
    const WindowHandle w = log.Create({100, 100, 200, 150});
    InjectMouseButton(w, {10, 10}, MouseButton::Left, true);
    PumpPendingMessages();
    EXPECT_EQ(log.Of(WM_ENTERSIZEMOVE).size(), 1u);
    InjectInput({InputEvent::Kind::MouseMove, w, {140, 130}});
    InjectInput({InputEvent::Kind::MouseMove, w, {160, 150}});
    InjectInput({InputEvent::Kind::ButtonUp, w, {160, 150}});
    InjectInput({InputEvent::Kind::MouseMove, w, {300, 300}});
    PumpPendingMessages();
    EXPECT_EQ(GetWindowRect(w), (Rect{150, 140, 250, 190}));
    EXPECT_EQ(log.Of(WM_EXITSIZEMOVE).size(), 1u);
    EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(Input, BorderHitSizesTheWindowAndSetsTheResizeCursor) {
    log.answer = [](WindowHandle h, std::uint32_t m, WParam, LParam l) -> std::optional<LResult> {
        if (m == WM_NCHITTEST) {
            const Point p = ScreenToClient(h, {LoWordSigned(l), HiWordSigned(l)});
            return (p.x >= 96 && p.y >= 46) ? HTBOTTOMRIGHT : HTCLIENT;
        }
        if (m == WM_GETMINMAXINFO) {
            reinterpret_cast<MinMaxInfo*>(l)->minTrackSize = {60, 40};
            return 0;
        }
        return std::nullopt;
    };
    const WindowHandle w = log.Create({0, 0, 100, 50});
    InjectMouseMove(w, {98, 48});
    PumpPendingMessages();
    EXPECT_EQ(GetCurrentCursor(), CursorId::SizeNwse);
    InjectMouseMove(w, {10, 10});
    PumpPendingMessages();
    EXPECT_EQ(GetCurrentCursor(), CursorId::Arrow);
    InjectMouseButton(w, {98, 48}, MouseButton::Left, true);
    InjectInput({InputEvent::Kind::MouseMove, w, {118, 58}});
    PumpPendingMessages();
    EXPECT_EQ(GetWindowRect(w), (Rect{0, 0, 120, 60}));
    // Dragging past the minimum stops at it.
    InjectInput({InputEvent::Kind::MouseMove, w, {10, 10}});
    InjectInput({InputEvent::Kind::ButtonUp, w, {10, 10}});
    PumpPendingMessages();
    EXPECT_EQ(GetWindowRect(w), (Rect{0, 0, 60, 40}));
}

}  // namespace
}  // namespace zeph::platform
