// The board played by keys: the cell cursor, and the four games' moves made by keys alone ending
// exactly as the same moves made by clicks (board, score, sounds).
#include "SimHelpers.h"

namespace {

// Simulator lines that walk the cursor from (x, y) to (tx, ty) and press enter there.
std::string KeysTo(int32_t& x, int32_t& y, int32_t tx, int32_t ty) {
    std::string keys;
    for (; x < tx; ++x)
        keys += "key right\n";
    for (; x > tx; --x)
        keys += "key left\n";
    for (; y < ty; ++y)
        keys += "key down\n";
    for (; y > ty; --y)
        keys += "key up\n";
    return keys + "key enter\n";
}

struct Scenario {
    const char* name;
    std::string setup;                              // after "spawn off" and "new MODE"
    std::vector<std::pair<int32_t, int32_t>> cells; // clicked in this order
    const char* expectScore;
};

// Runs the scenario once by clicks and once by keys; returns both printed reports.
std::pair<std::string, std::string> PlayBothWays(const std::string& mode, const Scenario& s) {
    Sim byClicks, byKeys;
    const std::string start = "spawn off\nnew " + mode + "\n";
    byClicks.Empty(mode);
    byKeys.Empty(mode);
    byClicks.Cmd(s.setup);
    byKeys.Cmd(s.setup);
    std::string clicks, keys = "key enter\n"; // the first key only shows the cursor
    int32_t x = byKeys.board.cursor.x, y = byKeys.board.cursor.y;
    for (auto [cx, cy] : s.cells) {
        clicks += "click " + std::to_string(cx) + " " + std::to_string(cy) + "\n";
        keys += KeysTo(x, y, cx, cy);
    }
    const std::string end = "wait 6000\nprint\n";
    return {byClicks.Cmd(clicks + end), byKeys.Cmd(keys + end)};
}

TEST(BoardKeys, EachGameByKeysEndsAsByClicks) {
    const std::pair<std::string, Scenario> scenarios[] = {
        {"lines",
         {"a line of five",
          "put 0 0 1\nput 1 0 1\nput 2 0 1\nput 3 0 1\nput 4 5 1\nput 7 7 2\n",
          {{4, 5}, {4, 0}},
          "score 10 level 1"}},
        {"squares",
         {"a square and its tail",
          "put 0 0 2\nput 1 0 2\nput 0 1 2\nput 0 2 2\nput 6 6 2\nput 8 8 3\n",
          {{6, 6}, {1, 1}},
          "score 13 level 1"}},
        {"swaps",
         {"a swap into a row of three",
          "put 0 9 3\nput 1 9 3\nput 2 9 4\nput 3 9 3\nput 4 9 5\n",
          {{2, 9}, {3, 9}},
          "score 6 level 1"}},
        {"groups",
         {"a group of three",
          "put 0 19 1\nput 1 19 1\nput 1 18 1\nput 2 19 2\nput 3 19 3\n",
          {{1, 18}},
          "score 9 level 1"}},
    };
    for (const auto& [mode, s] : scenarios) {
        SCOPED_TRACE(mode + ": " + s.name);
        auto [clicks, keys] = PlayBothWays(mode, s);
        EXPECT_NE(clicks.find(s.expectScore), std::string::npos) << clicks;
        EXPECT_NE(clicks.find("line_delete2"), std::string::npos) << clicks;
        EXPECT_EQ(keys, clicks);
    }
}

TEST(BoardKeys, TheCursorShowsMovesStopsAtTheEdgesAndHidesWithTheMouse) {
    Sim sim("lines");
    sim.Cmd("put 4 4 1\nput 6 2 7");
    Game::GameBoard::CellCursor& cursor = sim.board.cursor;
    EXPECT_FALSE(cursor.shown);
    // The first key shows it where it was, doing nothing else.
    sim.Cmd("key enter");
    EXPECT_TRUE(cursor.shown);
    EXPECT_EQ(cursor.x, 4);
    EXPECT_EQ(cursor.y, 4);
    EXPECT_EQ(sim.At(4, 4)->state, Game::ItemState::Stay);
    // Enter selects the brick under it, like a click.
    sim.Cmd("key enter");
    EXPECT_EQ(sim.At(4, 4)->state, Game::ItemState::Select);
    for (int i = 0; i < 12; ++i)
        sim.Cmd("key up\nkey right");
    EXPECT_EQ(cursor.x, 9);
    EXPECT_EQ(cursor.y, 0);
    // A bonus answers Enter as it answers a click.
    sim.Cmd("key left\nkey left\nkey left\nkey down\nkey down\nkey enter");
    EXPECT_EQ(sim.At(6, 2)->state, Game::ItemState::Activate);

    // A click hides it; the next key shows it on the cell the mouse was over.
    sim.Cmd("click 2 7");
    EXPECT_FALSE(cursor.shown);
    sim.Cmd("key down");
    EXPECT_TRUE(cursor.shown);
    EXPECT_EQ(cursor.x, 2);
    EXPECT_EQ(cursor.y, 7);
    // Moving the mouse without a click hides it too.
    sim.seam.mouseX += 5;
    sim.Frame();
    EXPECT_FALSE(cursor.shown);

    // A new game keeps it shown, from the middle of the new board.
    sim.Cmd("key down\nnew groups");
    EXPECT_TRUE(cursor.shown);
    EXPECT_EQ(cursor.x, 9);
    EXPECT_EQ(cursor.y, 9);

    std::string error;
    std::ostringstream out;
    EXPECT_FALSE(sim.Execute("key space", out, error));
    EXPECT_EQ(error, "unknown key 'space' (left, right, up, down or enter)");
}

TEST(BoardKeys, SwapsTakesTheSecondPressOnANeighbourOnly) {
    Sim sim("swaps");
    sim.Cmd("put 0 9 1\nput 1 9 2\nput 1 8 3\nput 2 9 4");
    sim.Cmd("key enter\nkey left\nkey left\nkey left\nkey left\nkey down\nkey down\nkey down\nkey down\n"
            "key down\nkey enter"); // (0, 9) selected
    EXPECT_EQ(sim.At(0, 9)->state, Game::ItemState::Select);
    sim.Cmd("key right\nkey up\nkey enter"); // diagonal: the selection moves
    EXPECT_EQ(sim.At(1, 8)->state, Game::ItemState::Select);
    EXPECT_EQ(sim.At(0, 9)->state, Game::ItemState::Stay);
    sim.Cmd("key down\nkey enter\nwait 1000"); // the neighbour below: swapped
    sim.ExpectCodes({{1, 8, 2}, {1, 9, 3}});
}

} // namespace
