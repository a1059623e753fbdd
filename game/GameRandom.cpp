#include "game/GameRandom.h"

namespace Game {

namespace {
uint32_t g_state = 1;
}

void SeedRandom(uint32_t seed) {
    g_state = seed;
}

int32_t Rand() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int32_t>((g_state >> 16) & 0x7FFFu);
}

uint32_t RandomState() {
    return g_state;
}

} // namespace Game
