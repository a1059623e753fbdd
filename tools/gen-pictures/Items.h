#pragma once
// Bricks and bonuses: the painters of the objects and the frames of their actions.
#include "gen-common/Image.h"

#include <string>
#include <vector>

namespace Pics {

// The colour the items are flattened on: the board's cell colour.
Gen::Color CellColor();
// Base colour of brick colour 1..6 (green, purple, orange, blue, red, yellow).
Gen::Color BrickColor(int colour);

// How one object is drawn in one frame.
struct Pose {
    float scale = 1.f;  // size factor
    float dy = 0.f;     // vertical offset in pixels
    float sx = 1.f;     // horizontal squash
    float sy = 1.f;     // vertical squash
    float phase = 0.f;  // 0..1, the object's own idle motion
    float glint = -2.f; // position of the diagonal shine band, -1..1 (outside: none)
    float flash = 0.f;  // 0..1 mix toward white
    float opacity = 1.f;
};

// Paints item `name` ("Brick3", "Brick3h", "Coin", ...) centred at (cx, cy) in a cell of side `cell`.
void PaintItem(Gen::Image& img, const std::string& name, float cx, float cy, float cell, const Pose& pose);

// Frames of one action of one item, `size` x `size` each, with the cell's top-left at (pivot, pivot).
std::vector<Gen::Image> ItemFrames(const std::string& item, const std::string& action, int size, int frames,
                                   int pivot, float cell);

// Help-page and preview pictures that show the same objects.
std::vector<Gen::Image> HelpFrames(const std::string& name, int w, int h, int frames);

// Small effects shared with the screens.
void PaintSparkle(Gen::Image& img, float cx, float cy, float r, const Gen::Color& c, float rot = 0.f);

} // namespace Pics
