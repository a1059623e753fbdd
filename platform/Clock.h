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

// Microseconds of the steady clock, whatever source TimeMs is given: presentation is paced on real
// time, finer than a millisecond so that waits do not drift from the display's rate.
int64_t SteadyUs();

// Sleeps the calling thread (used only for pacing presentation where vsync is missing).
void SleepUs(int64_t us);

} // namespace Platform
