// Headless snapshots: one PNG when a window's content changes (throttled)
// and one when it closes.
#include <gtest/gtest.h>

#include <thread>

#include "platform/headless.h"
#include "platform/image.h"
#include "tests/platform_ui/window_fixture.h"
#include "tests/support/temp_dir.h"

namespace zeph::platform {
namespace {

std::vector<std::filesystem::path> Pngs(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> out;
    if (std::filesystem::exists(dir)) {
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            out.push_back(e.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Snapshots, ChangesAndClosingWriteNumberedPictures) {
    InitWindowSystem(BackendKind::Headless);
    test::TempDir dir;
    const auto shots = dir.Path() / "shots";
    headless::SetSnapshotFolder(shots);
    Colorref color = MakeColorref(255, 0, 0);
    test::WindowLog log;
    log.answer = [&](WindowHandle h, std::uint32_t m, WParam, LParam) -> std::optional<LResult> {
        if (m != WM_PAINT) {
            return std::nullopt;
        }
        PaintScope ps(h);
        ps.Dc()->FillRect(GetClientRect(h), color);
        return 0;
    };
    const WindowHandle w = log.Create({0, 0, 30, 20});
    PumpPendingMessages();
    ASSERT_EQ(Pngs(shots).size(), 1u);

    // A change within the interval waits for it, then is written once.
    color = MakeColorref(0, 0, 255);
    InvalidateRect(w, nullptr);
    PumpPendingMessages();
    InvalidateRect(w, nullptr);
    PumpPendingMessages();
    EXPECT_EQ(Pngs(shots).size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(headless::kSnapshotIntervalMs + 20));
    PumpPendingMessages();
    ASSERT_EQ(Pngs(shots).size(), 2u);
    auto second = DecodeImageFile(Pngs(shots)[1]);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Pixel(10, 10), 0xFF0000FFu);

    DestroyWindow(w);
    const auto all = Pngs(shots);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_NE(all[2].filename().string().find("-w"), std::string::npos);
}

TEST(Snapshots, NoFolderNoFiles) {
    InitWindowSystem(BackendKind::Headless);
    headless::SetSnapshotFolder(std::nullopt);
    test::WindowLog log;
    const WindowHandle w = log.Create({0, 0, 10, 10});
    PumpPendingMessages();
    DestroyWindow(w);
    EXPECT_FALSE(headless::SnapshotFolder().has_value());
}

}  // namespace
}  // namespace zeph::platform
