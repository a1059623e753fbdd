#include <gtest/gtest.h>

#include <random>

#include "picture/Image.h"
#include "picture/PixelFormat.h"
#include "support/PictureFiles.h"

using namespace fx;

namespace {

void ExpectSame32(const Bitmap& b, const Picture& p) {
    ASSERT_EQ(b.Bits(), 32u);
    ASSERT_EQ(b.Width(), p.w);
    ASSERT_EQ(b.Height(), p.h);
    for (uint32_t y = 0; y < p.h; ++y)
        for (uint32_t x = 0; x < p.w; ++x)
            ASSERT_EQ(b.Pixel32(x, y), p.at(x, y)) << "at " << x << "," << y;
}

// An 8-bit picture's indices and palette entries.
void ExpectIndexed(const Bitmap& b, const std::vector<uint8_t>& idx,
                   std::vector<std::pair<int, uint32_t>> pal) {
    ASSERT_EQ(b.Bits(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(b.Pixels(), b.Pixels() + idx.size()), idx);
    for (auto [i, c] : pal)
        EXPECT_EQ(b.Palette()[i], c) << i;
}

bool Decode(const Bytes& bytes, Bitmap& out) {
    return out.LoadFromMemory(bytes.data(), bytes.size());
}

Picture Blank(uint32_t w, uint32_t h) {
    return Picture{w, h, {}};
}

} // namespace

TEST(Decoders, TrueColourFilesInEveryLayout) {
    const Picture p = Pattern(5, 3, true), opaque = Pattern(3, 2, false); // 9 bytes a BMP row: padded
    const Picture flat{4, 4, std::vector<uint32_t>(16, 0x80112233)};      // a long run crossing rows
    Picture clear = opaque; // BMP pixels carry alpha 0, 24-bit TGA ones 255
    for (uint32_t& c : clear.px)
        c &= 0xFFFFFF;
    // An id field of ten bytes makes a TGA start like a PCX: still read as TGA.
    const Bytes tenId = Tga(p, 32, false, false, 10);
    ASSERT_EQ(tenId[0], 0x0A);
    const struct {
        const char* name;
        Bytes file;
        Picture want;
    } cases[] = {{"tga32", Tga(p, 32), p},
                 {"tga32 rle", Tga(p, 32, true), p},
                 {"tga32 top-down", Tga(p, 32, false, true), p},
                 {"tga24", Tga(p, 24), Pattern(5, 3, false)},
                 {"tga id 10", tenId, p},
                 {"tga rle run", Tga(flat, 32, true), flat},
                 {"bmp24", Bmp(opaque), clear},
                 {"pcx24", Pcx(opaque), opaque}};
    Bitmap b;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Decode(c.file, b));
        ExpectSame32(b, c.want);
    }

    // A plain TGA cut short inside its second stored row, half a pixel past the seventh: what
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

TEST(Decoders, PalettedFilesAndUnsupportedTypes) {
    Bitmap b;
    const std::vector<uint8_t> idx{0, 1, 2, 3, 3, 2};
    ASSERT_TRUE(Decode(TgaMapped(3, 2, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, idx), b));
    ExpectIndexed(b, idx, {});
    EXPECT_EQ(b.Palette()[1] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(b.Palette()[3] & 0xFFFFFF, 0x0000FFu);

    const std::vector<uint8_t> bmpIdx{2, 1, 0, 0, 1, 2};
    ASSERT_TRUE(Decode(Bmp(Blank(3, 2), {0x102030, 0x405060, 0x708090}, bmpIdx), b));
    ExpectIndexed(b, bmpIdx, {{2, 0x708090u}, {5, 0u}});

    std::vector<uint32_t> pal{0x000000, 0xFF8040, 0x123456};
    const std::vector<uint8_t> pcxIdx{1, 1, 1, 2, 0, 0xC5, 0xC5, 0xC5, 1, 2}; // odd width, index >= 0xC0
    pal.resize(256, 0);
    pal[0xC5] = 0xABCDEF;
    ASSERT_TRUE(Decode(Pcx(Blank(5, 2), pal, pcxIdx), b));
    ExpectIndexed(b, pcxIdx, {{1, 0xFFFF8040u}, {0xC5, 0xFFABCDEFu}});

    Bytes grey = Tga(Pattern(2, 2, false), 24);
    grey[2] = 3; // black-and-white type: not read
    EXPECT_FALSE(Decode(grey, b));
    EXPECT_TRUE(b.Empty());
}

TEST(Decoders, JpegThroughTheFileDispatchWithGreyAlpha) {
    // Flat colours survive JPEG well enough to compare within a small tolerance.
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            for (int k = 0; k < 3; ++k)
                rgb.push_back(x < 8 ? 255 : k == 2 ? 200 : 0);
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
    std::memcpy(jpg.data() + 6, "Exif", 4);
    EXPECT_FALSE(Decode(jpg, b));
}

TEST(Decoders, GifFramesComposeWithDisposalRulesAndClipping) {
    // 4x2 screen, background index 0 (black). Palette: 0 black, 1 red, 2 green, 3 blue.
    const std::vector<uint32_t> pal{0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    const Bytes gif = Gif(4, 2, pal, 0,
                          {{0, 0, 4, 2, {1, 1, 1, 1, 1, 1, 1, 1}, 1, -1}, // all red, keep
                           {1, 0, 2, 1, {2, 3}, 2, 3}, // green + transparent, then background
                           {3, 1, 1, 1, {2}, 3, -1},   // green, then restore previous
                           {0, 0, 1, 1, {3}, 0, -1},   // blue
                           {3, 1, 3, 3, {2, 3, 3, 3, 3, 3, 3, 3, 3}}}); // only its top-left on screen
    std::vector<Bitmap> out;
    ASSERT_TRUE(Image::DecodeGif(gif.data(), gif.size(), out));
    ASSERT_EQ(out.size(), 5u);
    const struct {
        int frame;
        uint32_t x, y, want;
    } pixels[] = {
        {0, 0, 0, 0xFFFF0000},
        {1, 1, 0, 0xFF00FF00},
        {1, 2, 0, 0xFFFF0000}, // transparent index shows what
                               // was there
        {2, 1, 0, 0xFF000000},
        {2, 2, 0, 0xFF000000}, // frame 1 disposed to background
        {2, 3, 1, 0xFF00FF00},
        {3, 3, 1, 0xFFFF0000}, // frame 2 restored to previous
        {3, 0, 0, 0xFF0000FF},
        {3, 1, 0, 0xFF000000},
        {4, 3, 1, 0xFF00FF00},
        {4, 2, 1, 0xFFFF0000},
    };
    for (const auto& p : pixels)
        EXPECT_EQ(out[p.frame].Pixel32(p.x, p.y), p.want)
            << "frame " << p.frame << " at " << p.x << "," << p.y;
    EXPECT_EQ(out[4].Width(), 4u);

    std::vector<uint32_t> grey;
    for (uint32_t i = 0; i < 16; ++i)
        grey.push_back(i * 0x010101u); // giflib wants a power of two
    GifFrame f{0, 0, 1, 10, {}, 0, -1, true};
    for (uint8_t y = 0; y < 10; ++y)
        f.idx.push_back(y);
    const Bytes interlaced = Gif(1, 10, grey, 0, {f});
    ASSERT_TRUE(Image::DecodeGif(interlaced.data(), interlaced.size(), out));
    for (uint32_t y = 0; y < 10; ++y)
        EXPECT_EQ(out[0].Pixel32(0, y), 0xFF000000u | (y * 0x010101u)) << "interlaced row " << y;
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
                                   Bmp(p),
                                   Bmp(p, pal, idx),
                                   Pcx(p, pal, idx),
                                   Pcx(p),
                                   jpg,
                                   gif};
    std::mt19937 rng(1234);
    for (const Bytes& f : files) {
        auto load = [&](const std::vector<uint8_t>& bytes) {
            Bitmap b;
            std::vector<Bitmap> frames;
            (void)(&f == &files.back() ? Image::DecodeGif(bytes.data(), bytes.size(), frames)
                                       : b.LoadFromMemory(bytes.data(), bytes.size()));
        };
        // A copy of exactly n bytes, so that reading past it is caught.
        for (size_t n = 0; n <= f.size(); ++n)
            load(std::vector<uint8_t>(f.begin(), f.begin() + static_cast<long>(n)));
        for (int round = 0; round < 250; ++round) {
            Bytes bad = f;
            for (int k = 0; k < 4; ++k)
                bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
            load(bad);
        }
    }
}

TEST(Decoders, SizesThatWouldOverflowAreRefused) {
    Bitmap b;
    // TGA claiming 65535 x 65535 x 32 bits with a handful of bytes behind the header.
    Bytes tga = Tga(Pattern(1, 1, true), 32);
    tga[12] = tga[13] = tga[14] = tga[15] = 0xFF;
    EXPECT_FALSE(Decode(tga, b));
    // BMP with a width that makes the row stride overflow 32 bits, and a negative width.
    Bytes bmp = Bmp(Pattern(2, 2, false));
    for (int32_t width : {0x7FFFFFFF, -5}) {
        std::memcpy(bmp.data() + 18, &width, 4);
        EXPECT_FALSE(Decode(bmp, b)) << width;
    }
    // PCX with xmax < xmin, and one of 65536 x 65536.
    Bytes pcx = Pcx(Pattern(2, 2, false));
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
