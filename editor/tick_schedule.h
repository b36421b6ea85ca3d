// The editor's 50 ms tick where no timer of the window system delivers it and
// the host's idle calls must stand in: from the elapsed time at each idle, how
// many ticks are due.
#pragma once

#include <cstdint>

constexpr int32_t kTickIntervalMs = 50;
// Ticks missed while the host did not idle are run at the next idle, up to this
// many (a fifth of a second): the needle keeps its pace with a host that idles
// slower than the tick, and after a longer stall it resumes without a burst.
constexpr int32_t kMostTicksPerIdle = 4;

class TickSchedule {
public:
    // The first tick falls one interval after the start, as a timer's would.
    void start(int64_t nowMs);
    // The ticks to run at now, 0 to kMostTicksPerIdle; counts them as run.
    int32_t due(int64_t nowMs);

private:
    int64_t next = 0;
};
