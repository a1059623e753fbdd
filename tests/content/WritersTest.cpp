// The generators' file writers read back through the program's own decoders (TGA, JPEG, GIF), and
// the structure of the tracker modules gen-music writes.
#include "core/FileLayer.h"
#include "gen-common/ImageIO.h"
#include "picture/Bitmap.h"
#include "picture/Image.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le(const std::vector<uint8_t>& d, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | d.at(at + size_t(i));
    return v;
}

// A scratch folder, as a path.
struct Temp : TempDir {
    Temp() : TempDir(false) {}
    fs::path path() const { return TempDir::path(); }
};

// BGRA bytes of a 32-bit bitmap pixel.
const uint8_t* At(const Bitmap& b, uint32_t x, uint32_t y) {
    return b.Pixels() + (size_t(y) * b.Width() + x) * 4;
}

} // namespace

TEST(Writers, TgaKeepsOrientationAndAlphaInTheGamesDecoder) {
    Temp t;
    Gen::Image img(3, 2);
    img.at(0, 0) = {1, 0, 0, 1};       // top left: red, opaque
    img.at(2, 1) = {0, 0.5f, 0, 0.5f}; // bottom right: green at half coverage (premultiplied)
    ASSERT_TRUE(Gen::WriteTga((t.path() / "p.tga").string(), img));
    std::vector<uint8_t> bytes = Bytes(t.path() / "p.tga");
    ASSERT_EQ(bytes.size(), 18u + 3 * 2 * 4);
    EXPECT_EQ(bytes[2], 2); // true colour
    EXPECT_EQ(bytes[16], 32);
    Bitmap b;
    ASSERT_TRUE(b.LoadFromMemory(bytes.data(), bytes.size()));
    ASSERT_EQ(b.Width(), 3u);
    ASSERT_EQ(b.Height(), 2u);
    const uint8_t* tl = At(b, 0, 0);
    EXPECT_EQ(tl[2], 255); // red
    EXPECT_EQ(tl[3], 255);
    const uint8_t* br = At(b, 2, 1);
    EXPECT_EQ(br[1], 255); // straight green
    EXPECT_NEAR(br[3], 128, 1);
}

TEST(Writers, JpegAndGifDecodeInTheGame) {
    Temp t;
    Gen::Image img(40, 30);
    img.Fill(Gen::Hex(0x2050C0));
    ASSERT_TRUE(Gen::WriteJpeg((t.path() / "bg.jpg").string(), img, 90, Gen::Hex(0)));
    std::vector<uint8_t> jpg = Bytes(t.path() / "bg.jpg");
    Bitmap b;
    ASSERT_TRUE(b.LoadFromMemory(jpg.data(), jpg.size()));
    EXPECT_EQ(b.Width(), 40u);
    EXPECT_NEAR(At(b, 20, 15)[0], 0xC0, 4); // blue byte first

    // Three frames of three colours: the palette keeps them exactly, the corner is the key.
    std::vector<Gen::Image> frames;
    for (uint32_t c : {0x3DBA3Cu, 0x9A4BDAu, 0xF5C82Au}) {
        Gen::Image f(8, 8);
        f.Fill(Gen::Hex(c));
        frames.push_back(f);
    }
    ASSERT_TRUE(Gen::WriteGif((t.path() / "g.gif").string(), frames, Gen::Hex(0)));
    fs::path cwd = fs::current_path();
    fs::current_path(t.path());
    Image::GifFrames gif;
    ASSERT_TRUE(gif.Load("g.gif"));
    fs::current_path(cwd);
    ASSERT_EQ(gif.Count(), 3u);
    Bitmap f0, f2;
    ASSERT_TRUE(gif.CopyFrame(0, f0));
    ASSERT_TRUE(gif.CopyFrame(2, f2));
    EXPECT_EQ(At(f0, 0, 0)[0], 0xFF); // the key colour, magenta
    EXPECT_EQ(At(f0, 0, 0)[1], 0x00);
    EXPECT_EQ(At(f0, 0, 0)[2], 0xFF);
    EXPECT_EQ(At(f0, 3, 3)[1], 0xBA);
    EXPECT_EQ(At(f2, 0, 0)[2], 0xF5); // later frames keep their own corner
    EXPECT_EQ(At(f2, 5, 5)[0], 0x2A);
}

TEST(Writers, TrackerModuleStructure) {
    Temp t;
    const char* build = std::getenv("PARLORIX_BUILD_DIR");
    const char* src = std::getenv("PARLORIX_SOURCE_DIR");
    ASSERT_TRUE(build && src);
    std::string cmd = std::string(build) + "/tools/gen-music/gen-music " + t.path().string() + " " + src +
                      "/content/music/bright_bricks.song > /dev/null";
    int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0);
    std::vector<uint8_t> d = Bytes(t.path() / "bright_bricks.it");
    ASSERT_GT(d.size(), 192u);
    EXPECT_EQ(std::string(d.begin(), d.begin() + 4), "IMPM");
    uint32_t ord = Le(d, 32, 2), ins = Le(d, 34, 2), smp = Le(d, 36, 2), pat = Le(d, 38, 2);
    EXPECT_EQ(ins, 0u);              // sample mode
    EXPECT_EQ(Le(d, 44, 2) & 4, 0u); // no instruments flag
    EXPECT_EQ(smp, 7u);
    EXPECT_EQ(pat, 5u);  // I A B C O
    EXPECT_EQ(ord, 11u); // ten sections and the end marker
    EXPECT_EQ(d[192 + ord - 1], 255);
    // Each section lasts 64 rows: (10 sections x 64 rows x 6 ticks) at 125 BPM is over a minute.
    EXPECT_GT(10.0 * 64 * d[50] * 2.5 / d[51], 60.0);
    size_t table = 192 + ord;
    for (uint32_t i = 0; i < smp; ++i) {
        uint32_t h = Le(d, table + 4 * i, 4);
        ASSERT_LE(h + 80, d.size());
        EXPECT_EQ(std::string(d.begin() + h, d.begin() + h + 4), "IMPS");
        uint32_t len = Le(d, h + 48, 4), at = Le(d, h + 72, 4);
        EXPECT_LE(uint64_t(at) + 2ull * len, d.size()) << "sample " << i;
        if (d[h + 18] & 16) { // looped: the loop lies inside the sample
            EXPECT_LT(Le(d, h + 52, 4), Le(d, h + 56, 4));
        }
        EXPECT_LE(Le(d, h + 56, 4), len);
    }
    for (uint32_t i = 0; i < pat; ++i) {
        uint32_t at = Le(d, table + 4 * (smp + i), 4);
        ASSERT_LE(at + 8, d.size());
        EXPECT_EQ(Le(d, at + 2, 2), 64u);
        EXPECT_LE(at + 8 + Le(d, at, 2), d.size());
    }
}
