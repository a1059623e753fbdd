#pragma once
#include <cstdint>

// The one random generator of the games. Every random choice of the board draws from it, in a
// fixed order, so a seed replays a whole game.
namespace Game {

void SeedRandom(uint32_t seed);
// One draw: 0 ... 32767.
int32_t Rand();
// Current state (tests and the simulator save and compare it).
uint32_t RandomState();

} // namespace Game
