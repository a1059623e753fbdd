#include "RenderFixture.h"

#include "gfx/AnimationData.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace RenderFixture;

namespace {

uint32_t g_now = 100000;
uint32_t FakeClock() {
    return g_now;
}

const char* kBrickAni =
    "[Animation]\nname = Brick\n[Action1]\nname = Stay\ndiroffset = 8\ndelay = 40\nkey = K\npivotX = 26\n"
    "pivotY = 52\ngif1name  = five\ngif1size  = 53,53,5\ngif1flags = 1,0\ngif2name  = five\n"
    "gif2size  = 53,53,5\ngif2flags = 0,1\nsrcstr 0 = frame(0);\nsrcstr 1 = frame(9);\nsrcstr 2 = goto(0);\n"
    "[Action2]\nname = Wide\ngif1name  = ten\ngif1size  = 100\nsrcstr 0 = frame 7\n"
    "[Action3]\nname = Empty\ngif1name  = five\ngif1size  = 53,53,5\n"
    "[Action4]\nname = Broken\ngif1name  = five\nsrcstr 0 = delay(5);\n";

class AnimationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetTimeSource(&FakeClock);
        Animation::SetFrozen(false);
    }
    void TearDown() override { Platform::SetTimeSource(nullptr); }

    // The world with brick.ani over a GIF of five frames.
    void StartBrick() {
        world.AddGif("five", 53, 53, 5);
        world.WriteAni("brick.ani", kBrickAni);
        ASSERT_TRUE(world.Start()) << world.LogText();
    }
    static std::tuple<int32_t, int32_t, int32_t, int32_t> Rect(const FrameRect& r) {
        return {r.left, r.top, r.right, r.bottom};
    }
    AnimationAction* Action(const char* anim, const char* action) {
        AnimationRecord* a = Animation::Find(anim);
        return a ? a->FindAction(action) : nullptr;
    }

    World world;
};

} // namespace

TEST_F(AnimationTest, ReaderFillsActionsAndGuardsIncompleteEntries) {
    world.WriteAni("brick2.ani", "[Animation]\nname = Brick\n[Action1]\nname = Other\n"); // loses
    world.WriteAni("noname.ani", "[Animation]\n[Action1]\nname = X\n");                   // skipped
    StartBrick();
    ASSERT_EQ(Animation::Count(), 1);

    AnimationAction* stay = Action("Brick", "Stay");
    ASSERT_NE(stay, nullptr);
    EXPECT_EQ(std::tuple(stay->dwNextDirection, stay->dwPlayingDelay, stay->sBindedKey, stay->nPivotX,
                         stay->nPivotY),
              std::tuple(8u, 40u, std::string("K"), 26, 52));
    ASSERT_EQ(stay->gifs.size(), 2u);
    EXPECT_EQ(stay->gifs[1]->surfaceName, "Animation.Brick.Stay.Surface#2");
    EXPECT_EQ(std::tuple(stay->gifs[0]->bFlipX, stay->gifs[0]->bFlipY, stay->gifs[1]->bFlipX,
                         stay->gifs[1]->bFlipY),
              std::tuple(1, 0, 0, 1));
    EXPECT_EQ(stay->scriptSource, "frame(0);\r\nframe(9);\r\ngoto(0);\r\n");
    EXPECT_EQ(stay->script.size(), 3u);
    EXPECT_EQ(stay->scriptStatus, -1);

    // Missing delay and diroffset take their defaults; the missing numbers of a size are 0.
    AnimationAction* wide = Action("Brick", "Wide");
    ASSERT_NE(wide, nullptr);
    const AniGifReference& g = *wide->gifs[0];
    EXPECT_EQ(
        std::tuple(wide->dwPlayingDelay, wide->dwNextDirection, g.dwFrameSizeX, g.dwFrameSizeY, g.dwFrames),
        std::tuple(30u, 0u, 100u, 0u, 0u));
    EXPECT_EQ(g.bFlipX, 0);

    AnimationAction* empty = Action("Brick", "Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->script.empty());
    EXPECT_EQ(empty->scriptStatus, -1);
    EXPECT_EQ(Action("Brick", "Broken")->scriptStatus, 0);
    EXPECT_EQ(Action("Brick", "stay"), nullptr); // the reader's names compare exactly
}

TEST_F(AnimationTest, WriterOutputReadsBackTheSame) {
    StartBrick();
    world.dir.Write("out/Data/Library/Animation/.keep", "");
    Animation::SetWorkingDirectory((world.dir.path() + "/out/").c_str());
    ASSERT_TRUE(Animation::WriteAll());
    Animation::SetWorkingDirectory("");
    const std::string text = world.dir.Read("out/Data/Library/Animation/Brick.ani");
    const std::string head = "[Animation]\nname = Brick\n[Action1]\nname = Stay\ndiroffset = 8\ndelay = 40\n"
                             "key = K\npivotX = 26\npivotY = 52\ngif1name  = five\ngif1size  = 53,53,5\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("gif1flags = 1,0\ngif2name  = five\n"), std::string::npos);
    EXPECT_NE(text.find("srcstr 0 = frame(0);\nsrcstr 1 = frame(9);\nsrcstr 2 = goto(0);\n\n[Action2]\n"),
              std::string::npos);

    // Reading the written file again and writing it once more gives the same text.
    Animation::ReleaseAll();
    ASSERT_TRUE(Animation::ReadFile((world.dir.path() + "/out/Data/Library/Animation/Brick.ani").c_str()));
    world.dir.Write("again/Data/Library/Animation/.keep", "");
    Animation::SetWorkingDirectory((world.dir.path() + "/again/").c_str());
    ASSERT_TRUE(Animation::WriteAll());
    EXPECT_EQ(world.dir.Read("again/Data/Library/Animation/Brick.ani"), text);
    EXPECT_EQ(Action("Brick", "Stay")->scriptSource, "frame(0);\r\nframe(9);\r\ngoto(0);\r\n");

    // A folder that cannot be created stops the writer.
    Animation::SetWorkingDirectory((world.dir.path() + "/missing/").c_str());
    EXPECT_FALSE(Animation::WriteAll());
    Animation::SetWorkingDirectory("");
}

TEST_F(AnimationTest, PlayFindsNamesIgnoringCaseAndLeavesUnknownsAlone) {
    StartBrick();

    AnimationState s;
    Animation::Play("nothing", "Stay", s);
    EXPECT_EQ(s.animation, -1);
    Animation::Play("BRICK", "nothing", s);
    EXPECT_EQ(std::tuple(s.animation, s.action), std::tuple(0, -1)); // the animation index stays stored
    Animation::Play("brick", "sTaY", s);
    EXPECT_EQ(std::tuple(s.action, s.pivotX, s.lastUpdate), std::tuple(0, 26.f, g_now));
    EXPECT_TRUE(Action("Brick", "Stay")->sheetsBuilt);

    // A script that failed to compile never plays.
    AnimationState b;
    Animation::Play("Brick", "Broken", b);
    EXPECT_EQ(b.action, -1);
}

TEST_F(AnimationTest, FramesWrapAtTheCycleAndWalkTheGifs) {
    StartBrick();

    AnimationState s;
    SDL_Surface* surface = nullptr;
    FrameRect r;
    EXPECT_FALSE(Animation::GetFrame(s, surface, r)); // no animation yet

    Animation::Play("Brick", "Stay", s);
    AnimationAction* stay = Action("Brick", "Stay");
    ASSERT_NE(stay->gifs[0]->sheet, nullptr);
    // Five 53-pixel frames fit one row of 800: sheet 265 x 106 (the extra row is always there).
    EXPECT_EQ(std::tuple(stay->gifs[0]->sheetWidth, stay->gifs[0]->sheetHeight), std::tuple(265u, 106u));

    s.frame = 8; // equal to the cycle: not reduced, frame 3 of the second GIF
    ASSERT_TRUE(Animation::GetFrame(s, surface, r));
    EXPECT_EQ(surface, stay->gifs[1]->sheet);
    EXPECT_EQ(Rect(r), std::tuple(3 * 53, 0, 4 * 53, 53));

    surface = nullptr;
    s.frame = 9; // 9 mod 8 = 1: frame 1 of the first GIF
    ASSERT_TRUE(Animation::GetFrame(s, surface, r));
    EXPECT_EQ(surface, stay->gifs[0]->sheet);
    EXPECT_EQ(r.left, 53);

    // Beyond all GIFs (cycle 0 leaves the number as it is): no surface, still true.
    AnimationState w;
    Animation::Play("Brick", "Empty", w);
    Action("Brick", "Empty")->dwNextDirection = 0;
    w.frame = 12;
    surface = nullptr;
    EXPECT_TRUE(Animation::GetFrame(w, surface, r));
    EXPECT_EQ(surface, nullptr);
}

TEST_F(AnimationTest, SheetOfTenFramesOfWidth100) {
    world.AddGif("ten", 100, 20, 10);
    world.WriteAni("wide.ani", "[Animation]\nname = Wide\n[Action1]\nname = Run\ngif1name = ten\n"
                               "gif1size = 100,20,10\nsrcstr 0 = frame(7)\n");
    ASSERT_TRUE(world.Start()) << world.LogText();
    AnimationState s;
    Animation::Play("Wide", "Run", s);
    AniGifReference* ref = Action("Wide", "Run")->gifs[0].get();
    ASSERT_NE(ref->sheet, nullptr);
    // 10 x 100 > 800, halved to 5 a row; (10 div 5 + 1) rows of 20; the key is the border colour of
    // frame 0, alpha 0.
    EXPECT_EQ(std::tuple(ref->framesPerRow, ref->sheetWidth, ref->sheetHeight, ref->colorKey),
              std::tuple(5u, 500u, 60u, 0u));
    EXPECT_EQ(std::tuple(ref->sheet->w, ref->sheet->h), std::tuple(500, 60));

    SDL_Surface* surface = nullptr;
    FrameRect r;
    ASSERT_TRUE(Animation::GetFrame(s, surface, r));
    EXPECT_EQ(Rect(r), std::tuple(200, 20, 300, 40)); // frame 7: column 2, row 1

    // Frame 7's pixels landed there: border pixels became the sheet's key, the inside kept its colour.
    ASSERT_TRUE(SDL_LockSurface(surface) == 0);
    EXPECT_EQ(SurfacePixel(surface, 250, 30) & 0xFFFFFF, PaletteRgb(8));
    EXPECT_EQ(SurfacePixel(surface, 200, 20) & 0xFFFFFF, Bitmap::kDefaultKey);
    SDL_UnlockSurface(surface);

    // A frame wider than the screen cannot be laid out: no sheet, nothing drawn, nothing retried.
    world.dir.Write("Data/Library/AniGifs/wide.gif", GifFile(801, 4, 2));
    Library::FindGroup("AniGifs")->AddData("wide.gif", {801, 4});
    EXPECT_FALSE(Animation::ReadFile(nullptr));
    world.WriteAni("w.ani",
                   "[Animation]\nname = W\n[Action1]\nname = A\ngif1name = wide\ngif1size = 801,4,2\n"
                   "srcstr 0 = frame(1)\n");
    ASSERT_TRUE(Animation::ReadFile("Data\\Library\\Animation\\w.ani"));
    AnimationState ws;
    Animation::Play("W", "A", ws);
    surface = nullptr;
    EXPECT_TRUE(Animation::GetFrame(ws, surface, r));
    EXPECT_EQ(surface, nullptr);
    EXPECT_TRUE(Action("W", "A")->gifs[0]->buildFailed);

    // Releasing the animations releases their sheets from the renderer's registry.
    EXPECT_NE(Renderer::Surfaces().Find("Animation.Wide.Run.Surface#1"), nullptr);
    Animation::ReleaseAll();
    EXPECT_EQ(Renderer::Surfaces().Find("Animation.Wide.Run.Surface#1"), nullptr);
}

TEST_F(AnimationTest, GetFrameImageCopiesTheLibraryFrame) {
    StartBrick();
    Bitmap out;
    ASSERT_TRUE(Animation::GetFrameImage("Brick", "Stay", 9, out)); // 9 mod 8 = 1
    EXPECT_EQ(out.Width(), 53u);
    EXPECT_EQ(out.Pixel32(10, 10), 0xFF000000u | PaletteRgb(2));
    EXPECT_TRUE(Animation::GetFrameImage("Brick", "Stay", 7, out)); // second GIF, frame 2
    EXPECT_EQ(out.Pixel32(10, 10), 0xFF000000u | PaletteRgb(3));
    EXPECT_FALSE(Animation::GetFrameImage("brick", "Stay", 0, out)); // exact names only
    EXPECT_FALSE(Animation::GetFrameImage("Brick", "Nope", 0, out));
    Action("Brick", "Stay")->dwNextDirection = 20;
    EXPECT_FALSE(Animation::GetFrameImage("Brick", "Stay", 11, out)); // beyond both GIFs
}

TEST_F(AnimationTest, FrozenFlagHoldsEveryAnimation) {
    StartBrick();
    AnimationState s;
    Animation::Play("Brick", "Stay", s);
    g_now += 5;
    Animation::Play(nullptr, nullptr, s); // frame(0), countdown 40
    Animation::SetFrozen(true);
    g_now += 500;
    Animation::Play("Brick", "Stay", s);
    EXPECT_EQ(std::tuple(s.frame, s.countdown), std::tuple(0u, 40u));
    Animation::SetFrozen(false);
    g_now += 40;
    Animation::Play("Brick", "Stay", s); // calling with the playing action only advances it
    EXPECT_EQ(s.frame, 9u);
}

TEST(AnimationReader, OddFilesLoadWithinTheirBytes) {
    TempDir dir;
    // The second section of the same name extends the action and replaces its settings and script.
    std::string big =
        "[Animation]\nname = Odd\n[Action1]\nname = A\ngif1name = g\ngif1size = ,,\ngif1flags =\n"
        "gif2name = h\ngif2size = 1 2\ndiroffset = -3\nsrcstr 0 = frame(9)\n"
        "[Action2]\nname = A\ngif1name = again\ndelay = 0\n"
        "srcstr 0 = \tframe(4)\tframe(5)\nsrcstr 1 = frame(1); event(" +
        std::string(400, 'N') + ")\n";
    dir.Write("odd.ani", big);
    ASSERT_TRUE(Animation::ReadFile("odd.ani"));
    AnimationRecord* odd = Animation::Find("Odd");
    ASSERT_NE(odd, nullptr);
    ASSERT_EQ(odd->actions.size(), 1u);
    AnimationAction* a = odd->actions[0].get();
    EXPECT_EQ(a->gifs.size(), 3u);
    EXPECT_EQ(std::tuple(a->gifs[1]->dwFrameSizeX, a->gifs[1]->dwFrameSizeY, a->gifs[1]->dwFrames),
              std::tuple(1u, 2u, 0u));
    EXPECT_EQ(a->dwPlayingDelay, 30u);
    ASSERT_EQ(a->script.size(), 3u); // frame(5) follows a tab; line 1 has two commands
    EXPECT_EQ(a->script[0].argument, 4);
    EXPECT_EQ(std::string(a->script[2].eventName), std::string(31, 'N'));

    uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 50; ++round) {
        std::string text = "[Animation]\nname = R" + std::to_string(round) + "\n[Action1]\nname = x\n";
        for (int i = 0, n = int(next() % 400); i < n; ++i)
            text += char(next() % 3 ? "=[]\n,gifsrc 0123"[next() % 17] : next() & 0xFF);
        dir.Write("r.ani", text);
        (void)Animation::ReadFile("r.ani");
    }
    Animation::ReleaseAll();
}
