#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>

#include "game/Simulator.h"

// The simulator driven by its own command lines, with a few shortcuts into the board it runs.
struct Sim : Game::Simulator {
    Sim() = default;
    // An empty game of `mode` without spawning.
    explicit Sim(const std::string& mode) { Empty(mode); }
    // Runs a script of commands; every line must be accepted. Returns what the commands printed.
    std::string Cmd(const std::string& script) {
        std::istringstream in(script);
        std::ostringstream out;
        std::string line;
        while (std::getline(in, line)) {
            std::string error;
            EXPECT_TRUE(Execute(line, out, error)) << line << ": " << error;
        }
        return out.str();
    }
    int32_t Code(int32_t x, int32_t y) {
        board.RebuildGrid();
        return board.Code(x, y);
    }
    // Expects every {x, y, code} cell to hold that code.
    void ExpectCodes(std::initializer_list<std::array<int32_t, 3>> cells) {
        for (const auto& [x, y, code] : cells)
            EXPECT_EQ(Code(x, y), code) << "cell " << x << "," << y;
    }
    Game::BoardItem* At(int32_t x, int32_t y) { return board.ItemAt(x, y); }
    int32_t Count(const std::string& sound) const {
        return static_cast<int32_t>(std::count(seam.sounds.begin(), seam.sounds.end(), sound));
    }
    // A brick of a colour that never forms a pair with its 8 neighbours.
    static int32_t Patterned(int32_t x, int32_t y) { return (x + 2 * y) % 6 + 1; }
    // Fills every empty cell with patterned bricks (no two neighbours alike).
    void FillPatterned() {
        std::string script;
        for (int32_t x = 0; x < board.w; ++x)
            for (int32_t y = 0; y < board.h; ++y)
                if (Code(x, y) == 0 && !At(x, y))
                    script += "put " + std::to_string(x) + " " + std::to_string(y) + " " +
                              std::to_string(Patterned(x, y)) + "\n";
        Cmd(script);
    }
    int32_t BrickCount() {
        int32_t n = 0;
        board.RebuildGrid();
        for (int32_t x = 0; x < board.w; ++x)
            for (int32_t y = 0; y < board.h; ++y)
                if (board.Code(x, y) >= 1 && board.Code(x, y) <= 6) ++n;
        return n;
    }
    // Starts an empty game of `mode` without spawning.
    void Empty(const std::string& mode) {
        Cmd("spawn off\nnew " + mode);
        board.ClearBoard();
        seam.sounds.clear();
    }
};

// A seeded player: each step clicks a random cell, then waits up to `maxWait` ms (a wait that
// rarely ends on a move's boundary). Every third step makes the next spawn a bonus (a new row in
// Swaps), so flying fireballs, sweeping brooms and waiting animations are often on the board.
struct Session {
    explicit Session(uint32_t seed, uint32_t maxWait = 330) : pick(seed), maxWait(maxWait) {}
    std::mt19937 pick;
    uint32_t maxWait;
    int32_t step = 0;

    void Step(Sim& sim) {
        if (step++ % 3 == 0) sim.board.spawnCountdown = 0;
        std::uniform_int_distribution<int32_t> cell(0, sim.board.w - 1);
        const int32_t x = cell(pick), y = cell(pick);
        sim.Cmd("click " + std::to_string(x) + " " + std::to_string(y) + "\nwait " +
                std::to_string(pick() % maxWait));
    }
};
