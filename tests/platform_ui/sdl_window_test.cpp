// A real SDL window on the X server of the test run: its pixels on the
// screen, read back with an outside screenshot, are the ones painted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/image.h"
#include "tests/platform_ui/window_fixture.h"
#include "tests/support/temp_dir.h"

namespace zeph::platform {
namespace {

TEST(SdlWindow, PaintedPixelsReachTheScreen) {
    const char* display = std::getenv("ZEPH_TEST_DISPLAY");
    if (display == nullptr || *display == '\0') {
        GTEST_SKIP() << "ZEPH_TEST_DISPLAY is not set (scripts/test starts an Xvfb and sets it)";
    }
    setenv("DISPLAY", display, 1);
    ASSERT_EQ(InitWindowSystem(BackendKind::Sdl), BackendKind::Sdl);

    test::WindowLog log;
    log.answer = [](WindowHandle h, std::uint32_t m, WParam, LParam) -> std::optional<LResult> {
        if (m != WM_PAINT) {
            return std::nullopt;
        }
        PaintScope ps(h);
        ps.Dc()->FillRect(Rect{0, 0, 100, 80}, MakeColorref(255, 0, 0));
        ps.Dc()->FillRect(Rect{100, 0, 200, 80}, MakeColorref(0, 0, 255));
        return 0;
    };
    const WindowHandle w = log.Create({40, 50, 240, 130});
    ASSERT_NE(w, 0u);
    // Let the X server map the window and the exposure repaint it.
    for (int i = 0; i < 20; ++i) {
        PumpPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(GetWindowRect(w), (Rect{40, 50, 240, 130}));

    test::TempDir dir;
    const auto shot = dir.Path() / "screen.png";
    const std::string command = "import -display '" + std::string(display) + "' -window root '" +
                                shot.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    auto screen = DecodeImageFile(shot);
    ASSERT_TRUE(screen.has_value());
    const Rect r = GetWindowRect(w);
    EXPECT_EQ(screen->Pixel(r.left + 10, r.top + 10), 0xFFFF0000u);
    EXPECT_EQ(screen->Pixel(r.left + 190, r.top + 70), 0xFF0000FFu);

    // Hiding takes it off the screen.
    ShowWindow(w, SW_HIDE);
    for (int i = 0; i < 10; ++i) {
        PumpPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(std::system(command.c_str()), 0);
    screen = DecodeImageFile(shot);
    ASSERT_TRUE(screen.has_value());
    EXPECT_NE(screen->Pixel(r.left + 10, r.top + 10), 0xFFFF0000u);
    DestroyWindow(w);
}

}  // namespace
}  // namespace zeph::platform
