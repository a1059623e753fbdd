// Swaps and Groups: falling, swapping, group removal, closing columns, end of play.
#include <gtest/gtest.h>

#include "SimHelpers.h"

using namespace Game;

TEST(Swaps, BricksFallToTheBottomWithBothCellsBusy) {
    Sim sim("swaps");
    sim.Cmd("put 0 0 1\nwait 10");
    BoardItem* item = sim.At(0, 0);
    ASSERT_EQ(item->state, ItemState::Fall);
    sim.ExpectCodes({{0, 0, -1}, {0, 1, -1}});
    sim.Cmd("wait 5000");
    EXPECT_EQ(item->state, ItemState::Stay);
    sim.ExpectCodes({{0, 9, 1}, {0, 0, 0}});
}

TEST(Swaps, SwappingNeighboursCompletesARowOfThree) {
    Sim sim("swaps");
    sim.Cmd("put 0 9 1\nput 1 9 1\nput 2 9 2\nput 3 9 1\nput 4 9 3\nclick 2 9");
    EXPECT_EQ(sim.At(2, 9)->state, ItemState::Select);
    sim.Cmd("click 3 9");
    EXPECT_EQ(sim.At(2, 9)->state, ItemState::Swap);
    EXPECT_EQ(sim.At(3, 9)->state, ItemState::Swap);
    sim.Cmd("wait 2000");
    EXPECT_EQ(sim.board.score, 6);
    EXPECT_EQ(sim.Count("line_delete2"), 1);
    sim.ExpectCodes({{3, 9, 2}, {4, 9, 3}});
    EXPECT_EQ(sim.BrickCount(), 2);
}

TEST(Swaps, VerticalSwapThenTheRestFalls) {
    Sim sim("swaps");
    sim.Cmd("put 0 9 4\nput 1 9 4\nput 2 9 1\nput 2 8 4\nclick 2 8");
    BoardItem* four = sim.At(2, 8);
    sim.Cmd("click 0 5"); // an empty cell does nothing in Swaps
    EXPECT_EQ(four->state, ItemState::Select);
    sim.Cmd("click 2 9\nwait 3000");
    EXPECT_EQ(sim.board.popups[0].points, 6);
    // While the last brick was still falling no brick rested on the board: board-clear bonus.
    EXPECT_EQ(sim.board.score, 50);
    EXPECT_EQ(sim.BrickCount(), 1);
    EXPECT_EQ(sim.Code(2, 9), 1); // the other brick came down into the emptied row
}

TEST(Swaps, DiagonalClickMovesTheSelection) {
    Sim sim("swaps");
    sim.Cmd("put 0 9 1\nput 1 9 3\nput 1 8 2\nclick 0 9\nclick 1 8");
    EXPECT_EQ(sim.At(0, 9)->state, ItemState::Stay);
    EXPECT_EQ(sim.At(1, 8)->state, ItemState::Select);
    EXPECT_EQ(sim.board.selected, sim.At(1, 8));
    sim.Cmd("click 1 8"); // the selected brick itself: nothing
    EXPECT_EQ(sim.At(1, 8)->state, ItemState::Select);
}

TEST(Swaps, EndOfPlayWhenFull) {
    Sim sim("swaps");
    sim.FillPatterned();
    sim.Cmd("wait 300");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Playing);
    sim.Cmd("wait 10");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Result);
}

TEST(Groups, PairScoresFourAndSingleDoesNothing) {
    Sim sim("groups");
    sim.Cmd("put 0 19 1\nput 1 19 1\nput 0 18 3\nput 2 19 2\nclick 2 19");
    EXPECT_EQ(sim.board.score, 0);
    EXPECT_EQ(sim.BrickCount(), 4);
    sim.Cmd("click 1 19");
    EXPECT_EQ(sim.board.score, 4);
    EXPECT_EQ(sim.Count("line_delete2"), 1);
    sim.Cmd("wait 2000");
    // The brick above fell into the hole, then its column closed up toward the middle.
    sim.ExpectCodes({{0, 19, 0}, {0, 18, 0}, {1, 19, 3}, {2, 19, 2}});
}

TEST(Groups, LeftBlockMovesTowardTheMiddle) {
    Sim sim("groups");
    sim.Cmd("put 0 19 1\nput 0 18 2\nput 5 19 3\nwait 3000");
    sim.ExpectCodes({{4, 19, 1}, {4, 18, 2}, {0, 19, 0}, {5, 19, 3}});
}

TEST(Groups, RightBlockMovesLeftWhenFartherOrTied) {
    Sim sim("groups");
    sim.Cmd("put 12 19 1\nput 17 19 2\nput 18 19 3\nwait 3000");
    sim.ExpectCodes({{13, 19, 2}, {14, 19, 3}, {12, 19, 1}});

    sim.Empty("groups");
    sim.Cmd("put 8 19 1\nput 12 19 2\nwait 3000");
    // tie: the right block moved
    sim.ExpectCodes({{8, 19, 1}, {9, 19, 2}});
}

TEST(Groups, WholeBoardOfOneColourClearsAndOpensTheClearedScreen) {
    Sim sim("groups");
    std::string script;
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            script += "put " + std::to_string(x) + " " + std::to_string(y) + " 1\n";
    sim.Cmd(script + "click 10 10");
    EXPECT_EQ(sim.board.score, 1994); // (5 * 400 - 6) * 1
    EXPECT_EQ(sim.board.level, 7);
    EXPECT_EQ(sim.Count("next_level1"), 6);
    sim.Cmd("wait 300");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Playing);
    const std::string out = sim.Cmd("wait 100\nprint");
    EXPECT_NE(out.find("state cleared"), std::string::npos);
    EXPECT_EQ(sim.seam.clearedOpened, 1);
    EXPECT_EQ(sim.seam.resultOpened, 0);
}

TEST(Groups, NoPairsLeftEndsThePlay) {
    Sim sim("groups");
    sim.FillPatterned();
    sim.Cmd("wait 310");
    EXPECT_EQ(sim.outcome, Simulator::Outcome::Result);
    EXPECT_EQ(sim.seam.clearedOpened, 0);
}

TEST(Groups, DealtBoardIsFullAndRestsBeforeAnyClick) {
    Sim sim;
    sim.Cmd("seed 99\nnew groups\nwait 1000");
    EXPECT_EQ(sim.BrickCount(), 400);
    EXPECT_EQ(sim.board.score, 0);
    EXPECT_TRUE(sim.seam.sounds.empty());
}
