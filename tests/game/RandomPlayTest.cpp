// Long random play in every game: the board must stay consistent whatever the player does.
#include <gtest/gtest.h>

#include "SimHelpers.h"

using namespace Game;

namespace {

void CheckConsistent(Sim& sim) {
    sim.board.RebuildGrid();
    for (int32_t x = 0; x < sim.board.w; ++x) {
        for (int32_t y = 0; y < sim.board.h; ++y) {
            const int32_t code = sim.board.Code(x, y);
            ASSERT_GE(code, -1);
            ASSERT_LE(code, 13);
            ASSERT_LE(sim.board.incoming[x * 20 + y][0], 6);
        }
    }
    bool selectedFound = sim.board.selected == nullptr;
    for (size_t i = 0; i < sim.board.TableSize(); ++i) {
        const BoardItem* it = sim.board.Entry(i);
        if (!it) continue;
        selectedFound |= it == sim.board.selected;
        ASSERT_FALSE(it->dead);
        ASSERT_TRUE(sim.board.OnBoard(it->x, it->y)) << it->x << "," << it->y;
        // Every live item still owns its scene object.
        ASSERT_NE(sim.seam.Find(sim.seam.ObjectName(it->object)), nullptr);
    }
    ASSERT_TRUE(selectedFound);
    ASSERT_EQ(static_cast<size_t>(sim.board.ItemCount()), sim.seam.ObjectCount());
}

void Play(const char* mode, uint32_t seed) {
    Sim sim;
    sim.Cmd("seed " + std::to_string(seed) + "\nnew " + std::string(mode));
    Session player(seed, 400);
    for (int round = 0; round < 400 && sim.outcome == Simulator::Outcome::Playing; ++round) {
        player.Step(sim);
        CheckConsistent(sim);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

} // namespace

TEST(RandomPlay, EveryGameStaysConsistent) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        for (const char* mode : {"lines", "squares", "swaps", "groups"}) {
            SCOPED_TRACE(std::string(mode) + " seed " + std::to_string(seed));
            Play(mode, seed);
            if (HasFatalFailure()) return;
        }
    }
}
