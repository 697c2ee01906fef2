// The device context's shapes, blending, clipping and transforms, probed on
// in-memory bitmaps.
#include "platform/draw.h"

#include <gtest/gtest.h>

namespace zeph::platform {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;

int Channel(std::uint32_t pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

// A 2-part strip: red on the left, blue on the right, each `part` wide.
Bitmap Strip(int part, int height) {
    Bitmap b(part * 2, height);
    DeviceContext dc(b);
    dc.FillRect(Rect{0, 0, part, height}, MakeColorref(255, 0, 0));
    dc.FillRect(Rect{part, 0, 2 * part, height}, MakeColorref(0, 0, 255));
    return b;
}

TEST(Draw, FillsUseColorrefOrderAndStayInsideTheRectangle) {
    Bitmap b(10, 10);
    DeviceContext dc(b);
    dc.FillRect(Rect{2, 2, 5, 5}, MakeColorref(255, 0, 0));
    EXPECT_EQ(b.Pixel(2, 2), kRed);
    EXPECT_EQ(b.Pixel(4, 4), kRed);
    EXPECT_EQ(b.Pixel(5, 5), 0u);
    EXPECT_EQ(b.Pixel(1, 2), 0u);
}

TEST(Draw, AlphaBlendKeepsPerPixelAlphaAndTheConstantOpacity) {
    Bitmap src(2, 1);
    src.Row(0)[0] = 0xFF00FF00;  // opaque green
    src.Row(0)[1] = 0x00000000;  // transparent
    src.MarkDirty();
    struct Case {
        std::uint8_t opacity;
        int x;
        int green;
        int red;
    };
    const Case cases[] = {
        {255, 0, 255, 0}, {128, 0, 255, 127}, {255, 1, 255, 255}, {0, 0, 255, 255}};
    for (const Case& c : cases) {
        Bitmap dst(2, 1);
        dst.Clear(kWhite);
        DeviceContext dc(dst);
        dc.AlphaBlend(src, Rect{0, 0, 2, 1}, Rect{0, 0, 2, 1}, c.opacity);
        SCOPED_TRACE(testing::Message() << "opacity " << int(c.opacity) << " x " << c.x);
        EXPECT_NEAR(Channel(dst.Pixel(c.x, 0), 8), c.green, 1);
        EXPECT_NEAR(Channel(dst.Pixel(c.x, 0), 16), c.red, 1);
    }
}

TEST(Draw, StretchedSubImagesDoNotBleedIntoTheirNeighbours) {
    const Bitmap strip = Strip(4, 4);
    Bitmap dst(40, 40);
    DeviceContext dc(dst);
    // The blue half, stretched ten times; its left edge touches red.
    dc.AlphaBlend(strip, Rect{4, 0, 8, 4}, Rect{0, 0, 40, 40}, 255);
    for (int x : {0, 1, 20, 39}) {
        EXPECT_EQ(dst.Pixel(x, 20), kBlue) << x;
    }
}

TEST(Draw, SourceRectanglesAreCutToTheBitmapKeepingTheScale) {
    const Bitmap strip = Strip(4, 4);
    Bitmap dst(16, 8);
    DeviceContext dc(dst);
    // Asks for 8 columns from x = 4, of which only 4 exist: the drawn part
    // is the left half of the destination.
    dc.AlphaBlend(strip, Rect{4, 0, 12, 4}, Rect{0, 0, 16, 8}, 255, Interpolation::Nearest);
    EXPECT_EQ(dst.Pixel(7, 4), kBlue);
    EXPECT_EQ(dst.Pixel(8, 4), 0u);
    dc.AlphaBlend(strip, Rect{20, 0, 24, 4}, Rect{0, 0, 16, 8}, 255);  // wholly outside
    EXPECT_EQ(dst.Pixel(12, 4), 0u);
}

TEST(Draw, ClipsAndOriginsLimitAndMoveDrawing) {
    Bitmap b(20, 20);
    DeviceContext dc(b);
    dc.Save();
    dc.SetOrigin({10, 10});
    Region region;
    region.Add({0, 0, 2, 2});
    region.Add({5, 5, 7, 7});
    dc.IntersectClip(region);
    EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 7, 7}));
    dc.FillRect(Rect{0, 0, 10, 10}, MakeColorref(0, 255, 0));
    dc.Restore();
    EXPECT_EQ(b.Pixel(10, 10), kGreen);
    EXPECT_EQ(b.Pixel(15, 15), kGreen);
    EXPECT_EQ(b.Pixel(13, 13), 0u);
    EXPECT_EQ(b.Pixel(0, 0), 0u);
    // The state came back with Restore.
    dc.FillRect(Rect{0, 0, 1, 1}, MakeColorref(255, 0, 0));
    EXPECT_EQ(b.Pixel(0, 0), kRed);
}

TEST(Draw, WorldTransformScalesAboutTheOrigin) {
    Bitmap b(20, 20);
    DeviceContext dc(b);
    Transform t;
    t.m11 = 2;
    t.m22 = 2;
    t.dx = 4;
    dc.SetWorldTransform(t);
    dc.FillRect(Rect{0, 0, 2, 2}, MakeColorref(0, 0, 255));
    EXPECT_EQ(b.Pixel(4, 0), kBlue);
    EXPECT_EQ(b.Pixel(7, 3), kBlue);
    EXPECT_EQ(b.Pixel(8, 0), 0u);
    EXPECT_EQ(b.Pixel(3, 0), 0u);
}

TEST(Draw, GradientsRunBetweenTheirColours) {
    Bitmap b(101, 1);
    DeviceContext dc(b);
    dc.FillLinearGradient(Rect{0, 0, 101, 1}, {0, 0}, 0xFF000000, {101, 0}, 0xFFFFFFFF);
    EXPECT_LT(Channel(b.Pixel(0, 0), 0), 5);
    EXPECT_NEAR(Channel(b.Pixel(50, 0), 0), 128, 3);
    EXPECT_GT(Channel(b.Pixel(100, 0), 0), 250);
}

TEST(Draw, RoundedRectanglesLeaveTheirCornersAndLinesAreCrisp) {
    Bitmap b(20, 20);
    DeviceContext dc(b);
    dc.RoundRect(Rect{0, 0, 20, 20}, 6, 6, std::nullopt, 0xFFFF0000);
    EXPECT_EQ(b.Pixel(0, 0), 0u);
    EXPECT_EQ(b.Pixel(10, 10), kRed);
    EXPECT_EQ(b.Pixel(10, 0), kRed);
    Bitmap l(10, 3);
    DeviceContext ldc(l);
    ldc.Line({0, 1}, {10, 1}, Pen{0xFF0000FF, 1});
    EXPECT_EQ(l.Pixel(5, 1), kBlue);
    EXPECT_EQ(l.Pixel(5, 0), 0u);
    EXPECT_EQ(l.Pixel(5, 2), 0u);
}

TEST(Draw, BlitCopiesAlphaWithoutBlending) {
    Bitmap src(2, 2);
    src.Clear(0x40000040);
    Bitmap dst(4, 4);
    dst.Clear(kWhite);
    DeviceContext dc(dst);
    dc.Blit(src, Rect{0, 0, 2, 2}, {1, 1});
    EXPECT_EQ(dst.Pixel(1, 1), 0x40000040u);
    EXPECT_EQ(dst.Pixel(0, 0), kWhite);
}

TEST(Draw, RotatingAndScalingCopies) {
    const Bitmap strip = Strip(2, 1);  // R R B B
    const Bitmap mirrored = strip.RotatedFlipped(4);
    EXPECT_EQ(mirrored.Pixel(0, 0), kBlue);
    EXPECT_EQ(mirrored.Pixel(3, 0), kRed);
    const Bitmap turned = strip.RotatedFlipped(1);
    EXPECT_EQ(turned.Width(), 1);
    EXPECT_EQ(turned.Height(), 4);
    const Bitmap scaled = strip.ScaledStrips(1.5, 2);
    EXPECT_EQ(scaled.Width(), 6);
    EXPECT_EQ(scaled.Pixel(2, 0), kRed);
    EXPECT_EQ(scaled.Pixel(3, 0), kBlue);
}

TEST(Draw, EmptyBitmapsIgnoreDrawing) {
    Bitmap empty(0, 5);
    EXPECT_TRUE(empty.IsEmpty());
    DeviceContext dc(empty);
    dc.FillRect(Rect{0, 0, 5, 5}, MakeColorref(1, 2, 3));
    Rect r{0, 0, 50, 20};
    dc.DrawText(u"abc", r, dt::kSingleLine);
    EXPECT_EQ(empty.Pixel(0, 0), 0u);
}

}  // namespace
}  // namespace zeph::platform
