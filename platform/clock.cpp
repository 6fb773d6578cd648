// The steady millisecond clock the game clock reads.
#include <ctime>

#include "platform/internal.h"

namespace {
TimeSource timeSource = nullptr;
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
