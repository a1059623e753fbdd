// The seven bonuses: each effect with its numbers and its sound.
#include <gtest/gtest.h>

#include <set>

#include "SimHelpers.h"

using namespace Game;

namespace {

int32_t CountKind(Sim& sim, int32_t kind) {
    int32_t n = 0;
    for (size_t i = 0; i < sim.board.TableSize(); ++i)
        if (const BoardItem* it = sim.board.Entry(i); it && it->kind == kind) ++n;
    return n;
}

// Adds an item directly, even into a cell that is already taken.
BoardItem* AddRaw(Sim& sim, int32_t kind, int32_t x, int32_t y, ItemState state) {
    ObjectRef object = sim.seam.CreateObject("Item", sim.board.TemplateName(kind), 0, 0);
    BoardItem* item = sim.board.AddItem(kind, x, y, object);
    sim.board.SetState(*item, state);
    return item;
}

} // namespace

TEST(Clock, DelaysTheNextSpawnAndSoundsOncePerSpawn) {
    Sim sim("lines");
    const uint32_t before = sim.board.nextSpawnTime;
    sim.Cmd("put 5 5 7\nput 6 6 7\nclick 5 5\nclick 6 6\nwait 100");
    EXPECT_EQ(sim.board.nextSpawnTime, before + 20000);
    EXPECT_EQ(sim.Count("clock2"), 1);
    EXPECT_EQ(CountKind(sim, KindClock), 0);
    // A spawn re-arms the sound.
    sim.board.nextSpawnTime = 0;
    sim.Cmd("spawn on\nwait 10\nspawn off");
    EXPECT_FALSE(sim.board.clockSoundFlag);
    AddRaw(sim, KindClock, 9, 0, ItemState::Activate);
    sim.Cmd("wait 10");
    EXPECT_EQ(sim.Count("clock2"), 2);
}

TEST(Bomb, CornerBlastSparesTheDiagonalAtTwoPointEight) {
    Sim sim("lines");
    sim.Cmd("put 0 0 8\nput 1 1 13"); // a coin inside the blast
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            if (!sim.At(x, y))
                sim.Cmd("put " + std::to_string(x) + " " + std::to_string(y) + " " +
                        std::to_string(Sim::Patterned(x, y)));
    sim.Cmd("click 0 0\nwait 200");
    const int32_t gone[8][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}, {1, 2}};
    for (const auto& c : gone)
        EXPECT_EQ(sim.Code(c[0], c[1]), 0) << c[0] << "," << c[1];
    for (const auto& kept : {std::pair{2, 2}, {3, 0}, {0, 3}})
        EXPECT_NE(sim.Code(kept.first, kept.second), 0) << kept.first << "," << kept.second;
    EXPECT_EQ(sim.Count("bomb1"), 1);
    // The coin vanished without its effect; blasted bricks score nothing.
    EXPECT_EQ(sim.Count("money1"), 0);
    EXPECT_EQ(sim.board.score, 0);
}

TEST(Bomb, MiddleBlastTakesTwentyOneCells) {
    Sim sim("lines");
    sim.Cmd("put 5 5 8");
    sim.FillPatterned();
    sim.Cmd("click 5 5\nwait 200");
    EXPECT_EQ(sim.BrickCount(), 99 - 20);
    EXPECT_EQ(sim.board.ItemCount(), 79);
}

TEST(Rainbow, RemovesTheCommonestColourLowestOnATie) {
    Sim sim("lines");
    sim.Cmd("put 0 0 5\nput 2 0 5\nput 4 0 5\nput 0 2 2\nput 2 2 2\nput 4 2 2\nput 0 4 1\nput 2 4 1\n"
            "put 9 9 9\nclick 9 9\nwait 200");
    EXPECT_EQ(sim.Count("color_delete"), 1);
    sim.ExpectCodes({{0, 2, 0}, {4, 2, 0}, {0, 0, 5}, {2, 4, 1}});
    EXPECT_EQ(sim.BrickCount(), 5);
    EXPECT_EQ(CountKind(sim, KindRainbow), 0);
    EXPECT_EQ(sim.board.score, 0);
}

TEST(Switch, DoomsTheFirstTenBricksInTableOrder) {
    Sim sim("lines");
    std::string script;
    for (int i = 0; i < 12; ++i)
        script += "put " + std::to_string(i % 10) + " " + std::to_string(i / 10 * 2) + " " +
                  std::to_string(Sim::Patterned(i, 0)) + "\n";
    sim.Cmd(script + "put 9 9 10\nclick 9 9\nwait 200");
    EXPECT_EQ(sim.Count("switch"), 1);
    EXPECT_EQ(sim.BrickCount(), 2);
    EXPECT_NE(sim.Code(0, 2), 0); // the 11th and 12th bricks stay
    EXPECT_NE(sim.Code(1, 2), 0);

    sim.Empty("lines");
    sim.Cmd("put 0 0 1\nput 3 3 2\nput 9 9 10\nclick 9 9\nwait 200");
    EXPECT_EQ(sim.BrickCount(), 0); // fewer than ten: all of them
}

TEST(Metla, SweepsRowAndColumnAndLeavesAtTheEdges) {
    Sim sim("lines");
    sim.Cmd("put 5 5 11");
    sim.FillPatterned();
    // One free cell, or the full board would end the play before the first sweep.
    sim.board.SetState(*sim.At(0, 0), ItemState::Disappear);
    sim.Cmd("click 5 5");
    std::set<std::pair<int32_t, int32_t>> reached;
    for (int f = 0; f < 600; ++f) {
        sim.Frame();
        for (size_t i = 0; i < sim.board.TableSize(); ++i)
            if (const BoardItem* it = sim.board.Entry(i); it && it->kind == KindMetla)
                reached.insert({it->x, it->y});
    }
    EXPECT_EQ(sim.Count("pilesos"), 4);
    // Each of the four sweepers got to the last cell of its way: none destroyed another.
    for (const auto& end : {std::pair{9, 5}, {0, 5}, {5, 9}, {5, 0}})
        EXPECT_TRUE(reached.count(end)) << end.first << "," << end.second;
    EXPECT_EQ(CountKind(sim, KindMetla), 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(sim.Code(i, 5), 0) << i;
        EXPECT_EQ(sim.Code(5, i), 0) << i;
    }
    EXPECT_EQ(sim.BrickCount(), 99 - 1 - 18);
    EXPECT_EQ(sim.board.score, 0);
}

TEST(Metla, SweepersOfTwoBroomsMeetAndOneVanishes) {
    Sim sim("lines");
    sim.Cmd("put 2 5 11\nput 7 5 11");
    BoardItem* a = sim.At(2, 5);
    BoardItem* b = sim.At(7, 5);
    sim.board.SetState(*a, ItemState::Activate);
    sim.board.SetState(*b, ItemState::Activate);
    sim.Frame();
    const int32_t tagA = a->sweeperTag, tagB = b->sweeperTag;
    ASSERT_NE(tagA, tagB);
    int32_t maxRightA = 2, minLeftB = 7;
    for (int f = 0; f < 600; ++f) {
        for (size_t i = 0; i < sim.board.TableSize(); ++i) {
            const BoardItem* it = sim.board.Entry(i);
            if (!it || it->kind != KindMetla || it->state != ItemState::Activate) continue;
            if (it->sweeperTag == tagA && it->sweeperDir == 1) maxRightA = std::max(maxRightA, it->x);
            if (it->sweeperTag == tagB && it->sweeperDir == 2) minLeftB = std::min(minLeftB, it->x);
        }
        sim.Frame();
    }
    // Exactly one of the two facing sweepers crossed the other's path to the edge.
    EXPECT_NE(maxRightA == 9, minLeftB == 0) << maxRightA << " " << minLeftB;
    EXPECT_EQ(CountKind(sim, KindMetla), 0);
    EXPECT_EQ(sim.Count("pilesos"), 8);
}

TEST(Fireball, FliesTenSecondsWithoutBlockingAndRestartsWhenClicked) {
    Sim sim("lines");
    sim.Cmd("put 5 5 12\nclick 5 5");
    BoardItem* ball = sim.At(5, 5);
    ASSERT_NE(ball, nullptr);
    bool busy = false;
    for (int f = 0; f < 600; ++f) { // 6 s
        sim.Frame();
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y)
                busy |= sim.board.Code(x, y) != 0;
    }
    EXPECT_FALSE(busy);
    EXPECT_EQ(CountKind(sim, KindFireball), 1);
    sim.board.HandleBoardClick(ball->x, ball->y); // a click renews the ten seconds
    sim.Cmd("wait 7000");
    EXPECT_EQ(CountKind(sim, KindFireball), 1);
    sim.Cmd("wait 3500");
    EXPECT_EQ(CountKind(sim, KindFireball), 0);
    EXPECT_EQ(sim.Count("tornado"), 1);
}

TEST(Fireball, BurnsWhatItTouchesAndTwoFireballsMeet) {
    Sim sim("lines");
    sim.Cmd("put 5 5 12");
    sim.FillPatterned();
    sim.Cmd("click 5 5\nwait 4000");
    EXPECT_LT(sim.BrickCount(), 99);
    EXPECT_EQ(sim.board.score, 0);

    sim.Empty("lines");
    BoardItem* first = AddRaw(sim, KindFireball, 5, 5, ItemState::Stay);
    BoardItem* second = AddRaw(sim, KindFireball, 5, 5, ItemState::Stay);
    first->activationTime = second->activationTime = sim.seam.clock;
    sim.board.SetState(*first, ItemState::Activate);
    sim.board.SetState(*second, ItemState::Activate);
    sim.Cmd("wait 50");
    // The one updated first vanished the other at once.
    EXPECT_EQ(CountKind(sim, KindFireball), 1);
    EXPECT_EQ(sim.board.Entry(0), first);
}

TEST(Coin, ScoresLikeTenBricks) {
    Sim sim("lines");
    sim.Cmd("put 3 3 13\nput 9 9 1\nclick 3 3\nwait 100");
    EXPECT_EQ(sim.board.score, 35);
    EXPECT_EQ(sim.Count("money1"), 1);
    EXPECT_EQ(sim.board.spawnCountdown, 10);
    EXPECT_EQ(CountKind(sim, KindCoin), 0);
}

TEST(Bonus, RemovalRuleActivatesABonusInsteadOfRemovingIt) {
    Sim sim("lines");
    sim.Cmd("put 3 3 13\nput 9 9 1");
    BoardItem* coin = sim.At(3, 3);
    sim.board.SetState(*coin, ItemState::Disappear);
    EXPECT_EQ(coin->state, ItemState::Activate);
    sim.Cmd("wait 100");
    EXPECT_EQ(sim.board.score, 35);
}

TEST(Bonus, MovingBrickDoomedFinishesItsStep) {
    Sim sim("lines");
    sim.Cmd("put 0 0 1\nput 9 9 2\nclick 0 0\nclick 0 9");
    BoardItem* brick = sim.At(0, 0);
    while (brick->y < 1)
        sim.Frame();
    sim.Frame(); // the next step (0,1) -> (0,2) has begun
    ASSERT_EQ(brick->nextY, 2);
    brick->doomed = true;
    for (int i = 0; i < 100 && brick->state == ItemState::Move; ++i)
        sim.Frame();
    EXPECT_EQ(brick->state, ItemState::Disappear);
    EXPECT_EQ(brick->y, 2);
}

TEST(Metla, SweeperLeftAtTheEdgeNeverWritesOutsideTheGrid) {
    Sim sim("lines");
    for (ScorePopup& p : sim.board.popups)
        p = {7, 7, 7, 7};
    // A sweeper that has just left the left edge keeps an off-board next cell; clicking it while
    // it vanishes activates it again and the grid is rebuilt with that cell.
    BoardItem* sweeper = AddRaw(sim, KindMetla, 0, 5, ItemState::Disappear);
    sweeper->doomed = true;
    sweeper->sweeperDir = 2;
    sweeper->nextX = -1;
    sim.board.HandleBoardClick(0, 5);
    EXPECT_EQ(sweeper->state, ItemState::Activate);
    sim.board.RebuildGrid();
    for (const ScorePopup& p : sim.board.popups) {
        EXPECT_EQ(p.x, 7);
        EXPECT_EQ(p.y, 7);
        EXPECT_EQ(p.points, 7);
        EXPECT_EQ(p.time, 7u);
    }
    EXPECT_EQ(sim.Code(0, 5), -1);
}
