#pragma once
#include <cstdint>
#include <vector>

#include "gfx/Graphics.h"

struct SDL_Surface;

// The small animated previews of the game selection: a script player that makes 15 x 15 bricks
// appear, get selected, move and vanish on a 16-pixel grid, driven only by the clock.
namespace Game {

// One script step; a piece of -1 ends the script.
struct PreviewStep {
    int32_t piece;
    int32_t colour; // 0 red, 1 green, 2 yellow (action 1)
    int32_t action; // 1 appear, 2 select, 3 move, 4 disappear, 5 none
    int32_t x, y;   // cell of action 1 (position) and action 3 (target)
    int32_t wait;   // 0: same frame as the previous step; otherwise 700 ms after it
};

enum PreviewAction : int32_t {
    kPreviewAppear = 1,
    kPreviewSelect = 2,
    kPreviewMove = 3,
    kPreviewDisappear = 4,
    kPreviewNone = 5
};
enum PreviewPieceState : int32_t {
    kPieceHidden = 0,
    kPieceAppearing = 1,
    kPieceSelected = 2,
    kPieceMoving = 3,
    kPieceDisappearing = 4,
    kPieceShown = 5,
};

struct PreviewPiece {
    int32_t colour = 0;
    int32_t x = 0, y = 0;
    int32_t targetX = 0, targetY = 0;
    int32_t state = kPieceHidden;
    uint32_t stateTime = 0;
    int32_t pixelX = 0, pixelY = 0;
    int32_t frame = 0;
};

class GamePreview {
  public:
    static constexpr uint32_t kStepWait = 700;
    static constexpr uint32_t kFrameTime = 200;
    static constexpr int32_t kCell = 16;
    static constexpr int32_t kSprite = 15;

    // The script must end with a step whose piece is -1 and hold at least one waiting step.
    explicit GamePreview(const PreviewStep* script);

    // Applies every step whose time has come and moves the pieces (the platform clock).
    void Tick();
    // Draws the pieces with their origin at (ox, oy); pictures are looked up on every draw.
    void Draw(SDL_Surface* surface, int32_t ox, int32_t oy);

    // The picture a piece shows now and the part of it (updates the piece's frame like Draw);
    // nullptr for a hidden piece.
    const char* PieceSource(PreviewPiece& piece, uint32_t now, Graphics::Rect& source) const;

    int32_t step = 0;
    int32_t highestPiece = 0;
    uint32_t lastStepTime = 0;
    std::vector<PreviewPiece> pieces;
    int32_t StepCount() const { return stepCount_; }

  private:
    void Apply(const PreviewStep& s, uint32_t now);
    const PreviewStep* script_;
    int32_t stepCount_ = 0;
};

// The four scripts (end marker included) and their previews: 0 Lines, 1 Swaps, 2 Squares,
// 3 Groups, drawn at their origins on the game selection.
extern const PreviewStep kPreviewLines[];
extern const PreviewStep kPreviewSwaps[];
extern const PreviewStep kPreviewSquares[];
extern const PreviewStep kPreviewGroups[];
inline constexpr int32_t kPreviews = 4;
GamePreview& Preview(int32_t index);
void PreviewOrigin(int32_t index, int32_t& x, int32_t& y);
void TickPreviews();
void DrawPreviews(SDL_Surface* surface);

} // namespace Game
