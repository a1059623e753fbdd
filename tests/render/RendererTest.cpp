#include "RenderFixture.h"

#include "gfx/RendererInternal.h"
#include "picture/PixelFormat.h"
#include "platform/Clock.h"
#include "scene/Variables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

using namespace RenderFixture;

namespace {

constexpr uint32_t kFill = 0xFF203040;

uint32_t g_now = 5000;
uint32_t FakeClock() {
    return g_now;
}

class RendererTest : public ::testing::Test {
  protected:
    void SetUp() override { Platform::SetTimeSource(&FakeClock); }
    void TearDown() override {
        Renderer::bRenderSoftwareLightMap = 0;
        Renderer::bRenderPoly = 0;
        Renderer::bRenderInvisible = 0;
        Platform::SetTimeSource(nullptr);
    }

    SDL_Surface* FilledBackBuffer() {
        SDL_Surface* back = Graphics::GetBackBuffer();
        SDL_FillRect(back, nullptr, kFill);
        return back;
    }

    World world;
};

// Every pixel of the back buffer compared with `expected` (as the display's 16 bits on a 16-bit
// one); reports the first few mismatches.
void ExpectPicture(SDL_Surface* back, const std::vector<uint32_t>& expected) {
    SDL_LockSurface(back);
    int mismatches = 0;
    for (int y = 0; y < 600 && mismatches < 5; ++y)
        for (int x = 0; x < 800 && mismatches < 5; ++x) {
            uint32_t got = 0, want = expected[size_t(y) * 800 + x] & 0xFFFFFF;
            if (back->format->BytesPerPixel == 4) {
                got = SurfacePixel(back, x, y) & 0xFFFFFF;
            } else {
                std::memcpy(&got,
                            static_cast<uint8_t*>(back->pixels) + size_t(y) * back->pitch + size_t(x) * 2, 2);
                want = PixelFormat::To16(want);
            }
            if (got != want) {
                ADD_FAILURE() << "pixel (" << x << "," << y << "): got " << std::hex << got << " want "
                              << want;
                ++mismatches;
            }
        }
    SDL_UnlockSurface(back);
}

// The colour of a pixel of a 32-bit surface.
uint32_t Rgb(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const uint32_t p = SurfacePixel(s, x, y) & 0xFFFFFF;
    SDL_UnlockSurface(s);
    return p;
}

void FillRect(std::vector<uint32_t>& pic, int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = std::max(y0, 0); y < std::min(y1, 600); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, 800); ++x)
            pic[size_t(y) * 800 + x] = c;
}

Element* AddElement(Level* scene, const char* name, float x, float y) {
    return static_cast<Element*>(scene->CreateObject("Element", name, {x, y}));
}

} // namespace

TEST(RendererInit, NeedsTheDefaultFontAndReportsItsSwitches) {
    World world;
    ASSERT_TRUE(Graphics::Init(800, 600, 32, false, nullptr));
    world.started = true;
    EXPECT_FALSE(Renderer::Init(800, 600, g_Settings));
    EXPECT_NE(world.LogText().find("Default font file 'Data\\Library\\Font\\Tahoma.ttf' not found\n"),
              std::string::npos);

    world.dir.Write("Data/Library/Font/Tahoma.ttf", "font bytes");
    EXPECT_TRUE(Renderer::Init(800, 600, g_Settings));
    EXPECT_EQ(std::tuple(world.fontPath, world.fontSize), std::tuple("Data\\Library\\Font\\Tahoma.ttf", 16u));
    EXPECT_NE(Renderer::Surfaces().Find("layer1 #1"), nullptr);
    uint32_t w = 0, h = 0;
    SDL_Surface* cell = Renderer::Surfaces().Find("ObstacleCell", &w, &h);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(w, 8u);
    EXPECT_EQ(Rgb(cell, 7, 7), 0xFFFFFFu);

    // The switches as variables of class "Renderer".
    VariableHolder& vars = Renderer::Variables();
    EXPECT_TRUE(SetVariable(&vars, "bRenderPoly", "true"));
    EXPECT_EQ(Renderer::bRenderPoly, 1);
    std::string text;
    EXPECT_TRUE(GetVariable(&vars, "bMmxEnable", text));
    EXPECT_EQ(text, "true");
    EXPECT_FALSE(SetVariable(&vars, "bNothing", "1"));
    EXPECT_NE(world.LogText().find("Variable 'bNothing' not found for class Renderer\n"), std::string::npos);
    Renderer::bRenderPoly = 0;
}

TEST(RendererItems, SortKeepsListOrderForEqualKeys) {
    std::vector<Item> store(6);
    const uint32_t keys[] = {3, 1, 3, 0, 1, 3};
    std::vector<Item*> items;
    for (size_t i = 0; i < store.size(); ++i) {
        store[i].nSort = keys[i];
        items.push_back(&store[i]);
    }
    Renderer::SortItems(items);
    const std::vector<Item*> want{&store[3], &store[1], &store[4], &store[0], &store[2], &store[5]};
    EXPECT_EQ(items, want);
}

// The golden scene: six elements (one invisible, one at opacity 50, one flipped, one cut by the
// canvas, one at opacity 51 with a half-transparent half) and an open polygon, ambient 0x808080.
void AddGoldenPictures(World& world) {
    Bitmap half = Solid(40, 30, 0xFF00FF00);
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 20; x < 40; ++x)
            half.SetPixel32(x, y, 0x6400FF00); // alpha 100
    Bitmap grad(Solid(20, 10, 0));
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 20; ++x)
            grad.SetPixel32(x, y, 0xFF004020 | ((x * 10) << 16));
    world.AddElement("red", Solid(40, 30, 0xFFFF0000));
    world.AddElement("half", half);
    world.AddElement("grad", grad);
}
const struct {
    const char* type;
    int x, y, opaque;
    bool flipX, visible;
} kGolden[] = {{"red", 100, 50, 100, false, true},  {"half", 120, 60, 51, false, true},
               {"grad", 300, 200, 100, true, true}, {"red", 500, 300, 100, false, false},
               {"red", 600, 400, 50, false, true},  {"red", -20, -10, 100, false, true}};

// What the rules give: opaque colour where coverage is above 128 (halved by the ambient light),
// polygon lines drawn after the light, the back buffer's own colour everywhere else.
std::vector<uint32_t> GoldenPicture() {
    std::vector<uint32_t> expected(800 * 600, kFill);
    FillRect(expected, 100, 50, 140, 80, 0x7F0000);
    FillRect(expected, 120, 60, 140, 90, 0x007F00);
    for (int x = 0; x < 20; ++x)
        FillRect(expected, 300 + x, 200, 301 + x, 210, ((19 - x) * 10 / 2) << 16 | 0x2010);
    FillRect(expected, 0, 0, 20, 20, 0x7F0000);
    FillRect(expected, 10, 300, 51, 301, 0xFF0000);
    FillRect(expected, 7, 300, 14, 301, 0xFF0000);
    FillRect(expected, 10, 297, 11, 304, 0xFF0000);
    return expected;
}

// Without a switch the layers are already built and the frame only blits them.
void DrawAndCompareGolden(SDL_Surface* back, bool switchScene = true) {
    Renderer::bRenderSoftwareLightMap = 1;
    Renderer::bRenderPoly = 1;
    if (switchScene) {
        EXPECT_TRUE(SwitchScene("Board", "Level_00_00")); // the scene hook rebuilds the layers
        EXPECT_TRUE(Renderer::Layer(0).active);
        EXPECT_FALSE(Renderer::Layer(1).active);
    }
    SDL_FillRect(back, nullptr, Graphics::Is32Bit() ? kFill : PixelFormat::To16(kFill));
    Renderer::DrawScene(back);
    ExpectPicture(back, GoldenPicture());
}

#ifdef SCENEC_PATH
// The scene file comes from the scene compiler.
TEST_F(RendererTest, GoldenSceneFromSceneCompiler) {
    AddGoldenPictures(world);
    std::string desc = "[Episode]\nwidth = 1\nheight = 1\n\n[Scene1]\ncolumn = 0\nrow = 0\n"
                       "cAmbient = 0x808080\nvSize.x = 800\nvSize.y = 600\n\n";
    for (const auto& o : kGolden) {
        const std::string n = std::to_string(&o - kGolden + 1);
        desc += "[Scene1.Object" + n + "]\nsName = O" + n + "\nsType = Element." + o.type +
                "\nvPosition.x = " + std::to_string(o.x) + "\nvPosition.y = " + std::to_string(o.y) + "\n" +
                (o.opaque != 100 ? "nOpaque = " + std::to_string(o.opaque) + "\n" : "") +
                (o.flipX ? "bFlipX = true\n" : "") + (o.visible ? "" : "bVisible = false\n") + "\n";
    }
    desc += "[Scene1.Polygon1]\nsName = Line\ncColor = 0x0000FF\nbClosed = false\n"
            "vertex1 = 10, 300\nvertex2 = 50, 300\n";
    world.dir.Write("golden.txt", desc);
    world.dir.Write("Data/Levels/.keep", "");
    const std::string command =
        std::string(SCENEC_PATH) + " golden.txt Data/Levels/Board.eed > scenec.log 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << world.dir.Read("scenec.log");
    world.writeEpisode = false;
    ASSERT_TRUE(world.Start()) << world.LogText();
    ASSERT_EQ(GetActiveScene()->elements.size(), 6u);
    DrawAndCompareGolden(Graphics::GetBackBuffer());
}
#endif

// The same scene built through the scene API, drawn twice (the second frame only blits), on a
// 32-bit display and on a 5-6-5 one, where the layer picture is 16 bits with its key converted,
// also when a rebuild reuses the picture's memory.
TEST_F(RendererTest, GoldenSceneComposition) {
    AddGoldenPictures(world);
    for (uint32_t depth : {32u, 16u}) {
        SCOPED_TRACE(depth);
        world.Stop();
        world.depth = depth;
        ASSERT_TRUE(world.Start()) << world.LogText();
        ASSERT_EQ(Graphics::Is32Bit(), depth == 32);
        Level* scene = GetActiveScene();
        ASSERT_NE(scene, nullptr);
        for (const auto& o : kGolden) {
            Element* e = AddElement(scene, o.type, float(o.x), float(o.y));
            e->nOpaque = o.opaque;
            e->bFlipX = o.flipX;
            e->bVisible = o.visible;
        }
        auto* poly = static_cast<Polygon*>(scene->CreateObject("Polygon", "", {0, 0}));
        poly->bClosed = 0;
        poly->cColor = 0x0000FF; // red in bits 0-7
        poly->AddVertex({10, 300}, false);
        poly->AddVertex({50, 300}, false);

        DrawAndCompareGolden(Graphics::GetBackBuffer());
        EXPECT_EQ(Renderer::Layer(0).picture.Bits(), depth);
        EXPECT_FALSE(Renderer::Layer(0).dirty);
        DrawAndCompareGolden(Graphics::GetBackBuffer(), false);
        DrawAndCompareGolden(Graphics::GetBackBuffer());
    }
    EXPECT_NE(world.LogText().find("Layer memory size:  1875K\n"), std::string::npos);
    EXPECT_NE(world.LogText().find("Static light buffer size 200 * 150 = 175Kb\n"), std::string::npos);
}

TEST_F(RendererTest, ParallaxBackLayerShowsThroughTheMainLayer) {
    world.gridW = 2;
    world.scenes = {{0, 0, "Level_00_00", 0xFFFFFF, "level_01_00"}, {1, 0, "Level_01_00", 0xFFFFFF, ""}};
    world.AddElement("blue", Solid(100, 100, 0xFF0000FF));
    world.AddElement("red", Solid(20, 20, 0xFFFF0000));
    ASSERT_TRUE(world.Start()) << world.LogText();

    Episode* ep = GetCurrentEpisode();
    AddElement(ep->FindScene("Level_01_00"), "blue", 0, 0);
    AddElement(ep->FindScene("Level_00_00"), "red", 10, 10);
    EXPECT_TRUE(SwitchScene("Board", "Level_00_00"));
    ASSERT_TRUE(Renderer::Layer(1).active);
    EXPECT_FALSE(Renderer::Layer(1).isMain);
    EXPECT_EQ(Renderer::Layer(1).names[0], "Back layer #1");

    SDL_Surface* back = FilledBackBuffer();
    Renderer::DrawScene(back);
    EXPECT_EQ(Rgb(back, 15, 15), 0xFF0000u); // main layer
    EXPECT_EQ(Rgb(back, 50, 50), 0x0000FFu); // back layer through the key
    // The back layer is drawn without its key: its uncovered parts show the key colour.
    EXPECT_EQ(Rgb(back, 300, 300), Bitmap::kDefaultKey);

    // A parallax name that no scene bears: only the main layer, and the back buffer keeps its colour.
    Renderer::ReleaseSurfaces();
    ep->FindScene("Level_00_00")->sParallaxName = "nowhere";
    EXPECT_TRUE(SwitchScene("Board", "Level_00_00"));
    EXPECT_FALSE(Renderer::Layer(1).active);
    back = FilledBackBuffer();
    Renderer::DrawScene(back);
    EXPECT_EQ(Rgb(back, 15, 15), 0xFF0000u);
    EXPECT_EQ(Rgb(back, 50, 50), kFill & 0xFFFFFF);

    Renderer::OnSceneChanged(nullptr); // no scene: nothing happens
}

TEST_F(RendererTest, ItemsDrawnSortedWithTheirFrames) {
    world.AddGif("five", 53, 53, 5);
    world.WriteAni("brick.ani", "[Animation]\nname = Brick\n"
                                "[Action1]\nname = Stay\npivotX = 26\npivotY = 52\ngif1name = five\n"
                                "gif1size = 53,53,5\nsrcstr 0 = frame(0)\n"
                                "[Action2]\nname = Three\npivotX = 26\npivotY = 52\ngif1name = five\n"
                                "gif1size = 53,53,5\nsrcstr 0 = frame(3)\n");
    world.AddItem("brickA", "Brick", "Stay");
    world.AddItem("brickB", "Brick", "Three");
    world.AddItem("idle", "Brick", ""); // no idle action: keeps what the game plays
    ASSERT_TRUE(world.Start()) << world.LogText();
    Level* scene = GetActiveScene();
    auto* a = static_cast<Item*>(scene->CreateObject("Item", "brickA", {100, 100}));
    auto* b = static_cast<Item*>(scene->CreateObject("Item", "brickB", {120, 100}));
    auto* hidden = static_cast<Item*>(scene->CreateObject("Item", "brickA", {400, 300}));
    hidden->bVisible = 0;
    auto* idle = static_cast<Item*>(scene->CreateObject("Item", "idle", {600, 300}));
    Animation::Play("Brick", "Three", idle->animation);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    // An item template's picture is frame 0 of its idle action, through the animation hook.
    Bitmap* itemPicture = Library::GetPicture("Item", "brickB");
    ASSERT_NE(itemPicture, nullptr);
    EXPECT_EQ(itemPicture->Pixel32(10, 10), 0xFF000000u | PaletteRgb(1));

    auto draw = [&] {
        SDL_Surface* back = FilledBackBuffer();
        g_now += 5;
        Renderer::DrawItems(back);
        return back;
    };

    // Equal keys: list order, so b (frame 3) lies over a (frame 0) where they overlap.
    SDL_Surface* back = draw();
    EXPECT_EQ(a->pivot.x, 26.0f);
    EXPECT_EQ(Rgb(back, 80, 60), PaletteRgb(1));      // a alone: drawn at (74, 48)
    EXPECT_EQ(Rgb(back, 110, 60), PaletteRgb(4));     // overlap
    EXPECT_EQ(Rgb(back, 74, 48), kFill & 0xFFFFFF);   // the GIF's border colour is the key
    EXPECT_EQ(Rgb(back, 400, 280), kFill & 0xFFFFFF); // invisible item
    EXPECT_EQ(Rgb(back, 600, 280), PaletteRgb(4));    // idle item keeps the game's action

    a->nSort = 2;
    back = draw();
    EXPECT_EQ(Rgb(back, 110, 60), PaletteRgb(1));

    Renderer::bRenderInvisible = 1;
    back = draw();
    EXPECT_EQ(Rgb(back, 400, 280), PaletteRgb(1));
    Renderer::bRenderInvisible = 0;

    world.keysDown = {0x14}; // T hides the items
    back = draw();
    EXPECT_EQ(Rgb(back, 110, 60), kFill & 0xFFFFFF);
}

TEST_F(RendererTest, GetPictureLaysFramesOutInRowsOf800) {
    world.AddGif("ten", 100, 20, 10);
    world.AddGif("three", 53, 30, 3);
    world.AddGif("huge", 801, 2, 1);
    ASSERT_TRUE(world.Start()) << world.LogText();

    SDL_Surface* ten = Renderer::GetPicture("ten");
    ASSERT_NE(ten, nullptr);
    EXPECT_EQ(std::tuple(ten->w, ten->h), std::tuple(800, 40)); // 8 frames per row, 2 rows
    EXPECT_EQ(Renderer::GetPicture("TEN"), ten);                // cached under its name
    EXPECT_EQ(Rgb(ten, 150, 30), PaletteRgb(10));               // frame 9 at (100, 20)
    EXPECT_EQ(Rgb(ten, 100, 20), Bitmap::kDefaultKey);

    SDL_Surface* three = Renderer::GetPicture("three");
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(std::tuple(three->w, three->h), std::tuple(159, 30)); // fewer frames than fit a row

    EXPECT_EQ(Renderer::GetPicture("huge"), nullptr); // wider than the layout
    EXPECT_EQ(Renderer::GetPicture("missing"), nullptr);
}

TEST_F(RendererTest, CursorOnlyInFullscreen) {
    world.AddGif("kursor", 16, 16, 1);
    ASSERT_TRUE(world.Start()) << world.LogText();
    world.cursorX = 100;
    world.cursorY = 50;
    SDL_Surface* back = FilledBackBuffer();
    Renderer::DrawCursor(back); // windowed: the system cursor shows
    EXPECT_EQ(Rgb(back, 108, 58), kFill & 0xFFFFFF);

    ASSERT_TRUE(Graphics::Init(800, 600, 32, true, nullptr));
    back = FilledBackBuffer();
    Renderer::DrawCursor(back);
    EXPECT_EQ(Rgb(back, 108, 58), PaletteRgb(1));
    EXPECT_EQ(Rgb(back, 100, 50), kFill & 0xFFFFFF); // the border is the key
}
