// Shared set-up of UI engine tests: clean process-wide tables, the test
// pictures folder, and rendering a layout into an in-memory bitmap.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"
#include "platform/draw.h"
#include "platform/paths.h"
#include "tests/support/profile_fixture.h"
#include "tests/support/temp_dir.h"
#include "ui/bk_dpi.h"
#include "ui/bk_font.h"
#include "ui/bk_skin.h"
#include "ui/bk_string.h"
#include "ui/bk_style.h"
#include "ui/bk_view.h"
#include "ui/image_pools.h"
#include "ui/resource_locator.h"

namespace zeph::test {

// Colours of the test pictures (premultiplied ARGB as a bitmap holds them).
inline constexpr std::uint32_t kRed = 0xFFFF0000;
inline constexpr std::uint32_t kGreen = 0xFF00FF00;
inline constexpr std::uint32_t kBlue = 0xFF0000FF;
inline constexpr std::uint32_t kYellow = 0xFFFFFF00;
inline constexpr std::uint32_t kWhite = 0xFFFFFFFF;

// The Windows form of a host folder (drive Z: holds the host's root).
inline std::u16string WinFolder(const std::filesystem::path& host) {
    return platform::ToWindowsPath(host.string()).value_or(u"");
}

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::BkDpi::SetFactor(std::nullopt);
        ui::BkFontPool::Instance().Reset(u"SimSun");
        ui::BkStylePool::Instance().Reset();
        ui::BkSkinPool::Instance().Clear();
        ui::BkString::Instance().Clear();
        ui::ResourceLocator::Instance().SetFolder(PicturesFolder());
        ui::BkPngPool::Instance().Clear();
    }

    // tests/data/ui/res: 101.png a 96x32 strip red|green|blue, 102.png a
    // 560x36 strip red|green|blue|yellow, 103.png 20x10 with 5-pixel red and
    // blue ends around green (107.bmp the same as a bitmap), 104.png 48x48
    // magenta, 105.bmp red|magenta, 106.jpg cyan.
    static std::u16string PicturesFolder() { return WinFolder(DataDir() / "ui" / "res"); }

    static void Skins(std::string_view body) {
        ui::BkSkinPool::Instance().LoadDocument("<skins>" + std::string(body) + "</skins>");
    }
    static void Styles(std::string_view body) {
        ui::BkStylePool::Instance().LoadDocument("<style>" + std::string(body) + "</style>");
    }

    // Lays the view out in a w x h client area and paints it over white.
    static platform::Bitmap Render(ui::CBkViewImpl& view, int w, int h) {
        platform::Bitmap b(w, h);
        b.Clear(kWhite);
        view.LayoutPanels({0, 0, w, h});
        platform::DeviceContext dc(b);
        view.Paint(dc);
        return b;
    }
    // Paints again what the view asked for since the last paint.
    static void Repaint(ui::CBkViewImpl& view, platform::Bitmap& b) {
        platform::DeviceContext dc(b);
        view.Paint(dc);
    }
    static std::string Layer(std::string_view body,
                             std::string_view attributes = "width=\"200\" height=\"100\"") {
        return "<layer " + std::string(attributes) + ">" + std::string(body) + "</layer>";
    }

    // A machine profile of the test's own: files and the registry.
    ProfileFixture profile;
};

}  // namespace zeph::test
