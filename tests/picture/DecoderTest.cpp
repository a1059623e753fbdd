#include <gtest/gtest.h>

#include <random>

#include "picture/Image.h"
#include "picture/PixelFormat.h"
#include "support/PictureFiles.h"

using namespace fx;

namespace {

void ExpectSame32(const Bitmap& b, const Picture& p, bool compareAlpha) {
    ASSERT_EQ(b.Bits(), 32u);
    ASSERT_EQ(b.Width(), p.w);
    ASSERT_EQ(b.Height(), p.h);
    const uint32_t mask = compareAlpha ? 0xFFFFFFFFu : 0xFFFFFFu;
    for (uint32_t y = 0; y < p.h; ++y)
        for (uint32_t x = 0; x < p.w; ++x)
            ASSERT_EQ(b.Pixel32(x, y) & mask, p.at(x, y) & mask) << "at " << x << "," << y;
}

bool Decode(const Bytes& bytes, Bitmap& out) {
    return out.LoadFromMemory(bytes.data(), bytes.size());
}

} // namespace

TEST(Decoders, TgaTrueColourPlainRunLengthAndOrientation) {
    const Picture p = Pattern(5, 3, true);
    Bitmap b;
    ASSERT_TRUE(Decode(Tga(p, 32), b));
    ExpectSame32(b, p, true); // 32-bit files keep their alpha
    ASSERT_TRUE(Decode(Tga(p, 32, true), b));
    ExpectSame32(b, p, true);
    ASSERT_TRUE(Decode(Tga(p, 32, false, true), b));
    ExpectSame32(b, p, true);
    ASSERT_TRUE(Decode(Tga(p, 24), b));
    ExpectSame32(b, p, false);
    EXPECT_EQ(b.Pixel32(0, 0) >> 24, 0xFFu);

    // An id field of ten bytes makes the file start like a PCX: still read as TGA.
    const Bytes tenId = Tga(p, 32, false, false, 10);
    ASSERT_EQ(tenId[0], 0x0A);
    ASSERT_TRUE(Decode(tenId, b));
    ExpectSame32(b, p, true);

    // A long run crossing rows.
    Picture flat{4, 4, std::vector<uint32_t>(16, 0x80112233)};
    ASSERT_TRUE(Decode(Tga(flat, 32, true), b));
    ExpectSame32(b, flat, true);

    // A plain file cut short inside its second stored row, half a pixel past the seventh: what
    // arrived is in place (bottom row first), the rest stays zero.
    Bytes cut = Tga(p, 32);
    cut.resize(18 + 7 * 4 + 2);
    ASSERT_TRUE(Decode(cut, b));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x) {
            const bool arrived = y == 2 || (y == 1 && x < 2);
            EXPECT_EQ(b.Pixel32(x, y), arrived ? p.at(x, y) : 0u) << "at " << x << "," << y;
        }
}

TEST(Decoders, TgaSixteenBitBecomesTheDisplayLayout) {
    PixelFormat::BuildConversionTables(false);
    Picture p{2, 1, {0xFFF80000, 0xFF0000F8}}; // pure red, pure blue (5-bit maxima)
    Bitmap b;
    ASSERT_TRUE(Decode(Tga(p, 16), b));
    ASSERT_EQ(b.Bits(), 16u);
    uint16_t px[2];
    std::memcpy(px, b.Pixels(), 4);
    EXPECT_EQ(px[0], 0xF800);
    EXPECT_EQ(px[1], 0x001F);
}

TEST(Decoders, TgaColourMappedAndUnsupportedTypes) {
    const std::vector<uint32_t> pal{0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    const std::vector<uint8_t> idx{0, 1, 2, 3, 3, 2};
    Bitmap b;
    ASSERT_TRUE(Decode(TgaMapped(3, 2, pal, idx), b));
    ASSERT_EQ(b.Bits(), 8u);
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(b.Pixels()[i], idx[i]);
    EXPECT_EQ(b.Palette()[1] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(b.Palette()[3] & 0xFFFFFF, 0x0000FFu);

    Bytes grey = Tga(Pattern(2, 2, false), 24);
    grey[2] = 3; // black-and-white type: not read
    EXPECT_FALSE(Decode(grey, b));
    EXPECT_TRUE(b.Empty());
}

TEST(Decoders, BmpTwentyFourAndEightBits) {
    const Picture p = Pattern(3, 2, false); // 9 bytes a row: padded to 12
    Bitmap b;
    ASSERT_TRUE(Decode(Bmp24(p), b));
    ExpectSame32(b, p, false);
    EXPECT_EQ(b.Pixel32(2, 1) >> 24, 0u); // BMP pixels carry alpha 0

    const std::vector<uint32_t> pal{0x102030, 0x405060, 0x708090};
    const std::vector<uint8_t> idx{2, 1, 0, 0, 1, 2};
    ASSERT_TRUE(Decode(Bmp8(3, 2, pal, idx), b));
    ASSERT_EQ(b.Bits(), 8u);
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(b.Pixels()[i], idx[i]);
    EXPECT_EQ(b.Palette()[2], 0x708090u);
    EXPECT_EQ(b.Palette()[5], 0u);
}

TEST(Decoders, PcxEightBitAndThreePlanes) {
    std::vector<uint32_t> pal{0x000000, 0xFF8040, 0x123456};
    std::vector<uint8_t> idx{1, 1, 1, 2, 0, 0xC5, 0xC5, 0xC5, 1, 2}; // odd width, index >= 0xC0
    pal.resize(256, 0);
    pal[0xC5] = 0xABCDEF;
    Bitmap b;
    ASSERT_TRUE(Decode(Pcx8(5, 2, pal, idx), b));
    ASSERT_EQ(b.Bits(), 8u);
    for (uint32_t i = 0; i < 10; ++i)
        EXPECT_EQ(b.Pixels()[i], idx[i]) << i;
    EXPECT_EQ(b.Palette()[1], 0xFFFF8040u);
    EXPECT_EQ(b.Palette()[0xC5], 0xFFABCDEFu);

    const Picture p = Pattern(3, 3, false);
    ASSERT_TRUE(Decode(Pcx24(p), b));
    ExpectSame32(b, p, true);
}

TEST(Decoders, JpegThroughTheFileDispatchWithGreyAlpha) {
    // Flat colours survive JPEG well enough to compare within a small tolerance.
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool left = x < 8;
            rgb.push_back(left ? 255 : 0);
            rgb.push_back(left ? 255 : 0);
            rgb.push_back(left ? 255 : 200);
        }
    Bytes jpg;
    ASSERT_TRUE(Image::EncodeJpeg(jpg, rgb.data(), 16, 16, 48, Image::PixelOrder::RGB, 95));
    ASSERT_GE(jpg.size(), 10u);
    EXPECT_EQ(std::memcmp(jpg.data() + 6, "JFIF", 4), 0);
    Bitmap b;
    ASSERT_TRUE(Decode(jpg, b));
    ASSERT_EQ(b.Bits(), 32u);
    const uint32_t white = b.Pixel32(2, 2), blue = b.Pixel32(13, 13);
    EXPECT_GE(white >> 24, 250u); // white: opaque
    EXPECT_NEAR(static_cast<int>(blue & 0xFF), 200, 6);
    EXPECT_LE((blue >> 8) & 0xFF, 6u);
    EXPECT_NEAR(static_cast<int>(blue >> 24), 200 / 3, 4); // alpha = grey level

    // Without the JFIF marker the bytes are not taken for JPEG.
    Bytes noMarker = jpg;
    std::memcpy(noMarker.data() + 6, "Exif", 4);
    EXPECT_FALSE(Decode(noMarker, b));
}

TEST(Decoders, GifFramesComposeWithDisposalRules) {
    // 4x2 screen, background index 0 (black). Palette: 0 black, 1 red, 2 green, 3 blue.
    const std::vector<uint32_t> pal{0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<GifFrame> frames;
    frames.push_back({0, 0, 4, 2, {1, 1, 1, 1, 1, 1, 1, 1}, 1, -1}); // all red, keep
    frames.push_back({1, 0, 2, 1, {2, 3}, 2, 3});                    // green + transparent, then background
    frames.push_back({3, 1, 1, 1, {2}, 3, -1});                      // green, then restore previous
    frames.push_back({0, 0, 1, 1, {3}, 0, -1});                      // blue
    const Bytes gif = Gif(4, 2, pal, 0, frames);
    std::vector<Bitmap> out;
    ASSERT_TRUE(Image::DecodeGif(gif.data(), gif.size(), out));
    ASSERT_EQ(out.size(), 4u);
    auto px = [&](int f, uint32_t x, uint32_t y) { return out[f].Pixel32(x, y); };
    EXPECT_EQ(px(0, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(px(1, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(px(1, 2, 0), 0xFFFF0000u); // transparent index shows what was there
    // Frame 1 disposed to background: its rectangle turns black for frame 2.
    EXPECT_EQ(px(2, 1, 0), 0xFF000000u);
    EXPECT_EQ(px(2, 2, 0), 0xFF000000u);
    EXPECT_EQ(px(2, 3, 1), 0xFF00FF00u);
    // Frame 2 restored to previous: its green pixel is gone in frame 3.
    EXPECT_EQ(px(3, 3, 1), 0xFFFF0000u);
    EXPECT_EQ(px(3, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(px(3, 1, 0), 0xFF000000u);
}

TEST(Decoders, GifInterlacedRowsLandInPlace) {
    std::vector<uint32_t> pal;
    for (uint32_t i = 0; i < 16; ++i)
        pal.push_back(i * 0x010101u); // giflib wants a power of two
    GifFrame f{0, 0, 1, 10, {}, 0, -1, true};
    for (uint8_t y = 0; y < 10; ++y)
        f.idx.push_back(y);
    const Bytes gif = Gif(1, 10, pal, 0, {f});
    std::vector<Bitmap> out;
    ASSERT_TRUE(Image::DecodeGif(gif.data(), gif.size(), out));
    for (uint32_t y = 0; y < 10; ++y)
        EXPECT_EQ(out[0].Pixel32(0, y), 0xFF000000u | (y * 0x010101u)) << y;
}

// Hostile and damaged files: every prefix of every fixture, plus corrupted copies, must decode
// within the bytes given (AddressSanitizer checks the reads) and never crash.
TEST(Decoders, TruncatedAndCorruptFilesStayInBounds) {
    const Picture p = Pattern(7, 5, true);
    std::vector<uint32_t> pal(256);
    for (uint32_t i = 0; i < 256; ++i)
        pal[i] = i * 0x010203;
    std::vector<uint8_t> idx(35);
    for (uint32_t i = 0; i < 35; ++i)
        idx[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> rgb(7 * 5 * 3, 90);
    Bytes jpg;
    ASSERT_TRUE(Image::EncodeJpeg(jpg, rgb.data(), 7, 5, 21, Image::PixelOrder::RGB, 80));
    const Bytes gif = Gif(7, 5, {0, 0xFFFFFF}, 0, {{0, 0, 7, 5, std::vector<uint8_t>(35, 1)}});
    const std::vector<Bytes> files{Tga(p, 32),
                                   Tga(p, 32, true),
                                   TgaMapped(7, 5, pal, idx),
                                   Bmp24(p),
                                   Bmp8(7, 5, pal, idx),
                                   Pcx8(7, 5, pal, idx),
                                   Pcx24(p),
                                   jpg};
    std::mt19937 rng(1234);
    for (const Bytes& f : files) {
        for (size_t n = 0; n <= f.size(); ++n) {
            // A copy of exactly n bytes, so that reading past it is caught.
            std::vector<uint8_t> cut(f.begin(), f.begin() + static_cast<long>(n));
            Bitmap b;
            (void)b.LoadFromMemory(cut.data(), cut.size());
        }
        for (int round = 0; round < 200; ++round) {
            Bytes bad = f;
            for (int k = 0; k < 4; ++k)
                bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
            Bitmap b;
            (void)b.LoadFromMemory(bad.data(), bad.size());
        }
    }
    for (size_t n = 0; n <= gif.size(); ++n) {
        std::vector<uint8_t> cut(gif.begin(), gif.begin() + static_cast<long>(n));
        std::vector<Bitmap> frames;
        (void)Image::DecodeGif(cut.data(), cut.size(), frames);
    }
    for (int round = 0; round < 300; ++round) {
        Bytes bad = gif;
        for (int k = 0; k < 3; ++k)
            bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
        std::vector<Bitmap> frames;
        (void)Image::DecodeGif(bad.data(), bad.size(), frames);
    }
}

TEST(Decoders, SizesThatWouldOverflowAreRefused) {
    Bitmap b;
    // TGA claiming 65535 x 65535 x 32 bits with a handful of bytes behind the header.
    Bytes tga = Tga(Pattern(1, 1, true), 32);
    tga[12] = tga[13] = tga[14] = tga[15] = 0xFF;
    EXPECT_FALSE(Decode(tga, b));
    // BMP with a width that makes the row stride overflow 32 bits, and a negative width.
    Bytes bmp = Bmp24(Pattern(2, 2, false));
    const uint32_t huge = 0x7FFFFFFF;
    std::memcpy(bmp.data() + 18, &huge, 4);
    EXPECT_FALSE(Decode(bmp, b));
    const int32_t negative = -5;
    std::memcpy(bmp.data() + 18, &negative, 4);
    EXPECT_FALSE(Decode(bmp, b));
    // PCX with xmax < xmin, and one of 65536 x 65536.
    Bytes pcx = Pcx24(Pattern(2, 2, false));
    pcx[4] = 5;
    EXPECT_FALSE(Decode(pcx, b));
    pcx[4] = 0;
    pcx[8] = pcx[9] = pcx[10] = pcx[11] = 0xFF;
    EXPECT_FALSE(Decode(pcx, b));
    // GIF with a 65535 x 65535 logical screen.
    Bytes gif = Gif(2, 2, {0, 0xFFFFFF}, 0, {{0, 0, 2, 2, {1, 0, 0, 1}}});
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;
    std::vector<Bitmap> frames;
    EXPECT_FALSE(Image::DecodeGif(gif.data(), gif.size(), frames));
    // And the bitmap itself refuses what cannot be allocated sensibly.
    EXPECT_FALSE(b.Create(Bitmap::kMaxSide + 1, 1, 32));
    EXPECT_FALSE(b.Create(16384, 16384, 32));
    EXPECT_FALSE(b.Create(4, 4, 24));
    EXPECT_TRUE(b.Empty());
}

TEST(Decoders, GifFramesReachingPastTheScreenAreClipped) {
    const std::vector<uint32_t> pal{0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // A 3x3 frame at (3, 1) on a 4x2 screen: only its top-left pixel is on the screen.
    const Bytes gif = Gif(4, 2, pal, 0, {{3, 1, 3, 3, {2, 3, 3, 3, 3, 3, 3, 3, 3}}});
    std::vector<Bitmap> out;
    ASSERT_TRUE(Image::DecodeGif(gif.data(), gif.size(), out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Width(), 4u);
    EXPECT_EQ(out[0].Pixel32(3, 1), 0xFF00FF00u);
    EXPECT_EQ(out[0].Pixel32(2, 1), 0xFF000000u);
}
