// The 50 ms tick run from a host's idle calls: its pace follows the clock,
// not how often or how regularly the host idles.
#include <gtest/gtest.h>

#include "editor/tick_schedule.h"

namespace {

// Ticks run over one second of idle calls every period milliseconds, each
// late by up to jitter milliseconds in turn.
int32_t ticksInASecond(int32_t period, int32_t jitter) {
    TickSchedule schedule;
    schedule.start(0);
    int32_t ticks = 0;
    for (int32_t now = period, i = 0; now <= 1000; now += period, ++i) {
        ticks += schedule.due(now + (i % 2 == 0 ? 0 : jitter));
    }
    return ticks;
}

}  // namespace

TEST(TickSchedule, TwentyTicksASecondWhateverTheHostsIdleRate) {
    EXPECT_EQ(ticksInASecond(10, 0), 20);
    EXPECT_EQ(ticksInASecond(20, 7), 20);
    EXPECT_EQ(ticksInASecond(50, 9), 20);
    EXPECT_EQ(ticksInASecond(100, 0), 20);
    EXPECT_EQ(ticksInASecond(200, 0), 20);
}

TEST(TickSchedule, TheFirstTickFallsOneIntervalAfterTheStart) {
    TickSchedule schedule;
    schedule.start(1000);
    EXPECT_EQ(schedule.due(1000), 0);
    EXPECT_EQ(schedule.due(1049), 0);
    EXPECT_EQ(schedule.due(1050), 1);
    EXPECT_EQ(schedule.due(1050), 0);
}

TEST(TickSchedule, AfterAStallTheTicksResumeWithoutABurst) {
    TickSchedule schedule;
    schedule.start(0);
    EXPECT_EQ(schedule.due(5000), kMostTicksPerIdle);
    EXPECT_EQ(schedule.due(5020), 0);
    EXPECT_EQ(schedule.due(5050), 1);
    EXPECT_EQ(schedule.due(5100), 1);
}
