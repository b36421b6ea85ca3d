// Values to frames: the needle's scale and ballistics, lamps and knobs.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "editor/face_mapping.h"
#include "editor/skin_layout.h"

TEST(NeedleScale, BreakpointsLandOnTheirPrintedFramesStretched) {
    EXPECT_EQ(needleTargetFrame(1.0f), 81);
    EXPECT_EQ(needleTargetFrame(0.01f), 0);
    EXPECT_EQ(needleTargetFrame(0.001f), 0);
    EXPECT_EQ(needleTargetFrame(0.0f), 0);
    EXPECT_EQ(needleTargetFrame(0.5012f), 43);  // trunc(43 * 1.01)
    EXPECT_EQ(needleTargetFrame(0.1f), 23);
    EXPECT_EQ(needleTargetFrame(0.8912f), 75);
    // Between two breakpoints the position is interpolated.
    EXPECT_EQ(needleTargetFrame(0.75f), 66);
}

TEST(NeedleScale, FrameNeverFallsAsTheGainRises) {
    int32_t previous = 0;
    for (float g = 0.0f; g <= 1.0f; g += 0.0005f) {
        const int32_t frame = needleTargetFrame(g);
        ASSERT_GE(frame, previous) << g;
        ASSERT_LE(frame, kNeedleRestFrame);
        previous = frame;
    }
}

TEST(NeedleBallistics, FallsAtOnceAndReturnsToRestInTwentyTicks) {
    NeedleState needle{81.0f, 3.0f};
    advanceNeedle(needle, 0);
    EXPECT_EQ(needleSlice(needle.position), 0);
    EXPECT_EQ(needle.speed, 0.0f);
    const std::vector<int32_t> expected = {0, 0, 1, 3, 5, 7, 10, 14, 18, 22, 27, 33, 39, 45, 51, 57, 63, 69, 75, 81};
    std::vector<int32_t> shown;
    for (size_t tick = 0; tick < expected.size(); ++tick) {
        advanceNeedle(needle, kNeedleRestFrame);
        shown.push_back(needleSlice(needle.position));
    }
    EXPECT_EQ(shown, expected);
    advanceNeedle(needle, kNeedleRestFrame);
    EXPECT_EQ(needle.position, 81.0f);
}

TEST(NeedleBallistics, OvershootIsTakenBackAtTheNextTick) {
    NeedleState needle{10.0f, 6.0f};
    advanceNeedle(needle, 12);
    EXPECT_EQ(needle.position, 16.0f);
    advanceNeedle(needle, 12);
    EXPECT_EQ(needle.position, 12.0f);
    EXPECT_EQ(needle.speed, 0.0f);
}

TEST(NeedleBallistics, SlicesShiftOnePixelPerFrameWithAnExtraStepAtForty) {
    EXPECT_EQ(needleSliceX(0), 51);
    EXPECT_EQ(needleSliceX(39), 90);
    EXPECT_EQ(needleSliceX(40), 92);
    EXPECT_EQ(needleSliceX(81), 133);
}

TEST(Lamps, IqLampRisesToFullInTwelveTicksAndNeverShowsAnEmptyDisc) {
    float level = 0.0f;
    EXPECT_EQ(lampFrame(level), 1);
    std::vector<int32_t> frames;
    for (int tick = 0; tick < 12; ++tick) {
        level = nextIqLampLevel(level, true);
        frames.push_back(lampFrame(level));
    }
    EXPECT_EQ(frames.back(), 15);
    EXPECT_LT(frames[10], 15);
    for (int tick = 0; tick < 20; ++tick) {
        level = nextIqLampLevel(level, false);
    }
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(lampFrame(level), 1);
}

TEST(Lamps, KneeLampFollowsTheReductionAndFadesBackInTenTicks) {
    EXPECT_EQ(kneeLampFrame(1.0f), 1);
    EXPECT_EQ(kneeLampFrame(0.0f), 15);
    float lamp = 0.0f;
    int ticks = 0;
    while (kneeLampFrame(lamp) > 1) {
        lamp = raisedKneeLamp(lamp);
        ++ticks;
    }
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(raisedKneeLamp(0.95f), 1.0f);
}

TEST(Lamps, OutOfRangeLevelsStayOnExistingFrames) {
    EXPECT_EQ(kneeLampFrame(2.0f), 1);
    EXPECT_EQ(kneeLampFrame(-3.0f), 15);
    EXPECT_EQ(lampFrame(std::nanf("")), 1);
}

TEST(Knobs, GainKnobSpansItsRangeWithUnityStraightUp) {
    EXPECT_EQ(gainKnobFrame(0.0099999886f), 8);
    EXPECT_EQ(gainKnobFrame(0.99999887f), 40);
    EXPECT_EQ(gainKnobFrame(101.15783f), 72);
    // Zero or absurd gains from a confused host still pick a frame of the strip.
    EXPECT_EQ(gainKnobFrame(0.0f), 0);
    EXPECT_EQ(gainKnobFrame(1e30f), kKnobFrames - 1);
}

TEST(Knobs, KneeKnobSpansNineToSeventyOne) {
    EXPECT_EQ(kneeKnobFrame(0.0f), 9);
    EXPECT_EQ(kneeKnobFrame(89.0f), 53);
    EXPECT_EQ(kneeKnobFrame(127.0f), 71);
    EXPECT_EQ(kneeKnobFrame(-500.0f), 0);
    EXPECT_EQ(kneeKnobFrame(5000.0f), kKnobFrames - 1);
}

TEST(Switches, OnlyAValueTruncatingToOneIsOn) {
    EXPECT_FALSE(switchIsOn(0.99f));
    EXPECT_TRUE(switchIsOn(1.0f));
    EXPECT_TRUE(switchIsOn(1.5f));
    EXPECT_FALSE(switchIsOn(2.0f));
    EXPECT_FALSE(switchIsOn(std::nanf("")));
    EXPECT_FALSE(truncatesToNonZero(0.99f));
    EXPECT_TRUE(truncatesToNonZero(2.0f));
    EXPECT_TRUE(truncatesToNonZero(-1.0f));
}
