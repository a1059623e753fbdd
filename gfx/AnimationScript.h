#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/Animation.h"

// The action script language: "frame(n);", "delay(ms);", "event(NAME);", "goto(index);", one
// command list per action, run in 5 ms ticks against an AnimationState.

struct ScriptCommand {
    enum Kind : uint32_t { Frame = 0, Delay = 1, Event = 2, Goto = 3 };
    uint32_t kind = Frame;
    int32_t argument = 0; // frame number, milliseconds, -1 (event), command index (goto)
    char eventName[32] = {};
};

namespace AnimationScript {

inline constexpr uint32_t kTickMs = 5;

// Compiles `source` into `commands`. Returns -1 on success; otherwise the 0-based line at which
// compilation failed (the error is logged and `commands` is left empty).
int32_t Compile(const std::string& source, std::vector<ScriptCommand>& commands);

// Starts the command list on the state: frame of command 0 (0 for an empty list), position 0,
// last update = now. The countdown keeps what it held.
void Start(const std::vector<ScriptCommand>& commands, AnimationState& state, uint32_t now);

// Advances a started state to `now`: at most one command per 5 ms tick once the countdown is 5
// or less; while `frozen` time passes without effect.
void Advance(const std::vector<ScriptCommand>& commands, uint32_t playingDelay, AnimationState& state,
             uint32_t now, bool frozen);

} // namespace AnimationScript
