// An unfinished Lines game outlives the window: closed in the middle of play, offered on the title
// at the next start, and back paused with the same board, score and level; a damaged saved game is
// not offered and is kept beside as "*.corrupt".
#include "e2e/Fixture.h"
#include "e2e/LinesPlayer.h"
#include "e2e/Screens.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace E2e {
namespace {

// Where the Hud shows the level.
constexpr Box kLevel{650, 18, 730, 62};
// The title's Continue line, above the main menu's column.
constexpr Box kContinue{300, 182, 500, 214};
constexpr int kContinueY = 198;

std::string ContinueShown(const Bitmap& shot) {
    return Count(shot, kContinue, IsMenuGreen) + Count(shot, kContinue, IsMenuYellow) > 150
               ? ""
               : "no Continue line on the title";
}

// Cells the PauseMenu's panel (209, 140)-(589, 433) leaves in view.
bool OutsidePanel(int x, int y) {
    const int left = kBoardLeft + x * kCell, top = kBoardTop + y * kCell;
    return left + kCell <= 209 || left >= 589 || top + kCell <= 140 || top >= 433;
}

std::string SaveFile(Game& game) {
    return game.DataHome() + "/parlorix/lines.save";
}

TEST_F(E2eTest, AClosedLinesGameIsOfferedAndComesBackPausedAsItWas) {
    const std::string work = dir / "work";
    Game& first = NewGameWithData(work);
    StartAndFindWindow(first);
    Bitmap shot;
    ASSERT_EQ(AwaitShot(first, shot, "resume-01-title", CheckTitle), "");
    EXPECT_NE(ContinueShown(shot), "") << "Continue offered without a saved game";
    ASSERT_NO_FATAL_FAILURE(StartLinesByMouse(first, "resume-02", shot));

    // One move, once a brick can go somewhere; then the board as it stands when the window closes.
    Move move;
    for (long long deadline = NowMs() + 20000; NowMs() < deadline;) {
        ASSERT_TRUE(first.Screenshot(shot, "resume-05-board"));
        if (PlanMove(ReadBoard(shot), move)) break;
        move = Move();
    }
    ASSERT_GE(move.fromX, 0) << "no brick to move within 20 s";
    first.Click(CellX(move.fromX), CellY(move.fromY));
    first.Click(CellX(move.toX), CellY(move.toY));
    // Arrived: the target cell holds a brick.
    Bitmap before;
    ASSERT_EQ(AwaitShot(first, before, "resume-06-moved",
                        [&](const Bitmap& s) {
                            return ReadBoard(s)[move.toY][move.toX] > 0 ? "" : "the brick has not arrived";
                        }),
              "");
    const Board was = ReadBoard(before);
    EXPECT_EQ(first.Close(), 0);
    ASSERT_TRUE(fs::exists(SaveFile(first))) << ReadFile(work + "/Log000.txt");

    // A working folder of its own: its screenshots are numbered from 0 again.
    Game& second = NewGameWithData(dir / "work2");
    StartAndFindWindow(second);
    ASSERT_EQ(AwaitShot(second, shot, "resume-07-title-continue", ContinueShown), "");
    second.Click(400, kContinueY);
    Bitmap after;
    ASSERT_EQ(AwaitShot(second, after, "resume-08-continued-paused", CheckBoardWithPanel), "");
    const Board is = ReadBoard(after);
    // Cell by cell where the panel leaves the board in view. A brick may have spawned between
    // the last screenshot and the close, into a cell that was empty.
    int spawned = 0;
    for (int y = 0; y < kCells; ++y) {
        for (int x = 0; x < kCells; ++x) {
            if (!OutsidePanel(x, y) || was[y][x] < 0 || is[y][x] < 0) continue;
            if (was[y][x] == 0 && is[y][x] > 0) {
                ++spawned;
                continue;
            }
            EXPECT_EQ(is[y][x], was[y][x]) << "cell " << x << "," << y << "\nbefore:\n"
                                           << Describe(was) << "after:\n"
                                           << Describe(is);
        }
    }
    EXPECT_LE(spawned, 1);
    EXPECT_LT(Difference(before, after, kScore), 1.5) << "the score changed";
    EXPECT_LT(Difference(before, after, kLevel), 1.5) << "the level changed";

    second.Key("Escape"); // Resume: play goes on
    ASSERT_EQ(AwaitShot(second, shot, "resume-09-playing-again", CheckPlaying), "");
    EXPECT_EQ(second.Close(), 0);
    EXPECT_TRUE(fs::exists(SaveFile(second))) << "the continued game was not kept again";
}

TEST_F(E2eTest, ADamagedSavedGameIsNotOfferedAndIsKeptAsCorrupt) {
    const std::string work = dir / "work";
    Game& game = NewGameWithData(work);
    fs::create_directories(game.DataHome() + "/parlorix");
    const std::string damaged = "Parlorix saved game 1\nmode 0\nlevel 9\nscore 4";
    { std::ofstream(SaveFile(game), std::ios::binary) << damaged; }
    StartAndFindWindow(game);
    Bitmap shot;
    ASSERT_EQ(AwaitShot(game, shot, "resume-10-title-damaged", CheckTitle), "");
    EXPECT_NE(ContinueShown(shot), "") << "a damaged saved game was offered";
    EXPECT_FALSE(fs::exists(SaveFile(game)));
    EXPECT_EQ(ReadFile(SaveFile(game) + ".corrupt"), damaged);
    EXPECT_NE(ReadFile(work + "/Log000.txt").find("lines.save' refused (cut short (no check line)); kept as"),
              std::string::npos);
    EXPECT_EQ(game.Close(), 0);
    EXPECT_FALSE(fs::exists(SaveFile(game))) << "saved a game that was never played";
}

} // namespace
} // namespace E2e
