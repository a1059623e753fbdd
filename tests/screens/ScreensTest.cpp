#include "ScreensFixture.h"

#include <tuple>

#include "game/GameRandom.h"
#include "input/Input.h"
#include "screens/Hud.h"

namespace ScreensTest {
namespace {

using Game::g_Board;
using Game::GameMode;
namespace Key = Input::Key;

// ---- Pause bookkeeping --------------------------------------------------------------------------

struct Snapshot {
    std::vector<std::tuple<int, int, int, int, int, int, float, float>> items;
    uint32_t nextSpawn = 0;
    int32_t score = 0;
    bool operator==(const Snapshot&) const = default;
};

class PauseTest : public ScreensFixture {
  protected:
    Snapshot Take(uint32_t offset) {
        Snapshot s;
        for (size_t i = 0; i < g_Board.TableSize(); ++i) {
            const Game::BoardItem* item = g_Board.Entry(i);
            if (!item) continue;
            const Game::MemorySeam::Object* object = seam_.Find(seam_.ObjectName(item->object));
            s.items.emplace_back(item->kind, item->x, item->y, item->nextX, item->nextY,
                                 static_cast<int>(item->state), object ? object->x : -1.0f,
                                 object ? object->y : -1.0f);
        }
        s.nextSpawn = g_Board.nextSpawnTime - offset;
        s.score = g_Board.score;
        return s;
    }

    Game::BoardItem* FirstRestingBrick() {
        for (size_t i = 0; i < g_Board.TableSize(); ++i) {
            Game::BoardItem* item = g_Board.Entry(i);
            if (item && item->kind < Game::KindClock && item->state == Game::ItemState::Stay) return item;
        }
        return nullptr;
    }

    void ClickCell(int32_t x, int32_t y) {
        seam_.mouseX = g_Board.CellPixelX(x) + 5;
        seam_.mouseY = g_Board.CellPixelY(y) + 5;
        seam_.mouseEvents.push_back(Game::MouseLeftPressed);
    }

    // A Lines game: spawns, one brick sent on a long way, frames of 50 ms. With `pause`, the
    // pause menu is open for 10 s at frame `pauseAt`. Returns a snapshot per game frame from
    // `pauseAt` on, with the times of the paused run taken back by the pause.
    std::vector<Snapshot> Run(bool pause) {
        constexpr int kFrames = 140, kSelectAt = 62, kPauseAt = 66;
        Game::SeedRandom(4242);
        world_.now = 100000;
        world_.active = "Level_01_00";
        g_Board.NewGame(GameMode::Lines);
        std::vector<Snapshot> out;
        uint32_t offset = 0;
        for (int frame = 0; frame < kFrames; ++frame) {
            if (frame == kSelectAt) {
                Game::BoardItem* brick = FirstRestingBrick();
                EXPECT_NE(brick, nullptr);
                if (brick) ClickCell(brick->x, brick->y);
            }
            if (frame == kSelectAt + 1) {
                // The free cell farthest from the selected brick.
                const Game::BoardItem* sel = g_Board.selected;
                EXPECT_NE(sel, nullptr);
                int bx = 0, by = 0, best = -1;
                for (int x = 0; sel && x < 10; ++x)
                    for (int y = 0; y < 10; ++y) {
                        const int d = std::abs(x - sel->x) + std::abs(y - sel->y);
                        if (g_Board.Code(x, y) == 0 && d > best) best = d, bx = x, by = y;
                    }
                ClickCell(bx, by);
            }
            if (pause && frame == kPauseAt) {
                const uint32_t pausedAt = world_.now;
                Game::OpenPauseMenu();
                EXPECT_EQ(Active().update, &Game::PauseMenuUpdate);
                Frame();
                EXPECT_TRUE(Animation::IsFrozen());
                Advance(600);
                Frame();
                EXPECT_EQ(Game::Screens().pause.phase, Game::PanelPhase::Shown);
                world_.now = pausedAt + 10000;
                Frame({Key::Escape}); // Resume
                EXPECT_EQ(Game::Screens().pause.phase, Game::PanelPhase::SlidingOut);
                Slide();
                EXPECT_EQ(Active().update, &Game::GameUpdate);
                EXPECT_FALSE(Animation::IsFrozen());
                offset = world_.now - pausedAt;
                EXPECT_EQ(offset, 10501u);
            }
            seam_.clock = world_.now;
            g_Board.GameTick(50);
            if (frame >= kPauseAt) out.push_back(Take(offset));
            Advance(50);
        }
        return out;
    }
};

TEST_F(PauseTest, PausingTenSecondsKeepsMovesAndSpawnsInStep) {
    const std::vector<Snapshot> reference = Run(false);
    bool moving = false;
    for (const auto& item : reference.front().items)
        moving = moving || std::get<5>(item) == static_cast<int>(Game::ItemState::Move);
    ASSERT_TRUE(moving) << "the scenario must pause in the middle of a move";

    Game::ResetScreens();
    const std::vector<Snapshot> paused = Run(true);
    ASSERT_EQ(reference.size(), paused.size());
    for (size_t i = 0; i < reference.size(); ++i)
        ASSERT_EQ(reference[i], paused[i]) << "frame " << i;
}

// ---- Name entry ---------------------------------------------------------------------------------

TEST(NameEntry, LimitsAndIgnoredCharacters) {
    char16_t name[16] = {};
    int32_t length = 0;
    EXPECT_FALSE(Game::ApplyNameCharacter(name, length, 7)); // Backspace on nothing
    EXPECT_FALSE(Game::ApplyNameCharacter(name, length, 8)); // Tab
    EXPECT_FALSE(Game::ApplyNameCharacter(name, length, '%'));
    EXPECT_FALSE(Game::ApplyNameCharacter(name, length, 0));
    EXPECT_FALSE(Game::ApplyNameCharacter(name, length, '\r'));
    EXPECT_EQ(length, 0);
    for (char c : std::string("abcdefghijklmnop"))
        Game::ApplyNameCharacter(name, length, c);
    EXPECT_EQ(length, 15);
    EXPECT_EQ(std::u16string(name), u"abcdefghijklmno"); // the 16th is ignored
    EXPECT_TRUE(Game::ApplyNameCharacter(name, length, 7));
    EXPECT_EQ(std::u16string(name), u"abcdefghijklmn");
    EXPECT_TRUE(Game::ApplyNameCharacter(name, length, '%' + 1));
    EXPECT_EQ(length, 15);
}

class ResultTest : public ScreensFixture {
  protected:
    void EndGame(int32_t score, const char* player) {
        world_.active = "Level_01_00";
        g_Board.NewGame(GameMode::Lines);
        g_Board.score = score;
        if (player) g_Settings.WriteString(player, "Player");
        Game::OpenResultScreen();
        Frame();
        Slide(); // slid in
        Frame(); // qualification
    }
};

TEST_F(ResultTest, QualifyingResultIsEnteredAndShownOnItsHighScorePage) {
    HighScores::Load();
    EndGame(420, "Alexander the Great of Macedon");
    ASSERT_EQ(Game::Screens().result.phase, Game::PanelPhase::NameEntry);
    // The stored name is cut to 15 characters.
    EXPECT_EQ(std::u16string(Game::Screens().playerName), u"Alexander the G");
    EXPECT_EQ(Game::Screens().playerNameLength, 15);

    Frame({Key::Enter});
    const HighScores::Table& table = HighScores::Get(0);
    EXPECT_EQ(std::u16string(table.entries[0].name), u"Alexander the G");
    EXPECT_EQ(table.entries[0].score, 420);
    EXPECT_EQ(table.marks[0], 1);
    EXPECT_EQ(world_.active, "Level_02_02");
    EXPECT_EQ(Frontend::Screen().shownTab, 0);
    EXPECT_EQ(Frontend::Screen().scoresReturn, "Level_01_00");
    EXPECT_EQ(world_.scenes["Level_01_00"].update, &Game::StartPanelUpdate);
    EXPECT_EQ(Game::Screens().startMenu, "startGame2");
    EXPECT_EQ(g_Board.score, 0); // a new game waits behind the StartPanel
    char stored[64] = {};
    EXPECT_TRUE(g_Settings.ReadString(stored, sizeof stored, "Player"));
    EXPECT_STREQ(stored, "Alexander the G");
}

TEST_F(ResultTest, EmptyNameDisablesOk) {
    HighScores::Load();
    EndGame(90, "");
    ASSERT_EQ(Game::Screens().result.phase, Game::PanelPhase::NameEntry);
    Frame({Key::Enter});
    Frame({Key::KeypadEnter});
    EXPECT_EQ(Game::Screens().result.phase, Game::PanelPhase::NameEntry);
    EXPECT_EQ(HighScores::Get(0).entries[0].score, 0);
    for (const MenuItem& item : Menu::Current())
        EXPECT_EQ(item.enabled, 0);
}

TEST_F(ResultTest, ResultThatDoesNotQualifyGoesToTheGameOverMenu) {
    HighScores::Load();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(HighScores::Insert(0, u"x", 1000));
    EndGame(1000, "me");
    EXPECT_EQ(Game::Screens().result.phase, Game::PanelPhase::GameOverMenu);
    Frame({});
    Click(1); // Restart
    EXPECT_EQ(Game::Screens().result.phase, Game::PanelPhase::SlidingOut);
    Slide();
    EXPECT_EQ(Active().update, &Game::GameUpdate);
    EXPECT_EQ(Game::Screens().start.phase, Game::PanelPhase::Entering);
    EXPECT_EQ(g_Board.score, 0);
}

// ---- Hud ----------------------------------------------------------------------------------------

TEST(Hud, LevelUpBlinkShowsInTheSecondHalfOfEachPeriodFor700Ms) {
    const uint32_t up = 50000;
    std::string seen;
    for (uint32_t t = 0; t < 900; t += 50)
        seen += Game::LevelUpBlinkVisible(up + t, up) ? '#' : '.';
    // 0 50 100 | 150 | 200 250 300 | 350 | ... ; 700 and later: nothing.
    EXPECT_EQ(seen, "...#...#...#......");
    EXPECT_TRUE(Game::LevelUpBlinkVisible(up + 101, up));
    EXPECT_FALSE(Game::LevelUpBlinkVisible(up + 100, up));
    EXPECT_TRUE(Game::LevelUpBlinkVisible(up + 599, up));
    EXPECT_FALSE(Game::LevelUpBlinkVisible(up + 650, up));
    EXPECT_FALSE(Game::LevelUpBlinkVisible(up + 701, up));
}

TEST(Hud, DecorationSwingsBetween623And715) {
    Game::Decoration d;
    int lo = d.x, hi = d.x;
    for (int i = 0; i < 1000; ++i) {
        d.Advance();
        lo = std::min(lo, d.x);
        hi = std::max(hi, d.x);
    }
    EXPECT_EQ(lo, 623);
    EXPECT_EQ(hi, 715);
}

TEST(Hud, ScorePopupsStayOnTheBoardInsideItsFrame) {
    Game::GameBoard board;
    board.w = board.h = 10;
    board.cellWidth = board.cellHeight = 53.0f;
    // Right of their cell where there is room: column 3 starts at 33 + 4 * 53.
    EXPECT_EQ(Game::PopupX(board, 3, 40), 245);
    EXPECT_EQ(Game::PopupX(board, 8, 40), 510);
    // The last column's popup would start on the frame (563): it ends 2 pixels inside the board.
    EXPECT_EQ(Game::PopupX(board, 9, 40), 521);
    EXPECT_EQ(Game::PopupX(board, 8, 60), 501);
    board.w = board.h = 20;
    board.cellWidth = board.cellHeight = 26.5f;
    EXPECT_EQ(Game::PopupX(board, 19, 30), 531);
    EXPECT_EQ(Game::PopupX(board, 0, 30), 59);
}

TEST(Hud, MarkerCyclesThroughTheColoursOfTheBricksHeadingForACell) {
    Game::GameBoard board;
    board.incoming[3 * Game::GameBoard::MaxSide + 4][0] = 2;
    board.incoming[3 * Game::GameBoard::MaxSide + 4][1] = 1;
    board.incoming[3 * Game::GameBoard::MaxSide + 4][2] = 4;
    EXPECT_STREQ(Game::MarkerPicture(board, 3, 4, 600), "DISAPPEARG");
    EXPECT_STREQ(Game::MarkerPicture(board, 3, 4, 899), "DISAPPEARG");
    EXPECT_STREQ(Game::MarkerPicture(board, 3, 4, 900), "DISAPPEARB");
    EXPECT_STREQ(Game::MarkerPicture(board, 3, 4, 1199), "DISAPPEARB");
    EXPECT_STREQ(Game::MarkerPicture(board, 3, 4, 1200), "DISAPPEARG");
    EXPECT_STREQ(Game::MarkerPicture(board, 4, 3, 1200), "");
    board.incoming[0][0] = 1;
    board.incoming[0][1] = 12; // a fireball: no colour letter
    EXPECT_STREQ(Game::MarkerPicture(board, 0, 0, 0), "DISAPPEAR");
}

// ---- Groups: cleared board ----------------------------------------------------------------------

TEST_F(ScreensFixture, ClearedBoardDealsOneColourMoreUpToSix) {
    world_.active = "Level_02_00";
    for (int32_t colours : {4, 5, 6}) {
        g_Board.NewGame(GameMode::Groups);
        g_Board.colours = colours;
        g_Board.level = 3;
        g_Board.score = 777;
        Game::OpenBoardClearedScreen();
        EXPECT_EQ(Active().update, &Game::BoardClearedUpdate);
        Frame();
        EXPECT_TRUE(Animation::IsFrozen());
        Slide();
        EXPECT_EQ(Game::Screens().cleared.phase, Game::PanelPhase::Shown);
        Frame({Key::Enter});
        EXPECT_EQ(Game::Screens().cleared.phase, Game::PanelPhase::SlidingOut);
        Frame(); // t0 dates from entering: play resumes at once
        EXPECT_EQ(Active().update, &Game::GameUpdate);
        EXPECT_EQ(g_Board.colours, std::min(colours + 1, 6));
        EXPECT_EQ(g_Board.level, 3);
        EXPECT_EQ(g_Board.score, 777);
        EXPECT_TRUE(g_Board.dealFlag);
        EXPECT_FALSE(Animation::IsFrozen());
    }
}

// ---- Panels hand over to the other screens ------------------------------------------------------

TEST_F(ScreensFixture, HelpFromTheStartPanelComesBackToTheSamePanel) {
    world_.active = "Level_00_01";
    Frontend::RegisterGameSelect();
    Frontend::RegisterHelp();
    game_.prepareGameScenes = &Game::PrepareGameScenes;
    game_.newGame = [](int32_t mode) { g_Board.NewGame(static_cast<GameMode>(mode)); };
    Frontend::SetGameHooks(game_);
    Frame();
    Click(4); // Groups
    EXPECT_EQ(world_.active, "Level_02_00");
    EXPECT_EQ(g_Board.mode, GameMode::Groups);
    Frame();
    Slide();
    ASSERT_EQ(Game::Screens().start.phase, Game::PanelPhase::Shown);
    Frame();
    Click(2); // Help
    EXPECT_EQ(world_.active, "Level_00_02");
    EXPECT_EQ(Frontend::Screen().helpReturn, "Level_02_00");
    EXPECT_FALSE(Animation::IsFrozen());
    Frame({Key::Escape});
    EXPECT_EQ(world_.active, "Level_02_00");
    EXPECT_EQ(Active().update, &Game::StartPanelUpdate);
    EXPECT_EQ(Game::Screens().start.phase, Game::PanelPhase::Shown);

    // Play: the panel slides out and the game runs.
    Frame();
    Click(1);
    Slide();
    EXPECT_EQ(Active().update, &Game::GameUpdate);
    EXPECT_EQ(Active().overlay, &Game::HudOverlay);
}

TEST_F(ScreensFixture, MainMenuFromThePauseMenuClearsTheBoard) {
    world_.active = "Level_01_00";
    g_Board.NewGame(GameMode::Lines);
    seam_.clock = world_.now;
    g_Board.GameTick(16);
    ASSERT_GT(g_Board.ItemCount(), 0);
    Game::OpenPauseMenu();
    Frame();
    Slide();
    Frame();
    Click(5);
    EXPECT_EQ(world_.active, "Level_00_00");
    EXPECT_EQ(g_Board.ItemCount(), 0);
    EXPECT_EQ(Game::Screens().pause.phase, Game::PanelPhase::Entering);
    EXPECT_EQ(world_.scenes["Level_01_00"].update, &Game::GameUpdate);
    EXPECT_FALSE(Animation::IsFrozen());
}

} // namespace
} // namespace ScreensTest
