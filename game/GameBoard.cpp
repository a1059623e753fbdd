// The board model: geometry, templates, the item table, the grid of cell codes, new games,
// dealing and spawning.
#include "game/GameBoard.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "game/GameRandom.h"

namespace Game {

namespace {

// Stands in until the program installs its seam, so the board can be used as a plain model.
class NullSeam final : public GameSeam {
  public:
    uint32_t Now() override { return 0; }
    ObjectRef CreateObject(const char*, const char*, float, float) override { return nullptr; }
    const char* ObjectName(ObjectRef) override { return ""; }
    void DeleteObject(const char*) override {}
    void SetWorldPosition(ObjectRef, float, float) override {}
    void WorldPosition(ObjectRef, float& x, float& y) override { x = y = 0.0f; }
    void SetSort(ObjectRef, int32_t) override {}
    void PlayAction(ObjectRef, const char*, const char*) override {}
    const char* LastEvent(ObjectRef) override { return ""; }
    void ClearLastEvent(ObjectRef) override {}
    void SetLastEvent(ObjectRef, const char*) override {}
    void PlaySound(const char*) override {}
    void StopAllSamples() override {}
    const char16_t* Text(const char*) override { return nullptr; }
    void OpenPauseMenu() override {}
    void OpenResultScreen() override {}
    void OpenBoardClearedScreen() override {}
    int32_t PollMenu(const char*, uint32_t) override { return 0; }
    bool NextMouseEvent(uint32_t&) override { return false; }
    void MousePosition(int32_t& x, int32_t& y) override { x = y = 0; }
    uint32_t BoardKeys() override { return 0; }
};

// Defined before g_Board: the board's constructor takes its address.
NullSeam g_nullSeam;

const char* const kBrickTemplates[7] = {"", "Brick1", "Brick2", "Brick3", "Brick4", "Brick5", "Brick6"};
const char* const kGroupsBrickTemplates[7] = {"",        "Brick1h", "Brick2h", "Brick3h",
                                              "Brick4h", "Brick5h", "Brick6h"};
const char* const kBonusTemplates[7] = {"Clock", "Bomb", "Rainbow", "Switch", "Metla", "Fireball", "Coin"};
// Indexed by the mode value.
const char* const kTitleKeys[4] = {"Menu_Game1", "Menu_Game4", "Menu_Game2", "Menu_Game3"};

} // namespace

GameBoard g_Board;

const char* StateName(ItemState state) {
    switch (state) {
    case ItemState::Stay:
        return "Stay";
    case ItemState::Move:
        return "Move";
    case ItemState::Disappear:
        return "Disappear";
    case ItemState::Appear:
        return "Appear";
    case ItemState::Select:
        return "Select";
    case ItemState::Wait:
        return "Wait";
    case ItemState::Fall:
        return "Fall";
    case ItemState::Swap:
        return "Swap";
    case ItemState::Activate:
        return "Activate";
    }
    return "?";
}

const char* ActionOf(ItemState state) {
    switch (state) {
    case ItemState::Move:
    case ItemState::Wait:
    case ItemState::Fall:
    case ItemState::Swap:
        return "Move";
    default:
        return StateName(state);
    }
}

GameBoard::GameBoard() : seam_(&g_nullSeam), table_(GridCells + 3) {
    AddScore(0);
}

GameBoard::~GameBoard() = default;

void GameBoard::SetSeam(GameSeam* seam) {
    seam_ = seam ? seam : &g_nullSeam;
}

const char* GameBoard::TemplateName(int32_t kind) const {
    if (kind >= KindBrick1 && kind < KindClock)
        return mode == GameMode::Groups ? kGroupsBrickTemplates[kind] : kBrickTemplates[kind];
    if (kind >= KindClock && kind <= KindCoin) return kBonusTemplates[kind - KindClock];
    return "";
}

bool GameBoard::CellAt(int32_t mx, int32_t my, int32_t& x, int32_t& y) const {
    x = static_cast<int32_t>((mx - 33) / cellWidth);
    y = static_cast<int32_t>((my - 36) / cellHeight);
    return OnBoard(x, y);
}

int32_t GameBoard::ItemCount() const {
    int32_t n = 0;
    for (const auto& e : table_)
        if (e) ++n;
    return n;
}

void GameBoard::ShiftTimers(uint32_t ms) {
    for (const auto& e : table_) {
        if (!e) continue;
        e->moveStart += ms;
        e->activationTime += ms;
    }
    nextSpawnTime += ms;
}

void GameBoard::NewGame(GameMode newMode) {
    dealFlag = true;
    colours = 4;
    spawnCountdown = 20;
    level = 1;
    score = 0;
    nextSpawnTime = 0;
    seam_->StopAllSamples();
    SetMode(newMode);
    if (mode == GameMode::Swaps) spawnCountdown = -20;
    AddScore(0);
    // A cursor shown stays shown for the next game, from the middle of its board.
    cursor.x = (w - 1) / 2;
    cursor.y = (h - 1) / 2;
}

void GameBoard::SetMode(GameMode newMode) {
    int32_t m = static_cast<int32_t>(newMode);
    if (m < 0 || m > 3) m = 0;
    title = seam_->Text(kTitleKeys[m]);
    mode = static_cast<GameMode>(m);
    if (mode == GameMode::Groups) {
        w = h = 20;
        cellWidth = cellHeight = 26.5f;
    } else {
        w = h = 10;
        cellWidth = cellHeight = 53.0f;
    }
}

BoardItem* GameBoard::RestoreItem(size_t slot, const BoardItem& item) {
    if (slot >= table_.size()) table_.resize(slot + 1);
    if (table_[slot]) return nullptr;
    table_[slot] = std::make_unique<BoardItem>(item);
    return table_[slot].get();
}

void GameBoard::DestroyEntry(size_t index) {
    assert(index < table_.size());
    BoardItem* item = table_[index].get();
    if (!item) return;
    if (item->object) seam_->DeleteObject(seam_->ObjectName(item->object));
    // The selection must never outlive its item.
    if (selected == item) selected = nullptr;
    table_[index].reset();
}

void GameBoard::ClearBoard() {
    for (size_t i = 0; i < table_.size(); ++i)
        DestroyEntry(i);
    selected = nullptr;
}

void GameBoard::DealBoard() {
    const int32_t colourCount = std::clamp(colours, 1, 6);
    for (int32_t x = 0; x < w; ++x) {
        for (int32_t y = 0; y < h; ++y) {
            const int32_t kind = Rand() % colourCount + 1;
            ObjectRef object =
                seam_->CreateObject("Item", kGroupsBrickTemplates[kind], static_cast<float>(CellPixelX(x)),
                                    static_cast<float>(CellPixelY(y)));
            seam_->SetSort(object, 0);
            auto item = std::make_unique<BoardItem>();
            item->x = item->targetX = item->nextX = x;
            item->y = item->targetY = item->nextY = y;
            item->kind = kind;
            item->object = object;
            BoardItem* raw = item.get();
            const size_t slot = static_cast<size_t>(h * x + y);
            if (slot < table_.size() && !table_[slot]) {
                table_[slot] = std::move(item);
            } else {
                // Only reachable when the table was not cleared first: keep the item anyway.
                auto it = std::find(table_.begin(), table_.end(), nullptr);
                if (it != table_.end())
                    *it = std::move(item);
                else
                    table_.push_back(std::move(item));
            }
            SetState(*raw, ItemState::Stay);
        }
    }
}

void GameBoard::MarkCell(int32_t x, int32_t y, int32_t code) {
    // Coordinates off the board (a sweeper that has left it) never write outside the grid.
    if (OnBoard(x, y)) grid[x * MaxSide + y] = code;
}

void GameBoard::RebuildGrid() {
    std::memset(grid, 0, sizeof grid);
    std::memset(incoming, 0, sizeof incoming);
    for (const auto& e : table_) {
        if (!e) continue;
        const BoardItem& it = *e;
        switch (it.state) {
        case ItemState::Stay:
        case ItemState::Select:
        case ItemState::Wait:
            MarkCell(it.x, it.y, it.kind);
            break;
        case ItemState::Move:
            if (OnBoard(it.targetX, it.targetY)) {
                int32_t* list = incoming[it.targetX * MaxSide + it.targetY];
                if (list[0] < MaxIncoming) list[1 + list[0]++] = it.kind;
            }
            [[fallthrough]];
        case ItemState::Fall:
        case ItemState::Swap:
        case ItemState::Activate:
            if (it.kind != KindFireball) {
                MarkCell(it.nextX, it.nextY, -1);
                MarkCell(it.x, it.y, -1);
            }
            break;
        case ItemState::Appear:
        case ItemState::Disappear:
            MarkCell(it.x, it.y, -1);
            break;
        }
    }
}

BoardItem* GameBoard::ItemAt(int32_t x, int32_t y) const {
    for (const auto& e : table_)
        if (e && e->x == x && e->y == y) return e.get();
    return nullptr;
}

BoardItem* GameBoard::AddItem(int32_t kind, int32_t x, int32_t y, ObjectRef object) {
    seam_->ClearLastEvent(object);
    auto item = std::make_unique<BoardItem>();
    item->x = item->targetX = item->nextX = x;
    item->y = item->targetY = item->nextY = y;
    item->kind = kind;
    item->object = object;
    BoardItem* raw = item.get();
    auto slot = std::find(table_.begin(), table_.end(), nullptr);
    if (slot != table_.end())
        *slot = std::move(item);
    else
        table_.push_back(std::move(item));
    return raw;
}

bool GameBoard::ChooseSpawnCell() {
    int32_t bricks = 0;
    emptyCount = 0;
    for (int32_t x = 0; x < w; ++x) {
        for (int32_t y = 0; y < h; ++y) {
            const int32_t code = Code(x, y);
            if (code >= 1 && code <= 6) ++bricks;
            if (code == 0) ++emptyCount;
        }
    }
    nonBrickCount = w * h - bricks;
    if (emptyCount == 0) return false;

    if (mode == GameMode::Groups || mode == GameMode::Swaps) {
        int32_t topFree = 0;
        for (int32_t x = 0; x < w; ++x)
            if (Code(x, 0) == 0) ++topFree;
        if (topFree == 0) return false;
        int32_t r = Rand() % topFree;
        for (int32_t x = 0; x < w; ++x) {
            if (Code(x, 0) != 0) continue;
            if (r-- == 0) {
                spawnX = x;
                spawnY = 0;
                break;
            }
        }
        return true;
    }

    int32_t r = Rand() % emptyCount;
    for (int32_t x = 0; x < w; ++x) {
        for (int32_t y = 0; y < h; ++y) {
            if (Code(x, y) != 0) continue;
            if (r-- == 0) {
                spawnX = x;
                spawnY = y;
                return true;
            }
        }
    }
    return true;
}

void GameBoard::SpawnTick() {
    RebuildGrid();
    if (!ChooseSpawnCell() || !(now > nextSpawnTime)) return;

    int32_t c;
    do {
        c = Rand() % 6 + 1;
    } while (c == lastColour);
    lastColour = c;
    clockSoundFlag = false;

    const float px = static_cast<float>(CellPixelX(spawnX));
    const float py = static_cast<float>(CellPixelY(spawnY));
    if (spawnCountdown >= 1 && mode != GameMode::Groups) {
        ObjectRef object = seam_->CreateObject("Item", kBrickTemplates[c], px, py);
        seam_->SetSort(object, 0);
        SetState(*AddItem(c, spawnX, spawnY, object), ItemState::Appear);
    } else {
        const int32_t k = Rand() % 7 + 7;
        if (mode == GameMode::Lines || mode == GameMode::Squares) {
            ObjectRef object = seam_->CreateObject("Item", kBonusTemplates[k - KindClock], px, py);
            seam_->SetSort(object, 2);
            SetState(*AddItem(k, spawnX, spawnY, object), ItemState::Appear);
            seam_->PlaySound("bonuce");
        } else if (mode == GameMode::Swaps) {
            for (int32_t x = 0; x < w; ++x) {
                if (Code(x, 0) != 0) continue;
                const int32_t d = Rand() % 6 + 1;
                ObjectRef object = seam_->CreateObject(
                    "Item", kBrickTemplates[d],
                    static_cast<float>(static_cast<int32_t>(x * cellWidth + 33.0)), 36.0f);
                seam_->SetSort(object, 0);
                SetState(*AddItem(d, x, 0, object), ItemState::Stay);
            }
        }
        spawnCountdown += 20;
    }
    nextSpawnTime = now + static_cast<uint32_t>(1500.0 / std::pow(static_cast<double>(level), 0.25));
}

void GameBoard::AddPopup(int32_t x, int32_t y, int32_t points) {
    for (ScorePopup& p : popups) {
        if (p.time + 1000 < now) {
            p = {x, y, points, now};
            return;
        }
    }
}

} // namespace Game
