#pragma once
#include <cstdint>

// What a scene object carries of its frame animation. The animations themselves (their actions,
// scripts and frame sheets) live in the renderer's animation module, which advances these.

// Playback state of one object. Indices are positions in the animation registry and in the
// animation's action list; -1 means none.
struct AnimationState {
    int32_t animation = -1;
    int32_t action = -1;
    uint32_t frame = 0;      // frame number on show
    int32_t scriptPos = 0;   // next command to run; -1 once the script has ended
    uint32_t lastUpdate = 0; // clock value (ms) up to which the state has been advanced
    uint32_t countdown = 0;  // ms left before the next command runs
    float pivotX = 0.0f;
    float pivotY = 0.0f;
    char lastEvent[32] = {}; // name of the last event command run ("BURN_END", ...)
};

// Source rectangle of a frame in its sheet; right and bottom exclusive.
struct FrameRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};
