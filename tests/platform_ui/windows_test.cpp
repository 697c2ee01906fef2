// Window lifetime, placement, state, activation and focus.
#include <gtest/gtest.h>

#include "platform/cursor.h"
#include "tests/platform_ui/window_fixture.h"

namespace zeph::platform {
namespace {

using test::WindowLog;

class Windows : public ::testing::Test {
  protected:
    void SetUp() override { InitWindowSystem(BackendKind::Headless); }
    WindowLog log;
};

TEST_F(Windows, CreationSendsCreateThenSizeAndMoveAndMayBeRefused) {
    const WindowHandle w = log.Create({10, 20, 110, 70});
    ASSERT_NE(w, 0u);
    EXPECT_EQ(log.Sequence({WM_CREATE, WM_MOVE, WM_SIZE, WM_SHOWWINDOW}),
              (std::vector<std::uint32_t>{WM_CREATE, WM_MOVE, WM_SIZE, WM_SHOWWINDOW}));
    const auto size = log.Of(WM_SIZE);
    EXPECT_EQ(LoWord(static_cast<WParam>(size[0].lParam)), 100u);
    EXPECT_EQ(HiWord(static_cast<WParam>(size[0].lParam)), 50u);
    EXPECT_EQ(GetWindowRect(w), (Rect{10, 20, 110, 70}));
    EXPECT_EQ(GetClientRect(w), (Rect{0, 0, 100, 50}));
    EXPECT_TRUE(IsWindowVisible(w));

    WindowLog refusing;
    refusing.answer = [](WindowHandle, std::uint32_t m, WParam, LParam) -> std::optional<LResult> {
        return m == WM_CREATE ? std::optional<LResult>(-1) : std::nullopt;
    };
    EXPECT_EQ(refusing.Create({0, 0, 10, 10}), 0u);
    EXPECT_EQ(refusing.Of(WM_DESTROY).size(), 1u);
}

TEST_F(Windows, DestroyGoesParentFirstAndFinishesChildFirstAfterOwnedWindows) {
    const WindowHandle top = log.Create({0, 0, 200, 200});
    const WindowHandle child = log.Create({10, 10, 50, 50}, WS_CHILD | WS_VISIBLE, top, 5);
    const WindowHandle owned = log.Create({300, 0, 400, 100}, WS_POPUP | WS_VISIBLE, top);
    EXPECT_EQ(GetDlgItem(top, 5), child);
    EXPECT_EQ(GetParent(owned), top);
    log.Clear();
    ASSERT_TRUE(DestroyWindow(top));
    std::vector<std::pair<WindowHandle, std::uint32_t>> order;
    for (const auto& l : log.log) {
        if (l.message == WM_DESTROY || l.message == WM_NCDESTROY) {
            order.emplace_back(l.hwnd, l.message);
        }
    }
    const std::vector<std::pair<WindowHandle, std::uint32_t>> expected = {
        {owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {top, WM_DESTROY},
        {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    for (WindowHandle h : {top, child, owned}) {
        EXPECT_FALSE(IsWindow(h));
    }
}

TEST_F(Windows, ShowStatesSendTheSizeKinds) {
    const WindowHandle w = log.Create({100, 100, 300, 200}, WS_POPUP);
    EXPECT_FALSE(IsWindowVisible(w));
    struct Step {
        int command;
        bool iconic;
        bool zoomed;
        std::optional<WParam> sizeKind;
        Rect rect;
    };
    const Rect work = GetWorkArea();
    const Step steps[] = {
        {SW_SHOW, false, false, std::nullopt, {100, 100, 300, 200}},
        {SW_MAXIMIZE, false, true, SIZE_MAXIMIZED, work},
        {SW_MINIMIZE, true, false, SIZE_MINIMIZED, work},
        {SW_RESTORE, false, true, SIZE_MAXIMIZED, work},
        {SW_RESTORE, false, false, SIZE_RESTORED, {100, 100, 300, 200}},
        {SW_HIDE, false, false, std::nullopt, {100, 100, 300, 200}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        log.Clear();
        ShowWindow(w, s.command);
        EXPECT_EQ(IsIconic(w), s.iconic);
        EXPECT_EQ(IsZoomed(w), s.zoomed);
        EXPECT_EQ(GetWindowRect(w), s.rect);
        const auto sizes = log.Of(WM_SIZE);
        if (s.sizeKind) {
            ASSERT_EQ(sizes.size(), 1u);
            EXPECT_EQ(sizes[0].wParam, *s.sizeKind);
        } else {
            EXPECT_TRUE(sizes.empty());
        }
    }
    EXPECT_FALSE(IsWindowVisible(w));
}

TEST_F(Windows, SizeIsBoundedByMinMaxInfo) {
    log.answer = [](WindowHandle, std::uint32_t m, WParam, LParam l) -> std::optional<LResult> {
        if (m == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MinMaxInfo*>(l);
            info->minTrackSize = {120, 80};
            return 0;
        }
        return std::nullopt;
    };
    const WindowHandle w = log.Create({0, 0, 200, 200});
    MoveWindow(w, {5, 5, 55, 55});
    EXPECT_EQ(GetWindowRect(w), (Rect{5, 5, 125, 85}));
}

TEST_F(Windows, ActivationAndFocusNotifyBothSides) {
    const WindowHandle a = log.Create({0, 0, 100, 100});
    const WindowHandle edit = log.Create({0, 0, 50, 20}, WS_CHILD | WS_VISIBLE, a, 1);
    const WindowHandle b = log.Create({200, 0, 300, 100});
    EXPECT_EQ(GetActiveWindow(), b);
    log.Clear();
    SetActiveWindow(a);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(log.Of(WM_ACTIVATE, b).at(0).wParam, 0u);
    EXPECT_EQ(log.Of(WM_ACTIVATE, a).at(0).wParam, 1u);
    log.Clear();
    EXPECT_EQ(SetFocus(edit), a);
    EXPECT_EQ(log.Of(WM_KILLFOCUS, a).at(0).wParam, edit);
    EXPECT_EQ(log.Of(WM_SETFOCUS, edit).at(0).wParam, a);
    // Hiding the window that holds the focus takes the focus away.
    ShowWindow(a, SW_HIDE);
    EXPECT_EQ(GetFocus(), 0u);
}

TEST_F(Windows, ChildRectanglesAreRelativeToTheParent) {
    const WindowHandle top = log.Create({100, 50, 300, 250});
    const WindowHandle child = log.Create({10, 20, 60, 40}, WS_CHILD | WS_VISIBLE, top);
    EXPECT_EQ(GetWindowRect(child), (Rect{110, 70, 160, 90}));
    EXPECT_EQ(ScreenToClient(child, {115, 75}), (Point{5, 5}));
    EXPECT_EQ(GetAncestorTopLevel(child), top);
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child));
}

TEST_F(Windows, StylesKeepVisibilityToItsOwnCalls) {
    const WindowHandle w = log.Create({0, 0, 10, 10});
    SetWindowLong(w, GWL_EXSTYLE, WS_EX_LAYERED);
    EXPECT_EQ(GetWindowLong(w, GWL_EXSTYLE), static_cast<std::intptr_t>(WS_EX_LAYERED));
    SetWindowLong(w, GWL_STYLE, WS_POPUP);
    EXPECT_FALSE(IsWindowVisible(w));
    SetWindowLong(w, GWLP_USERDATA, 1234);
    EXPECT_EQ(GetWindowLong(w, GWLP_USERDATA), 1234);
    SetWindowText(w, u"标题");
    EXPECT_EQ(GetWindowText(w), u"标题");
}

}  // namespace
}  // namespace zeph::platform
