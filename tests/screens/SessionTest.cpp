// A whole session on the real engine and the generated content, headless: start-up as the program
// does it, then input events pushed through the input layer only, frame after frame. Writes a
// picture of each screen into <build>/screens-shots for people to look at.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/App.h"
#include "core/Config.h"
#include "core/Log.h"
#include "game/GameBoard.h"
#include "game/SavedGame.h"
#include "gfx/Animation.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "picture/Bitmap.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "scene/Level.h"
#include "screens/RealSeam.h"
#include "screens/Resume.h"
#include "screens/Screens.h"
#include "sound/SoundServer.h"
#include "support/Prerequisite.h"
#include "support/TempDir.h"
#include "ui/Frontend.h"
#include "ui/HighScores.h"
#include "ui/Language.h"
#include "ui/Menu.h"
#include "ui/MenuIds.h"

namespace fs = std::filesystem;

namespace {

namespace Key = Input::Key;

uint32_t g_clock = 0;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(DataRoot() + "/Data/Levels") || !fs::exists(DataRoot() + "/Data/Library/Font"))
            PARLORIX_MISSING("no generated content in '" << DataRoot() << "'");
        dir_ = std::make_unique<TempDir>(true);
        // A copy: the content folders are listed recursively, which does not follow links.
        fs::copy(DataRoot() + "/Data", fs::path(dir_->path()) / "Data", fs::copy_options::recursive);
        Platform::SetRegistryRoot(dir_->path() + "/config");
        g_clock = 1000000;
        Platform::SetTimeSource([] { return g_clock; });
        shots_ = std::string(std::getenv("PARLORIX_BUILD_DIR") ? std::getenv("PARLORIX_BUILD_DIR") : ".") +
                 "/screens-shots";
        fs::create_directories(shots_);
        StartUp();
    }

    void TearDown() override {
        if (!dir_) return;
        ShutDown();
        Platform::SetTimeSource(nullptr);
        Platform::SetRegistryRoot("");
        dir_.reset();
    }

    // The program's start-up, without instance lock and window.
    void StartUp() {
        App::StartOptions options;
        options.instanceLock = false;
        options.locate = false; // the content is in the folder prepared here
        options.window = false;
        // The test's own folder: the session tests run side by side, and one shared log file
        // would be overwritten by the next start while another reads it.
        options.logDirectory = dir_->path() + "/";
        options.savedGamesFolder = SavesFolder();
        ASSERT_TRUE(App::StartUp(std::move(options))) << "start-up failed, see " << Log::Path();
        ASSERT_NE(GetActiveScene(), nullptr);
    }

    void ShutDown() { App::ShutDown(); }

    // One frame as the program runs it.
    void Frame(uint32_t ms = 20) {
        g_clock += ms;
        App::DispatchEvents();
        App::UpdateFrame();
        ASSERT_TRUE(App::DrawFrame()) << "no back buffer";
    }

    void Frames(int n, uint32_t ms = 20) {
        for (int i = 0; i < n; ++i)
            Frame(ms);
    }

    // A key pressed and released, then `settle` more frames.
    void Press(uint8_t key, int settle = 0) {
        EXPECT_TRUE(Input::PushKey(key, true));
        Frame();
        EXPECT_TRUE(Input::PushKey(key, false));
        Frames(settle + 1);
    }

    // A click on the item of the current menu with that id, where the last draw put it, then
    // `settle` more frames.
    void Click(int32_t id, int settle = 0) {
        const MenuItem* item = Menu::FindCurrent(id);
        ASSERT_NE(item, nullptr) << "no item " << id << " in menu '" << Menu::CurrentName() << "'";
        int32_t x = 0, y = 0;
        if (item->kind == kMenuText) {
            x = item->screenX;
            y = item->screenY + item->normal.Height() / 2;
        } else {
            x = item->screenX + item->normal.Width() / 2;
            y = item->screenY + item->normal.Height() / 2;
        }
        EXPECT_TRUE(Input::PushMouseMove(x, y));
        Frame();
        EXPECT_TRUE(Input::PushMouseButton(Input::MouseLeft, true));
        Frame();
        EXPECT_TRUE(Input::PushMouseButton(Input::MouseLeft, false));
        Frames(settle + 1);
    }

    // Typing as a keyboard layout does it: one text event per character (UTF-8), a frame each.
    void Type(const std::vector<std::string>& characters) {
        for (const std::string& c : characters) {
            EXPECT_TRUE(Input::PushText(c.c_str()));
            Frames(2);
        }
    }

    std::string Scene() {
        Level* s = GetActiveScene();
        return s ? s->sName : "";
    }

    void Shot(const std::string& name) {
        SDL_Surface* back = Graphics::GetBackBuffer();
        if (back) SDL_SaveBMP(back, (shots_ + "/" + name + ".bmp").c_str());
    }

    std::string SavesFolder() const { return dir_->path() + "/data"; }
    bool ContinueShown() {
        const MenuItem* item = Menu::FindCurrent(MenuId::Main::Continue);
        return item && item->enabled && item->text && item->text[0];
    }

    std::unique_ptr<TempDir> dir_;
    std::string shots_;
};

TEST_F(SessionTest, TitleToEveryGameScoresAndAnEnteredNameThatSurvivesARestart) {
    Frames(3);
    EXPECT_EQ(Scene(), "Level_00_00");
    EXPECT_NE(Renderer::GetPicture("begunok"), nullptr);
    Shot("title");

    // Each game: selection -> StartPanel -> play -> pause -> resume -> restart -> main menu.
    const int32_t games[] = {1, 2, 3, 4};
    const Game::GameMode modes[] = {Game::GameMode::Lines, Game::GameMode::Squares, Game::GameMode::Swaps,
                                    Game::GameMode::Groups};
    for (int i = 0; i < 4; ++i) {
        Click(1); // Play
        ASSERT_EQ(Scene(), "Level_00_01");
        Frames(30);
        if (i == 0) Shot("game-selection");
        Click(games[i]);
        EXPECT_EQ(Scene(), i == 3 ? "Level_02_00" : "Level_01_00");
        EXPECT_EQ(Game::g_Board.mode, modes[i]);
        Frames(30);
        Click(1, 30); // Play on the StartPanel
        EXPECT_FALSE(Animation::IsFrozen());
        Frames(100, 30);
        EXPECT_GT(Game::g_Board.ItemCount(), 0);
        const char* const inPlay[] = {"lines-in-play", "squares-in-play", "swaps-in-play", "groups-in-play"};
        Shot(inPlay[i]);
        if (modes[i] == Game::GameMode::Groups) {
            // The panel a cleared board brings, with its five lines; Resume deals the next board.
            Game::OpenBoardClearedScreen();
            Frames(30);
            EXPECT_EQ(Game::Screens().cleared.phase, Game::PanelPhase::Shown);
            Shot("board-cleared");
            Press(Key::Enter, 30);
            EXPECT_FALSE(Animation::IsFrozen());
        }
        Press(Key::Escape, 30); // the board's menu button
        EXPECT_TRUE(Animation::IsFrozen());
        EXPECT_EQ(Game::Screens().pause.phase, Game::PanelPhase::Shown);
        if (i == 0) Shot("pause-menu");
        // Help from the game opens on the game's own page and leads back to the panel.
        Click(3);
        ASSERT_EQ(Scene(), "Level_00_02");
        EXPECT_EQ(Frontend::Screen().helpPage, Game::HelpPageOf(modes[i]));
        Frames(2);
        Press(Key::Escape);
        EXPECT_EQ(Scene(), i == 3 ? "Level_02_00" : "Level_01_00");
        EXPECT_EQ(Frontend::Screen().helpPage, 0);
        Frames(30);
        EXPECT_EQ(Game::Screens().pause.phase, Game::PanelPhase::Shown);
        Press(Key::Escape, 30); // Resume
        EXPECT_FALSE(Animation::IsFrozen());
        Press(Key::Escape, 30);
        Click(2, 30); // Restart
        EXPECT_FALSE(Animation::IsFrozen());
        Press(Key::Escape, 30);
        Click(5); // Main menu
        EXPECT_EQ(Scene(), "Level_00_00");
        EXPECT_EQ(Game::g_Board.ItemCount(), 0);
        Frames(5);
    }

    // Help and options are walked page by page in every language by the locale session, and the
    // frontend tests click through their items.
    // High scores, all four tabs.
    Click(4);
    ASSERT_EQ(Scene(), "Level_02_02");
    Frames(2);
    const char* const scoreScenes[] = {"Level_02_02", "Level_02_03", "Level_02_04", "Level_02_05"};
    for (int32_t tab = 4; tab >= 1; --tab) {
        Click(tab);
        EXPECT_EQ(Scene(), scoreScenes[tab - 1]);
        Frames(2);
        Shot("high-scores-tab" + std::to_string(tab));
    }
    Press(Key::Escape);
    EXPECT_EQ(Scene(), "Level_00_00");

    // A Lines game played until the board is full.
    Click(1, 2);
    Click(1, 30);
    Click(1, 30);
    int guard = 0;
    while (Game::Screens().result.phase == Game::PanelPhase::Entering && guard++ < 20000) {
        // Nobody clears lines here: a score makes the result worth a row.
        if (Game::g_Board.score == 0) Game::g_Board.score = 135;
        Frame(100);
    }
    ASSERT_NE(Game::Screens().result.phase, Game::PanelPhase::Entering) << "the board never filled";
    Frames(40);
    ASSERT_EQ(Game::Screens().result.phase, Game::PanelPhase::NameEntry);
    for (int i = 0; i < 20; ++i)
        Press(Key::Backspace);
    // Letters of other layouts than the US one (a French "ë", a Czech "Č").
    Type({"Z", "o", "ë", " ", "Č", "a", "p", "e", "k"});
    Frames(2);
    Shot("name-entry");
    const int32_t finalScore = Game::g_Board.score;
    Press(Key::Enter);
    EXPECT_EQ(Scene(), "Level_02_02");
    Frames(3);
    Shot("high-scores");
    EXPECT_EQ(std::u16string(HighScores::Get(0).entries[0].name), u"Zoë Čapek");
    EXPECT_EQ(HighScores::Get(0).entries[0].score, finalScore);
    Press(Key::Escape); // back to the game scene with the StartPanel ("startGame2")
    EXPECT_EQ(Scene(), "Level_01_00");
    EXPECT_EQ(Game::Screens().startMenu, "startGame2");
    Frames(30);

    // A second game that scores nothing: the game-over menu, without name entry.
    Click(1, 30);
    guard = 0;
    const auto resultShown = [] {
        const Frontend::SceneHost& host = Frontend::Host();
        return host.activeOverlay() == &Game::ResultScreenOverlay;
    };
    while (!resultShown() && guard++ < 20000) {
        // A line the spawns make by chance would earn a row in the half-empty table.
        Game::g_Board.score = 0;
        Frame(100);
    }
    ASSERT_TRUE(resultShown()) << "the board never filled";
    Game::g_Board.score = 0; // the panel decides once it has slid in
    Frames(40);
    ASSERT_EQ(Game::Screens().result.phase, Game::PanelPhase::GameOverMenu);
    Shot("game-over");
    Click(5);
    EXPECT_EQ(Scene(), "Level_00_00");
    Frames(2);
    Click(5); // Exit
    EXPECT_TRUE(App::QuitRequested());

    // The next run finds the entry.
    ShutDown();
    StartUp();
    Frames(2);
    Click(4);
    EXPECT_EQ(std::u16string(HighScores::Get(0).entries[0].name), u"Zoë Čapek");
    EXPECT_EQ(HighScores::Get(0).entries[0].score, finalScore);
    Frames(2);
    Shot("high-scores-after-restart");
    char player[64] = {};
    EXPECT_TRUE(g_Settings.ReadString(player, sizeof player, "Player"));
    EXPECT_STREQ(player, "Zo\xc3\xab \xc4\x8c"
                         "apek"); // stored as UTF-8
}

// Mean of the green channel, 0 to 255: how bright a picture is.
double Brightness(const Bitmap& picture) {
    double sum = 0;
    for (uint32_t y = 0; y < picture.Height(); ++y)
        for (uint32_t x = 0; x < picture.Width(); ++x)
            sum += (picture.Pixel32(x, y) >> 8) & 0xFF;
    return sum / (double(picture.Width()) * picture.Height());
}
double Brightness(SDL_Surface* surface) {
    Bitmap picture;
    return Graphics::ReadBack(surface, Graphics::Rect{0, 0, surface->w, surface->h}, picture)
               ? Brightness(picture)
               : -1;
}

TEST_F(SessionTest, AScreenshotFlashesTheScreenAfterTheShotNotInIt) {
    Frames(3);
    SDL_Surface* back = Graphics::GetBackBuffer();
    ASSERT_NE(back, nullptr);
    const double before = Brightness(back);
    Press(Key::F12);
    const double flashed = Brightness(back);
    Bitmap shot;
    ASSERT_TRUE(shot.Load("screen0000.jpg")) << "no shot in " << fs::current_path();
    EXPECT_NEAR(Brightness(shot), before, 4.0);
    EXPECT_GT(flashed, before + 40);
    Frames(12); // the flash is over after 200 ms
    EXPECT_NEAR(Brightness(back), before, 4.0);
}

TEST_F(SessionTest, AHighScoreThatCannotBeSavedIsToldOnTheHighScoreScreen) {
    // The score store's file is a folder: no save can replace it.
    fs::create_directories(dir_->path() + "/config/Software/Quillmarsh/Parlorix/Scores.reg");
    EXPECT_FALSE(HighScores::Insert(0, u"ann", 120));
    SwitchScene("Board", "Level_02_02");
    Frames(3);
    Shot("high-scores-not-saved");
    // Once the store can be written again, the save at exit keeps the row.
    fs::remove(dir_->path() + "/config/Software/Quillmarsh/Parlorix/Scores.reg");
    ShutDown();
    StartUp();
    EXPECT_EQ(std::u16string(HighScores::Get(0).entries[0].name), u"ann");
}

// The desktop's locale picks the language at start; the Options line switches it at once. Every
// language also leaves pictures of its title, every help page and options in screens-shots/languages.
class LocaleSession : public SessionTest {
  protected:
    void SetEnv(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    void TearDown() override {
        SessionTest::TearDown();
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }
    // Restarts the program under the locale `lang`.
    void RestartIn(const char* lang) {
        ShutDown();
        SetEnv("LC_ALL", nullptr);
        SetEnv("LC_MESSAGES", nullptr);
        SetEnv("LANG", lang);
        StartUp();
        Frames(3);
    }
    std::u16string ItemText(int32_t id) {
        const MenuItem* item = Menu::FindCurrent(id);
        return item && item->text ? std::u16string(item->text) : u"";
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(LocaleSession, GermanAndRussianDesktopsGetTheirMenusAndOptionsSwitchToFrenchAtOnce) {
    RestartIn("ru_RU.UTF-8");
    EXPECT_EQ(Language::Current(), "ru");
    EXPECT_EQ(ItemText(1), u"Играть");
    EXPECT_EQ(ItemText(2), u"Справка");

    RestartIn("de_DE.UTF-8");
    EXPECT_EQ(Language::Current(), "de");
    EXPECT_EQ(ItemText(1), u"Spielen");
    Click(3); // Options
    ASSERT_EQ(Scene(), "Level_00_03");
    Frames(2);
    EXPECT_EQ(ItemText(9), u"Deutsch");
    Click(9, 2); // the Language line: German -> French
    EXPECT_EQ(Language::Current(), "fr");
    EXPECT_EQ(ItemText(9), u"Français");
    Shot("options-switched-to-french");
    Press(Key::Escape); // leaving without saving keeps the desktop's language
    EXPECT_EQ(Language::Current(), "de");
    EXPECT_EQ(ItemText(1), u"Spielen");

    fs::create_directories(shots_ + "/languages");
    for (const char* code : Language::kCodes) {
        Language::Apply(code);
        Frames(3);
        Shot(std::string("languages/") + code + "-title");
        Click(2); // Help
        for (int32_t page = 0; page < Frontend::kHelpPages; ++page) {
            if (page > 0) Press(Key::Right);
            Frames(2);
            ASSERT_EQ(Frontend::Screen().helpPage, page) << code;
            Shot(std::string("languages/") + code + "-help-" + std::to_string(page));
        }
        Press(Key::Escape);
        Click(3, 3); // Options
        Shot(std::string("languages/") + code + "-options");
        Language::Apply(code);
        Press(Key::Escape);
        ASSERT_EQ(Scene(), "Level_00_00") << code;
    }
}

// The program's own frame on a screen where nothing moves: the update callback runs every pass,
// but an unchanged picture is neither drawn nor presented; what changes the picture (the pointer
// over a menu item, an item's animation) is presented in the very next frame.
int g_updates = 0;
UpdateCallback g_realUpdate = nullptr;
void CountingUpdate(uint32_t ms, FrameRecord* frame) {
    ++g_updates;
    if (g_realUpdate) g_realUpdate(ms, frame);
}

TEST_F(SessionTest, StaticScreenPresentsNothingNewUntilSomethingChanges) {
    Frames(3);
    Click(4); // high scores
    ASSERT_EQ(Scene(), "Level_02_02");
    // The front end's slider glides a pixel every frame; without it the page stands still.
    Level* scene = GetActiveScene();
    g_realUpdate = scene->update;
    const DrawCallback realOverlay = scene->overlay;
    scene->update = &CountingUpdate;
    scene->overlay = [](SDL_Surface* surface) { Menu::Draw(surface); };
    auto appFrames = [](int n) {
        for (int i = 0; i < n; ++i) {
            g_clock += 20;
            Input::PumpEvents();
            ASSERT_TRUE(App::Frame());
        }
    };
    appFrames(3); // new texts are made, then shown from the cache
    const uint64_t presents = Graphics::PresentCount();
    g_updates = 0;
    appFrames(50); // one second
    EXPECT_EQ(g_updates, 50);
    EXPECT_EQ(Graphics::PresentCount(), presents);
    EXPECT_FALSE(App::LastFramePresented());

    // The pointer onto a menu item lights it up at once.
    const MenuItem* item = nullptr;
    for (const MenuItem& m : Menu::Current())
        if (m.kind == kMenuText && m.text && m.text[0]) item = &m;
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(Input::PushMouseMove(item->screenX, item->screenY + item->normal.Height() / 2));
    appFrames(1);
    EXPECT_TRUE(App::LastFramePresented());
    EXPECT_EQ(Graphics::PresentCount(), presents + 1);
    appFrames(5);
    EXPECT_FALSE(App::LastFramePresented());

    // An item's animation frame shows in the next frame too.
    Game::RealSeam& seam = Game::TheRealSeam();
    seam.SetLevel(scene);
    Game::g_Board.ClearBoard();
    Game::g_Board.NewGame(Game::GameMode::Lines);
    Game::ObjectRef brick = seam.CreateObject("Item", Game::g_Board.TemplateName(1), 300, 300);
    Game::BoardItem* item1 = Game::g_Board.AddItem(1, 0, 0, brick);
    ASSERT_NE(item1, nullptr);
    Game::g_Board.SetState(*item1, Game::ItemState::Appear);
    appFrames(1);
    EXPECT_TRUE(App::LastFramePresented());
    scene->update = g_realUpdate;
    scene->overlay = realOverlay;
}

} // namespace

namespace {

TEST_F(SessionTest, AnUnfinishedGameIsKeptAtTheEndAndContinuedPausedAtTheNextStart) {
    fs::create_directories(SavesFolder());
    const std::string file = SavesFolder() + "/squares.save";
    Frames(3);
    EXPECT_FALSE(ContinueShown());
    Click(1, 5);  // Play
    Click(2, 30); // Squares
    Click(1);     // Play on the StartPanel
    Frames(150, 30);
    ASSERT_GT(Game::g_Board.ItemCount(), 0);
    const std::string before = Game::FormatSavedGame(Game::CaptureGame(Game::g_Board));
    Game::SaveUnfinishedGame();
    ASSERT_TRUE(fs::exists(file));

    ShutDown();
    StartUp();
    Frames(3);
    EXPECT_TRUE(ContinueShown());
    Shot("title-continue");
    Click(MenuId::Main::Continue);
    EXPECT_EQ(Scene(), "Level_01_00");
    // Everything as it was, timers included (kept relative to the frame clock).
    EXPECT_EQ(Game::FormatSavedGame(Game::CaptureGame(Game::g_Board)), before);
    Frames(30);
    EXPECT_EQ(Game::Screens().pause.phase, Game::PanelPhase::Shown);
    EXPECT_TRUE(Animation::IsFrozen());
    Press(Key::Escape); // Resume
    Frames(60, 30);
    EXPECT_FALSE(Animation::IsFrozen());
    // Kept on disk until the continued game ends, so a crash while it is played loses nothing.
    EXPECT_TRUE(fs::exists(file));
    Press(Key::Escape, 30);
    Click(5); // Main menu ends the game
    EXPECT_EQ(Scene(), "Level_00_00");
    EXPECT_FALSE(fs::exists(file));
    Frames(3);
    EXPECT_FALSE(ContinueShown());
}

} // namespace
