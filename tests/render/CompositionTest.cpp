#include "gfx/RendererCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace RenderCore;

namespace {

// A 32-bit picture (blue, green, red, alpha bytes) filled with one pixel value 0xAARRGGBB.
struct Picture {
    uint32_t width, height;
    std::vector<uint32_t> pixels;
    Picture(uint32_t w, uint32_t h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    uint32_t& at(uint32_t x, uint32_t y) { return pixels[size_t(y) * width + x]; }
    PixelView view() { return {reinterpret_cast<uint8_t*>(pixels.data()), width, height}; }
    ConstPixelView cview() const { return {reinterpret_cast<const uint8_t*>(pixels.data()), width, height}; }
    ClipRect all() const { return {0, 0, int32_t(width), int32_t(height)}; }
};

} // namespace

// One source pixel on one canvas pixel: the colour is all or nothing (coverage above 128), the
// alpha the stronger of the two. Opacity 50 scales 255 to 127, 51 to 129 (51 * 256 / 100 = 130).
TEST(Composition, KeepsStrongestAlphaAndAllOrNothingColour) {
    const struct {
        uint32_t canvas, src;
        int32_t opacity;
        uint32_t want;
    } cases[] = {{0x00000000, 0xFFFF0000, 50, 0x7F000000},
                 {0x00000000, 0xFFFF0000, 51, 0x81FF0000},
                 {0xC8112233, 0x81445566, 100, 0xC8445566},
                 {0xC8112233, 0x80445566, 100, 0xC8112233},
                 {0x10000000, 0x7FABCDEF, 100, 0x7F000000}};
    for (const auto& c : cases) {
        Picture canvas(3, 3, c.canvas), src(1, 1, c.src);
        ComposePicture(canvas.view(), canvas.all(), src.cview(), 1, 1, c.opacity, false, false);
        EXPECT_EQ(canvas.at(1, 1), c.want)
            << std::hex << c.src << " on " << c.canvas << " at " << std::dec << c.opacity;
        EXPECT_EQ(canvas.at(0, 0), c.canvas);
        EXPECT_EQ(canvas.at(2, 2), c.canvas);
    }
}

TEST(Composition, FlipsReadRowsAndColumnsFromTheirEnds) {
    Picture src(2, 2);
    src.at(0, 0) = 0xFF000001;
    src.at(1, 0) = 0xFF000002;
    src.at(0, 1) = 0xFF000003;
    src.at(1, 1) = 0xFF000004;

    Picture x(2, 2), y(2, 2), xy(2, 2);
    ComposePicture(x.view(), x.all(), src.cview(), 0, 0, 100, true, false);
    ComposePicture(y.view(), y.all(), src.cview(), 0, 0, 100, false, true);
    ComposePicture(xy.view(), xy.all(), src.cview(), 0, 0, 100, true, true);
    EXPECT_EQ(x.pixels, (std::vector<uint32_t>{0xFF000002, 0xFF000001, 0xFF000004, 0xFF000003}));
    EXPECT_EQ(y.pixels, (std::vector<uint32_t>{0xFF000003, 0xFF000004, 0xFF000001, 0xFF000002}));
    EXPECT_EQ(xy.pixels, (std::vector<uint32_t>{0xFF000004, 0xFF000003, 0xFF000002, 0xFF000001}));
}

TEST(Composition, ClippedAtCanvasAndClipRectangle) {
    Picture canvas(4, 4);
    Picture src(3, 3, 0xFF123456);
    // Partly off the top-left corner: only the bottom-right 2 x 2 of the source lands.
    ComposePicture(canvas.view(), canvas.all(), src.cview(), -1, -1, 100, false, false);
    int written = 0;
    for (uint32_t p : canvas.pixels)
        written += p != 0;
    EXPECT_EQ(written, 4);
    EXPECT_EQ(canvas.at(1, 1), 0xFF123456u);
    EXPECT_EQ(canvas.at(2, 2), 0u);

    // A flipped picture cut by the clip keeps its own pixel order.
    Picture c2(4, 1);
    Picture row(4, 1);
    for (uint32_t i = 0; i < 4; ++i)
        row.at(i, 0) = 0xFF000000 | i;
    ComposePicture(c2.view(), ClipRect{1, 0, 3, 1}, row.cview(), 0, 0, 100, true, false);
    EXPECT_EQ(c2.pixels, (std::vector<uint32_t>{0, 0xFF000002, 0xFF000001, 0}));

    // Far outside: nothing, and no access outside the canvas.
    ComposePicture(canvas.view(), canvas.all(), src.cview(), 1 << 30, -(1 << 30), 100, false, false);
    ComposePicture(canvas.view(), canvas.all(), src.cview(), INT32_MAX, INT32_MAX, 100, true, true);
}

// Wide rows are composed in runs, with shortcuts for runs that are clear or opaque throughout:
// every pixel must still follow the rule, whichever run it falls in, flipped or not, at full or
// partial opacity and from a clipped start.
TEST(Composition, WideRowsFollowThePixelRuleInEveryKindOfRun) {
    const uint32_t w = 400; // runs of 64 from x = 3, either way round: clear, opaque and mixed ones
    Picture src(w, 2);
    for (uint32_t x = 0; x < w; ++x) {
        const uint32_t colour = 0x010203u * (x % 83);
        uint32_t alpha = x < 80 ? 0 : x < 330 ? 255 : (x * 37) % 256;
        if (x == 200) alpha = 254; // one pixel spoils an opaque run
        src.at(x, 0) = alpha << 24 | colour;
        src.at(x, 1) = (x % 2 ? 255u : 0u) << 24 | colour;
    }
    for (int32_t opacity : {100, 60})
        for (bool flip : {false, true}) {
            Picture canvas(w, 2);
            for (uint32_t x = 0; x < w; ++x)
                canvas.at(x, 0) = canvas.at(x, 1) = (x * 11 % 256) << 24 | 0x445566u;
            Picture before = canvas;
            const ClipRect clip{3, 0, int32_t(w), 2};
            ComposePicture(canvas.view(), clip, src.cview(), 0, 0, opacity, flip, false);
            const int32_t scale = opacity * 256 / 100;
            for (uint32_t y = 0; y < 2; ++y)
                for (uint32_t x = 0; x < w; ++x) {
                    const uint32_t s = src.at(flip ? w - 1 - x : x, y), d = before.at(x, y);
                    uint32_t want = d;
                    if (x >= 3) {
                        const uint32_t a = (s >> 24) * uint32_t(scale) / 256;
                        want = ((a > 128 ? s : d) & 0xFFFFFFu) | std::max(a, d >> 24) << 24;
                    }
                    ASSERT_EQ(canvas.at(x, y), want)
                        << "at " << x << "," << y << " opacity " << opacity << (flip ? " flipped" : "");
                }
        }
}

TEST(Lines, BresenhamSkipsPixelsOutsideTheCanvas) {
    Picture canvas(5, 5);
    DrawLine(canvas.view(), -3, 2, 7, 2, 0xFFFFFFFF);
    for (uint32_t x = 0; x < 5; ++x)
        EXPECT_EQ(canvas.at(x, 2), 0xFFFFFFFFu);
    Picture diag(4, 4);
    DrawLine(diag.view(), 0, 0, 3, 3, 0xFF0000FF);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(diag.at(i, i), 0xFF0000FFu);
    int lit = 0;
    for (uint32_t p : diag.pixels)
        lit += p != 0;
    EXPECT_EQ(lit, 4);
}
