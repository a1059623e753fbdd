// The board shared by the games: generator, geometry, dealing, spawning, the item table, scoring.
#include <gtest/gtest.h>

#include <vector>

#include "SimHelpers.h"
#include "game/GameRandom.h"

using namespace Game;

TEST(GameRandom, LinearCongruentialDrawsBits16To30) {
    SeedRandom(1);
    EXPECT_EQ(Rand(), 41);
    EXPECT_EQ(Rand(), 18467);
    EXPECT_EQ(Rand(), 6334);
    SeedRandom(0);
    EXPECT_EQ(Rand(), 38);
    EXPECT_EQ(RandomState(), 2531011u);
}

TEST(GroupsDeal, SameSeedDealsSameBoardInDrawOrder) {
    Sim a, b, c;
    const std::string first = a.Cmd("seed 1234\nnew groups\nprint");
    const std::string again = b.Cmd("seed 1234\nnew groups\nprint");
    const std::string other = c.Cmd("seed 1235\nnew groups\nprint");
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);

    // Dealt column by column, top to bottom, one draw per cell, 4 colours.
    SeedRandom(1234);
    std::vector<int32_t> expected;
    for (int i = 0; i < 400; ++i)
        expected.push_back(Rand() % 4 + 1);
    for (int32_t x = 0; x < 20; ++x)
        for (int32_t y = 0; y < 20; ++y)
            ASSERT_EQ(a.Code(x, y), expected[x * 20 + y]) << x << "," << y;
    EXPECT_EQ(a.board.ItemCount(), 400);
    // Dealt bricks use the small templates and sit at truncated pixel positions.
    EXPECT_EQ(a.seam.created.front(), std::string("Brick") + std::to_string(expected[0]) + "h");
    auto* obj = static_cast<MemorySeam::Object*>(a.At(1, 2)->object);
    EXPECT_EQ(obj->x, 59.0f);
    EXPECT_EQ(obj->y, 89.0f);
}

TEST(Geometry, PixelsAndMouseMapping) {
    GameBoard board;
    board.NewGame(GameMode::Groups);
    EXPECT_EQ(board.CellPixelX(1), 59);
    EXPECT_EQ(board.CellPixelX(2), 86);
    int32_t x, y;
    board.NewGame(GameMode::Lines);
    EXPECT_TRUE(board.CellAt(20, 40, x, y)); // truncation toward zero: column 0
    EXPECT_EQ(x, 0);
    EXPECT_FALSE(board.CellAt(33 + 530, 40, x, y));
    EXPECT_EQ(x, 10);
    EXPECT_TRUE(board.CellAt(33 + 529, 36 + 529, x, y));
    EXPECT_EQ(y, 9);
}

TEST(NewGame, ResetsAndLooksUpTitle) {
    Sim sim;
    sim.seam.texts["Menu_Game3"] = u"Swaps!";
    sim.board.level = 7;
    sim.board.score = 999;
    sim.board.NewGame(GameMode::Swaps);
    EXPECT_EQ(std::u16string(sim.board.title), u"Swaps!");
    EXPECT_EQ(sim.board.level, 1);
    EXPECT_EQ(sim.board.score, 0);
    EXPECT_EQ(sim.board.spawnCountdown, -20);
    EXPECT_EQ(sim.board.moveTime, 400);
    EXPECT_TRUE(sim.board.dealFlag);
    EXPECT_EQ(sim.seam.stopAllCount, 1);
    sim.board.NewGame(GameMode::Groups);
    EXPECT_EQ(sim.board.w, 20);
    EXPECT_EQ(sim.board.moveTime, 200);
    EXPECT_EQ(std::u16string(sim.board.title), u"Menu_Game4");
}

TEST(Spawning, LinesSpawnsOnTimerWithoutRepeatingColours) {
    Sim sim;
    sim.Cmd("seed 7\nnew lines");
    EXPECT_EQ(sim.BrickCount(), 1); // first frame spawns: next spawn time is 0
    const uint32_t next = sim.board.nextSpawnTime;
    EXPECT_EQ(next, Simulator::StartClock + 10 + 1500);
    sim.Cmd("wait 1500");
    EXPECT_EQ(sim.BrickCount(), 1); // the frame at the spawn time itself does not spawn
    sim.Cmd("wait 10");
    EXPECT_EQ(sim.BrickCount(), 2);
    sim.Cmd("wait 20000");
    ASSERT_GE(sim.seam.created.size(), 10u);
    for (size_t i = 1; i < sim.seam.created.size(); ++i)
        EXPECT_NE(sim.seam.created[i], sim.seam.created[i - 1]) << i;
}

TEST(Spawning, BonusAfterTwentyRemovedBricks) {
    Sim sim;
    sim.Cmd("seed 3\nnew lines\nwait 1500");
    sim.board.spawnCountdown = 0;
    sim.seam.sounds.clear();
    const size_t before = sim.seam.created.size();
    sim.Cmd("wait 1500");
    ASSERT_EQ(sim.seam.created.size(), before + 1);
    const std::string& made = sim.seam.created.back();
    EXPECT_TRUE(made == "Clock" || made == "Bomb" || made == "Rainbow" || made == "Switch" ||
                made == "Metla" || made == "Fireball" || made == "Coin")
        << made;
    EXPECT_EQ(sim.Count("bonuce"), 1);
    EXPECT_EQ(sim.board.spawnCountdown, 20);
}

TEST(Spawning, SwapsFirstTwoSpawnsFillTheTopRow) {
    Sim sim;
    sim.Cmd("seed 11\nnew swaps");
    EXPECT_EQ(sim.seam.created.size(), 10u);
    EXPECT_EQ(sim.board.spawnCountdown, 0);
    sim.Cmd("wait 1510");
    EXPECT_EQ(sim.board.spawnCountdown, 20);
    EXPECT_EQ(sim.seam.created.size(), 20u);
    sim.Cmd("wait 1510");
    EXPECT_EQ(sim.seam.created.size(), 21u); // then single bricks into the top row
}

TEST(Spawning, FullBoardSpawnsNothingAndKeepsTheTimer) {
    Sim sim("lines");
    sim.FillPatterned();
    sim.Cmd("spawn on");
    const size_t made = sim.seam.created.size();
    const uint32_t next = sim.board.nextSpawnTime;
    sim.Cmd("wait 100");
    EXPECT_EQ(sim.seam.created.size(), made);
    EXPECT_EQ(sim.board.nextSpawnTime, next);
}

TEST(ItemTable, TwoBroomsOnAFullBoardGrowTheTable) {
    Sim sim("groups");
    sim.Cmd("put 2 2 11\nput 7 7 11"); // entries 0 and 1
    sim.FillPatterned();
    ASSERT_EQ(sim.board.ItemCount(), 400);
    ASSERT_EQ(sim.board.TableSize(), 403u);
    // Both brooms go off in the same frame: 400 items plus twice three sweepers.
    sim.board.SetState(*sim.At(2, 2), ItemState::Activate);
    sim.board.SetState(*sim.At(7, 7), ItemState::Activate);
    sim.Cmd("wait 10");
    ASSERT_EQ(sim.board.TableSize(), 406u);
    for (size_t i = 400; i < 406; ++i) {
        const BoardItem* sweeper = sim.board.Entry(i);
        ASSERT_NE(sweeper, nullptr) << i;
        EXPECT_EQ(sweeper->kind, KindMetla);
        EXPECT_TRUE(sweeper->soundPlayed) << "entry " << i << " was not updated in the pass";
    }
    EXPECT_EQ(sim.Count("pilesos"), 8);
    sim.Cmd("wait 10000");
    for (size_t i = 0; i < sim.board.TableSize(); ++i) {
        if (const BoardItem* it = sim.board.Entry(i)) {
            EXPECT_NE(it->kind, KindMetla) << i;
        }
    }
}

TEST(Scoring, FormulasPerGame) {
    GameBoard board;
    const struct {
        GameMode mode;
        int32_t n, level, points;
    } cases[] = {{GameMode::Lines, 5, 1, 10},    {GameMode::Lines, 9, 2, 60},   {GameMode::Groups, 2, 1, 4},
                 {GameMode::Groups, 10, 3, 132}, {GameMode::Squares, 7, 1, 23}, {GameMode::Squares, 4, 2, 16},
                 {GameMode::Swaps, 3, 1, 6},     {GameMode::Swaps, 5, 4, 64}};
    for (const auto& c : cases) {
        board.NewGame(c.mode);
        board.level = c.level;
        board.score = 0;
        EXPECT_EQ(board.AddScore(c.n), c.points) << static_cast<int>(c.mode) << " n=" << c.n;
    }
}

TEST(Scoring, LevelThresholdsAndMoveTime) {
    Sim sim;
    sim.Cmd("new lines");
    sim.seam.sounds.clear();
    sim.board.score = 49;
    EXPECT_EQ(sim.board.AddScore(5), 10);
    EXPECT_EQ(sim.board.score, 59);
    EXPECT_EQ(sim.Count("next_level1"), 1);
    EXPECT_EQ(sim.board.levelUpTime, sim.seam.clock);
    // Each threshold crossed (by 5 bricks: 10, 20, 30 points) shortens a move.
    const int32_t steps[][3] = {{49, 2, 336}, {199, 3, 303}, {449, 4, 282}}; // score before, level, move
    for (const auto& [before, level, move] : steps) {
        sim.board.score = before;
        sim.board.AddScore(5);
        EXPECT_EQ(sim.board.level, level);
        EXPECT_EQ(sim.board.moveTime, move) << level;
    }
    // A big removal can cross two thresholds at once.
    sim.board.AddScore(60); // 5 * 57 * 4 = 1140 points
    EXPECT_EQ(sim.board.level, 6);
    EXPECT_EQ(sim.board.spawnCountdown, 20 - 5 - 5 - 5 - 5 - 60);

    sim.Cmd("new groups");
    sim.board.score = 49;
    sim.board.AddScore(3);
    EXPECT_EQ(sim.board.level, 2);
    EXPECT_EQ(sim.board.moveTime, 200);
}

TEST(Scoring, SpawnIntervalShrinksWithLevel) {
    Sim sim;
    sim.Cmd("new lines");
    sim.board.level = 2;
    sim.board.nextSpawnTime = 0;
    sim.Cmd("wait 10");
    EXPECT_EQ(sim.board.nextSpawnTime, sim.seam.clock + 1261);
    sim.board.level = 4;
    sim.board.nextSpawnTime = 0;
    sim.Cmd("wait 10");
    EXPECT_EQ(sim.board.nextSpawnTime, sim.seam.clock + 1060);
}

TEST(Popups, TenRecordsThenDropped) {
    GameBoard board;
    board.now = 5000;
    for (int i = 0; i < 11; ++i)
        board.AddPopup(i, 0, i);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(board.popups[i].points, i);
    board.now = 6001; // all older than 1000 ms now
    board.AddPopup(3, 3, 77);
    EXPECT_EQ(board.popups[0].points, 77);
}
