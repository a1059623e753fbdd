#include "e2e/LinesPlayer.h"

#include "e2e/Harness.h"

#include <cmath>
#include <deque>
#include <sstream>
#include <tuple>

namespace E2e {

namespace {

// Hues of the six bricks as the content draws them (green, purple, orange, blue, red, yellow).
constexpr double kHues[6] = {119, 273, 28, 212, 357, 47};

int Classify(const Rgb& c) {
    double h, s, v;
    Hsv(c, h, s, v);
    if (v < 120) return 0; // the dark cell background
    if (s < 0.3) return -1;
    int best = -1;
    double bestDist = 18;
    for (int i = 0; i < 6; ++i) {
        double d = std::fabs(h - kHues[i]);
        d = std::min(d, 360 - d);
        if (d < bestDist) {
            bestDist = d;
            best = i + 1;
        }
    }
    return best;
}

bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < kCells && y < kCells;
}

// Free-path distances from (sx, sy) over empty cells, the start counting as free.
std::array<std::array<int, kCells>, kCells> Distances(const Board& board, int sx, int sy) {
    std::array<std::array<int, kCells>, kCells> dist;
    for (auto& row : dist)
        row.fill(-1);
    std::deque<std::pair<int, int>> queue{{sx, sy}};
    dist[sy][sx] = 0;
    const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
    while (!queue.empty()) {
        auto [x, y] = queue.front();
        queue.pop_front();
        for (int i = 0; i < 4; ++i) {
            int nx = x + dx[i], ny = y + dy[i];
            if (OnBoard(nx, ny) && board[ny][nx] == 0 && dist[ny][nx] < 0) {
                dist[ny][nx] = dist[y][x] + 1;
                queue.push_back({nx, ny});
            }
        }
    }
    return dist;
}

} // namespace

Board ReadBoard(const Bitmap& shot) {
    Board board{};
    for (int y = 0; y < kCells; ++y) {
        for (int x = 0; x < kCells; ++x) {
            // The four corners of the brick face, away from its white symbol: one kind, or -1.
            const int left = kBoardLeft + x * kCell, top = kBoardTop + y * kCell;
            int kind = 0;
            for (int i = 0; i < 4; ++i) {
                const int l = left + (i % 2 ? 35 : 10), t = top + (i < 2 ? 10 : 35);
                const int k = Classify(Mean(shot, {l, t, l + 8, t + 8}));
                kind = i == 0 || k == kind ? k : -1;
                if (kind < 0) break;
            }
            board[y][x] = kind;
        }
    }
    return board;
}

std::string Describe(const Board& board) {
    std::string s;
    for (const auto& row : board) {
        for (int k : row)
            s += k == 0 ? '.' : k < 0 ? '?' : static_cast<char>('0' + k);
        s += '\n';
    }
    return s;
}

bool PlanMove(const Board& board, Move& move) {
    int total[7] = {};
    for (const auto& row : board)
        for (int k : row)
            if (k > 0) ++total[k];

    const int dirs[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    bool found = false;
    std::tuple<int, int, int> bestKey{-1, -1, 0}; // in-window count, bricks of the colour, -steps
    for (const auto& d : dirs) {
        for (int y0 = 0; y0 < kCells; ++y0) {
            for (int x0 = 0; x0 < kCells; ++x0) {
                // Five cells in a line holding bricks of one colour and free cells only.
                int colour = 0, count = 0;
                bool ok = OnBoard(x0 + 4 * d[0], y0 + 4 * d[1]);
                for (int i = 0; i < 5 && ok; ++i) {
                    const int k = board[y0 + d[1] * i][x0 + d[0] * i];
                    ok = k == 0 || (k > 0 && (colour == 0 || k == colour));
                    if (k > 0) colour = k, ++count;
                }
                if (!ok || colour == 0 || count == 5) continue;
                // A brick of that colour outside the window, with a free path into one of its gaps.
                for (int by = 0; by < kCells; ++by) {
                    for (int bx = 0; bx < kCells; ++bx) {
                        bool inside = false;
                        for (int i = 0; i < 5; ++i)
                            inside = inside || (x0 + d[0] * i == bx && y0 + d[1] * i == by);
                        if (board[by][bx] != colour || inside) continue;
                        const auto dist = Distances(board, bx, by);
                        for (int i = 0; i < 5; ++i) {
                            const int cx = x0 + d[0] * i, cy = y0 + d[1] * i, steps = dist[cy][cx];
                            if (board[cy][cx] != 0 || steps <= 0) continue;
                            const std::tuple<int, int, int> key{count, std::min(total[colour], 5), -steps};
                            if (found && key <= bestKey) continue;
                            found = true;
                            bestKey = key;
                            move = {bx, by, cx, cy, steps, count == 4};
                        }
                    }
                }
            }
        }
    }
    return found;
}

namespace {

// Waits until `move` (of a `colour` brick) is seen made: the brick in its cell, or the score moved
// (a completed line leaves at once). At 400 ms a cell the path has a known longest time. A brick of
// another colour settled in the cell took it first: no need to wait that out.
bool AwaitMove(Game& game, const Bitmap& start, const std::string& label, const Move& move, int colour,
               Bitmap& shot) {
    for (const long long settled = NowMs() + move.steps * 400 + 3000; NowMs() < settled;) {
        if (!game.Screenshot(shot, label)) return false;
        if (Difference(start, shot, kScore) > 1.5) return true;
        const int there = ReadBoard(shot)[move.toY][move.toX];
        if (!move.completes && there == colour) return true;
        if (there > 0 && there != colour) return false;
    }
    return false;
}

// Plans and makes moves from the screenshots until `done` says so. A spawn may take a planned cell
// between the screenshot and the clicks, so an untaken move is planned again from a new one.
std::string PlayUntil(Game& game, const Bitmap& start, const std::string& label,
                      const std::function<void(const Move&)>& make, int ms,
                      const std::function<bool(const Bitmap&, bool moved)>& done, const std::string& goal) {
    std::string history;
    int moves = 0;
    Bitmap shot;
    for (const long long deadline = NowMs() + ms; NowMs() < deadline;) {
        if (!game.Screenshot(shot, label)) return "no screenshot";
        if (done(shot, false)) return "";
        const Board board = ReadBoard(shot);
        Move move;
        if (!PlanMove(board, move)) {
            history += "wait\n" + Describe(board);
            continue;
        }
        std::ostringstream s;
        s << "move " << move.fromX << "," << move.fromY << " -> " << move.toX << "," << move.toY << " ("
          << move.steps << " steps" << (move.completes ? ", completes" : "") << ")\n"
          << Describe(board);
        history += s.str();
        make(move);
        ++moves;
        if (done(shot, AwaitMove(game, start, label, move, board[move.fromY][move.fromX], shot))) return "";
    }
    return goal + " within " + std::to_string(ms / 1000) + " s after " + std::to_string(moves) + " moves:\n" +
           history;
}

} // namespace

std::string PlayUntilScored(Game& game, const Bitmap& start, const std::string& label,
                            const std::function<void(const Move&)>& make, int ms) {
    return PlayUntil(
        game, start, label, make, ms,
        [&](const Bitmap& shot, bool) { return Difference(start, shot, kScore) > 1.5; }, "no line of five");
}

std::string PlayOneMove(Game& game, const Bitmap& start, const std::string& label,
                        const std::function<void(const Move&)>& make, int ms) {
    return PlayUntil(
        game, start, label, make, ms, [](const Bitmap&, bool moved) { return moved; }, "no move taken");
}

} // namespace E2e
