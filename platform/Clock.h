#pragma once
#include <cstdint>
#include <functional>

namespace Platform {

// Milliseconds from a monotonic clock, wrapping at 2^32 like the original system clock.
uint32_t TimeMs();

// Tests and the simulator drive time themselves; nullptr restores the real clock. A replaceable
// default, not a hook: without one the real clock runs.
using TimeSource = std::function<uint32_t()>;
void SetTimeSource(TimeSource source);

// Sleeps the calling thread (used only for pacing presentation where vsync is missing).
void SleepMs(uint32_t ms);

} // namespace Platform
