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

// Pixel (x, y) of a surface of 4 or 2 bytes a pixel.
uint32_t At(Surface* s, int x, int y) {
    uint32_t v = 0;
    const int bpp = s->format->BytesPerPixel;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * bpp, size_t(bpp));
    return v;
}
void Fill(Surface* s, uint32_t v) {
    SDL_FillRect(s, nullptr, v);
}
std::tuple<int, int, int, int> Tuple(const Graphics::Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

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
    TempDir dir;
};

class Graphics16Test : public GraphicsTest {
  protected:
    int depth() const override { return 16; }
};

// A background with a different colour in every pixel, and a keyed sprite with a hole.
struct Scene {
    Surface* background = Graphics::CreateSurface(800, 600);
    Surface* sprite = Graphics::CreateSurface(40, 30);
    Scene() {
        Graphics::Locked l;
        if (Graphics::Lock(background, l)) {
            for (int y = 0; y < 600; ++y)
                for (int x = 0; x < 800; ++x) {
                    const uint32_t v = 0xFF000000u | uint32_t(x * 977 + y * 131) * 2654435761u >> 8;
                    std::memcpy(l.pixels + y * l.pitch + x * 4, &v, 4);
                }
            Graphics::Unlock(background);
        }
        Fill(sprite, 0xFF20C040);
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
    std::vector<uint32_t> out;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            out.push_back(At(s, x, y));
    return out;
}

} // namespace

TEST_F(GraphicsTest, InitLogsAndDescribesTheDisplay) {
    EXPECT_NE(LogText().find("Graphics::Init( 800,600,32 )\nFullscreen = 0\n"), std::string::npos);
    EXPECT_NE(LogText().find("Vram Free:"), std::string::npos);
    EXPECT_TRUE(Graphics::Is32Bit());
    EXPECT_EQ(Graphics::Depth(), 32u);
    Surface* back = Graphics::GetBackBuffer();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::tuple(back->w, back->h, int(back->format->BytesPerPixel)), std::tuple(800, 600, 4));
    Graphics::Present(false); // no window: nothing to show, nothing logged
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
    Graphics::Shutdown();
    EXPECT_EQ(Graphics::GetBackBuffer(), nullptr);
    EXPECT_STREQ(Graphics::ErrorName(static_cast<int32_t>(Platform::DisplayError::DDERR_SURFACELOST)),
                 "DDERR_SURFACELOST");
    EXPECT_STREQ(Graphics::ErrorName(12345), "Not defined error");
    EXPECT_STREQ(Graphics::ErrorName(0), "Not defined error");

    // A surface wider than the display is refused, with its line.
    ASSERT_TRUE(Graphics::Init(800, 600, 32, false, nullptr));
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
            const uint32_t v = 0xFF000000u | static_cast<uint32_t>(y << 8 | x); // row and column
            std::memcpy(static_cast<uint8_t*>(src->pixels) + y * src->pitch + x * 4, &v, 4);
        }
    const uint32_t kBlank = 0xFFEEEEEE;
    const Graphics::Rect part{5, 1, 15, 4}, empty{3, 3, 3, 4};
    const struct {
        int x, y;
        const Graphics::Rect* rect;
        std::vector<std::tuple<int, int, uint32_t>> pixels;
    } cases[] = {
        // x = -10: the right 40 columns land at x = 0.
        {-10, 0, nullptr, {{0, 0, 0xFF00000A}, {39, 3, 0xFF000331}, {40, 0, kBlank}}},
        // Past the right and bottom edges: cut.
        {80, 8, nullptr, {{80, 8, 0xFF000000}, {99, 9, 0xFF000113}, {79, 8, kBlank}}},
        // Negative y with a source rectangle.
        {2, -2, &part, {{2, 0, 0xFF000305}, {11, 0, 0xFF00030E}, {2, 1, kBlank}}},
        // Entirely outside, or an empty rectangle: nothing changes.
        {-60, 0, nullptr, {}},
        {100, 0, nullptr, {}},
        {0, 0, &empty, {}},
    };
    for (const auto& c : cases) {
        Fill(dst, kBlank);
        const bool blitted = Graphics::Blit(dst, c.x, c.y, src, c.rect, false);
        for (const auto& [x, y, want] : c.pixels)
            EXPECT_EQ(At(dst, x, y), want) << "blit at " << c.x << "," << c.y << ", pixel " << x << "," << y;
        if (c.pixels.empty())
            EXPECT_EQ(Pixels(dst), std::vector<uint32_t>(100 * 10, kBlank))
                << "blit at " << c.x << "," << c.y;
        else
            EXPECT_TRUE(blitted);
    }
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
    EXPECT_EQ(At(s, 0, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(At(s, 1, 0), 0x80445566u);
    Uint32 key = 0;
    ASSERT_EQ(SDL_GetColorKey(s, &key), 0);
    EXPECT_EQ(key & 0xFFFFFF, 0xFF00FFu);

    Surface* dst = Graphics::CreateSurface(4, 1);
    Fill(dst, 0xFF000001);
    ASSERT_TRUE(Graphics::Blit(dst, 1, 0, s, nullptr, true));
    EXPECT_EQ(At(dst, 1, 0), 0xFF000001u); // keyed pixel skipped
    EXPECT_EQ(At(dst, 2, 0) & 0xFFFFFF, 0x445566u);
    EXPECT_EQ(At(dst, 3, 0) & 0xFFFFFF, 0x778899u);
    // Without the key everything is copied, and the surface keeps its key for later blits.
    ASSERT_TRUE(Graphics::Blit(dst, 1, 0, s, nullptr, false));
    EXPECT_EQ(At(dst, 1, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(SDL_GetColorKey(s, &key), 0);

    // Upload clips a rectangle running off the surface instead of writing past it.
    Bitmap big;
    ASSERT_TRUE(big.Create(10, 10, 32));
    EXPECT_TRUE(Graphics::Upload(big, Graphics::Rect{-5, -5, 20, 20}, dst, 2, 0, false));
    Graphics::ReleaseSurface(s);
    Graphics::ReleaseSurface(dst);
}

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
    EXPECT_EQ(Tuple(areas[0]), std::tuple(100, 100, 140, 130));
    EXPECT_EQ(Tuple(areas[1]), std::tuple(130, 110, 170, 140));
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
    EXPECT_EQ(At(back, 10, 10), 0xF81Fu);
    EXPECT_EQ(At(back, 11, 10), PixelFormat::To16(0xFF8040));
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
    ASSERT_NE(reg.Create("Layer1 #1", 800, 600), nullptr);
    EXPECT_NE(LogText().find("Surface 'Layer1 #1' [800x600] [system]\n"), std::string::npos);
    Surface* b = reg.Create("kursor", 32, 32);
    uint32_t w = 0, h = 0;
    EXPECT_EQ(reg.Find("KURSOR", &w, &h), b);
    EXPECT_EQ(std::tuple(w, h), std::tuple(32u, 32u));
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
    EXPECT_EQ(std::tuple(kept.width, kept.height), std::tuple(1234, 901));
    EXPECT_EQ(Platform::FitPlacement({1600, 1200, false}, 1366, 738).width, 0);
    EXPECT_EQ(Platform::FitPlacement({10, 10, false}, 1366, 738).width, 0);
    EXPECT_TRUE(Platform::FitPlacement({0, 0, true}, 1366, 738).maximised);
}

TEST(Display, MouseMapsExactlyOntoTheScaledLayout) {
    int32_t lx = 0, ly = 0;
    // 2x: every layout pixel is two window pixels, both halves land on it.
    for (int32_t wx : {0, 1, 2, 3, 798, 1598, 1599}) {
        Platform::MapWindowToLayout(wx, wx * 3 / 4, 1600, 1200, 1600, 1200, 800, 600, lx, ly);
        EXPECT_EQ(std::tuple(lx, ly), std::tuple(wx / 2, wx * 3 / 4 / 2)) << wx;
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
        EXPECT_EQ(std::tuple(lx, ly), std::tuple(c[6], c[7]))
            << c[0] << "," << c[1] << " in " << c[2] << "x" << c[3];
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
    // A window presented through its own surface, as on a machine without a GPU; null on failure.
    static SDL_Window* WindowSurfaceDisplay(uint32_t depth) {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        SDL_Window* w = Platform::CreateMainWindow(false);
        const bool ready = w && Graphics::Init(800, 600, depth, false, w);
        unsetenv("LIBGL_ALWAYS_SOFTWARE");
        return ready && Platform::CurrentPresentPath() == Platform::PresentPath::WindowSurface ? w : nullptr;
    }
    static std::tuple<int32_t, int32_t> Layout(int32_t x, int32_t y) {
        int32_t lx = 0, ly = 0;
        Platform::WindowToLayout(x, y, lx, ly);
        return {lx, ly};
    }
    TempDir dir;
};

TEST_F(WindowTest, WindowedPresentIsOneToOne) {
    SDL_Window* w = Platform::CreateMainWindow(false);
    if (!w) PARLORIX_MISSING("no video driver: " << SDL_GetError());
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    EXPECT_EQ(std::tuple(ww, wh), std::tuple(800, 600));
    EXPECT_STREQ(SDL_GetWindowTitle(w), "Parlorix");
    ASSERT_TRUE(Graphics::Init(800, 600, 32, false, w));
    Fill(Graphics::GetBackBuffer(), 0xFF336699);
    Graphics::Present(false);
    Graphics::Present(true);
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
    EXPECT_EQ(Layout(123, 456), std::tuple(123, 456));
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
    EXPECT_EQ(std::tuple(v.x, v.w), std::tuple(expect.x, expect.w));
    const auto [cx, cy] = Layout(v.x + v.w / 2, v.y + v.h / 2);
    EXPECT_NEAR(cx, 400, 1);
    EXPECT_NEAR(cy, 300, 1);
    EXPECT_EQ(Layout(v.x, v.y), std::tuple(0, 0));
    Graphics::Present(false);
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
}

// Without a GPU the frame goes through the window surface: it shows the back buffer pixel for pixel
// at scale 1, each pixel as a 2 x 2 block at scale 2 (changed parts only, the rest kept), and
// letterboxed with black bars at a scale that is not whole.
TEST_F(WindowTest, WindowSurfaceShowsTheFrameAtEveryScale) {
    SDL_Window* w = WindowSurfaceDisplay(32);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    EXPECT_NE(LogText().find("Presentation: window surface\n"), std::string::npos);
    {
        const Scene scene;
        Surface* back = Graphics::GetBackBuffer();
        auto shown = [&](int x, int y) { return At(SDL_GetWindowSurface(w), x, y) & 0xFFFFFF; };
        auto sameAt = [&](int scale) {
            for (int y = 0; y < 600; y += 7)
                for (int x = 0; x < 800; x += 5)
                    for (int d = 0; d < scale; ++d)
                        if (shown(x * scale + d, y * scale + d) != (At(back, x, y) & 0xFFFFFF)) return false;
            return true;
        };
        ASSERT_TRUE(scene.Frame(100, 100));
        Graphics::Present(false);
        EXPECT_TRUE(sameAt(1));
        ASSERT_TRUE(scene.Frame(300, 200));
        Graphics::Present(false);
        EXPECT_FALSE(Graphics::LastChangedAreas().empty());
        EXPECT_TRUE(sameAt(1));

        SDL_SetWindowSize(w, 1600, 1200);
        EXPECT_TRUE(Platform::Repaint()); // as on the window's resize event
        EXPECT_TRUE(sameAt(2));
        ASSERT_TRUE(scene.Frame(310, 205));
        Graphics::Present(false);
        EXPECT_TRUE(sameAt(2));
        EXPECT_EQ(Layout(1201, 801), std::tuple(600, 400));

        SDL_SetWindowSize(w, 1000, 800); // 1000 x 750 at y 25
        ASSERT_TRUE(scene.Frame(320, 210));
        Graphics::Present(false);
        EXPECT_EQ(shown(500, 10), 0u);
        EXPECT_EQ(shown(500, 790), 0u);
        EXPECT_EQ(shown(605 * 1000 / 800, 25 + 505 * 750 / 600), 0x20C040u); // inside a sprite
    }
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
}

// A 16-bit display's bytes are not the window's: frames reach it through a converted copy, whole
// at first and then only where a frame changed.
TEST_F(WindowTest, SixteenBitFramesReachTheWindowSurfaceConverted) {
    SDL_Window* w = WindowSurfaceDisplay(16);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    Surface* back = Graphics::GetBackBuffer();
    Surface* red = Graphics::CreateSurface(800, 600);
    Surface* green = Graphics::CreateSurface(20, 20);
    Fill(red, 0xF800);
    Fill(green, 0x07E0);
    auto frame = [&](int x) {
        Graphics::BeginFrame();
        Graphics::Blit(back, 0, 0, red, nullptr, false);
        Graphics::Blit(back, x, 100, green, nullptr, false);
        EXPECT_TRUE(Graphics::EndFrame());
        Graphics::Present(false);
    };
    // SDL's 16-to-32-bit copy may round a channel one step lower than SDL_GetRGB does.
    auto matches = [&](int x, int y) {
        Uint8 want[3] = {}, got[3] = {};
        SDL_GetRGB(At(back, x, y), back->format, &want[0], &want[1], &want[2]);
        SDL_Surface* window = SDL_GetWindowSurface(w);
        SDL_GetRGB(At(window, x, y), window->format, &got[0], &got[1], &got[2]);
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(want[c]) - int(got[c])) > 1) return false;
        return true;
    };
    frame(100);
    EXPECT_TRUE(matches(5, 5) && matches(105, 105));
    frame(300);
    EXPECT_FALSE(Graphics::LastChangedAreas().empty());
    EXPECT_TRUE(matches(105, 105) && matches(305, 105) && matches(799, 599));
    EXPECT_NE(At(back, 105, 105), At(back, 305, 105));
    Graphics::ReleaseSurface(green);
    Graphics::ReleaseSurface(red);
    EXPECT_EQ(LogText().find("Error"), std::string::npos);
}
