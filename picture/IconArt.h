#pragma once
#include <cstdint>
#include <vector>

// The program's icon, drawn procedurally: four bricks of the game's colours on a rounded navy tile
// with a gold rim. One drawing serves the desktop icon files and the window's own icon.
namespace IconArt {

// `size` x `size` pixels, 8-bit red, green, blue, alpha (straight alpha) in memory order, rows
// packed; each pixel the mean of 4 x 4 samples. Empty for sizes outside 16..1024.
std::vector<uint8_t> DrawRgba(int size);

} // namespace IconArt
