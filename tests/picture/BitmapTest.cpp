#include <gtest/gtest.h>

#include "picture/PixelFormat.h"
#include "support/PictureFiles.h"

using namespace fx;

namespace {

uint16_t Px16(const Bitmap& b, uint32_t x, uint32_t y) {
    uint16_t v;
    std::memcpy(&v, b.Row(y) + x * 2, 2);
    return v;
}

class BitmapTest : public ::testing::Test {
  protected:
    void SetUp() override { PixelFormat::BuildConversionTables(false); }
};

} // namespace

TEST_F(BitmapTest, ConversionTablesFor565And555) {
    EXPECT_EQ(PixelFormat::To16(0xFFFFFFFF), 0xFFFF);
    EXPECT_EQ(PixelFormat::To16(0x00000700), 1 << 5); // the low two bits of green are dropped
    EXPECT_EQ(PixelFormat::To16(0x00123456), (0x12 / 8) << 11 | (0x34 / 4) << 5 | 0x56 / 8);
    // Back to 32 bits: fields land at the top of their bytes, low bits and alpha 0.
    EXPECT_EQ(PixelFormat::To32(0xFFFF), 0x00F8FCF8u);
    EXPECT_EQ(PixelFormat::To32(0xF800), 0x00F80000u);
    EXPECT_EQ(PixelFormat::To32(0x07E0), 0x0000FC00u);
    for (uint32_t v = 0; v < 65536; v += 97)
        EXPECT_EQ(PixelFormat::To16(PixelFormat::To32(static_cast<uint16_t>(v))), v);

    PixelFormat::BuildConversionTables(true);
    EXPECT_EQ(PixelFormat::To16(0x00FFFFFF), 0x7FFF);
    EXPECT_EQ(PixelFormat::To32(0x7FFF), 0x00F8F8F8u);
    EXPECT_EQ(PixelFormat::To32(0x03E0), 0x0000F800u);
    PixelFormat::BuildConversionTables(false);
}

TEST_F(BitmapTest, CreateAssignClearAndKey) {
    Bitmap a;
    EXPECT_TRUE(a.Empty());
    EXPECT_EQ(a.KeyColor(), 0xFF00FFu);
    ASSERT_TRUE(a.Create(3, 2, 8));
    EXPECT_EQ(a.ByteSize(), 6u);
    ASSERT_NE(a.Palette(), nullptr);
    a.Palette()[4] = 0x11223344;
    a.Pixels()[5] = 4;
    a.SetKeyColor(0x123456);
    Bitmap b;
    b.Assign(a);
    a.Pixels()[5] = 0; // deep copy
    EXPECT_EQ(b.Pixels()[5], 4);
    EXPECT_EQ(b.Palette()[4], 0x11223344u);
    EXPECT_EQ(b.KeyColor(), 0x123456u);
    ASSERT_TRUE(b.Create(2, 2, 32));
    EXPECT_EQ(b.KeyColor(), 0xFF00FFu); // re-creating resets the key
    EXPECT_EQ(b.Palette(), nullptr);
    b.SetPixel32(1, 1, 0xDEADBEEF);
    Bitmap moved(std::move(b));
    EXPECT_EQ(moved.Pixel32(1, 1), 0xDEADBEEFu);
    EXPECT_TRUE(b.Empty()); // NOLINT: a moved-from bitmap is empty, not half-alive
    EXPECT_EQ(b.Width(), 0u);
    moved.Clear();
    EXPECT_EQ(moved.Pixel32(1, 1), 0u);
}

TEST_F(BitmapTest, CopyFromConvertsDepthsAndAveragesAreas) {
    Bitmap pal;
    ASSERT_TRUE(pal.Create(2, 1, 8));
    pal.Palette()[1] = 0xFF102030;
    pal.Pixels()[0] = 1;
    Bitmap out;
    ASSERT_TRUE(out.Create(2, 1, 32));
    out.CopyFrom(pal);
    EXPECT_EQ(out.Pixel32(0, 0), 0x00102030u); // palette entries read with alpha 0

    Bitmap s16;
    ASSERT_TRUE(s16.Create(1, 1, 16));
    const uint16_t v = 0xF81F; // red and blue full, green 0
    std::memcpy(s16.Pixels(), &v, 2);
    ASSERT_TRUE(out.Create(1, 1, 32));
    out.CopyFrom(s16);
    EXPECT_EQ(out.Pixel32(0, 0) & 0xFFFFFF, 0xF800F8u);

    // 4x2 -> 2x1: each target averages a 2x2 block, alpha included.
    Bitmap big;
    ASSERT_TRUE(big.Create(4, 2, 32));
    for (uint32_t i = 0; i < 8; ++i) // alpha 0x10, 0x30, 0x50, 0x70 on the left, blue on the right
        big.SetPixel32(i % 4, i / 4, (0x10u + 0x20u * (i % 2 + 2 * (i / 4))) << (i % 4 < 2 ? 24 : 0));
    ASSERT_TRUE(out.Create(2, 1, 32));
    out.CopyFrom(big);
    EXPECT_EQ(out.Pixel32(0, 0), 0x40000000u);
    EXPECT_EQ(out.Pixel32(1, 0), 0x00000040u);

    // Sizes whose ratio is not exact never address a target column past the end.
    Bitmap odd;
    ASSERT_TRUE(odd.Create(7, 3, 32));
    for (uint32_t i = 0; i < 21; ++i)
        odd.SetPixel32(i % 7, i / 7, 0xFF808080);
    ASSERT_TRUE(out.Create(3, 7, 16));
    out.CopyFrom(odd);
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(Px16(out, x, y), PixelFormat::To16(0x808080));
}

TEST_F(BitmapTest, AlphaFromCompanionAndConvertWithThreshold) {
    Bitmap colour;
    ASSERT_TRUE(colour.Create(2, 1, 32));
    colour.SetPixel32(0, 0, 0x00FFFFFF);
    colour.SetPixel32(1, 0, 0x00123456);
    Bitmap grey;
    ASSERT_TRUE(grey.Create(2, 1, 8));
    grey.Palette()[1] = 0x00306090; // (0x30 + 0x60 + 0x90) / 3 = 0x60
    grey.Pixels()[1] = 1;
    colour.SetAlphaFrom(grey);
    EXPECT_EQ(colour.Pixel32(0, 0) >> 24, 0u);
    EXPECT_EQ(colour.Pixel32(1, 0) >> 24, 0x60u);
    colour.SetAlpha(7);
    EXPECT_EQ(colour.Pixel32(1, 0), 0x07123456u);

    Bitmap src;
    ASSERT_TRUE(src.Create(3, 1, 32));
    src.SetPixel32(0, 0, 0x7F112233);
    src.SetPixel32(1, 0, 0x80112233);
    src.SetPixel32(2, 0, 0x00FFFFFF);
    Bitmap layer32;
    ASSERT_TRUE(layer32.Create(3, 1, 32));
    layer32.ConvertFrom(src, 128);
    EXPECT_EQ(layer32.Pixel32(0, 0), 0x00FF00FFu); // below the threshold: the key colour
    EXPECT_EQ(layer32.Pixel32(1, 0), 0xFF112233u);
    Bitmap layer16;
    ASSERT_TRUE(layer16.Create(3, 1, 16));
    layer16.ConvertFrom(src, 128);
    EXPECT_EQ(layer16.KeyColor(), 0xF81Fu); // the key itself is stored converted
    EXPECT_EQ(Px16(layer16, 0, 0), 0xF81F);
    EXPECT_EQ(Px16(layer16, 1, 0), PixelFormat::To16(0x112233));
    EXPECT_EQ(Px16(layer16, 2, 0), 0xF81F);
}
