// Text through pango with the DrawText flags: measuring, alignment, clipping,
// ellipsis, wrapping, shadows and the anti-aliased path.
#include <gtest/gtest.h>

#include "platform/draw.h"
#include "platform/font.h"

namespace zeph::platform {
namespace {

// The bounding box of pixels that differ from the background (empty when
// nothing was drawn).
Rect Ink(const Bitmap& b, std::uint32_t background = 0) {
    Rect box;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            if (b.Pixel(x, y) != background) {
                box = box.Union(Rect{x, y, x + 1, y + 1});
            }
        }
    }
    return box;
}

std::shared_ptr<const Font> MakeFont(int height, int weight = 400) {
    FontDesc d;
    d.face = u"Microsoft YaHei";
    d.height = height;
    d.weight = weight;
    return Font::Create(d);
}

TEST(Text, LogfontHeightsResolveToPixelSizes) {
    struct Case {
        int height;
        double em;
    };
    for (const Case& c : {Case{-12, 12}, Case{-13, 13}, Case{-28, 28}}) {
        auto f = MakeFont(c.height);
        ASSERT_TRUE(f);
        EXPECT_DOUBLE_EQ(f->PixelSize(), c.em);
    }
    // A positive height is the cell: ascent plus descent.
    auto cell = MakeFont(16);
    ASSERT_TRUE(cell);
    EXPECT_NEAR(cell->GetMetrics().height, 16, 1);
    EXPECT_LT(cell->PixelSize(), 16);
    EXPECT_FALSE(MakeFont(100000));
}

TEST(Text, CalcRectMeasuresWithoutDrawing) {
    Bitmap b(300, 100);
    DeviceContext dc(b);
    dc.SetFont(MakeFont(-12));
    Rect r{10, 10, 300, 100};
    const int h = dc.DrawText(u"中文 and 123", r, dt::kSingleLine | dt::kCalcRect);
    EXPECT_EQ(Ink(b), Rect{});
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_GT(r.Width(), 40);
    EXPECT_LT(r.Width(), 120);
    EXPECT_EQ(r.Height(), h);
    EXPECT_GE(h, 12);
    EXPECT_LE(h, 20);
    // A larger font measures wider.
    dc.SetFont(MakeFont(-24));
    Rect big{10, 10, 300, 100};
    dc.DrawText(u"中文 and 123", big, dt::kSingleLine | dt::kCalcRect);
    EXPECT_GT(big.Width(), r.Width() * 3 / 2);
}

TEST(Text, AlignmentFlagsPlaceTheInk) {
    struct Case {
        std::uint32_t flags;
        bool right;   // ink near the right edge
        bool center;  // ink about the middle
        bool bottom;  // ink near the bottom
        bool vcenter;
    };
    const Case cases[] = {
        {dt::kSingleLine, false, false, false, false},
        {dt::kSingleLine | dt::kRight, true, false, false, false},
        {dt::kSingleLine | dt::kCenter | dt::kVCenter, false, true, false, true},
        {dt::kSingleLine | dt::kBottom, false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        Bitmap b(200, 60);
        DeviceContext dc(b);
        dc.SetFont(MakeFont(-12));
        dc.SetTextColor(MakeColorref(0, 0, 0));
        Rect r{0, 0, 200, 60};
        dc.DrawText(u"Text", r, c.flags);
        const Rect ink = Ink(b);
        ASSERT_FALSE(ink.IsEmpty());
        EXPECT_EQ(ink.right > 180, c.right);
        EXPECT_EQ(std::abs((ink.left + ink.right) / 2 - 100) < 6, c.center);
        EXPECT_EQ(ink.bottom > 50, c.bottom);
        EXPECT_EQ(std::abs((ink.top + ink.bottom) / 2 - 30) < 6, c.vcenter);
    }
}

TEST(Text, TextIsClippedToItsRectangleUnlessNoClip) {
    for (bool noClip : {false, true}) {
        Bitmap b(200, 40);
        DeviceContext dc(b);
        dc.SetFont(MakeFont(-12));
        Rect r{0, 0, 30, 20};
        dc.DrawText(u"a long line of text", r, dt::kSingleLine | (noClip ? dt::kNoClip : 0));
        EXPECT_EQ(Ink(b).right > 30, noClip);
    }
}

TEST(Text, EndEllipsisStaysInsideAndWordBreakWraps) {
    Bitmap b(400, 200);
    DeviceContext dc(b);
    dc.SetFont(MakeFont(-12));
    const std::u16string text = u"words that do not fit on one short line at all";
    Rect full{0, 0, 400, 200};
    dc.DrawText(text, full, dt::kSingleLine | dt::kCalcRect);
    Rect cut{0, 0, 100, 20};
    dc.DrawText(text, cut, dt::kSingleLine | dt::kEndEllipsis | dt::kNoClip);
    EXPECT_LE(Ink(b).right, 100);
    EXPECT_GT(full.Width(), 100);

    Rect wrapped{0, 0, 100, 200};
    const int h = dc.DrawText(text, wrapped, dt::kWordBreak | dt::kCalcRect);
    EXPECT_LE(wrapped.Width(), 100);
    EXPECT_GE(h, 3 * full.Height());
}

TEST(Text, PrefixMarksAreRemovedUnlessNoPrefix) {
    Bitmap b(10, 10);
    DeviceContext dc(b);
    dc.SetFont(MakeFont(-12));
    Rect plain{0, 0, 400, 50};
    dc.DrawText(u"AB", plain, dt::kSingleLine | dt::kCalcRect);
    Rect marked{0, 0, 400, 50};
    dc.DrawText(u"&A&B", marked, dt::kSingleLine | dt::kCalcRect);
    EXPECT_EQ(marked.Width(), plain.Width());
    Rect raw{0, 0, 400, 50};
    dc.DrawText(u"&A&B", raw, dt::kSingleLine | dt::kCalcRect | dt::kNoPrefix);
    EXPECT_GT(raw.Width(), plain.Width());
}

TEST(Text, ShadowTextDrawsTheShadowOffsetUnderTheText) {
    Bitmap b(100, 40);
    DeviceContext dc(b);
    dc.SetFont(MakeFont(-16, 700));
    dc.SetTextColor(MakeColorref(255, 255, 255));
    Rect r{0, 0, 100, 40};
    dc.DrawShadowText(u"I", r, dt::kSingleLine, MakeColorref(255, 0, 0), 2, 2);
    const Rect ink = Ink(b);
    // Red shows right of and below the white text.
    bool red = false;
    for (int y = ink.top; y < ink.bottom; ++y) {
        for (int x = ink.left; x < ink.right; ++x) {
            const std::uint32_t p = b.Pixel(x, y);
            if (((p >> 16) & 0xFF) > 200 && (p & 0xFF) < 50) {
                red = true;
            }
        }
    }
    EXPECT_TRUE(red);
}

TEST(Text, StringPathHonoursColourAlphaAndLineLimit) {
    Bitmap b(200, 40);
    b.Clear(0xFFFFFFFF);
    DeviceContext dc(b);
    auto font = MakeFont(-14);
    StringFormat f;
    f.align = StringFormat::Align::Center;
    dc.DrawString(u"Half", *font, 0, 0, 200, 40, f, 0x80000000);
    const Rect ink = Ink(b, 0xFFFFFFFF);
    ASSERT_FALSE(ink.IsEmpty());
    // Half-opaque black over white is never darker than mid grey.
    for (int y = ink.top; y < ink.bottom; ++y) {
        for (int x = ink.left; x < ink.right; ++x) {
            EXPECT_GE(b.Pixel(x, y) & 0xFF, 120u);
        }
    }
    // A box lower than one line shows nothing with a line limit.
    Bitmap c(200, 40);
    DeviceContext cdc(c);
    f.lineLimit = true;
    cdc.DrawString(u"Half", *font, 0, 0, 200, 5, f, 0xFF000000);
    EXPECT_EQ(Ink(c), Rect{});
    const SizeF size = cdc.MeasureString(u"one two three four", *font, 60, 200, StringFormat{});
    EXPECT_LE(size.width, 60);
    EXPECT_GT(size.height, 20);
}

}  // namespace
}  // namespace zeph::platform
