// The per-item state machine and the seven bonus effects.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "game/GameBoard.h"
#include "game/GameRandom.h"

namespace Game {

namespace {
int32_t Sign(int32_t v) {
    return (v > 0) - (v < 0);
}
} // namespace

void GameBoard::PlayItemAction(BoardItem& item, const char* action) {
    seam_->PlayAction(item.object, TemplateName(item.kind), action);
}

void GameBoard::PlaceObject(BoardItem& item, float x, float y) {
    seam_->SetWorldPosition(item.object, x, y);
}

void GameBoard::PlaceAtCell(BoardItem& item) {
    PlaceObject(item, static_cast<float>(CellPixelX(item.x)), static_cast<float>(CellPixelY(item.y)));
}

void GameBoard::Shake(BoardItem& item) {
    // Two draws, x first: 1 to 4 pixels up and to the left.
    const int32_t dx = Rand() % 4 - 4;
    const int32_t dy = Rand() % 4 - 4;
    PlaceObject(item, static_cast<float>(CellPixelX(item.x) + dx),
                static_cast<float>(CellPixelY(item.y) + dy));
}

void GameBoard::Vanish(BoardItem& item) {
    item.state = ItemState::Disappear;
    RebuildGrid();
    PlayItemAction(item, "Disappear");
}

bool GameBoard::EventIs(BoardItem& item, const char* event) {
    const char* last = seam_->LastEvent(item.object);
    return last && std::strcmp(last, event) == 0;
}

void GameBoard::StartFall(BoardItem& item) {
    item.state = ItemState::Fall;
    item.moveStart = now;
    RebuildGrid();
    PlayItemAction(item, "Move");
    item.nextX = item.x;
    item.nextY = item.y + 1;
}

void GameBoard::InterpolateStep(BoardItem& item) {
    if (now >= item.moveStart + static_cast<uint32_t>(moveTime)) {
        item.x = item.nextX;
        item.y = item.nextY;
        return;
    }
    const int32_t t = static_cast<int32_t>(now - item.moveStart);
    const int32_t px =
        static_cast<int32_t>((item.nextX - item.x) * t * cellWidth / moveTime + item.x * cellWidth + 33.0);
    const int32_t py =
        static_cast<int32_t>((item.nextY - item.y) * t * cellHeight / moveTime + item.y * cellHeight + 36.0);
    PlaceObject(item, static_cast<float>(px), static_cast<float>(py));
}

void GameBoard::SetState(BoardItem& item, ItemState state) {
    item.state = state;
    const char* action = "Stay";
    switch (state) {
    case ItemState::Stay:
        action = "Stay";
        break;
    case ItemState::Move:
    case ItemState::Fall:
    case ItemState::Swap:
        action = "Move";
        item.moveStart = now;
        break;
    case ItemState::Disappear:
        if (item.kind >= KindClock && !item.doomed) {
            item.state = ItemState::Activate;
            action = "Activate";
        } else {
            action = "Disappear";
        }
        break;
    case ItemState::Activate:
        action = "Activate";
        break;
    case ItemState::Appear:
        action = "Appear";
        break;
    case ItemState::Select:
        action = "Select";
        break;
    case ItemState::Wait:
        action = "Move";
        item.moveStart = now;
        CheckRemoval(item.x, item.y);
        break;
    }
    RebuildGrid();
    PlayItemAction(item, action);
}

void GameBoard::UpdateItem(BoardItem& item) {
    switch (item.state) {
    case ItemState::Stay:
    case ItemState::Select:
        UpdateRest(item);
        break;
    case ItemState::Appear:
        UpdateAppear(item);
        break;
    case ItemState::Move:
        UpdateMove(item);
        break;
    case ItemState::Wait:
        UpdateWait(item);
        break;
    case ItemState::Fall:
        UpdateFall(item);
        break;
    case ItemState::Swap:
        UpdateSwap(item);
        break;
    case ItemState::Disappear:
        UpdateDisappear(item);
        break;
    case ItemState::Activate:
        UpdateActivate(item);
        break;
    }
}

void GameBoard::UpdateRest(BoardItem& item) {
    if (item.doomed) {
        Vanish(item);
        return;
    }
    if ((mode == GameMode::Groups || mode == GameMode::Swaps) && item.y < h - 1 &&
        Code(item.x, item.y + 1) == 0)
        StartFall(item);
}

void GameBoard::UpdateAppear(BoardItem& item) {
    if (!EventIs(item, "BURN_END")) return;
    seam_->ClearLastEvent(item.object);
    if (item.doomed) {
        Vanish(item);
        return;
    }
    if (mode == GameMode::Swaps && item.y < h - 1 && Code(item.x, item.y + 1) == 0) {
        StartFall(item);
    } else {
        item.state = ItemState::Stay;
        RebuildGrid();
        PlayItemAction(item, "Stay");
    }
    if (mode != GameMode::Groups) CheckRemoval(item.x, item.y);
}

void GameBoard::UpdateMove(BoardItem& item) {
    if (item.x != item.nextX || item.y != item.nextY) {
        InterpolateStep(item);
        return;
    }
    if (item.doomed) {
        Vanish(item);
    } else if (item.x == item.targetX && item.y == item.targetY) {
        item.state = ItemState::Stay;
        RebuildGrid();
        PlayItemAction(item, "Stay");
        if (mode != GameMode::Groups) CheckRemoval(item.x, item.y);
        PlaceAtCell(item);
    } else if (FindPath(item, item.targetX, item.targetY)) {
        item.moveStart = now;
    } else {
        item.state = ItemState::Wait;
        item.moveStart = now;
        CheckRemoval(item.x, item.y);
        RebuildGrid();
        PlayItemAction(item, "Move");
    }
}

void GameBoard::UpdateWait(BoardItem& item) {
    if (item.doomed) {
        Vanish(item);
    } else if (FindPath(item, item.targetX, item.targetY)) {
        item.state = ItemState::Move;
        item.moveStart = now;
        RebuildGrid();
        PlayItemAction(item, "Move");
    } else if (now > item.moveStart + 2000) {
        PlaceAtCell(item);
        item.state = ItemState::Stay;
        RebuildGrid();
        PlayItemAction(item, "Stay");
        CheckRemoval(item.x, item.y);
    } else {
        Shake(item);
    }
}

void GameBoard::UpdateFall(BoardItem& item) {
    if (item.x != item.nextX || item.y != item.nextY) {
        InterpolateStep(item);
        return;
    }
    if (item.doomed) {
        Vanish(item);
    } else if (item.y < h - 1 && Code(item.x, item.y + 1) == 0) {
        item.moveStart = now;
        RebuildGrid();
        PlayItemAction(item, "Move");
        item.nextX = item.x;
        item.nextY = item.y + 1;
    } else {
        item.state = ItemState::Stay;
        RebuildGrid();
        PlayItemAction(item, "Stay");
        PlaceAtCell(item);
        if (mode != GameMode::Groups) CheckRemoval(item.x, item.y);
    }
}

void GameBoard::UpdateSwap(BoardItem& item) {
    if (item.x == item.nextX && item.y == item.nextY) {
        if (item.doomed) {
            Vanish(item);
        } else {
            item.state = ItemState::Stay;
            RebuildGrid();
            PlayItemAction(item, "Stay");
            PlaceAtCell(item);
            CheckRemoval(item.x, item.y);
        }
        return;
    }
    if (now >= item.moveStart + static_cast<uint32_t>(moveTime)) {
        item.x = item.nextX;
        item.y = item.nextY;
        return;
    }
    // The brick hops over its neighbour's cell and back: the second half runs at 1/400 ms
    // whatever the move time.
    const int32_t t = static_cast<int32_t>(now - item.moveStart);
    const int32_t T = moveTime;
    const int32_t half = T / 2;
    const int32_t f1 = t < half ? 1 : 0;
    const int32_t f2 = 1 - f1;
    const int32_t sx = Sign(item.nextX - item.x);
    const int32_t sy = Sign(item.nextY - item.y);
    const double offX = sx * (f1 * t * cellHeight / T + f2 * (t - T) * cellHeight * 0.0025);
    const double offY = sy * (f1 * t * cellWidth / T + f2 * (t - T) * cellWidth * 0.0025);
    const int32_t baseX =
        static_cast<int32_t>((item.x + (item.nextX - item.x) * t * 0.0025) * cellWidth + 33.0);
    const int32_t baseY =
        static_cast<int32_t>((item.y + (item.nextY - item.y) * t * 0.0025) * cellHeight + 36.0);
    PlaceObject(item, static_cast<float>(static_cast<int32_t>(baseX + offX)),
                static_cast<float>(static_cast<int32_t>(baseY + offY)));
}

void GameBoard::UpdateDisappear(BoardItem& item) {
    item.soundPlayed = false;
    if (item.kind != KindFireball) {
        if (mode == GameMode::Groups)
            PlaceAtCell(item);
        else
            Shake(item);
    }
    SetState(item, ItemState::Disappear);
    if (EventIs(item, "DESTROY_END")) {
        seam_->ClearLastEvent(item.object);
        item.dead = true;
    }
}

void GameBoard::UpdateActivate(BoardItem& item) {
    if (!item.doomed) {
        item.doomed = true;
        RunBonusEffect(item);
    }
    if (!EventIs(item, "ActivateEnd")) return;
    seam_->ClearLastEvent(item.object);
    if (item.kind == KindBomb) {
        item.dead = true;
        return;
    }
    item.state = item.doomed ? ItemState::Disappear : ItemState::Activate;
    RebuildGrid();
    PlayItemAction(item, item.doomed ? "Disappear" : "Activate");
}

void GameBoard::RunBonusEffect(BoardItem& item) {
    switch (item.kind) {
    case KindClock:
        nextSpawnTime += 10000;
        if (!clockSoundFlag) seam_->PlaySound("clock2");
        clockSoundFlag = true;
        break;
    case KindBomb: {
        const double radius = 2.8;
        const int32_t x0 = static_cast<int32_t>(std::max(item.x - radius, 0.0));
        const int32_t y0 = static_cast<int32_t>(std::max(item.y - radius, 0.0));
        const int32_t x1 = static_cast<int32_t>(std::min(item.x + radius, static_cast<double>(w - 1)));
        const int32_t y1 = static_cast<int32_t>(std::min(item.y + radius, static_cast<double>(h - 1)));
        for (int32_t cx = x0; cx <= x1; ++cx) {
            for (int32_t cy = y0; cy <= y1; ++cy) {
                const double dx = cx - item.x, dy = cy - item.y;
                if (std::sqrt(dx * dx + dy * dy) > radius) continue;
                if (BoardItem* hit = ItemAt(cx, cy)) hit->doomed = true;
            }
        }
        seam_->PlaySound("bomb1");
        break;
    }
    case KindRainbow: {
        int32_t counts[7] = {};
        for (const auto& e : table_)
            if (e && e->kind >= KindBrick1 && e->kind <= KindBrick6) ++counts[e->kind];
        int32_t best = 1;
        for (int32_t c = 2; c <= 6; ++c)
            if (counts[c] > counts[best]) best = c;
        for (const auto& e : table_)
            if (e && e->kind == best) e->doomed = true;
        seam_->PlaySound("color_delete");
        break;
    }
    case KindSwitch: {
        int32_t n = 0;
        for (const auto& e : table_) {
            if (n >= 10) break;
            if (e && e->kind >= KindBrick1 && e->kind <= KindBrick6 && !e->doomed) {
                e->doomed = true;
                ++n;
            }
        }
        seam_->PlaySound("switch");
        break;
    }
    case KindMetla:
        MetlaStep(item);
        break;
    case KindFireball:
        FireballStep(item);
        break;
    case KindCoin:
        AddScore(10);
        seam_->PlaySound("money1");
        break;
    default:
        break;
    }
}

void GameBoard::MetlaStep(BoardItem& item) {
    if (!item.soundPlayed) {
        seam_->PlaySound("pilesos");
        item.soundPlayed = true;
    }
    item.doomed = false; // keeps the step running every frame

    if (item.sweeperDir == 0) {
        // The broom itself, first frame: it becomes the right-going sweeper and sends out three more.
        item.sweeperDir = 1;
        item.sweeperTag = Rand();
        seam_->SetSort(item.object, 1);
        const float px = static_cast<float>(CellPixelX(item.x));
        const float py = static_cast<float>(CellPixelY(item.y));
        for (int32_t d = 2; d <= 4; ++d) {
            ObjectRef object = seam_->CreateObject("Item", "Metla", px, py);
            seam_->SetSort(object, 1);
            BoardItem* sweeper = AddItem(KindMetla, item.x, item.y, object);
            sweeper->sweeperDir = d;
            sweeper->state = ItemState::Activate;
            RebuildGrid();
            PlayItemAction(*sweeper, "Activate");
            sweeper->sweeperTag = item.sweeperTag;
        }
        return;
    }

    // Hit everything in this sweeper's cell or next cell except its own group.
    for (size_t i = 0; i < table_.size(); ++i) {
        BoardItem* other = table_[i].get();
        if (!other) continue;
        if (other->kind == KindMetla && other->sweeperTag == item.sweeperTag) continue;
        const bool hit = (other->x == item.x && other->y == item.y) ||
                         (other->x == item.nextX && other->y == item.nextY) ||
                         (other->nextX == item.x && other->nextY == item.y) ||
                         (other->nextX == item.nextX && other->nextY == item.nextY);
        if (!hit) continue;
        other->doomed = true;
        if (other->kind == KindMetla) Vanish(*other);
    }

    if (item.x == item.nextX && item.y == item.nextY) {
        int32_t nx = item.x, ny = item.y;
        switch (item.sweeperDir) {
        case 1:
            ++nx;
            break;
        case 2:
            --nx;
            break;
        case 3:
            ++ny;
            break;
        case 4:
            --ny;
            break;
        default:
            break;
        }
        item.nextX = nx;
        item.nextY = ny;
        if (!OnBoard(nx, ny)) {
            item.doomed = true;
            Vanish(item);
        }
        item.moveStart = now;
    } else {
        InterpolateStep(item);
    }
}

void GameBoard::FireballStep(BoardItem& item) {
    if (!item.soundPlayed) {
        seam_->PlaySound("tornado");
        item.soundPlayed = true;
    }
    item.doomed = false;

    if (item.x == item.targetX && item.y == item.targetY) {
        item.targetY = Rand() % h;
        item.targetX = Rand() % w;
        item.moveStart = now;
        return;
    }

    const int32_t px = CellPixelX(item.x), py = CellPixelY(item.y);
    const int32_t tx = CellPixelX(item.targetX), ty = CellPixelY(item.targetY);
    const double d = std::sqrt(static_cast<double>((px - tx) * (px - tx) + (py - ty) * (py - ty)));
    const int32_t t = static_cast<int32_t>(now - item.moveStart);
    const int32_t nx =
        static_cast<int32_t>((item.targetX - item.x) * t * cellWidth / moveTime / (d / cellWidth) + px);
    const int32_t ny =
        static_cast<int32_t>((item.targetY - item.y) * t * cellHeight / moveTime / (d / cellHeight) + py);
    const double travelled = std::sqrt(static_cast<double>((px - nx) * (px - nx) + (py - ny) * (py - ny)));
    if (travelled >= d) {
        item.x = item.targetX;
        item.y = item.targetY;
    } else {
        PlaceObject(item, static_cast<float>(nx), static_cast<float>(ny));
    }

    if (now > item.activationTime + 10000) {
        item.doomed = true;
        Vanish(item);
        item.soundPlayed = false;
    }

    const float invW = 1.0f / cellWidth, invH = 1.0f / cellHeight;
    const int32_t cx0 = static_cast<int32_t>((nx - 28) * invW);
    const int32_t cy0 = static_cast<int32_t>((ny - 31) * invH);
    const int32_t cx1 = static_cast<int32_t>((nx + cellWidth - 43) * invW);
    const int32_t cy1 = static_cast<int32_t>((ny + cellHeight - 46) * invH);
    auto inBox = [&](int32_t cx, int32_t cy) {
        return (cx == cx0 && cy == cy0) || (cx == cx1 && cy == cy0) || (cx == cx1 && cy == cy1) ||
               (cx == cx0 && cy == cy1);
    };
    for (size_t i = 0; i < table_.size(); ++i) {
        BoardItem* other = table_[i].get();
        if (!other || other == &item) continue;
        if (!inBox(other->x, other->y) && !inBox(other->nextX, other->nextY)) continue;
        other->doomed = true;
        if (other->kind == KindFireball) Vanish(*other);
    }
}

} // namespace Game
