#include "platform/Clock.h"

#include <chrono>
#include <thread>
#include <utility>

namespace Platform {

namespace {
TimeSource g_source;
}

uint32_t TimeMs() {
    if (g_source) return g_source();
    using namespace std::chrono;
    // Truncation to 32 bits gives the same wrap-around as the original millisecond clock.
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SetTimeSource(TimeSource source) {
    g_source = std::move(source);
}

int64_t SteadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepUs(int64_t us) {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace Platform
