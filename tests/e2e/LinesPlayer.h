#pragma once
// Reads a Lines board from a screenshot and plans the next move towards a line of five.
#include "e2e/Harness.h"
#include "picture/Bitmap.h"

#include <array>
#include <functional>
#include <string>

namespace E2e {

constexpr int kBoardLeft = 33, kBoardTop = 36, kCell = 53, kCells = 10;
// Where the Hud shows the score.
constexpr Box kScore{630, 248, 750, 292};

// 0 empty, 1 green, 2 purple, 3 orange, 4 blue, 5 red, 6 yellow, -1 something else (a bonus, a brick
// half grown or on its way).
using Board = std::array<std::array<int, kCells>, kCells>; // [y][x]

Board ReadBoard(const Bitmap& shot);
std::string Describe(const Board& board);

struct Move {
    int fromX = -1, fromY = -1, toX = -1, toY = -1;
    int steps = 0;          // length of the free path
    bool completes = false; // this move puts the fifth brick into its line
};

// The move that brings a brick into the five-cell window (row, column or diagonal) holding the most
// bricks of that brick's colour and nothing else; false when no brick can reach such a window.
bool PlanMove(const Board& board, Move& move);

// Plays from the screenshots (labelled `label`) until the score differs from `start`'s: each planned
// move is made by `make`, then awaited until the brick is seen in its cell or the score moves (a
// completed line leaves at once; at 400 ms a cell the path has a known longest time). "" once it
// scored; otherwise what happened, board by board.
std::string PlayUntilScored(Game& game, const Bitmap& start, const std::string& label,
                            const std::function<void(const Move&)>& make, int ms);

// The same until one planned move is seen made: "" then; otherwise what happened, board by board.
std::string PlayOneMove(Game& game, const Bitmap& start, const std::string& label,
                        const std::function<void(const Move&)>& make, int ms);

// Centre of a cell in client co-ordinates.
inline int CellX(int x) {
    return kBoardLeft + x * kCell + kCell / 2;
}
inline int CellY(int y) {
    return kBoardTop + y * kCell + kCell / 2;
}

} // namespace E2e
