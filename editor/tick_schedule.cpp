#include "editor/tick_schedule.h"

void TickSchedule::start(int64_t nowMs) {
    next = nowMs + kTickIntervalMs;
}

int32_t TickSchedule::due(int64_t nowMs) {
    if (nowMs < next) {
        return 0;
    }
    const int64_t elapsed = (nowMs - next) / kTickIntervalMs + 1;
    if (elapsed > kMostTicksPerIdle) {
        // The ticks beyond the limit are dropped: the rhythm restarts from now.
        next = nowMs + kTickIntervalMs;
        return kMostTicksPerIdle;
    }
    next += elapsed * kTickIntervalMs;
    return static_cast<int32_t>(elapsed);
}
