#pragma once
#include <cassert>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/GameSeam.h"

// The board shared by the four games: cells, bricks and bonus items, their state machine, the
// rules, the scoring and the spawning. Plain data plus arithmetic; everything outside (scene,
// animation, sound, panels, input, clock) is reached through the GameSeam.
namespace Game {

enum class GameMode : int32_t { Lines = 0, Groups = 1, Squares = 2, Swaps = 3 };

// Kinds below KindClock are bricks (their colour); KindClock and above are bonuses.
enum ItemKind : int32_t {
    KindNone = 0,
    KindBrick1 = 1,
    KindBrick2 = 2,
    KindBrick3 = 3,
    KindBrick4 = 4,
    KindBrick5 = 5,
    KindBrick6 = 6,
    KindClock = 7,
    KindBomb = 8,
    KindRainbow = 9,
    KindSwitch = 10,
    KindMetla = 11,
    KindFireball = 12,
    KindCoin = 13,
};

enum class ItemState : int32_t { Stay, Move, Disappear, Appear, Select, Wait, Fall, Swap, Activate };

const char* StateName(ItemState state);
// The animation action a state plays ("Move" for Wait, Fall and Swap too).
const char* ActionOf(ItemState state);

struct BoardItem {
    int32_t x = 0, y = 0;             // cell it stands in (while moving: the cell it leaves)
    int32_t targetX = 0, targetY = 0; // end of a move or of a fireball flight
    int32_t nextX = 0, nextY = 0;     // cell of the current one-cell step; (x, y) at rest
    ItemState state = ItemState::Stay;
    int32_t kind = KindNone;
    bool doomed = false;      // must disappear at its next chance (bonuses: effect done)
    bool soundPlayed = false; // a flying bonus plays its sound once
    bool dead = false;        // GameTick removes it after its update
    ObjectRef object = nullptr;
    uint32_t moveStart = 0;
    uint32_t activationTime = 0;
    int32_t sweeperDir = 0; // 1 right, 2 left, 3 down, 4 up; 0 for everything but sweepers
    int32_t sweeperTag = 0;
};

struct ScorePopup {
    int32_t x = 0, y = 0, points = 0;
    uint32_t time = 0;
};

class GameBoard {
  public:
    static constexpr int32_t MaxSide = 20;
    static constexpr int32_t GridCells = MaxSide * MaxSide;
    static constexpr int32_t MaxIncoming = 6;
    static constexpr int32_t PopupCount = 10;

    GameBoard();
    ~GameBoard();
    GameBoard(const GameBoard&) = delete;
    GameBoard& operator=(const GameBoard&) = delete;

    // nullptr selects a seam that does nothing (the board still works as a model).
    void SetSeam(GameSeam* seam);
    GameSeam& Seam() { return *seam_; }

    // --- board, spawning
    void NewGame(GameMode mode);
    // Mode, title and the geometry that goes with it (NewGame and a restored game).
    void SetMode(GameMode mode);
    void ClearBoard();
    void DealBoard();
    void RebuildGrid();
    BoardItem* ItemAt(int32_t x, int32_t y) const;
    BoardItem* AddItem(int32_t kind, int32_t x, int32_t y, ObjectRef object);
    bool ChooseSpawnCell();
    void SpawnTick();
    void AddPopup(int32_t x, int32_t y, int32_t points);

    // --- item states and bonuses
    void SetState(BoardItem& item, ItemState state);
    void UpdateItem(BoardItem& item);

    // --- rules and scoring
    // The update of the running game; scene objects go to the seam's current level.
    void GameTick(uint32_t elapsedMs);
    void HandleBoardClick(int32_t x, int32_t y);
    // The cell cursor's reaction to the board keys of a frame (BoardKey bits): the first key only
    // shows it (on the cell under the mouse when the mouse is over the board); then the arrows
    // move it, stopping at the edges, and "act" is a click on its cell.
    void HandleBoardKeys(uint32_t keys, int32_t mouseX, int32_t mouseY);
    [[nodiscard]] bool FindPath(BoardItem& item, int32_t tx, int32_t ty);
    void CheckRemoval(int32_t x, int32_t y);
    void CompactColumns();
    bool IsStuck();
    int32_t AddScore(int32_t n);

    // --- geometry
    int32_t CellPixelX(int32_t x) const { return static_cast<int32_t>(x * cellWidth + 33.0); }
    int32_t CellPixelY(int32_t y) const { return static_cast<int32_t>(y * cellHeight + 36.0); }
    // Cell under a mouse position; false when it is off the board.
    [[nodiscard]] bool CellAt(int32_t mx, int32_t my, int32_t& x, int32_t& y) const;
    bool OnBoard(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    // Cell code: 0 free, 1..13 an item of that kind at rest, -1 busy.
    // Callers test OnBoard first: a cell beyond it reads another column's storage.
    int32_t Code(int32_t x, int32_t y) const {
        assert(OnBoard(x, y));
        return grid[x * MaxSide + y];
    }
    // Library template (and animation) name of a kind in the current mode; "" for none.
    const char* TemplateName(int32_t kind) const;

    // --- item table
    size_t TableSize() const { return table_.size(); }
    BoardItem* Entry(size_t i) const {
        assert(i < table_.size());
        return table_[i].get();
    }
    int32_t ItemCount() const;
    // Puts an item (and the object it carries) into table entry `slot`, which must be empty; the
    // table grows when the slot lies beyond it. For restoring a saved game.
    BoardItem* RestoreItem(size_t slot, const BoardItem& item);

    // Pause bookkeeping: shifts every item's timers and the next spawn time by `ms`.
    void ShiftTimers(uint32_t ms);

    // --- data of the running game (read by the screens)
    GameMode mode = GameMode::Lines;
    const char16_t* title = nullptr;
    int32_t colours = 4;
    int32_t level = 1;
    int32_t score = 0;
    int32_t spawnCountdown = 20;
    bool dealFlag = false;
    ScorePopup popups[PopupCount];
    int32_t grid[GridCells] = {};
    // Per cell: count, then up to six kinds of the items moving toward it.
    int32_t incoming[GridCells][1 + MaxIncoming] = {};
    int32_t spawnX = 0, spawnY = 0;
    int32_t w = 10, h = 10;
    float cellWidth = 53.0f, cellHeight = 53.0f;

    uint32_t now = 0;
    uint32_t nextSpawnTime = 0;
    int32_t lastColour = -1;
    bool clockSoundFlag = false;
    int32_t moveTime = 400;
    BoardItem* selected = nullptr;
    uint32_t levelUpTime = 0;
    bool boardClearArmed = false;
    bool alertFlag = false;
    int32_t stuckCounter = 0;
    int32_t nonBrickCount = 0;
    int32_t emptyCount = 0;
    int32_t currentColour = 0;
    // Simulator switch for set-up scenarios: false skips SpawnTick in GameTick.
    bool spawnEnabled = true;

    // The keyboard's cell cursor: shown from the first board key on, hidden when the mouse moves
    // or clicks (the last device used owns the board).
    struct CellCursor {
        int32_t x = 4, y = 4;
        bool shown = false;
    };
    CellCursor cursor;

  private:
    void PlayItemAction(BoardItem& item, const char* action);
    void PlaceObject(BoardItem& item, float x, float y);
    void PlaceAtCell(BoardItem& item);
    void Shake(BoardItem& item);
    void Vanish(BoardItem& item);
    void StartFall(BoardItem& item);
    void InterpolateStep(BoardItem& item);
    bool EventIs(BoardItem& item, const char* event);
    void DestroyEntry(size_t index);
    void MarkCell(int32_t x, int32_t y, int32_t code);
    void RemoveCell(int32_t x, int32_t y);
    int32_t FloodRemove(int32_t cx, int32_t cy);
    void Relax(int32_t cx, int32_t cy, uint32_t d);
    void RunBonusEffect(BoardItem& item);
    void MetlaStep(BoardItem& item);
    void FireballStep(BoardItem& item);
    void UpdateMove(BoardItem& item);
    void UpdateWait(BoardItem& item);
    void UpdateFall(BoardItem& item);
    void UpdateSwap(BoardItem& item);
    void UpdateActivate(BoardItem& item);
    void UpdateDisappear(BoardItem& item);
    void UpdateAppear(BoardItem& item);
    void UpdateRest(BoardItem& item);

    GameSeam* seam_;
    // Where the mouse was at the last tick: a move hides the cell cursor.
    int32_t lastMouseX_ = -1, lastMouseY_ = -1;
    // Entries 0 ... w*h+2 are the board's; the table grows past them only when more items
    // exist at once (two brooms on a full board), and every pass visits the extra entries too.
    std::vector<std::unique_ptr<BoardItem>> table_;
    uint32_t dist_[GridCells] = {};
    int32_t pred_[GridCells] = {};
};

// The program's one board.
extern GameBoard g_Board;

} // namespace Game
