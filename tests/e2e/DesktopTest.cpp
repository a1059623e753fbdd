// The game among other windows on a desktop that openbox manages: full screen on and off from the
// options, focus lost and regained, a window over it and away again, the window resized to twice
// the layout and to an odd size with a Lines move made in it, its icon; and a start under a
// headless Wayland compositor.
#include "e2e/Desktop.h"
#include "e2e/Fixture.h"
#include "e2e/LinesPlayer.h"
#include "e2e/Screens.h"
#include "support/Prerequisite.h"

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace E2e {
namespace {

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// Lines the log has when a track starts, a scene is built, the display is made.
constexpr const char* kMusicStarted = "Sound Server: music '";
constexpr const char* kSceneBuilt = "OnSceneChanged time ";
// The title's slider, which moves in every frame.
constexpr Box kSlider{170, 140, 630, 165};

// Skips without the tools, but fails in CI, where every prerequisite is installed.
#define REQUIRE_TOOLS(...)                                                                                   \
    do {                                                                                                     \
        const std::string missing = MissingTools({__VA_ARGS__});                                             \
        if (!missing.empty()) {                                                                              \
            PARLORIX_MISSING("missing: " << missing << " (Debian packages openbox, x11-utils, weston)");     \
        }                                                                                                    \
    } while (0)

class DesktopTest : public E2eTest {
  protected:
    virtual std::string Screen() const { return "1024x768x24"; }

    void SetUp() override {
        REQUIRE_TOOLS("Xvfb", "xdotool", "openbox", "xprop", "xwininfo", "xmessage");
        x.SetScreen(Screen());
        E2eTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::string error;
        ASSERT_TRUE(StartOpenbox(wm, x.Display(), dir / "wm", error)) << error;
        work = dir / "work";
        game = &NewGameWithData(work);
        game->SetShotKey("F12");
    }
    void TearDown() override {
        games.clear();
        others.clear();
        wm.Stop();
        E2eTest::TearDown();
    }

    std::string Log() const { return ReadFile(work + "/Log000.txt"); }
    size_t LogCount(const std::string& what) const { return Occurrences(Log(), what); }
    bool WaitLog(const std::string& what, size_t count, int ms = 15000) const {
        return WaitUntil(ms, [&] { return LogCount(what) >= count; });
    }

    // Waits for a window of the game for which `pred` holds, and sends input there from then on.
    bool WaitWindow(const std::function<bool(const WindowInfo&)>& pred, WindowInfo& info, int ms = 15000) {
        return WaitUntil(ms, [&] {
            for (const std::string& id : game->Windows()) {
                if (Inspect(x.Display(), id, info) && pred(info)) {
                    game->UseWindow(id);
                    return true;
                }
            }
            return false;
        });
    }
    bool Focused() const { return FocusedWindow(x.Display()) == game->Window(); }

    bool Grab(const WindowInfo& info, Bitmap& shot, const std::string& label) const {
        return GrabScreen(x.Display(), {info.x, info.y, info.x + info.width, info.y + info.height}, shot,
                          label);
    }
    // Waits until the window shows what `check` accepts, read back from the screen; the reason
    // of the last refusal otherwise.
    std::string WaitShown(const WindowInfo& info, std::string (*check)(const Bitmap&),
                          const std::string& label, int ms = 10000) const {
        std::string why = "nothing grabbed";
        WaitUntil(ms, [&] {
            Bitmap grab, layout;
            if (!Grab(info, grab, label)) return false;
            SampleLayout(grab, LetterboxIn(info.width, info.height), layout);
            why = check(layout);
            return why.empty();
        });
        return why;
    }

    void ClickLayout(const WindowInfo& info, int lx, int ly) {
        int wx = 0, wy = 0;
        LayoutToWindow(LetterboxIn(info.width, info.height), lx, ly, wx, wy);
        game->Click(wx, wy);
    }
    // Full screen reads the mouse as relative motion: home it to the corner, then move it by the
    // layout point's distance in screen pixels.
    void ClickFullScreen(const WindowInfo& info, int lx, int ly) {
        const Box view = LetterboxIn(info.width, info.height);
        const double scale = (view.right - view.left) / 800.0;
        XdoOn(x.Display(), {"mousemove_relative", "--", "-4000", "-4000"});
        XdoOn(x.Display(), {"mousemove_relative", "--", std::to_string(static_cast<int>((lx + 0.5) * scale)),
                            std::to_string(static_cast<int>((ly + 0.5) * scale))});
        game->Press();
    }

    // Starts the game and waits until its window is shown, focused and drawn with the title.
    void StartShown(WindowInfo& info) {
        StartAndFindWindow(*game);
        ASSERT_TRUE(WaitWindow([](const WindowInfo& w) { return w.viewable; }, info))
            << ReadFile(game->Home() + "/stdout.txt");
        ASSERT_TRUE(WaitUntil(10000, [&] { return Focused(); })) << "focus on " << FocusedWindow(x.Display());
        ASSERT_EQ(WaitShown(info, CheckTitle, "desktop-title"), "");
        ASSERT_TRUE(WaitLog(kMusicStarted, 1)) << Log();
    }

    // Options -> Full screen On/Off -> Save and exit, clicked the way the current mode reads the
    // mouse; returns once the other mode's display is made.
    void SwitchModeFromOptions(const WindowInfo& info) {
        const std::string made = info.fullscreen ? "Fullscreen = 0" : "Fullscreen = 1";
        const size_t scenes = LogCount(kSceneBuilt), displays = LogCount(made);
        auto click = [&](int lx, int ly) {
            if (info.fullscreen)
                ClickFullScreen(info, lx, ly);
            else
                ClickLayout(info, lx, ly);
        };
        click(400, 320); // Options
        ASSERT_TRUE(WaitLog(kSceneBuilt, scenes + 1)) << Log();
        click(540, 330); // Full screen: On / Off
        click(400, 530); // Save and exit
        ASSERT_TRUE(WaitLog(made, displays + 1)) << Log();
    }
    // After a mode switch: not minimised, focused, with its icon, and the title drawn.
    void ExpectShownFocusedAndDrawn(const WindowInfo& info, const std::string& label) {
        EXPECT_FALSE(info.iconic);
        EXPECT_FALSE(info.hidden);
        EXPECT_TRUE(info.hasIcon) << "the new window has no icon";
        EXPECT_TRUE(WaitUntil(10000, [&] { return Focused(); })) << "focus on " << FocusedWindow(x.Display());
        EXPECT_EQ(WaitShown(info, CheckTitle, label), "");
    }

    Process& Other() { return *others.emplace_back(std::make_unique<Process>()); }
    // Starts xmessage titled `title` at `geometry` and waits for its window.
    std::string StartXmessage(Process& h, const std::string& title, const std::string& geometry) {
        if (!h.Start({"xmessage", "-geometry", geometry, "-title", title, title}, {{"DISPLAY", x.Display()}},
                     dir / (title + ".txt")))
            return "";
        std::string id;
        WaitUntil(10000, [&] {
            std::string out;
            XdoOn(x.Display(), {"search", "--name", "^" + title + "$"}, &out);
            id = out.substr(0, out.find('\n'));
            WindowInfo info;
            return !id.empty() && Inspect(x.Display(), id, info) && info.viewable;
        });
        return id;
    }

    Process wm;
    std::vector<std::unique_ptr<Process>> others;
    std::string work;
    Game* game = nullptr;
};

bool Windowed800(const WindowInfo& w) {
    return w.viewable && !w.fullscreen && w.width == 800 && w.height == 600;
}
bool FullScreenShown(const WindowInfo& w) {
    return w.viewable && w.fullscreen;
}

TEST_F(DesktopTest, FullScreenOnAndOffFromTheOptionsLeavesTheGameShownFocusedAndItsMusicPlaying) {
    WindowInfo info;
    ASSERT_NO_FATAL_FAILURE(StartShown(info));
    EXPECT_TRUE(Windowed800(info)) << info.width << "x" << info.height;
    EXPECT_TRUE(info.hasIcon) << "_NET_WM_ICON not set";

    // Windowed -> full screen, and back at the size it had.
    ASSERT_NO_FATAL_FAILURE(SwitchModeFromOptions(info));
    ASSERT_TRUE(WaitWindow(FullScreenShown, info)) << "no full-screen window";
    EXPECT_EQ(info.width, 1024);
    EXPECT_EQ(info.height, 768);
    ExpectShownFocusedAndDrawn(info, "desktop-fullscreen-title");
    ASSERT_NO_FATAL_FAILURE(SwitchModeFromOptions(info));
    ASSERT_TRUE(WaitWindow(Windowed800, info)) << "no 800 x 600 window after leaving full screen";
    ExpectShownFocusedAndDrawn(info, "desktop-windowed-again-title");

    EXPECT_EQ(LogCount(kMusicStarted), 1u) << "a mode switch started the music again:\n" << Log();
    EXPECT_EQ(Occurrences(Log(), "Unable to re-create"), 0u) << Log();
    EXPECT_EQ(game->Close(), 0);
    EXPECT_NE(ReadFile(game->OptionsFile()).find("fullscreen=dword:0"), std::string::npos);
}

TEST_F(DesktopTest, FocusLostAndRegainedAndAWindowOverItAndAwayShowTheGameAgain) {
    WindowInfo info;
    ASSERT_NO_FATAL_FAILURE(StartShown(info));

    // Another window takes the focus: the game keeps its last frame and computes no new ones.
    Process& holder = Other();
    ASSERT_NE(StartXmessage(holder, "holder", "+0+0"), "");
    ASSERT_TRUE(WaitUntil(10000, [&] { return !Focused(); })) << "the game kept the focus";
    Bitmap still, now;
    ASSERT_TRUE(Grab(info, still, "desktop-inactive"));
    EXPECT_FALSE(WaitUntil(1000, [&] {
        return Grab(info, now, "desktop-inactive-later") && Difference(still, now, kSlider) > 1.0;
    })) << "an inactive game went on drawing";

    // A window over the game and away again: the game's picture comes back, still inactive.
    Process& cover = Other();
    ASSERT_NE(StartXmessage(cover, "cover", "1000x740+0+0"), "");
    ASSERT_TRUE(WaitUntil(10000, [&] {
        return Grab(info, now, "desktop-covered") && Difference(still, now, {0, 0, 800, 600}) > 10;
    })) << "the cover never showed";
    cover.Stop();
    EXPECT_TRUE(WaitUntil(
        10000,
        [&] {
            return Grab(info, now, "desktop-uncovered") && Difference(still, now, {0, 0, 800, 600}) < 1.0;
        }))
        << "the uncovered game shows something else (mean difference "
        << Difference(still, now, {0, 0, 800, 600}) << ")";
    EXPECT_FALSE(Focused()) << "the game took the focus back by itself; the repaint was not tested";

    // Focus back: frames again, and the playlist from its first track.
    XdoOn(x.Display(), {"windowactivate", game->Window()});
    ASSERT_TRUE(WaitUntil(10000, [&] { return Focused(); })) << "focus on " << FocusedWindow(x.Display());
    EXPECT_TRUE(WaitUntil(
        10000,
        [&] { return Grab(info, now, "desktop-active-again") && Difference(still, now, kSlider) > 1.0; }))
        << "no new frames after the focus came back\n"
        << Log();
    EXPECT_TRUE(WaitLog(kMusicStarted, 2)) << Log();
    EXPECT_EQ(game->Close(), 0);
}

// A screen with room for a window of twice the layout, but not with its caption: the game opens at
// 1x, and the player enlarges it.
class ScaledWindowTest : public DesktopTest {
  protected:
    std::string Screen() const override { return "1920x1260x24"; }
};

// Pixels of 2 x 2 blocks (from the letterbox's corner) that are not one colour, per thousand.
int MixedBlocksPerThousand(const Bitmap& grab) {
    int mixed = 0, blocks = 0;
    for (int y = 0; y + 1 < static_cast<int>(grab.Height()); y += 2) {
        for (int x = 0; x + 1 < static_cast<int>(grab.Width()); x += 2) {
            const Rgb a = At(grab, x, y), b = At(grab, x + 1, y), c = At(grab, x, y + 1),
                      d = At(grab, x + 1, y + 1);
            auto same = [](const Rgb& p, const Rgb& q) {
                return std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) <= 3;
            };
            mixed += same(a, b) && same(a, c) && same(a, d) ? 0 : 1;
            ++blocks;
        }
    }
    return blocks ? mixed * 1000 / blocks : 1000;
}

TEST_F(ScaledWindowTest, ResizedToTwiceAndToAnOddSizeTheWindowStaysSharpOrLetterboxedAndTakesALinesMove) {
    WindowInfo info;
    ASSERT_NO_FATAL_FAILURE(StartShown(info));
    EXPECT_TRUE(Windowed800(info)) << info.width << "x" << info.height;

    // Twice the layout: every layout pixel a sharp 2 x 2 block.
    XdoOn(x.Display(), {"windowmove", game->Window(), "0", "0"});
    XdoOn(x.Display(), {"windowsize", game->Window(), "1600", "1200"});
    ASSERT_TRUE(WaitWindow([](const WindowInfo& w) { return w.width == 1600 && w.height == 1200; }, info));
    ASSERT_LE(info.y + info.height, 1260) << "the window does not fit the screen";
    EXPECT_EQ(WaitShown(info, CheckTitle, "desktop-2x-title"), "");
    Bitmap grab;
    ASSERT_TRUE(Grab(info, grab, "desktop-2x"));
    EXPECT_LT(MixedBlocksPerThousand(grab), 10) << "a whole scale drawn smoothly";

    // An odd size: the layout smoothly scaled, centred between black bars.
    XdoOn(x.Display(), {"windowsize", game->Window(), "1100", "700"});
    ASSERT_TRUE(WaitWindow([](const WindowInfo& w) { return w.width == 1100 && w.height == 700; }, info));
    EXPECT_EQ(WaitShown(info, CheckTitle, "desktop-odd-title"), "");
    ASSERT_TRUE(Grab(info, grab, "desktop-odd"));
    const Box view = LetterboxIn(info.width, info.height);
    ASSERT_GT(view.left, 40);
    for (const Box& bar : {Box{0, 0, view.left - 2, 700}, Box{view.right + 2, 0, 1100, 700}}) {
        const Rgb c = Mean(grab, bar);
        EXPECT_LT(c.r + c.g + c.b, 6) << "bar at x " << bar.left << " is not black";
    }
    EXPECT_GT(MixedBlocksPerThousand(grab), 50) << "an odd scale drawn without smoothing";

    // A Lines game, the move made by clicking its cells in the scaled window.
    size_t scenes = LogCount(kSceneBuilt);
    ClickLayout(info, 400, 240); // Play
    ASSERT_TRUE(WaitLog(kSceneBuilt, scenes + 1)) << Log();
    scenes = LogCount(kSceneBuilt);
    ClickLayout(info, 130, 372); // Lines
    ASSERT_TRUE(WaitLog(kSceneBuilt, scenes + 1)) << Log();
    Bitmap shot;
    ClickLayout(info, 400, 210); // Play on the start panel
    ASSERT_EQ(AwaitShot(*game, shot, "desktop-odd-lines", CheckPlaying), "");
    const Bitmap start = shot;
    EXPECT_EQ(PlayOneMove(
                  *game, start, "desktop-odd-lines-moved",
                  [&](const Move& move) {
                      ClickLayout(info, CellX(move.fromX), CellY(move.fromY));
                      ClickLayout(info, CellX(move.toX), CellY(move.toY));
                  },
                  40000),
              "");

    EXPECT_EQ(game->Close(), 0);
    const std::string options = ReadFile(game->OptionsFile());
    EXPECT_NE(options.find("WindowWidth=dword:1100"), std::string::npos) << options;
    EXPECT_NE(options.find("WindowHeight=dword:700"), std::string::npos) << options;
}

class WaylandTest : public E2eTest {
  protected:
    void SetUp() override {
        REQUIRE_TOOLS("weston");
        if (std::string(PARLORIX_WESTON_SEAT).empty()) {
            PARLORIX_MISSING("the weston seat module was not built (Debian package libweston-10-dev)");
        }
        E2eTest::SetUp();
    }
    void TearDown() override {
        games.clear();
        compositor.Stop();
        E2eTest::TearDown();
    }
    Process compositor;
};

TEST_F(WaylandTest, UnderAHeadlessCompositorTheGameReachesTheTitleAndEndsCleanlyOnSigterm) {
    const std::string work = dir / "work";
    Game& game = NewGameWithData(work);
    std::string error;
    ASSERT_TRUE(StartWeston(compositor, game.RuntimeDir(), "wayland-parlorix", PARLORIX_WESTON_SEAT, error))
        << error;
    game.SetEnv({{"DISPLAY", ""}, {"SDL_VIDEODRIVER", "wayland"}, {"WAYLAND_DISPLAY", "wayland-parlorix"}});
    ASSERT_TRUE(game.Start());
    auto log = [&] { return ReadFile(work + "/Log000.txt"); };
    auto has = [&](const char* what) { return log().find(what) != std::string::npos; };
    ASSERT_TRUE(WaitUntil(20000, [&] { return has("Video driver: wayland") || game.WaitExit(0) != -1000; }))
        << log() << ReadFile(game.Home() + "/stdout.txt");
    // The title scene built, and frames running (the first track starts in the first frame).
    EXPECT_TRUE(WaitUntil(20000,
                          [&] {
                              const std::string text = log();
                              return text.find(kMusicStarted, text.find("Loading scene 0,0")) !=
                                     std::string::npos;
                          }))
        << log() << ReadFile(game.Home() + "/stdout.txt");
    EXPECT_TRUE(has(kSceneBuilt));
    EXPECT_FALSE(has("Error")) << log();
    EXPECT_EQ(game.Close(), 0);
    const std::string options = ReadFile(game.OptionsFile());
    EXPECT_NE(options.find("fullscreen=dword:0"), std::string::npos) << options;
    EXPECT_NE(options.find("WindowWidth=dword:"), std::string::npos) << options;

    // A desktop that offers both: the Wayland session is taken unless the player forces a driver.
    fs::remove(work + "/Log000.txt");
    game.SetEnv({{"SDL_VIDEODRIVER", ""}, {"WAYLAND_DISPLAY", "wayland-parlorix"}});
    ASSERT_TRUE(game.Start());
    EXPECT_TRUE(WaitUntil(20000, [&] { return has("Video driver: ") || game.WaitExit(0) != -1000; }));
    EXPECT_TRUE(has("Video driver: wayland")) << log();
    EXPECT_EQ(game.Close(), 0);
}

} // namespace
} // namespace E2e
