// Timing values for a rate and the latency they give.
#include <gtest/gtest.h>

#include "dsp/engine_timing.h"
#include "dsp/limiter_constants.h"

namespace {

TEST(Timing, DefaultsAre44100) {
    const EngineTiming t = timingForRate(44100.0f);
    EXPECT_EQ(t.rateRatio, 1.0f);
    EXPECT_EQ(t.rateInverse, 1.0f);
    EXPECT_EQ(t.segmentLength, 7.0f);
    EXPECT_EQ(t.rampLength, 19.0f);
    EXPECT_EQ(t.windowLength, 32.0f);
    EXPECT_EQ(latencyOf(t), 40);
}

TEST(Timing, SingleClassPrecisionRecomputation) {
    const EngineTiming t = timingForRate(48000.0f);
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

TEST(Timing, LengthsAndLatencyAtCommonRates) {
    const Row rows[] = {{22050, 3, 9, 16, 20},   {32000, 5, 13, 23, 29},   {44100, 7, 19, 32, 40},
                        {48000, 7, 20, 34, 43},  {88200, 14, 38, 64, 80},  {96000, 15, 41, 69, 87},
                        {176400, 28, 76, 128, 160}, {192000, 30, 82, 139, 174}};
    for (const Row& row : rows) {
        const EngineTiming t = timingForRate(row.rate);
        EXPECT_EQ(static_cast<int32_t>(t.segmentLength), row.S) << row.rate;
        EXPECT_EQ(static_cast<int32_t>(t.rampLength), row.R) << row.rate;
        EXPECT_EQ(static_cast<int32_t>(t.windowLength), row.W) << row.rate;
        EXPECT_EQ(latencyOf(t), row.latency) << row.rate;
    }
}

}  // namespace
