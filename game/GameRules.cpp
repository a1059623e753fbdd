// The per-frame game update, clicks, removal rules, path search, column closing, end of play
// and scoring.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "game/GameBoard.h"
#include "game/GameRandom.h"

namespace Game {

namespace {
constexpr uint32_t kUnset = std::numeric_limits<uint32_t>::max();

struct Cell {
    int32_t x, y;
};
} // namespace

void GameBoard::GameTick(uint32_t /*elapsedMs*/) {
    now = seam_->Now();
    if (dealFlag) {
        ClearBoard();
        if (mode == GameMode::Groups) DealBoard();
        dealFlag = false;
    }
    if (mode == GameMode::Groups)
        CompactColumns();
    else if (spawnEnabled)
        SpawnTick();
    RebuildGrid();

    // Indexing (not iterators): a broom adds its sweepers to the table during this pass.
    for (size_t i = 0; i < table_.size(); ++i) {
        BoardItem* item = table_[i].get();
        if (!item) continue;
        UpdateItem(*item);
        if (item->dead) DestroyEntry(i);
    }

    if (IsStuck()) {
        if (++stuckCounter > 30) {
            if (mode == GameMode::Groups) {
                ChooseSpawnCell();
                if (score != 0 && nonBrickCount == w * h)
                    seam_->OpenBoardClearedScreen();
                else
                    seam_->OpenResultScreen();
            } else {
                seam_->OpenResultScreen();
            }
        }
    } else {
        stuckCounter = 0;
    }

    if (mode != GameMode::Groups) {
        if (nonBrickCount < 10) {
            if (!alertFlag) seam_->PlaySound("ALERT");
            alertFlag = true;
        } else {
            alertFlag = false;
        }
        if (score != 0 && nonBrickCount == w * h) AddScore(-1);
    }

    uint32_t event = 0;
    (void)seam_->NextMouseEvent(event); // no event leaves it 0, which polls nothing
    int32_t mx = 0, my = 0;
    seam_->MousePosition(mx, my);

    if (seam_->PollMenu("board", event) == 1) seam_->OpenPauseMenu();

    if (selected && selected->state != ItemState::Select) selected = nullptr;

    if (event != 0 || mx != lastMouseX_ || my != lastMouseY_) cursor.shown = false;
    lastMouseX_ = mx;
    lastMouseY_ = my;
    if (event == MouseLeftPressed || event == MouseLeftReleased) {
        int32_t cx, cy;
        if (CellAt(mx, my, cx, cy)) HandleBoardClick(cx, cy);
    }
    HandleBoardKeys(seam_->BoardKeys(), mx, my);
}

void GameBoard::HandleBoardKeys(uint32_t keys, int32_t mouseX, int32_t mouseY) {
    if (!keys) return;
    if (!cursor.shown) {
        int32_t cx, cy;
        // (CellAt truncates toward zero, so a pointer just left of or above the board maps to
        // its first column or row; here only a pointer over the board counts.)
        if (mouseX >= CellPixelX(0) && mouseY >= CellPixelY(0) && CellAt(mouseX, mouseY, cx, cy)) {
            cursor.x = cx;
            cursor.y = cy;
        }
        cursor.x = std::clamp(cursor.x, 0, w - 1);
        cursor.y = std::clamp(cursor.y, 0, h - 1);
        cursor.shown = true;
        return;
    }
    if (keys & BoardKeyLeft) cursor.x = std::max(cursor.x - 1, 0);
    if (keys & BoardKeyRight) cursor.x = std::min(cursor.x + 1, w - 1);
    if (keys & BoardKeyUp) cursor.y = std::max(cursor.y - 1, 0);
    if (keys & BoardKeyDown) cursor.y = std::min(cursor.y + 1, h - 1);
    if (keys & BoardKeyAct) HandleBoardClick(cursor.x, cursor.y);
}

void GameBoard::HandleBoardClick(int32_t x, int32_t y) {
    BoardItem* item = ItemAt(x, y);
    auto selectItem = [&](BoardItem& it) {
        if (selected) SetState(*selected, ItemState::Stay);
        SetState(it, ItemState::Select);
        selected = &it;
    };

    if (item && item->kind < KindClock) {
        switch (mode) {
        case GameMode::Lines:
        case GameMode::Squares:
            if (item->state == ItemState::Stay || item->state == ItemState::Wait) selectItem(*item);
            break;
        case GameMode::Groups:
            if (item->state == ItemState::Stay) CheckRemoval(x, y);
            break;
        case GameMode::Swaps:
            if (!selected) {
                if (item->state == ItemState::Stay) selectItem(*item);
            } else if (selected != item && item->state == ItemState::Stay) {
                const double dx = x - selected->x, dy = y - selected->y;
                if (std::sqrt(dx * dx + dy * dy) >= 1.1) {
                    selectItem(*item);
                } else {
                    BoardItem& other = *selected;
                    SetState(other, ItemState::Swap);
                    SetState(*item, ItemState::Swap);
                    other.nextX = item->x;
                    other.nextY = item->y;
                    item->nextX = other.x;
                    item->nextY = other.y;
                }
            }
            break;
        }
        return;
    }
    if (item) {
        item->activationTime = now;
        SetState(*item, ItemState::Activate);
        return;
    }
    if ((mode == GameMode::Lines || mode == GameMode::Squares) && selected && FindPath(*selected, x, y)) {
        selected->targetX = x;
        selected->targetY = y;
        SetState(*selected, ItemState::Move);
    }
}

bool GameBoard::FindPath(BoardItem& item, int32_t tx, int32_t ty) {
    if (item.x == tx && item.y == ty) return false;
    RebuildGrid();
    std::fill(std::begin(dist_), std::end(dist_), kUnset);
    std::fill(std::begin(pred_), std::end(pred_), -1);

    if (mode == GameMode::Groups) {
        item.nextX = tx > item.x ? item.x + 1 : item.x - 1;
        item.nextY = item.y;
        return true;
    }
    if (!OnBoard(tx, ty) || !OnBoard(item.x, item.y)) return false;

    const int32_t own = item.x * MaxSide + item.y;
    grid[own] = 0;
    Relax(item.x, item.y, 0);
    const int32_t target = tx * MaxSide + ty;
    if (dist_[target] == kUnset) return false;

    // Walk back to the cell right after the item's own; distances fall strictly along the
    // predecessors, the bound is only a guard.
    int32_t cur = target;
    for (int32_t steps = 0; steps < GridCells && pred_[cur] != own; ++steps) {
        if (pred_[cur] < 0) return false;
        cur = pred_[cur];
    }
    if (pred_[cur] != own) return false;
    item.nextX = cur / MaxSide;
    item.nextY = cur % MaxSide;
    return true;
}

void GameBoard::Relax(int32_t startX, int32_t startY, uint32_t startD) {
    // Depth-first relaxation with an explicit stack: the same visiting order and random draws as
    // the recursive form, without a deep call chain. A frame's predecessor link is written when
    // the frame finishes, as the recursive caller does after the call returns.
    struct Frame {
        int32_t cell;
        int32_t parent;
        uint32_t d; // distance given to this cell
        int32_t r;
        int32_t i;
    };
    std::vector<Frame> stack;
    stack.reserve(GridCells);

    auto enter = [&](int32_t cx, int32_t cy, uint32_t d, int32_t parent) {
        if (!OnBoard(cx, cy) || Code(cx, cy) != 0) return;
        const int32_t cell = cx * MaxSide + cy;
        if (dist_[cell] != kUnset && dist_[cell] <= d + 1) return;
        dist_[cell] = d + 1;
        const int32_t r = Rand() % 4;
        stack.push_back({cell, parent, d + 1, r, 0});
    };

    enter(startX, startY, startD, -1);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.i == 4) {
            if (f.parent >= 0) pred_[f.cell] = f.parent;
            stack.pop_back();
            continue;
        }
        const int32_t dir = (f.r + f.i) % 4;
        ++f.i;
        const int32_t cx = f.cell / MaxSide, cy = f.cell % MaxSide;
        const int32_t cell = f.cell;
        const uint32_t d = f.d;
        switch (dir) {
        case 0:
            enter(cx + 1, cy, d, cell);
            break;
        case 1:
            enter(cx - 1, cy, d, cell);
            break;
        case 2:
            enter(cx, cy + 1, d, cell);
            break;
        default:
            enter(cx, cy - 1, d, cell);
            break;
        }
    }
}

void GameBoard::RemoveCell(int32_t x, int32_t y) {
    if (BoardItem* item = ItemAt(x, y)) SetState(*item, ItemState::Disappear);
}

int32_t GameBoard::FloodRemove(int32_t startX, int32_t startY) {
    // Explicit stack in the recursive order: left, right, up, down, each neighbour tested when
    // its turn comes (earlier branches may already have removed it).
    struct Frame {
        int32_t x, y, i;
    };
    std::vector<Frame> stack;
    int32_t count = 0;
    auto enter = [&](int32_t x, int32_t y) {
        ++count;
        RemoveCell(x, y);
        stack.push_back({x, y, 0});
    };
    enter(startX, startY);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.i == 4) {
            stack.pop_back();
            continue;
        }
        static constexpr int32_t kDx[4] = {-1, 1, 0, 0};
        static constexpr int32_t kDy[4] = {0, 0, -1, 1};
        const int32_t nx = f.x + kDx[f.i], ny = f.y + kDy[f.i];
        ++f.i;
        if (OnBoard(nx, ny) && Code(nx, ny) == currentColour) enter(nx, ny);
    }
    return count;
}

void GameBoard::CheckRemoval(int32_t x, int32_t y) {
    RebuildGrid();
    const BoardItem* here = ItemAt(x, y);
    // No item there (never from the games' own calls) would make empty cells "match".
    if (!here || here->kind < KindBrick1) return;
    currentColour = here->kind;
    if (currentColour >= KindClock) return;

    auto runEnd = [&](int32_t dx, int32_t dy) {
        Cell c{x, y};
        while (OnBoard(c.x + dx, c.y + dy) && Code(c.x + dx, c.y + dy) == currentColour) {
            c.x += dx;
            c.y += dy;
        }
        return c;
    };
    auto onColour = [&](int32_t cx, int32_t cy) { return OnBoard(cx, cy) && Code(cx, cy) == currentColour; };

    int32_t n = 0;
    auto removeOther = [&](int32_t cx, int32_t cy) {
        if (cx == x && cy == y) return;
        RemoveCell(cx, cy);
        ++n;
    };

    switch (mode) {
    case GameMode::Lines:
    case GameMode::Swaps: {
        const int32_t minRun = mode == GameMode::Lines ? 5 : 3;
        const Cell W = runEnd(-1, 0), E = runEnd(1, 0), S = runEnd(0, 1), N = runEnd(0, -1);
        Cell NW{}, NE{}, SW{}, SE{};
        if (mode == GameMode::Lines) {
            NW = runEnd(-1, -1);
            NE = runEnd(1, -1);
            SW = runEnd(-1, 1);
            SE = runEnd(1, 1);
        }
        if (E.x - W.x + 1 >= minRun)
            for (int32_t cx = W.x; cx <= E.x; ++cx)
                removeOther(cx, y);
        if (S.y - N.y + 1 >= minRun)
            for (int32_t cy = N.y; cy <= S.y; ++cy)
                removeOther(x, cy);
        if (mode == GameMode::Lines) {
            if (SE.y - NW.y + 1 >= minRun)
                for (int32_t cy = NW.y; cy <= SE.y; ++cy)
                    removeOther(NW.x - NW.y + cy, cy);
            if (SW.y - NE.y + 1 >= minRun)
                for (int32_t cy = NE.y; cy <= SW.y; ++cy)
                    removeOther(NE.x - (cy - NE.y), cy);
        }
        if (n > 0) {
            RemoveCell(x, y);
            ++n;
        }
        break;
    }
    case GameMode::Groups:
        if (onColour(x - 1, y) || onColour(x, y - 1) || onColour(x + 1, y) || onColour(x, y + 1))
            n = FloodRemove(x, y);
        break;
    case GameMode::Squares: {
        auto squareAt = [&](int32_t dx, int32_t dy) {
            return OnBoard(x + dx, y + dy) && Code(x + dx, y + dy) == currentColour && onColour(x, y + dy) &&
                   onColour(x + dx, y);
        };
        if (squareAt(-1, -1) || squareAt(-1, 1) || squareAt(1, -1) || squareAt(1, 1)) n = FloodRemove(x, y);
        break;
    }
    }

    if (n > 0) {
        const int32_t points = AddScore(n);
        AddPopup(x, y, points);
        seam_->PlaySound("line_delete2");
    }
}

void GameBoard::CompactColumns() {
    RebuildGrid();
    auto occupied = [&](int32_t cx) {
        for (int32_t cy = 0; cy < h; ++cy)
            if (Code(cx, cy) != 0) return true;
        return false;
    };
    int32_t first = 0;
    while (first < w && !occupied(first))
        ++first;
    if (first == w) return;
    int32_t gap = first + 1;
    while (gap < w && occupied(gap))
        ++gap;
    if (gap >= w) return;
    const int32_t L = gap - 1;
    int32_t R = gap + 1;
    while (R < w && !occupied(R))
        ++R;

    for (const auto& e : table_)
        if (e && e->state != ItemState::Stay) return;
    if (R == w) return;

    const int32_t width = R - L - 1;
    const int32_t half = w / 2;
    const bool leftMoves = std::abs(R - half) < std::abs(L - half);
    const int32_t from = leftMoves ? 0 : R, to = leftMoves ? L : w - 1;
    const int32_t shift = leftMoves ? width : -width;
    for (int32_t cx = from; cx <= to; ++cx) {
        for (int32_t cy = 0; cy < h; ++cy) {
            BoardItem* item = ItemAt(cx, cy);
            if (!item) continue;
            item->targetX = item->x + shift;
            item->targetY = item->y;
            SetState(*item, ItemState::Move);
        }
    }
}

bool GameBoard::IsStuck() {
    if (mode != GameMode::Groups) {
        ChooseSpawnCell();
        return emptyCount == 0;
    }
    for (int32_t x = 0; x < w; ++x) {
        for (int32_t y = 0; y < h; ++y) {
            const int32_t code = Code(x, y);
            if (code == -1) return false;
            if (code <= 0) continue;
            if ((x + 1 < w && Code(x + 1, y) == code) || (y + 1 < h && Code(x, y + 1) == code)) return false;
        }
    }
    return true;
}

int32_t GameBoard::AddScore(int32_t n) {
    int32_t points = 0;
    if (n >= 1) {
        boardClearArmed = true;
        spawnCountdown -= n;
        switch (mode) {
        case GameMode::Lines:
            points = 5 * (n - 3) * level;
            break;
        case GameMode::Groups:
            points = (5 * n - 6) * level;
            break;
        case GameMode::Squares:
            points = (5 * n - 12) * level;
            break;
        case GameMode::Swaps:
            points = (5 * n - 9) * level;
            break;
        }
    }
    if (n < 0 && boardClearArmed) {
        score = level * level * 50;
        boardClearArmed = false;
    }
    score += points;
    // 64-bit threshold: a runaway level must not overflow the square.
    while (static_cast<int64_t>(score) >= static_cast<int64_t>(level) * level * 50) {
        ++level;
        seam_->PlaySound("next_level1");
        levelUpTime = seam_->Now();
    }
    moveTime = mode == GameMode::Groups
                   ? 200
                   : static_cast<int32_t>(400.0 / std::pow(static_cast<double>(level), 0.25));
    return points;
}

} // namespace Game
