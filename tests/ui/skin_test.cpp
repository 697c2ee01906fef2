// Skins: sub-image choice by state (raw and corrected), nine-grid
// stretching, natural-size drawing, missing pictures, and the other kinds;
// probed on headless renders.
#include "tests/ui/ui_fixture.h"
#include "ui/bk_controls.h"
#include "ui/skin_kinds.h"

namespace zeph::ui {
namespace {

using platform::Bitmap;
using platform::DeviceContext;
using platform::Rect;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;
using test::kYellow;
using test::UiTest;

class SkinDrawing : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        Define(
            "<png name=\"close\" src=\"101\" subwidth=\"32\"/>"
            "<png name=\"fast_install_btn\" src=\"102\" subwidth=\"140\"/>"
            "<png name=\"grid\" src=\"103\" margin_left=\"5\" margin_right=\"5\"/>"
            "<png name=\"missing\" src=\"999\"/>");
    }
    static void Define(std::string_view body) { UiTest::Skins(body); }

    // The background of an element of class `cls`, drawn in `state`.
    std::uint32_t BackgroundPixel(const std::string& skin, std::uint32_t state, bool corrected,
                                  int w, int h) {
        BkStylePool::Instance().Reset();
        Styles("<class name=\"bg\" skin=\"" + skin + "\"/>");
        CBkViewImpl view(HostKind::ViewEx);
        const std::string element = std::string("<text id=\"1\" class=\"bg\" pos=\"0,0,-0,-0\"") +
                                    (corrected ? " correctdrawbg=\"1\"" : "") + "/>";
        EXPECT_TRUE(view.LoadLayoutText(Layer("<body>" + element + "</body>")));
        view.LayoutPanels({0, 0, w, h});
        view.FindElementById(1)->ModifyState(state, 0);
        const Bitmap b = Render(view, w, h);
        return b.Pixel(w / 2, h / 2);
    }
};

TEST_F(SkinDrawing, SubImagesFollowTheRawOrCorrectedState) {
    struct Case {
        const char* skin;
        int w;
        int h;
        std::uint32_t state;
        bool corrected;
        std::uint32_t pixel;
    };
    const Case cases[] = {
        // The three-picture close strip with raw state bits.
        {"close", 32, 32, 0, false, kRed},
        {"close", 32, 32, kStateHover, false, kGreen},
        {"close", 32, 32, kStatePushed, false, kBlue},
        {"close", 32, 32, kStateHover | kStatePushed, false, kRed},  // 3 mod 3
        {"close", 32, 32, kStateChecked, false, kGreen},             // 4 mod 3
        // Corrected: pushed 2, hovered 1, disabled 3 (mod 3 = 0).
        {"close", 32, 32, kStateHover | kStatePushed, true, kBlue},
        {"close", 32, 32, kStateHover, true, kGreen},
        {"close", 32, 32, kStateDisabled | kStateHover, true, kRed},
        // The four-picture install button.
        {"fast_install_btn", 140, 36, kStateHover | kStatePushed, false, kYellow},
        {"fast_install_btn", 140, 36, kStateDisabled, true, kYellow},
        {"fast_install_btn", 140, 36, kStatePushed, true, kBlue},
        {"fast_install_btn", 140, 36, 0, true, kRed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.skin << " state " << c.state << (c.corrected ? " corrected" : ""));
        EXPECT_EQ(BackgroundPixel(c.skin, c.state, c.corrected, c.w, c.h), c.pixel);
    }
}

TEST_F(SkinDrawing, SubImageIndexes) {
    struct Case {
        int state;
        int count;
        int index;
    };
    for (const Case& c : {Case{-1, 3, 0}, Case{0, 3, 0}, Case{3, 3, 0}, Case{4, 3, 1},
                          Case{3, 4, 3}, Case{0x10, 4, 0}, Case{5, 1, 0}, Case{-2, 3, 1}}) {
        EXPECT_EQ(SubImageIndex(c.state, c.count), c.index) << c.state << " of " << c.count;
    }
}

TEST_F(SkinDrawing, StretchedSubImageFillsTheRectangleWithoutBleeding) {
    Bitmap b(100, 50);
    b.Clear(kWhite);
    DeviceContext dc(b);
    DrawStretched(GetSkin("close"), dc, Rect{0, 0, 100, 50}, 1, false, 255);
    for (int x : {0, 1, 50, 98, 99}) {
        EXPECT_EQ(b.Pixel(x, 25), kGreen) << x;
    }
}

TEST_F(SkinDrawing, NineGridKeepsFivePixelEndsOverAHundred) {
    Bitmap b(120, 20);
    b.Clear(kWhite);
    DeviceContext dc(b);
    DrawStretched(GetSkin("grid"), dc, Rect{10, 0, 110, 20}, 0, false, 255);
    struct Probe {
        int x;
        std::uint32_t pixel;
    };
    const Probe probes[] = {{9, kWhite},   {10, kRed},   {14, kRed},   {15, kGreen}, {60, kGreen},
                            {104, kGreen}, {105, kBlue}, {109, kBlue}, {110, kWhite}};
    for (const Probe& p : probes) {
        EXPECT_EQ(b.Pixel(p.x, 10), p.pixel) << p.x;
    }
}

TEST_F(SkinDrawing, MissingPicturesDrawNothingAndMeasureZero) {
    CBkSkinBase* missing = GetSkin("missing");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->IsLoaded());
    EXPECT_EQ(GetSkinSize(missing), (platform::Size{}));
    EXPECT_EQ(GetSkin("undefined"), nullptr);
    EXPECT_EQ(GetSkinSize(nullptr), (platform::Size{}));
    Bitmap b(20, 20);
    b.Clear(kWhite);
    DeviceContext dc(b);
    DrawStretched(missing, dc, Rect{0, 0, 20, 20}, 0, false, 255);
    DrawNatural(missing, dc, Rect{0, 0, 20, 20}, 0, 255);
    DrawStretched(nullptr, dc, Rect{0, 0, 20, 20}, 0, false, 255);
    EXPECT_EQ(b.Pixel(10, 10), kWhite);
}

TEST_F(SkinDrawing, SizesAndStateDependence) {
    EXPECT_EQ(GetSkinSize(GetSkin("close")), (platform::Size{32, 32}));
    EXPECT_EQ(GetSkinSize(GetSkin("fast_install_btn")), (platform::Size{140, 36}));
    EXPECT_EQ(GetSkinSize(GetSkin("grid")), (platform::Size{20, 10}));
    EXPECT_FALSE(IgnoresState(GetSkin("close")));
    EXPECT_TRUE(IgnoresState(GetSkin("grid")));
}

TEST_F(SkinDrawing, OffsetsAndOpacity) {
    Define("<png name=\"offset\" src=\"102\" subwidth=\"140\" left=\"130\"/>");
    Bitmap b(20, 10);
    b.Clear(kWhite);
    DeviceContext dc(b);
    // Sub-image 1 from x = 140 + 130: its last 10 columns are green.
    DrawStretched(GetSkin("offset"), dc, Rect{0, 0, 20, 10}, 1, false, 255);
    EXPECT_EQ(b.Pixel(0, 5), kGreen);
    EXPECT_EQ(b.Pixel(19, 5), kGreen);
    DrawStretched(GetSkin("close"), dc, Rect{0, 0, 20, 10}, 2, false, 0);
    EXPECT_EQ(b.Pixel(0, 5), kGreen);
    DrawStretched(GetSkin("close"), dc, Rect{0, 0, 20, 10}, 2, false, 128);
    EXPECT_NEAR(static_cast<int>(b.Pixel(5, 5) & 0xFF), 128, 2);
}

TEST_F(SkinDrawing, NaturalSizeDrawing) {
    Define(
        "<png name=\"tile\" src=\"103\" margin_left=\"5\" margin_right=\"5\" middle_tile=\"1\"/>"
        "<png name=\"flipped\" src=\"103\" flip=\"1\"/>"
        "<png name=\"plain\" src=\"103\"/>");
    struct Probe {
        int x;
        int y;
        std::uint32_t pixel;
    };
    struct Case {
        const char* skin;
        int state;
        Rect rect;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        // A sub-image at its own size at the top-left, whatever the rectangle.
        {"close", 2, {4, 4, 10, 10}, {{4, 4, kBlue}, {35, 35, kBlue}, {36, 36, kWhite}}},
        // Ends at their size, the middle (10 green) repeated, the last copy cut.
        {"tile",
         0,
         {0, 0, 37, 30},
         {{4, 5, kRed},
          {5, 5, kGreen},
          {31, 5, kGreen},
          {32, 5, kBlue},
          {36, 9, kBlue},
          {20, 10, kWhite}}},
        // Smaller than the picture: cut, not squeezed.
        {"plain",
         0,
         {0, 0, 12, 4},
         {{4, 2, kRed}, {11, 2, kGreen}, {12, 2, kWhite}, {4, 4, kWhite}}},
        // Wider: the middle stretched, the height the picture's.
        {"plain",
         0,
         {0, 0, 40, 30},
         {{9, 5, kRed}, {10, 5, kGreen}, {30, 5, kBlue}, {20, 12, kWhite}}},
        {"flipped", 0, {0, 0, 20, 10}, {{0, 5, kBlue}, {19, 5, kRed}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skin);
        Bitmap b(60, 40);
        b.Clear(kWhite);
        DeviceContext dc(b);
        DrawNatural(GetSkin(c.skin), dc, c.rect, c.state, 255);
        for (const Probe& p : c.probes) {
            EXPECT_EQ(b.Pixel(p.x, p.y), p.pixel) << p.x << "," << p.y;
        }
    }
}

TEST_F(SkinDrawing, DpiScaledDrawingUsesAScaledCopyPerSubImage) {
    BkDpi::SetFactor(2.0);
    Bitmap b(64, 64);
    b.Clear(kWhite);
    DeviceContext dc(b);
    DrawStretched(GetSkin("grid"), dc, Rect{0, 0, 60, 10}, 0, true, 255);
    // Ends of 10 pixels at twice the size (probed away from the smoothed
    // seams).
    EXPECT_EQ(b.Pixel(4, 5), kRed);
    EXPECT_EQ(b.Pixel(30, 5), kGreen);
    EXPECT_EQ(b.Pixel(56, 5), kBlue);
    DrawStretched(GetSkin("close"), dc, Rect{0, 20, 64, 64}, 2, true, 255);
    EXPECT_EQ(b.Pixel(1, 21), kBlue);
    EXPECT_EQ(b.Pixel(63, 63), kBlue);
}

TEST_F(SkinDrawing, ColourAndBitmapKinds) {
    Define(
        "<button name=\"btn\" bgup=\"FF0000\" bguphover=\"00FF00\" bgdown=\"0000FF\" "
        "border=\"000000\" useborder=\"1\"/>"
        "<gradation name=\"grad\" from=\"000000\" to=\"FFFFFF\" size=\"100\" direction=\"horz\"/>"
        "<imglst name=\"masked\" src=\"105\" mode=\"mask\" maskcolor=\"FF00FF\"/>"
        "<imglst name=\"opaque\" src=\"105\" mode=\"none\"/>"
        "<imgframe name=\"frame\" src=\"107\" left=\"5\" crbg=\"FFFF00\"/>"
        "<imghorzex name=\"horz\" src=\"107\" left=\"5\"/>"
        "<jpg name=\"photo\" src=\"106\"/>"
        "<imglst name=\"badmode\" src=\"105\" mode=\"sparkle\"/>");
    struct Probe {
        int x;
        int y;
        std::uint32_t pixel;
    };
    struct Case {
        const char* skin;
        int state;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"btn", 0, {{0, 0, 0xFF000000}, {20, 10, kRed}}},
        {"btn", kStateHover, {{20, 10, kGreen}}},
        {"btn", kStateChecked, {{20, 10, kBlue}}},
        {"masked", 0, {{10, 10, kRed}, {90, 10, kWhite}}},
        {"opaque", 0, {{90, 10, 0xFFFF00FF}}},
        {"badmode", 0, {{90, 10, 0xFFFF00FF}}},  // "sparkle" is rejected: mode stays none
        {"frame", 0, {{2, 10, kRed}, {50, 10, kYellow}, {97, 10, kBlue}}},
        {"horz", 0, {{2, 10, kRed}, {50, 10, kGreen}, {97, 10, kBlue}}},
        {"photo", 0, {{50, 10, 0xFF00FFFF}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skin);
        Bitmap b(100, 20);
        b.Clear(kWhite);
        DeviceContext dc(b);
        DrawStretched(GetSkin(c.skin), dc, Rect{0, 0, 100, 20}, c.state, false, 255);
        for (const Probe& p : c.probes) {
            const std::uint32_t got = b.Pixel(p.x, p.y);
            for (int shift : {0, 8, 16, 24}) {
                EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF),
                            static_cast<int>((p.pixel >> shift) & 0xFF), 3)
                    << p.x << "," << p.y;
            }
        }
    }
    // The gradient runs black to white over its size.
    Bitmap g(100, 1);
    DeviceContext gdc(g);
    DrawStretched(GetSkin("grad"), gdc, Rect{0, 0, 100, 1}, 0, false, 255);
    EXPECT_LT(g.Pixel(0, 0) & 0xFF, 10u);
    EXPECT_NEAR(static_cast<int>(g.Pixel(50, 0) & 0xFF), 128, 4);
    EXPECT_EQ(GetSkinSize(GetSkin("photo")), (platform::Size{8, 8}));
}

}  // namespace
}  // namespace zeph::ui
