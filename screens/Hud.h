#pragma once
#include <cstdint>

struct SDL_Surface;

// What is drawn over the board while a game runs: the moving decoration, the level-up blink,
// the score popups, title, level and score; and the target markers after the scene.
namespace Game {

class GameBoard;

// The overlay of the running game (also the first thing every panel overlay draws). Draws the
// current menu only while it is the active scene's overlay itself.
void HudOverlay(SDL_Surface* surface);
// After-scene callback of "Level_01_00": the markers of the cells that moving bricks head for
// (Lines and Squares only).
void TargetMarkers(SDL_Surface* surface);

// Decoration "b1": x starts at 690, moves one pixel per overlay call and turns round past 45
// pixels from 669.
struct Decoration {
    int32_t x = 690;
    int32_t step = 1;
    void Advance();
};
Decoration& HudDecoration();

// The level-up picture shows in the second half of each 200 ms period of the 700 ms after a
// level-up.
bool LevelUpBlinkVisible(uint32_t now, uint32_t levelUpTime);
// Marker picture of a cell at time `now` ("DISAPPEAR" plus the colour letter of the kind the
// marker shows, cycling every 300 ms), or "" when no brick heads for the cell.
const char* MarkerPicture(const GameBoard& board, int32_t x, int32_t y, uint32_t now);
// Left edge of a score popup `textWidth` pixels wide for a cell of column `cellX`: just right of
// the cell, but never past the board's right edge, where the gold frame would cover it.
int32_t PopupX(const GameBoard& board, int32_t cellX, int32_t textWidth);
// Picture of the keyboard's cell cursor for the board's cell size.
const char* CellCursorPicture(const GameBoard& board);

} // namespace Game
