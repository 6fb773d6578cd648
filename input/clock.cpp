// The steady millisecond clock and the game clock read from it.
#include "input/clock.h"

#include <ctime>

int64_t clockBase = 0;  // ms

namespace {
TimeSource timeSource = nullptr;
ClockReader clockReader = nullptr;
} // namespace

int64_t steadyClockMs() {
    if (timeSource)
        return timeSource();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + int64_t(ts.tv_nsec) / 1000000;
}

void setTimeSource(TimeSource source) {
    timeSource = source;
}

int32_t steadyGameClock() {
    const int64_t now = steadyClockMs();
    if (clockBase == 0) {
        clockBase = now;
        return 0;
    }
    // Low 32 bits only: the reading wraps after 2^32 ms.
    return int32_t(uint32_t(now) - uint32_t(clockBase));
}

void setClockReader(ClockReader reader) {
    clockReader = reader;
}

int32_t gameClock() {
    return clockReader ? clockReader() : steadyGameClock();
}
