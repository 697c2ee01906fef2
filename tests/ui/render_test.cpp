// A whole layout through the definition sets, rendered headless: pixels of
// its parts, and repaints limited to what changed. The render is also
// written to the build folder (the picture in docs/ comes from it).
#include <cstdlib>

#include "platform/image.h"
#include "tests/ui/ui_fixture.h"

namespace zeph::ui {
namespace {

using platform::Bitmap;
using platform::Rect;
using test::UiTest;

class SampleWindow : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        BkFontPool::Instance().Reset(u"Microsoft YaHei");
        ResourceLocator& locator = ResourceLocator::Instance();
        locator.SetFolder(test::WinFolder(test::DataDir() / "ui" / "sample"));
        ASSERT_TRUE(locator.LoadStrings(10002));
        ASSERT_TRUE(locator.LoadSkins(10000));
        ASSERT_TRUE(locator.LoadStyles(10001));
        ASSERT_TRUE(view.LoadLayout(11001));
        ASSERT_EQ(view.Layer().width, 458);
        shot = Render(view, view.Layer().width, view.Layer().height);
    }
    CBkViewImpl view{HostKind::ViewEx};
    Bitmap shot{0, 0};
};

bool AnyInk(const Bitmap& b, const Rect& r, std::uint32_t background) {
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (b.Pixel(x, y) != background) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(SampleWindow, PartsAppearWhereTheLayoutPutsThem) {
    if (const char* dir = std::getenv("ZEPH_BUILD_DIR")) {
        shot.WritePng(std::filesystem::path(dir) / "ui-sample.png");
    }
    const std::uint32_t head = 0xFF0D47A1;
    const std::uint32_t foot = 0xFFF5F7FA;
    auto banner = platform::DecodeImageFile(test::DataDir() / "ui" / "sample" / "51.png");
    ASSERT_TRUE(banner);
    struct Probe {
        const char* what;
        int x;
        int y;
        std::uint32_t pixel;
    };
    const Probe probes[] = {
        {"header background", 330, 3, head},
        {"close button's transparent corner", 428, 2, head},
        {"close button's cross", 442, 16, 0xFFFFFFFF},
        {"banner", 5, 32 + 5, banner->Pixel(5, 5)},
        {"banner", 400, 32 + 140, banner->Pixel(400, 140)},
        {"progress track", 400, 32 + 190, 0xFFE3E8EE},
        {"progress fill", 100, 32 + 190, 0xFF1E88E5},
        {"footer", 200, 300, foot},
        {"install button", 305, 272, 0xFF1E88E5},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(shot.Pixel(p.x, p.y), p.pixel) << p.what;
    }
    EXPECT_TRUE(AnyInk(shot, view.FindElementById(603)->GetRect(), head));
    EXPECT_TRUE(AnyInk(shot, view.FindElementById(201)->GetRect(), test::kWhite));
    EXPECT_EQ(view.FindElementById(3)->GetRect(), (Rect{0, 32, 458, 182}));
    EXPECT_EQ(view.Footer().GetRect(), (Rect{0, 258, 458, 314}));
}

TEST_F(SampleWindow, ARepaintChangesOnlyTheAreaThatAskedForIt) {
    const Bitmap before = shot.Clone();
    const Rect oldText = view.FindElementById(201)->GetRect();
    ASSERT_TRUE(view.SetElementText(201, u"正在安装，已完成 99%"));
    ASSERT_TRUE(view.SetElementAttribute(206, "pos", "20,186,-20,194"));
    EXPECT_TRUE(view.IsDirty());
    const Rect changed = oldText.Union(view.FindElementById(201)->GetRect())
                             .Union(view.FindElementById(206)->GetRect());
    EXPECT_TRUE(view.InvalidRegion().Intersects(changed));
    Repaint(view, shot);
    EXPECT_FALSE(view.IsDirty());
    bool textChanged = false;
    for (int y = 0; y < shot.Height(); ++y) {
        for (int x = 0; x < shot.Width(); ++x) {
            const bool inside =
                view.FindElementById(201)->GetRect().Union(oldText).Contains({x, y}) ||
                view.FindElementById(206)->GetRect().Contains({x, y});
            if (!inside) {
                ASSERT_EQ(shot.Pixel(x, y), before.Pixel(x, y)) << x << "," << y;
            } else if (shot.Pixel(x, y) != before.Pixel(x, y)) {
                textChanged = true;
            }
        }
    }
    EXPECT_TRUE(textChanged);
    // The whole bar is filled now.
    EXPECT_EQ(shot.Pixel(400, 32 + 190), 0xFF1E88E5u);
}

TEST_F(SampleWindow, HiddenElementsLeaveTheirAreaToWhatIsBeneath) {
    ASSERT_TRUE(view.SetElementVisible(206, false));
    shot.Clear(test::kWhite);
    Repaint(view, shot);
    EXPECT_EQ(shot.Pixel(100, 32 + 190), 0xFFE3E8EEu);
    // Only the hidden element's area was painted.
    EXPECT_EQ(shot.Pixel(200, 300), test::kWhite);
    EXPECT_EQ(shot.Pixel(400, 32 + 190), test::kWhite);
}

TEST_F(SampleWindow, FrameSkinIsDrawnUnderThePanels) {
    Skins("<png name=\"frame_bg\" src=\"51\"/>");
    auto banner = platform::DecodeImageFile(test::DataDir() / "ui" / "sample" / "51.png");
    ASSERT_TRUE(banner);
    CBkViewImpl framed(HostKind::ViewEx);
    ASSERT_TRUE(
        framed.LoadLayoutText(Layer("<body><text pos=\"40,0,-0,-0\" crbg=\"00FF00\"/></body>",
                                    "width=\"100\" height=\"30\" frame=\"frame_bg\"")));
    const Bitmap b = Render(framed, 100, 30);
    EXPECT_EQ(b.Pixel(10, 10), banner->Pixel(10, 10));  // the frame, cut to the window
    EXPECT_EQ(b.Pixel(50, 10), test::kGreen);
    EXPECT_EQ(b.Pixel(90, 10), test::kGreen);
}

}  // namespace
}  // namespace zeph::ui
