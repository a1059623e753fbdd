#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "gfx/Graphics.h"
#include "gfx/SurfaceRegistry.h"
#include "picture/PixelFormat.h"
#include "platform/Display.h"
#include "support/PictureFiles.h"
#include "support/Prerequisite.h"
#include "support/TempDir.h"

using namespace fx;

namespace {

class GraphicsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Log::Start(dir.path() + "/");
        ASSERT_TRUE(Graphics::Init(800, 600, depth(), false, nullptr));
    }
    void TearDown() override {
        Graphics::Shutdown();
        PixelFormat::BuildConversionTables(false);
        Log::Reset();
    }
    virtual int depth() const { return 32; }

    static uint32_t At32(Surface* s, int x, int y) {
        uint32_t v;
        std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
        return v;
    }
    static uint16_t At16(Surface* s, int x, int y) {
        uint16_t v;
        std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 2, 2);
        return v;
    }
    static void Fill(Surface* s, uint32_t v) { SDL_FillRect(s, nullptr, v); }

    TempDir dir;
};

class Graphics16Test : public GraphicsTest {
  protected:
    int depth() const override { return 16; }
};

} // namespace

TEST_F(GraphicsTest, InitLogsAndDescribesTheDisplay) {
    const std::string log = LogText();
    EXPECT_NE(log.find("Graphics::Init( 800,600,32 )\nFullscreen = 0\n"), std::string::npos);
    EXPECT_NE(log.find("Vram Free:"), std::string::npos);
    EXPECT_TRUE(Graphics::Is32Bit());
    EXPECT_EQ(Graphics::Depth(), 32u);
    Surface* back = Graphics::GetBackBuffer();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->w, 800);
    EXPECT_EQ(back->h, 600);
    EXPECT_EQ(back->format->BytesPerPixel, 4);
    Graphics::Present(false); // no window: nothing to show, nothing logged
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
    Graphics::Shutdown();
    EXPECT_EQ(Graphics::GetBackBuffer(), nullptr);
    EXPECT_STREQ(Graphics::ErrorName(static_cast<int32_t>(Platform::DisplayError::DDERR_SURFACELOST)),
                 "DDERR_SURFACELOST");
    EXPECT_STREQ(Graphics::ErrorName(12345), "Not defined error");
    EXPECT_STREQ(Graphics::ErrorName(0), "Not defined error");
}

TEST_F(GraphicsTest, SurfaceWiderThanTheDisplayIsRefused) {
    EXPECT_EQ(Graphics::CreateSurface(801, 10), nullptr);
    EXPECT_NE(LogText().find("Warning! Trying to create surface wider than screen resolution(801,10)!\n"),
              std::string::npos);
    Surface* s = Graphics::CreateSurface(800, 10);
    ASSERT_NE(s, nullptr);
    Graphics::ReleaseSurface(s);
}

TEST_F(GraphicsTest, BlitClipsAtNegativeAndOverflowingPositions) {
    Surface* src = Graphics::CreateSurface(50, 4);
    Surface* dst = Graphics::CreateSurface(100, 10);
    ASSERT_TRUE(src && dst);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 50; ++x) {
            const uint32_t v = 0xFF000000u | static_cast<uint32_t>(y << 8 | x);
            std::memcpy(static_cast<uint8_t*>(src->pixels) + y * src->pitch + x * 4, &v, 4);
        }
    Fill(dst, 0xFFEEEEEE);
    // x = -10: the right 40 columns land at x = 0.
    ASSERT_TRUE(Graphics::Blit(dst, -10, 0, src, nullptr, false));
    EXPECT_EQ(At32(dst, 0, 0), 0xFF00000Au);
    EXPECT_EQ(At32(dst, 39, 3), 0xFF000331u);
    EXPECT_EQ(At32(dst, 40, 0), 0xFFEEEEEEu);
    // Past the right and bottom edges: cut.
    Fill(dst, 0xFFEEEEEE);
    ASSERT_TRUE(Graphics::Blit(dst, 80, 8, src, nullptr, false));
    EXPECT_EQ(At32(dst, 80, 8), 0xFF000000u);
    EXPECT_EQ(At32(dst, 99, 9), 0xFF000113u);
    EXPECT_EQ(At32(dst, 79, 8), 0xFFEEEEEEu);
    // Negative y with a source rectangle.
    Fill(dst, 0xFFEEEEEE);
    Graphics::Rect r{5, 1, 15, 4};
    ASSERT_TRUE(Graphics::Blit(dst, 2, -2, src, &r, false));
    EXPECT_EQ(At32(dst, 2, 0), 0xFF000305u);
    EXPECT_EQ(At32(dst, 11, 0), 0xFF00030Eu);
    EXPECT_EQ(At32(dst, 2, 1), 0xFFEEEEEEu);
    // Entirely outside, or an empty rectangle: nothing changes.
    Fill(dst, 0xFFEEEEEE);
    Graphics::Blit(dst, -60, 0, src, nullptr, false);
    Graphics::Blit(dst, 100, 0, src, nullptr, false);
    Graphics::Rect empty{3, 3, 3, 4};
    Graphics::Blit(dst, 0, 0, src, &empty, false);
    for (int x = 0; x < 100; x += 9)
        EXPECT_EQ(At32(dst, x, 0), 0xFFEEEEEEu);
    Graphics::ReleaseSurface(src);
    Graphics::ReleaseSurface(dst);
}

TEST_F(GraphicsTest, UploadWithColourKeyAndKeyedBlits) {
    Bitmap b;
    ASSERT_TRUE(b.Create(3, 1, 32));
    b.SetPixel32(0, 0, 0x7F112233); // alpha 127: becomes the key
    b.SetPixel32(1, 0, 0x80445566); // alpha 128: written
    b.SetPixel32(2, 0, 0xFF778899);
    Surface* s = Graphics::CreateSurface(3, 1);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(Graphics::Upload(b, Graphics::Rect{0, 0, 3, 1}, s, 0, 0, true));
    EXPECT_EQ(At32(s, 0, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(At32(s, 1, 0), 0x80445566u);
    Uint32 key = 0;
    ASSERT_EQ(SDL_GetColorKey(s, &key), 0);
    EXPECT_EQ(key & 0xFFFFFF, 0xFF00FFu);

    Surface* dst = Graphics::CreateSurface(4, 1);
    Fill(dst, 0xFF000001);
    ASSERT_TRUE(Graphics::Blit(dst, 1, 0, s, nullptr, true));
    EXPECT_EQ(At32(dst, 1, 0), 0xFF000001u); // keyed pixel skipped
    EXPECT_EQ(At32(dst, 2, 0) & 0xFFFFFF, 0x445566u);
    EXPECT_EQ(At32(dst, 3, 0) & 0xFFFFFF, 0x778899u);
    // Without the key everything is copied, and the surface keeps its key for later blits.
    ASSERT_TRUE(Graphics::Blit(dst, 1, 0, s, nullptr, false));
    EXPECT_EQ(At32(dst, 1, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(SDL_GetColorKey(s, &key), 0);

    // Upload clips a rectangle running off the surface instead of writing past it.
    Bitmap big;
    ASSERT_TRUE(big.Create(10, 10, 32));
    EXPECT_TRUE(Graphics::Upload(big, Graphics::Rect{-5, -5, 20, 20}, dst, 2, 0, false));
    Graphics::ReleaseSurface(s);
    Graphics::ReleaseSurface(dst);
}

namespace {
// A background with a different colour in every pixel, and a keyed sprite with a hole.
struct Scene {
    Surface* background = nullptr;
    Surface* sprite = nullptr;
    Scene() {
        background = Graphics::CreateSurface(800, 600);
        sprite = Graphics::CreateSurface(40, 30);
        Graphics::Locked l;
        if (Graphics::Lock(background, l)) {
            for (int y = 0; y < 600; ++y)
                for (int x = 0; x < 800; ++x) {
                    const uint32_t v = 0xFF000000u | uint32_t(x * 977 + y * 131) * 2654435761u >> 8;
                    std::memcpy(l.pixels + y * l.pitch + x * 4, &v, 4);
                }
            Graphics::Unlock(background);
        }
        SDL_FillRect(sprite, nullptr, 0xFF20C040);
        const SDL_Rect hole{10, 10, 20, 10};
        SDL_FillRect(sprite, &hole, 0xFFFF00FF);
        Graphics::SetColorKey(sprite, 0xFFFF00FF);
    }
    ~Scene() {
        Graphics::ReleaseSurface(sprite);
        Graphics::ReleaseSurface(background);
    }
    // One frame: the background, the sprite at (x, y) and another at (600, 500).
    bool Frame(int x, int y) const {
        Surface* back = Graphics::GetBackBuffer();
        Graphics::BeginFrame();
        Graphics::Blit(back, 0, 0, background, nullptr, false);
        Graphics::Blit(back, x, y, sprite, nullptr, true);
        Graphics::Blit(back, 600, 500, sprite, nullptr, true);
        return Graphics::EndFrame();
    }
};

std::vector<uint32_t> Pixels(Surface* s) {
    std::vector<uint32_t> out(size_t(s->w) * s->h);
    for (int y = 0; y < s->h; ++y)
        std::memcpy(out.data() + size_t(y) * s->w, static_cast<uint8_t*>(s->pixels) + y * s->pitch,
                    size_t(s->w) * 4);
    return out;
}
} // namespace

// A moved sprite redraws and sends only where it was and where it is now, and the picture is the
// one a whole redraw makes; a text, whose extent is not known beforehand, redraws everything.
TEST_F(GraphicsTest, AFrameRedrawsAndSendsOnlyWhatChanged) {
    const Scene scene;
    Surface* back = Graphics::GetBackBuffer();
    EXPECT_TRUE(scene.Frame(100, 100));
    EXPECT_TRUE(Graphics::LastChangedAreas().empty()); // the first picture is drawn whole
    EXPECT_FALSE(scene.Frame(100, 100));
    ASSERT_TRUE(scene.Frame(130, 110));
    const std::vector<Graphics::Rect> areas = Graphics::LastChangedAreas();
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].left, 100);
    EXPECT_EQ(areas[0].top, 100);
    EXPECT_EQ(areas[0].right, 140);
    EXPECT_EQ(areas[0].bottom, 130);
    EXPECT_EQ(areas[1].left, 130);
    EXPECT_EQ(areas[1].bottom, 140);
    const std::vector<uint32_t> partly = Pixels(back);
    Graphics::InvalidateFrame();
    ASSERT_TRUE(scene.Frame(130, 110));
    EXPECT_TRUE(Graphics::LastChangedAreas().empty());
    EXPECT_EQ(Pixels(back), partly);

    // Off the edge: only the part on the screen counts.
    ASSERT_TRUE(scene.Frame(-20, 590));
    for (const Graphics::Rect& r : Graphics::LastChangedAreas()) {
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.bottom, 600);
    }

    bool drawn = false;
    Graphics::BeginFrame();
    Graphics::Blit(back, 0, 0, scene.background, nullptr, false);
    Graphics::DrawOrDefer(back, 42, [&] { drawn = true; });
    ASSERT_TRUE(Graphics::EndFrame());
    EXPECT_TRUE(drawn);
    EXPECT_TRUE(Graphics::LastChangedAreas().empty());
}

TEST_F(GraphicsTest, ReadBackOfThirtyTwoBitsCopiesAndClips) {
    Surface* back = Graphics::GetBackBuffer();
    Fill(back, 0x40302010);
    Bitmap b;
    ASSERT_TRUE(Graphics::ReadBack(back, Graphics::Rect{790, 590, 810, 600}, b));
    EXPECT_EQ(b.Width(), 20u);
    EXPECT_EQ(b.KeyColor(), 0u);
    EXPECT_EQ(b.Pixel32(0, 0), 0x40302010u);
    EXPECT_EQ(b.Pixel32(15, 5), 0u); // outside the surface
}

TEST_F(Graphics16Test, SixteenBitDisplayConvertsUploadsAndReadBacks) {
    EXPECT_FALSE(Graphics::Is32Bit());
    EXPECT_FALSE(Graphics::Is15Bit());
    EXPECT_EQ(Graphics::Depth(), 16u);
    Surface* back = Graphics::GetBackBuffer();
    ASSERT_EQ(back->format->BytesPerPixel, 2);
    EXPECT_NE(LogText().find("Graphics::Init( 800,600,16 )\n"), std::string::npos);

    Bitmap b;
    ASSERT_TRUE(b.Create(2, 1, 32));
    b.SetPixel32(0, 0, 0x7FFFFFFF);
    b.SetPixel32(1, 0, 0x80FF8040);
    ASSERT_TRUE(Graphics::Upload(b, Graphics::Rect{0, 0, 2, 1}, back, 10, 10, true));
    EXPECT_EQ(At16(back, 10, 10), 0xF81F);
    EXPECT_EQ(At16(back, 11, 10), PixelFormat::To16(0xFF8040));
    Uint32 key = 0;
    ASSERT_EQ(SDL_GetColorKey(back, &key), 0);
    EXPECT_EQ(key, 0xF81Fu);
    Graphics::ClearColorKey(back);

    Fill(back, 0xFFFF);
    Bitmap shot;
    ASSERT_TRUE(Graphics::ReadBack(back, Graphics::Rect{0, 0, 800, 600}, shot));
    EXPECT_EQ(shot.Bits(), 32u);
    EXPECT_EQ(shot.Pixel32(0, 0), 0xFFF8FCF8u);
    EXPECT_EQ(shot.Pixel32(799, 599), 0xFFF8FCF8u); // opaque everywhere
}

TEST_F(GraphicsTest, RegistryReplacesFindsIgnoringCaseAndReleases) {
    SurfaceRegistry reg;
    Surface* a = reg.Create("Layer1 #1", 800, 600);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(LogText().find("Surface 'Layer1 #1' [800x600] [system]\n"), std::string::npos);
    Surface* b = reg.Create("kursor", 32, 32);
    uint32_t w = 0, h = 0;
    EXPECT_EQ(reg.Find("KURSOR", &w, &h), b);
    EXPECT_EQ(w, 32u);
    EXPECT_EQ(h, 32u);
    EXPECT_EQ(reg.Find("kursor2"), nullptr);
    // The same name again releases the first surface, with its line.
    Surface* a2 = reg.Create("layer1 #1", 400, 300);
    ASSERT_NE(a2, nullptr);
    EXPECT_NE(LogText().find("Release surface 'Layer1 #1'\n"), std::string::npos);
    EXPECT_EQ(reg.Count(), 2u);
    EXPECT_EQ(reg.Find("LAYER1 #1", &w, &h), a2);
    EXPECT_EQ(w, 400u);
    // A failed creation leaves the line open and nothing registered.
    EXPECT_EQ(reg.Create("wide", 900, 10), nullptr);
    EXPECT_EQ(reg.Find("wide"), nullptr);
    reg.Release(b);
    EXPECT_NE(LogText().find("Release surface 'kursor'\n"), std::string::npos);
    EXPECT_EQ(reg.Count(), 1u);
    const std::string before = LogText();
    reg.Create("x", 1, 1);
    reg.Create("y", 1, 1);
    const size_t lines = Count(LogText(), "Release surface");
    reg.ReleaseAll(); // silent
    EXPECT_EQ(Count(LogText(), "Release surface"), lines);
    EXPECT_EQ(reg.Count(), 0u);
    EXPECT_EQ(Platform::SurfaceBytesInUse(), 800u * 600u * 4u); // only the back buffer is left
}

TEST(Display, LetterboxAndWindowScaleFitTheLayoutIntoTheDesktop) {
    struct Box {
        int w, h, x, y, vw, vh;
    };
    for (const Box& c : {Box{1920, 1080, 240, 0, 1440, 1080}, Box{1024, 1280, 0, 256, 1024, 768}}) {
        const Platform::ViewRect v = Platform::ComputeLetterbox(c.w, c.h, 800, 600);
        EXPECT_EQ(std::vector<int>({v.x, v.y, v.w, v.h}), std::vector<int>({c.x, c.y, c.vw, c.vh})) << c.w;
    }
    EXPECT_EQ(Platform::ComputeLetterbox(0, 600, 800, 600).w, 0);
    // The largest whole scale that fits, never below 1; the frame is not part of the usable area,
    // so exactly 1600 x 1200 usable is too small for 2x. 1920 x 1080 is also 3840 x 2160 at desktop
    // scale 2, 3840 x 2120 the same screen unscaled; 1366 x 738 a laptop with its panel subtracted.
    const int scales[][3] = {{1366, 738, 1},  {1920, 1050, 1}, {2560, 1400, 2}, {1920, 1080, 1},
                             {3840, 2120, 3}, {640, 480, 1},   {0, 0, 1},       {1600, 1200, 1}};
    for (const auto& [w, h, scale] : scales)
        EXPECT_EQ(Platform::ChooseWindowScale(w, h, 800, 600), scale) << w << "x" << h;

    // A remembered size is kept while it fits; a smaller desktop or a nonsense value chooses anew.
    Platform::WindowPlacement kept = Platform::FitPlacement({1234, 901, false}, 2560, 1400);
    EXPECT_EQ(kept.width, 1234);
    EXPECT_EQ(kept.height, 901);
    EXPECT_EQ(Platform::FitPlacement({1600, 1200, false}, 1366, 738).width, 0);
    EXPECT_EQ(Platform::FitPlacement({10, 10, false}, 1366, 738).width, 0);
    EXPECT_TRUE(Platform::FitPlacement({0, 0, true}, 1366, 738).maximised);
}

TEST(Display, MouseMapsExactlyOntoTheScaledLayout) {
    int32_t lx = 0, ly = 0;
    // 2x: every layout pixel is two window pixels, both halves land on it.
    for (int32_t wx : {0, 1, 2, 3, 798, 1598, 1599}) {
        Platform::MapWindowToLayout(wx, wx * 3 / 4, 1600, 1200, 1600, 1200, 800, 600, lx, ly);
        EXPECT_EQ(lx, wx / 2) << wx;
        EXPECT_EQ(ly, wx * 3 / 4 / 2) << wx;
    }
    // Window point and size, drawable size -> layout point. A high-DPI window (800 x 600 points,
    // 1600 x 1200 pixels) maps points 1:1; a non-whole, wider window has bars of 100 at the sides
    // (left of the layout is -1); at 1.5x the centre stays the centre and the last pixel the last.
    const int cases[][8] = {
        {799, 599, 800, 600, 1600, 1200, 799, 599}, {100, 0, 1000, 600, 1000, 600, 0, 0},
        {99, 0, 1000, 600, 1000, 600, -1, 0},       {899, 599, 1000, 600, 1000, 600, 799, 599},
        {600, 450, 1200, 900, 1200, 900, 400, 300}, {1199, 899, 1200, 900, 1200, 900, 799, 599}};
    for (const auto& c : cases) {
        Platform::MapWindowToLayout(c[0], c[1], c[2], c[3], c[4], c[5], 800, 600, lx, ly);
        EXPECT_EQ(lx, c[6]) << c[0] << "," << c[1] << " in " << c[2] << "x" << c[3];
        EXPECT_EQ(ly, c[7]) << c[0] << "," << c[1] << " in " << c[2] << "x" << c[3];
    }

    for (const auto& [w, h, whole] :
         {std::tuple{1600, 1200, true}, std::tuple{1700, 1200, true}, std::tuple{800, 600, true},
          std::tuple{1200, 900, false}, std::tuple{1920, 1080, false}})
        EXPECT_EQ(Platform::IsWholeScale(Platform::ComputeLetterbox(w, h, 800, 600), 800, 600), whole) << w;
}

// A real window on the video driver; what a test made of it is taken down after it.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { Log::Start(dir.path() + "/"); }
    void TearDown() override {
        Graphics::Shutdown();
        Platform::DestroyMainWindow();
        EXPECT_EQ(Platform::MainWindow(), nullptr);
        Log::Reset();
    }
    TempDir dir;
};

TEST_F(WindowTest, WindowedPresentIsOneToOne) {
    SDL_Window* w = Platform::CreateMainWindow(false);
    if (!w) PARLORIX_MISSING("no video driver: " << SDL_GetError());
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    EXPECT_EQ(ww, 800);
    EXPECT_EQ(wh, 600);
    EXPECT_STREQ(SDL_GetWindowTitle(w), "Parlorix");
    ASSERT_TRUE(Graphics::Init(800, 600, 32, false, w));
    SDL_FillRect(Graphics::GetBackBuffer(), nullptr, 0xFF336699);
    Graphics::Present(false);
    Graphics::Present(true);
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
    int32_t lx = 0, ly = 0;
    Platform::WindowToLayout(123, 456, lx, ly);
    EXPECT_EQ(lx, 123);
    EXPECT_EQ(ly, 456);
}

TEST_F(WindowTest, FullscreenScalesTheLayoutIntoTheDesktop) {
    SDL_Window* w = Platform::CreateMainWindow(true);
    if (!w) PARLORIX_MISSING("no video driver: " << SDL_GetError());
    ASSERT_TRUE(Graphics::Init(800, 600, 32, true, w));
    EXPECT_TRUE(Graphics::Fullscreen());
    EXPECT_EQ(Graphics::Width(), 800u); // game co-ordinates stay those of the layout
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    const Platform::ViewRect v = Platform::LayoutViewport();
    const Platform::ViewRect expect = Platform::ComputeLetterbox(ww, wh, 800, 600);
    EXPECT_EQ(v.x, expect.x);
    EXPECT_EQ(v.w, expect.w);
    int32_t lx = 0, ly = 0;
    Platform::WindowToLayout(v.x + v.w / 2, v.y + v.h / 2, lx, ly);
    EXPECT_NEAR(lx, 400, 1);
    EXPECT_NEAR(ly, 300, 1);
    Platform::WindowToLayout(v.x, v.y, lx, ly);
    EXPECT_EQ(lx, 0);
    EXPECT_EQ(ly, 0);
    Graphics::Present(false);
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
}

// Without a GPU the frame goes through the window surface: it shows the back buffer pixel for pixel
// at scale 1, each pixel as a 2 x 2 block at scale 2 (changed parts only, the rest kept), and
// letterboxed with black bars at a scale that is not whole.
TEST_F(WindowTest, WindowSurfaceShowsTheFrameAtEveryScale) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    SDL_Window* w = Platform::CreateMainWindow(false);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    ASSERT_TRUE(Graphics::Init(800, 600, 32, false, w));
    unsetenv("LIBGL_ALWAYS_SOFTWARE");
    ASSERT_EQ(Platform::CurrentPresentPath(), Platform::PresentPath::WindowSurface);
    EXPECT_NE(LogText().find("Presentation: window surface\n"), std::string::npos);
    {
        const Scene scene;
        Surface* back = Graphics::GetBackBuffer();
        auto shown = [&](int x, int y) {
            SDL_Surface* s = SDL_GetWindowSurface(w);
            uint32_t v = 0;
            std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
            return v & 0xFFFFFF;
        };
        auto layout = [&](int x, int y) {
            uint32_t v = 0;
            std::memcpy(&v, static_cast<uint8_t*>(back->pixels) + y * back->pitch + x * 4, 4);
            return v & 0xFFFFFF;
        };
        auto sameAt = [&](int scale, int ox, int oy) {
            for (int y = 0; y < 600; y += 7)
                for (int x = 0; x < 800; x += 5)
                    for (int d = 0; d < scale; ++d)
                        if (shown(ox + x * scale + d, oy + y * scale + d) != layout(x, y)) return false;
            return true;
        };
        ASSERT_TRUE(scene.Frame(100, 100));
        Graphics::Present(false);
        EXPECT_TRUE(sameAt(1, 0, 0));
        ASSERT_TRUE(scene.Frame(300, 200));
        Graphics::Present(false);
        EXPECT_FALSE(Graphics::LastChangedAreas().empty());
        EXPECT_TRUE(sameAt(1, 0, 0));

        SDL_SetWindowSize(w, 1600, 1200);
        EXPECT_TRUE(Platform::Repaint()); // as on the window's resize event
        EXPECT_TRUE(sameAt(2, 0, 0));
        ASSERT_TRUE(scene.Frame(310, 205));
        Graphics::Present(false);
        EXPECT_TRUE(sameAt(2, 0, 0));
        int32_t lx = 0, ly = 0;
        Platform::WindowToLayout(1201, 801, lx, ly);
        EXPECT_EQ(lx, 600);
        EXPECT_EQ(ly, 400);

        SDL_SetWindowSize(w, 1000, 800); // 1000 x 750 at y 25
        ASSERT_TRUE(scene.Frame(320, 210));
        Graphics::Present(false);
        EXPECT_EQ(shown(500, 10), 0u);
        EXPECT_EQ(shown(500, 790), 0u);
        EXPECT_EQ(shown(605 * 1000 / 800, 25 + 505 * 750 / 600), 0x20C040u); // inside a sprite
    }
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
}
