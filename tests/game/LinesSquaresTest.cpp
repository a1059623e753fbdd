// Lines and Squares: selecting, path search, moving, waiting, removal rules, end of play.
#include <gtest/gtest.h>

#include <cstdlib>
#include <queue>

#include "SimHelpers.h"

using namespace Game;

namespace {

// Shortest 4-connected distance over free cells (0), the item's own cell counted free.
int32_t BfsDistance(Sim& sim, int32_t sx, int32_t sy, int32_t tx, int32_t ty) {
    sim.board.RebuildGrid();
    int32_t dist[10][10];
    for (auto& row : dist)
        for (auto& d : row)
            d = -1;
    std::queue<std::pair<int32_t, int32_t>> q;
    dist[sx][sy] = 0;
    q.push({sx, sy});
    while (!q.empty()) {
        auto [x, y] = q.front();
        q.pop();
        const int32_t dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
        for (int i = 0; i < 4; ++i) {
            const int32_t nx = x + dx[i], ny = y + dy[i];
            if (!sim.board.OnBoard(nx, ny) || dist[nx][ny] >= 0 || sim.board.Code(nx, ny) != 0) continue;
            dist[nx][ny] = dist[x][y] + 1;
            q.push({nx, ny});
        }
    }
    return dist[tx][ty];
}

// Follows one item frame by frame until it rests; returns the cells it passed through.
std::vector<std::pair<int32_t, int32_t>> Track(Sim& sim, BoardItem* item, int32_t maxFrames = 2000) {
    std::vector<std::pair<int32_t, int32_t>> cells{{item->x, item->y}};
    for (int i = 0; i < maxFrames && item->state != ItemState::Stay; ++i) {
        sim.Frame();
        if (cells.back() != std::make_pair(item->x, item->y)) cells.push_back({item->x, item->y});
    }
    return cells;
}

// A brick on its way down a corridor along column 0 (closed by column 1), two cells along.
BoardItem* DownTheCorridor(Sim& sim) {
    sim.Empty("lines");
    std::string wall;
    for (int y = 0; y < 10; ++y)
        wall += "put 1 " + std::to_string(y) + " " + std::to_string(Sim::Patterned(1, y)) + "\n";
    sim.Cmd(wall + "put 0 0 1\nclick 0 0\nclick 0 9");
    BoardItem* item = sim.At(0, 0);
    while (item->y < 2)
        sim.Frame();
    return item;
}

} // namespace

TEST(Lines, SelectMoveAndRemoveARowOfFive) {
    Sim sim("lines");
    sim.Cmd("put 0 0 1\nput 1 0 1\nput 2 0 1\nput 3 0 1\nput 4 5 1\nput 9 9 2\nclick 4 5");
    EXPECT_EQ(sim.At(4, 5)->state, ItemState::Select);
    EXPECT_EQ(sim.board.selected, sim.At(4, 5));
    sim.Cmd("click 4 0");
    BoardItem* mover = sim.At(4, 5);
    ASSERT_EQ(mover->state, ItemState::Move);
    // Both cells of a moving brick are busy; the target lists it as incoming.
    sim.ExpectCodes({{4, 5, -1}, {4, 4, -1}});
    EXPECT_EQ(sim.board.incoming[4 * 20 + 0][0], 1);
    EXPECT_EQ(sim.board.incoming[4 * 20 + 0][1], 1);
    const std::string out = sim.Cmd("wait 3000\nprint");
    EXPECT_EQ(out.substr(0, 20), "0 0 0 0 0 0 0 0 0 0\n");
    EXPECT_NE(out.find("score 10 level 1\nsounds line_delete2\nstate playing"), std::string::npos) << out;
    EXPECT_EQ(sim.board.ItemCount(), 1);
    EXPECT_EQ(sim.board.popups[0].points, 10);
    EXPECT_EQ(sim.board.popups[0].x, 4);
}

TEST(Lines, RowOfFourStaysAndOnlyLinesThroughTheArrivalCount) {
    Sim sim("lines");
    // A finished column of five placed directly is not looked at; the row of four is too short.
    sim.Cmd("put 9 0 2\nput 9 1 2\nput 9 2 2\nput 9 3 2\nput 9 4 2\n"
            "put 0 7 1\nput 1 7 1\nput 2 7 1\nput 5 5 1\nclick 5 5\nclick 3 7\nwait 5000");
    EXPECT_EQ(sim.BrickCount(), 9);
    EXPECT_EQ(sim.board.score, 0);
    EXPECT_EQ(sim.Code(3, 7), 1);
}

TEST(Lines, RowAndDiagonalAtOnceScoreNine) {
    Sim sim("lines");
    // Row y=4 from x=0..3 and the diagonal (0,0)..(3,3) both end at (4,4).
    sim.Cmd("put 0 4 3\nput 1 4 3\nput 2 4 3\nput 3 4 3\n"
            "put 0 0 3\nput 1 1 3\nput 2 2 3\nput 3 3 3\nput 4 9 3\nclick 4 9\nclick 4 4\nwait 4000");
    EXPECT_EQ(sim.BrickCount(), 0);
    EXPECT_EQ(sim.board.popups[0].points, 30);
    EXPECT_EQ(sim.Count("line_delete2"), 1);
    // The board emptied with a score: the board-clear bonus lifts the score to 50, level 2.
    EXPECT_EQ(sim.board.score, 50);
    EXPECT_EQ(sim.board.level, 2);
    EXPECT_EQ(sim.Count("next_level1"), 1);
    sim.Cmd("wait 1000");
    EXPECT_EQ(sim.board.score, 50); // once per emptied board
}

TEST(Lines, AntiDiagonalAndColumn) {
    Sim sim("lines");
    sim.Cmd(
        "put 9 1 5\nput 8 2 5\nput 7 3 5\nput 5 5 5\nput 0 0 5\nput 9 9 2\nclick 0 0\nclick 6 4\nwait 5000");
    EXPECT_EQ(sim.BrickCount(), 1);
    EXPECT_EQ(sim.board.score, 10);
    sim.Empty("lines");
    sim.Cmd("put 3 0 6\nput 3 1 6\nput 3 3 6\nput 3 4 6\nput 3 5 6\nput 0 9 6\nput 9 9 2\nclick 0 9\nclick 3 "
            "2\nwait 5000");
    EXPECT_EQ(sim.BrickCount(), 1);
    EXPECT_EQ(sim.board.score, 15); // six in the column
}

TEST(Lines, PathIsShortestAndAvoidsWalls) {
    Sim sim("lines");
    // A wall in column 5 with one gap at the bottom.
    std::string wall;
    for (int y = 0; y < 9; ++y)
        wall += "put 5 " + std::to_string(y) + " " + std::to_string(Sim::Patterned(5, y)) + "\n";
    sim.Cmd(wall + "put 0 0 1\nclick 0 0");
    const int32_t expected = BfsDistance(sim, 0, 0, 9, 0);
    ASSERT_EQ(expected, 27);
    sim.Cmd("click 9 0");
    BoardItem* item = sim.At(0, 0);
    ASSERT_EQ(item->state, ItemState::Move);
    const auto cells = Track(sim, item);
    EXPECT_EQ(cells.back(), std::make_pair(9, 0));
    EXPECT_EQ(static_cast<int32_t>(cells.size()) - 1, expected);
    for (size_t i = 1; i < cells.size(); ++i)
        EXPECT_EQ(std::abs(cells[i].first - cells[i - 1].first) +
                      std::abs(cells[i].second - cells[i - 1].second),
                  1);
}

TEST(Lines, ReplansWhenTheWayIsBlocked) {
    Sim sim("lines");
    sim.Cmd("put 0 0 1\nclick 0 0\nclick 0 9");
    BoardItem* item = sim.At(0, 0);
    // Let it take two steps, then drop a brick right in front of it.
    while (item->y < 2)
        sim.Frame();
    sim.Frame();
    const int32_t blockY = item->nextY + 1;
    sim.Cmd("put 0 " + std::to_string(blockY) + " 2");
    const auto cells = Track(sim, item);
    EXPECT_EQ(cells.back(), std::make_pair(0, 9));
    bool wentAround = false;
    for (auto& c : cells)
        wentAround |= c.first == 1;
    EXPECT_TRUE(wentAround);
}

TEST(Lines, BlockedMoveWaitsShakesThenRests) {
    Sim sim;
    BoardItem* item = DownTheCorridor(sim);
    sim.Cmd("put 0 5 3"); // shuts the corridor: the next search finds no way at all
    sim.Frame();
    ASSERT_EQ(item->state, ItemState::Wait);
    EXPECT_EQ(item->x, 0);
    EXPECT_EQ(item->y, 2);
    EXPECT_EQ(sim.Code(0, 2), 1); // a waiting brick rests in its cell
    auto* obj = static_cast<MemorySeam::Object*>(item->object);
    for (int i = 0; i < 20; ++i) {
        sim.Frame();
        const float dx = obj->x - sim.board.CellPixelX(0), dy = obj->y - sim.board.CellPixelY(2);
        EXPECT_GE(dx, -4.0f);
        EXPECT_LE(dx, -1.0f);
        EXPECT_GE(dy, -4.0f);
        EXPECT_LE(dy, -1.0f);
    }
    sim.Cmd("wait 2000");
    EXPECT_EQ(item->state, ItemState::Stay);
    EXPECT_EQ(obj->x, sim.board.CellPixelX(0));
    EXPECT_EQ(obj->y, sim.board.CellPixelY(2));
}

TEST(Lines, WaitingBrickMovesOnWhenTheWayOpens) {
    Sim sim;
    BoardItem* item = DownTheCorridor(sim);
    sim.Cmd("put 0 5 3");
    for (int i = 0; i < 500 && item->state != ItemState::Wait; ++i)
        sim.Frame();
    ASSERT_EQ(item->state, ItemState::Wait);
    sim.board.SetState(*sim.At(0, 5), ItemState::Disappear); // the blocker goes
    sim.Cmd("wait 30");
    EXPECT_EQ(item->state, ItemState::Move);
    Track(sim, item);
    EXPECT_EQ(item->y, 9);
}

TEST(Lines, NoPathKeepsTheSelection) {
    Sim sim("lines");
    sim.Cmd("put 0 0 1\nput 1 0 2\nput 0 1 3\nclick 0 0\nclick 5 5");
    EXPECT_EQ(sim.At(0, 0)->state, ItemState::Select);
    EXPECT_EQ(sim.board.selected, sim.At(0, 0));
    sim.Cmd("click 1 0"); // selecting another brick puts the first back to rest
    EXPECT_EQ(sim.At(0, 0)->state, ItemState::Stay);
    EXPECT_EQ(sim.board.selected, sim.At(1, 0));
}

TEST(Lines, SelectedBrickRemovedAndDestroyedInOnePassClearsTheSelection) {
    Sim sim("lines");
    // The mover comes first in the table, so its arrival removes the selected brick and the
    // selected brick's own update destroys it later in the same pass.
    sim.Cmd("put 2 5 1\nput 0 0 1\nput 1 0 1\nput 3 0 1\nput 4 0 1\nput 9 9 2\nclick 0 0");
    ASSERT_EQ(sim.board.selected, sim.At(0, 0));
    BoardItem* mover = sim.At(2, 5);
    mover->targetX = 2;
    mover->targetY = 0;
    sim.board.SetState(*mover, ItemState::Move);
    sim.Cmd("wait 5000");
    EXPECT_EQ(sim.board.selected, nullptr);
    EXPECT_EQ(sim.BrickCount(), 1);
    EXPECT_EQ(sim.board.score, 10);
}

TEST(Lines, EndOfPlayAfterThirtyOneStuckFrames) {
    Sim sim("lines");
    sim.FillPatterned();
    sim.seam.sounds.clear();
    sim.Cmd("wait 300");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Playing);
    EXPECT_EQ(sim.board.stuckCounter, 30);
    sim.Cmd("wait 10");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Result);
    EXPECT_EQ(sim.seam.resultOpened, 1);
    EXPECT_EQ(sim.Count("ALERT"), 1);
    sim.Cmd("wait 1000"); // no tick runs once the panel is open
    EXPECT_EQ(sim.board.stuckCounter, 31);
    EXPECT_NE(sim.Cmd("print").find("state result"), std::string::npos);
    sim.Cmd("new lines");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Playing);
}

TEST(Lines, AlertOnceBelowTenFreeAndAgainAfterRecovering) {
    Sim sim("lines");
    sim.FillPatterned();
    sim.board.SetState(*sim.At(9, 9), ItemState::Disappear);
    sim.seam.sounds.clear();
    sim.Cmd("wait 100");
    EXPECT_EQ(sim.Count("ALERT"), 1);
    for (int x = 0; x < 10; ++x)
        sim.board.SetState(*sim.At(x, 0), ItemState::Disappear);
    sim.Cmd("wait 100");
    EXPECT_EQ(sim.Count("ALERT"), 1);
    EXPECT_FALSE(sim.board.alertFlag);
    sim.FillPatterned();
    sim.Cmd("wait 20");
    EXPECT_EQ(sim.Count("ALERT"), 2);
}

TEST(Squares, SquareWithTailRemovesTheWholeGroup) {
    Sim sim("squares");
    // (0,0),(1,0),(0,1) + arriving (1,1) make the square; (2,1),(3,1),(3,2) are the tail.
    sim.Cmd("put 0 0 4\nput 1 0 4\nput 0 1 4\nput 2 1 4\nput 3 1 4\nput 3 2 4\nput 9 9 2\nput 5 5 4\n"
            "click 5 5\nclick 1 1\nwait 6000");
    EXPECT_EQ(sim.BrickCount(), 1);
    EXPECT_EQ(sim.board.score, 23);
    EXPECT_EQ(sim.Count("line_delete2"), 1);
}

TEST(Squares, NoSquareNoRemoval) {
    Sim sim("squares");
    sim.Cmd("put 0 0 4\nput 1 0 4\nput 2 0 4\nput 3 0 4\nput 5 5 4\nclick 5 5\nclick 4 0\nwait 6000");
    EXPECT_EQ(sim.BrickCount(), 5);
    EXPECT_EQ(sim.board.score, 0);
}
