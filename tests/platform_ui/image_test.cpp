// Image decoding into premultiplied bitmaps, for each format the skins use.
#include "platform/image.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace zeph::platform {
namespace {

int Channel(std::uint32_t pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

TEST(Image, EachFormatDecodesWithItsColoursAndAlpha) {
    struct Case {
        const char* file;
        int width;
        int height;
        // Probe of the right half: premultiplied alpha and blue.
        int alpha;
        int blue;
        int tolerance;
    };
    const Case cases[] = {
        {"alpha.png", 4, 2, 128, 128, 1},
        {"alpha.ico", 16, 16, 128, 128, 1},
        {"pair.bmp", 4, 2, 255, 255, 0},
        {"pair.jpg", 16, 8, 255, 254, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto bitmap = DecodeImageFile(test::DataDir() / "platform_ui" / c.file);
        ASSERT_TRUE(bitmap.has_value());
        EXPECT_EQ(bitmap->Width(), c.width);
        EXPECT_EQ(bitmap->Height(), c.height);
        const std::uint32_t left = bitmap->Pixel(0, 0);
        EXPECT_EQ(Channel(left, 24), 255);
        EXPECT_NEAR(Channel(left, 16), 255, c.tolerance + 1);
        const std::uint32_t right = bitmap->Pixel(c.width - 1, c.height - 1);
        EXPECT_NEAR(Channel(right, 24), c.alpha, c.tolerance);
        EXPECT_NEAR(Channel(right, 0), c.blue, c.tolerance + 1);
        EXPECT_LE(Channel(right, 0), Channel(right, 24));  // premultiplied
    }
}

TEST(Image, UndecodableBytesGiveNothing) {
    const std::string junk = "not an image at all";
    EXPECT_FALSE(DecodeImage({reinterpret_cast<const std::uint8_t*>(junk.data()), junk.size()}));
    EXPECT_FALSE(DecodeImage({}));
    // A PNG cut short before its pixels.
    const std::string png = test::ReadFile(test::DataDir() / "platform_ui" / "alpha.png");
    EXPECT_FALSE(DecodeImage({reinterpret_cast<const std::uint8_t*>(png.data()), 40}));
    EXPECT_FALSE(DecodeImageFile("/nonexistent/file.png"));
}

TEST(Image, PngRoundTripKeepsPremultipliedPixels) {
    test::TempDir dir;
    Bitmap b(3, 1);
    b.Row(0)[0] = 0xFFFF0000;
    b.Row(0)[1] = 0x80400000;  // half-transparent, half-bright red
    b.Row(0)[2] = 0x00000000;
    b.MarkDirty();
    const auto path = dir.Path() / "round.png";
    ASSERT_TRUE(b.WritePng(path));
    auto back = DecodeImageFile(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_NEAR(Channel(back->Pixel(1, 0), 16), 0x40, 1);
    EXPECT_EQ(Channel(back->Pixel(1, 0), 24), 0x80);
    EXPECT_EQ(back->Pixel(2, 0), 0u);
}

}  // namespace
}  // namespace zeph::platform
