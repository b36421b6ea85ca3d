// Process-wide timing values and the latency they give.
#include <gtest/gtest.h>

#include "dsp/engine_timing.h"
#include "dsp/limiter_constants.h"

namespace {

class Timing : public ::testing::Test {
protected:
    void TearDown() override { resetEngineTiming(); }
};

TEST_F(Timing, DefaultsAre44100) {
    resetEngineTiming();
    const EngineTiming t = engineTiming();
    EXPECT_EQ(t.rateRatio, 1.0f);
    EXPECT_EQ(t.rateInverse, 1.0f);
    EXPECT_EQ(t.segmentLength, 7.0f);
    EXPECT_EQ(t.rampLength, 19.0f);
    EXPECT_EQ(t.windowLength, 32.0f);
    EXPECT_EQ(engineLatency(), 40);
}

TEST_F(Timing, SingleClassPrecisionRecomputation) {
    applyEngineSampleRate(48000.0f);
    const EngineTiming t = engineTiming();
    const float r = 48000.0f * quillo::kRateConstant;
    EXPECT_EQ(t.rateRatio, r);
    EXPECT_EQ(t.rateInverse, 44100.0f / 48000.0f);
    EXPECT_EQ(t.segmentLength, 7.0f * r);
    EXPECT_EQ(t.rampLength, 19.0f * r);
    EXPECT_EQ(t.windowLength, 32.0f * r);
}

struct Row {
    float rate;
    int32_t S, R, W, latency;
};

TEST_F(Timing, LengthsAndLatencyAtCommonRates) {
    const Row rows[] = {{22050, 3, 9, 16, 20},   {32000, 5, 13, 23, 29},   {44100, 7, 19, 32, 40},
                        {48000, 7, 20, 34, 43},  {88200, 14, 38, 64, 80},  {96000, 15, 41, 69, 87},
                        {176400, 28, 76, 128, 160}, {192000, 30, 82, 139, 174}};
    for (const Row& row : rows) {
        applyEngineSampleRate(row.rate);
        const EngineTiming t = engineTiming();
        EXPECT_EQ(static_cast<int32_t>(t.segmentLength), row.S) << row.rate;
        EXPECT_EQ(static_cast<int32_t>(t.rampLength), row.R) << row.rate;
        EXPECT_EQ(static_cast<int32_t>(t.windowLength), row.W) << row.rate;
        EXPECT_EQ(engineLatency(), row.latency) << row.rate;
        EXPECT_EQ(latencyOf(timingForRate(row.rate)), row.latency) << row.rate;
    }
}

TEST_F(Timing, ResetRestoresDefaults) {
    applyEngineSampleRate(96000.0f);
    EXPECT_EQ(engineLatency(), 87);
    resetEngineTiming();
    EXPECT_EQ(engineLatency(), 40);
}

}  // namespace
