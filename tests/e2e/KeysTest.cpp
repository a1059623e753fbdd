// A whole session without the mouse: title, game selection, a Lines game played by the cell
// cursor until a line of five goes, pause and resume, the main menu, high scores and Exit, with
// key presses only. Every step waits for the game's own screenshot to show the next screen.
#include "e2e/Fixture.h"
#include "e2e/LinesPlayer.h"
#include "e2e/Screens.h"

namespace E2e {
namespace {

// The cell cursor's gold frame: bright warm pixels along the edge of cell (x, y).
bool CursorAt(const Bitmap& shot, int x, int y) {
    const int left = kBoardLeft + x * kCell, top = kBoardTop + y * kCell;
    int gold = 0, total = 0;
    for (int py = top - 1; py < top + kCell + 1; ++py) {
        for (int px = left - 1; px < left + kCell + 1; ++px) {
            const bool edge =
                px < left + 3 || px >= left + kCell - 3 || py < top + 3 || py >= top + kCell - 3;
            if (!edge) continue;
            const Rgb c = At(shot, px, py);
            ++total;
            gold += c.r > 180 && c.g > 130 && c.r > c.b + 50 ? 1 : 0;
        }
    }
    return gold * 5 > total;
}

TEST_F(E2eTest, AWholeSessionByKeysAlone) {
    Game& game = NewGameWithData(dir / "work");
    StartAndFindWindow(game);
    Bitmap shot;
    ASSERT_EQ(AwaitShot(game, shot, "keys-01-title", CheckTitle), "");

    game.Key("Down"); // shows the highlight on Play
    game.Key("Return");
    ASSERT_EQ(AwaitShot(game, shot, "keys-02-game-selection", CheckGameSelection), "");
    game.Key("Return"); // the keys own the highlight: Lines stands first
    ASSERT_EQ(AwaitShot(game, shot, "keys-03-start-panel", CheckBoardWithPanel), "");
    game.Key("Return"); // Play
    Bitmap start;
    ASSERT_EQ(AwaitShot(game, start, "keys-04-playing", CheckPlaying), "");

    // The first arrow shows the cursor (where the pointer rests, or in the middle); walking past
    // the corner puts it on a known cell whichever that was.
    int cx = 0, cy = 0;
    std::vector<std::string> corner(11, "Left");
    corner.insert(corner.end(), 10, "Up");
    game.Keys(corner);
    ASSERT_EQ(AwaitShot(game, shot, "keys-05-cursor",
                        [](const Bitmap& s) { return CursorAt(s, 0, 0) ? "" : "no cell cursor at (0, 0)"; }),
              "");
    // Lines spawns on a timer, so the walk to the brick and on to its cell goes as one quick run of
    // taps: the quicker it is, the less often a spawn takes the planned cell first.
    auto walkTo = [&](std::vector<std::string>& taps, int tx, int ty) {
        for (; cx < tx; ++cx)
            taps.push_back("Right");
        for (; cx > tx; --cx)
            taps.push_back("Left");
        for (; cy < ty; ++cy)
            taps.push_back("Down");
        for (; cy > ty; --cy)
            taps.push_back("Up");
        taps.push_back("Return");
    };

    const std::string played = PlayUntilScored(
        game, start, "keys-06-board",
        [&](const Move& move) {
            std::vector<std::string> taps;
            walkTo(taps, move.fromX, move.fromY);
            walkTo(taps, move.toX, move.toY);
            game.Keys(taps);
        },
        120000);
    ASSERT_EQ(played, "");
    ASSERT_EQ(AwaitShot(game, shot, "keys-07-line-removed", CheckPlaying), "");

    game.Key("Escape"); // pause: Resume is highlighted
    ASSERT_EQ(AwaitShot(game, shot, "keys-08-paused", CheckBoardWithPanel), "");
    game.Key("Return");
    ASSERT_EQ(AwaitShot(game, shot, "keys-09-resumed", CheckPlaying), "");

    game.Key("Escape");
    ASSERT_EQ(AwaitShot(game, shot, "keys-10-paused-again", CheckBoardWithPanel), "");
    for (int i = 0; i < 4; ++i)
        game.Key("Down"); // Main menu
    game.Key("Return");
    ASSERT_EQ(AwaitShot(game, shot, "keys-11-title", CheckTitle), "");
    for (int i = 0; i < 3; ++i)
        game.Key("Down"); // High scores
    game.Key("Return");
    ASSERT_EQ(AwaitShot(game, shot, "keys-12-high-scores", CheckHighScores), "");
    game.Key("Escape");
    ASSERT_EQ(AwaitShot(game, shot, "keys-13-title", CheckTitle), "");
    game.Key("Up"); // round from Play to Exit
    game.Key("Return");
    EXPECT_EQ(game.WaitExit(10000), 0);
}

} // namespace
} // namespace E2e
