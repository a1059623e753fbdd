#include "gfx/RendererCore.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <vector>

using namespace RenderCore;

namespace {

LightBuffer Buffer(uint32_t w, uint32_t h) {
    LightBuffer b;
    EXPECT_TRUE(b.Resize(w, h));
    return b;
}

LightSource White(double x, double y, int32_t r, bool shadows = false) {
    return LightSource{x, y, r, 0xFFFFFF, shadows};
}

} // namespace

// Channels in blue, green, red order, taken from a 0xBBGGRR colour.
std::tuple<int, int, int> Channels(LightBuffer& b, uint32_t col, uint32_t row) {
    return {b.Cell(col, row)[0], b.Cell(col, row)[1], b.Cell(col, row)[2]};
}

TEST(LightBuffer, AmbientAndLightsAddUpAndClampAt255) {
    LightBuffer b = Buffer(2, 2);
    BuildLightBuffer(b, 4, 0x102030, {}, {});
    EXPECT_EQ(Channels(b, 1, 1), std::tuple(0x10, 0x20, 0x30));
    BuildLightBuffer(b, 4, 0, {LightSource{2, 2, 50, 0x0000FF, false}}, {});
    EXPECT_EQ(Channels(b, 0, 0), std::tuple(0, 0, 255));
    BuildLightBuffer(b, 4, 0xFFFFFF, {White(2, 2, 40)}, {});
    EXPECT_EQ(Channels(b, 0, 0), std::tuple(255, 255, 255));
    // 258 full lights would wrap a 16-bit channel to 254 before the clamp.
    BuildLightBuffer(b, 4, 0, std::vector<LightSource>(258, White(2, 2, 40)), {});
    EXPECT_EQ(Channels(b, 0, 0), std::tuple(255, 255, 255));
}

TEST(LightBuffer, FallsOffToNothingAtTheRadius) {
    LightBuffer b = Buffer(4, 4);
    BuildLightBuffer(b, 4, 0, {White(2, 2, 8)}, {});
    // On the light; 4 of 8 away: trunc(255 * 0.5); exactly at the radius (d2 == r2 adds nothing);
    // beyond; sqrt(32) away: trunc(255 * (1 - 5.657 / 8)).
    const std::tuple<uint32_t, uint32_t, int> cells[] = {
        {0, 0, 255}, {1, 0, 127}, {2, 0, 0}, {3, 0, 0}, {1, 1, 74}};
    for (const auto& [col, row, want] : cells)
        EXPECT_EQ(b.Cell(col, row)[1], want) << col << "," << row;
}

TEST(LightBuffer, EdgeCastsShadowBehindIt) {
    // A wall at x = 8; the light at (2, 2) shines along row 0 of an 8 x 1 buffer.
    const std::vector<ShadowEdge> wall{MakeEdge(8, 0, 8, 4)};
    LightBuffer b = Buffer(8, 1);
    BuildLightBuffer(b, 4, 0, {White(2, 2, 100, true)}, wall);
    EXPECT_GT(b.Cell(0, 0)[0], 0); // the light's own cell
    EXPECT_GT(b.Cell(1, 0)[0], 0); // in front of the wall
    for (uint32_t col = 2; col < 8; ++col)
        EXPECT_EQ(b.Cell(col, 0)[0], 0) << col;

    // Lights that cast no shadow ignore the wall.
    LightBuffer open = Buffer(8, 1);
    BuildLightBuffer(open, 4, 0, {White(2, 2, 100, false)}, wall);
    EXPECT_GT(open.Cell(5, 0)[0], 0);
}

TEST(LightBuffer, ShadowBoundsAreInclusive) {
    // From the light at (2, 2) to the cell centre (14, 2): a wall whose end lies exactly on the line
    // shadows, one a pixel further down misses; a wall behind the light does not count; a centre
    // exactly on the wall is shadowed; parallel (here collinear) lines never shadow.
    const std::pair<ShadowEdge, bool> cases[] = {{MakeEdge(8, 2, 8, 30), true},
                                                 {MakeEdge(8, 3, 8, 30), false},
                                                 {MakeEdge(-4, 0, -4, 4), false},
                                                 {MakeEdge(14, 0, 14, 4), true},
                                                 {MakeEdge(6, 2, 12, 2), false}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Shadowed(cases[i].first, 2, 2, 14, 2), cases[i].second) << "case " << i;
    // A zero-length edge has no line.
    LightBuffer b = Buffer(8, 1);
    BuildLightBuffer(b, 4, 0, {White(2, 2, 100, true)}, {MakeEdge(8, 2, 8, 2)});
    EXPECT_GT(b.Cell(5, 0)[0], 0);
}

TEST(LightBuffer, NoSmoothingBelowFiveByFive) {
    for (auto [w, h] : {std::pair{4u, 4u}, std::pair{5u, 4u}, std::pair{4u, 5u}}) {
        LightBuffer b = Buffer(w, h);
        b.Cell(1, 1)[0] = 250;
        const std::vector<uint16_t> before = b.cells;
        SmoothLightBuffer(b);
        EXPECT_EQ(b.cells, before) << w << "x" << h;
    }
}

TEST(LightBuffer, SmoothingAveragesInnerCellsFromTheUnsmoothedCopy) {
    LightBuffer b = Buffer(6, 6);
    b.Cell(2, 2)[0] = 250;
    b.Cell(0, 0)[1] = 100; // a border cell: kept, but counted in its neighbours' squares
    SmoothLightBuffer(b);
    EXPECT_EQ(b.Cell(2, 2)[0], 10);
    EXPECT_EQ(b.Cell(3, 3)[0], 10); // read from the copy, not from the already smoothed (2, 2)
    EXPECT_EQ(b.Cell(2, 2)[1], 4);
    EXPECT_EQ(b.Cell(3, 3)[1], 0);
    EXPECT_EQ(b.Cell(0, 0)[1], 100);
    EXPECT_EQ(b.Cell(1, 1)[0], 0); // within two cells of the border: untouched
}

TEST(LightBuffer, CellRangesStayInsideTheBuffer) {
    LightBuffer b = Buffer(4, 4);
    // Far outside, huge radii, negative and degenerate radii: no cell outside is addressed.
    std::vector<LightSource> lights{White(-1000, -1000, 5000),
                                    White(1e9, 1e9, INT32_MAX),
                                    White(-1e9, 5, INT32_MAX),
                                    White(8, 8, -5),
                                    White(8, 8, 0),
                                    White(1e300, -1e300, 10)};
    const std::vector<ShadowEdge> edges{MakeEdge(-1e6, -1e6, 1e6, 1e6), MakeEdge(0, 0, 0, 0)};
    for (auto& l : lights)
        l.castShadow = true;
    BuildLightBuffer(b, 4, 0, lights, edges);
    EXPECT_EQ(b.cells.size(), 4u * 4 * 3);

    LightBuffer empty;
    BuildLightBuffer(empty, 4, 0x808080, {White(0, 0, 100)}, {});
    EXPECT_TRUE(empty.cells.empty());
}

TEST(LightBuffer, NoLightBeyondThe3000PixelLimit) {
    LightBuffer b = Buffer(1000, 1); // 4000 pixels wide with 4-pixel cells
    BuildLightBuffer(b, 4, 0, {White(3000, 2, 600)}, {});
    EXPECT_GT(b.Cell(749, 0)[0], 0); // centre 2998
    EXPECT_EQ(b.Cell(750, 0)[0], 0); // centre 3002: beyond 3000 / 4 columns
    LightBuffer tall = Buffer(1, 400);
    BuildLightBuffer(tall, 4, 0, {White(2, 1500, 600)}, {});
    EXPECT_GT(tall.Cell(0, 374)[0], 0);
    EXPECT_EQ(tall.Cell(0, 375)[0], 0);
}

TEST(LightBuffer, ApplyMultipliesEachCellSquare) {
    // 5 x 4 canvas with one 4 x 4 cell: column 4 lies outside every cell and keeps its colour.
    std::vector<uint32_t> pixels(20, 0xFF808080);
    PixelView canvas{reinterpret_cast<uint8_t*>(pixels.data()), 5, 4};
    LightBuffer b = Buffer(1, 1);
    b.Cell(0, 0)[0] = 128;
    b.Cell(0, 0)[1] = 64;
    b.Cell(0, 0)[2] = 255;
    ApplyLightBuffer(canvas, ClipRect{0, 0, 5, 4}, b, 4);
    EXPECT_EQ(pixels[0], 0xFF7F2040u);
    EXPECT_EQ(pixels[15], 0xFF7F2040u);
    EXPECT_EQ(pixels[4], 0xFF808080u);

    // The clip rectangle limits the pixels touched.
    std::vector<uint32_t> clipped(16, 0xFF808080);
    ApplyLightBuffer(PixelView{reinterpret_cast<uint8_t*>(clipped.data()), 4, 4}, ClipRect{2, 2, 4, 4}, b, 4);
    EXPECT_EQ(clipped[0], 0xFF808080u);
    EXPECT_EQ(clipped[15], 0xFF7F2040u);
}
