// The per-sample units of the gain stages: input admission, follower, segment
// minima and ramps, smoother.
#include <gtest/gtest.h>

#include <limits>

#include "dsp/gain_stages.h"

using namespace quillo;

namespace {

TEST(Follower, KneeZeroNeverAttacks) {
    const SoftCoefficients c = softCoefficients(0.0f, 0, 1.0f);
    for (int32_t iq = 0; iq < 2; ++iq) {
        SoftCoefficients ci = c;
        ci.iq = iq;
        float s = 1.0f;
        for (float x : {0.1f, 2.0f, 50.0f, -1000.0f, 1e20f, 0.0f}) {
            s = softFollowerStep(ci, s, x);
            EXPECT_EQ(s, 1.0f);
        }
    }
}

TEST(Follower, CoefficientsFromKneeAndRate) {
    // The default knee's figures, and the rates scaled by the rate inverse.
    const SoftCoefficients c = softCoefficients(89.0f, 0, 1.0f);
    EXPECT_NEAR(c.k, 0.7008f, 1e-4);
    EXPECT_NEAR(c.kc, 0.2753f, 1e-4);
    EXPECT_EQ(c.attack, kAttackRate);
    EXPECT_EQ(c.release, kReleaseRate);
    EXPECT_EQ(c.releaseFloor, kReleaseFloor);
    EXPECT_EQ(softCoefficients(127.0f, 0, 1.0f).k, 127.0f * kKneeScale);
    EXPECT_NEAR(softCoefficients(127.0f, 0, 1.0f).k, 1.0f, 1e-6);
    const SoftCoefficients slow = softCoefficients(89.0f, 0, 0.5f);
    EXPECT_EQ(slow.attack, kAttackRate * 0.5f);
    EXPECT_EQ(slow.releaseFloor, kReleaseFloor * 0.5f);
}

TEST(Follower, AttackStepLeftToRight) {
    const SoftCoefficients c = softCoefficients(89.0f, 0, 1.0f);
    const float s = 0.9f;
    const float x = 2.5f;
    const float t = 1.0f / x;
    const float expected = s - (((s - t) * (s + 1.0f)) * c.attack) * c.kc;
    EXPECT_EQ(softFollowerStep(c, s, x), expected);
    EXPECT_EQ(softFollowerStep(c, s, -x), expected);
}

TEST(Follower, ReleaseStepByStep) {
    const SoftCoefficients c = softCoefficients(89.0f, 0, 1.0f);
    const float s = 0.4f;
    const float t = 1.0f / 1.5f;
    float rel = (kReleaseOffset - c.kc) * c.release;
    if (rel < c.releaseFloor) rel = c.releaseFloor;
    const float expected =
        s + ((((t - s) * (1.0f - kReleaseBend * s)) * (kReleaseDepthFloor + kReleaseDepthScale * s)) * rel);
    EXPECT_EQ(softFollowerStep(c, s, 1.5f), expected);
    EXPECT_GT(expected, s);
}

// The short release is its long form, s + ((t - s) - 0.9 B (t - s)) (1 - 0.8 (1 - s))
// rel with B = 1 - ((1 - s) + 0.3 s) floored at 0, to within a few units in the
// last place of the new state, for states over [0, 1] and targets above them.
TEST(Follower, ShortReleaseIsTheLongForm) {
    constexpr float kBendWeight = 0.3f;
    constexpr float kBendScale = 0.9f;
    constexpr float kUlps = 4.0f;
    const SoftCoefficients c = softCoefficients(127.0f, 0, 1.0f);
    const float rel = softReleaseRate(c, c.kc);
    for (int32_t i = 0; i <= 1000; ++i) {
        const float s = static_cast<float>(i) / 1000.0f;
        for (float x : {1.0f, 1.25f, 3.0f, 40.0f}) {
            const float t = 1.0f / x;
            if (s > t) continue;
            float b = 1.0f - ((1.0f - s) + kBendWeight * s);
            if (b < 0.0f) b = 0.0f;
            const float d = t - s;
            const float longStep = ((d - (kBendScale * b) * d) * (1.0f - kReleaseDepthScale * (1.0f - s))) * rel;
            const float longState = s + longStep;
            EXPECT_NEAR(softFollowerStep(c, s, x), longState, kUlps * std::numeric_limits<float>::epsilon() * longState)
                << s << " " << x;
        }
    }
}

TEST(Follower, IqFollowsTheState) {
    SoftCoefficients c = softCoefficients(127.0f, 1, 1.0f);
    // At s = 1 the rate factor is 2 * (kc * (2 - k))^2 in exact terms.
    const float v = c.kc * 1.0f + (c.k * 1.0f) * (1.0f - 1.0f) + c.kcTail;
    float m = kIqRateScale * (v * v);
    if (m > 1.0f) m = 1.0f;
    EXPECT_EQ(softRateFactor(c, 1.0f), m);
    EXPECT_EQ(m, 1.0f);  // knee 127: 2 * 0.8^2 is above 1, clamped
    c.iq = 0;
    EXPECT_EQ(softRateFactor(c, 0.3f), c.kc);
}

TEST(Follower, FlushAndClamp) {
    // A slow rate makes the attack overshoot below zero: the state becomes 0.
    const SoftCoefficients c = softCoefficients(127.0f, 0, 100.0f);
    EXPECT_EQ(softFollowerStep(c, 1.0f, 1e12f), 0.0f);
    // The state never leaves [0, 1].
    const SoftCoefficients d = softCoefficients(127.0f, 1, 6.0f);
    float s = 1.0f;
    for (int i = 0; i < 1000; ++i) {
        s = softFollowerStep(d, s, (i % 3) ? 0.1f : 30.0f);
        EXPECT_GE(s, 0.0f);
        EXPECT_LE(s, 1.0f);
    }
}

TEST(Segments, StoreRotationAndRamp) {
    SegmentState st;
    st.runningMin[0] = 0.5f;
    st.runningMin[1] = 0.25f;
    st.counter = 7;
    const RampValues left = endSegment(st, 0, 7.0f);
    const RampValues right = endSegment(st, 1, 7.0f);
    // Slots (4, 3, 2, 1, 0): the minimum reaches slots 4, 3, 2 and, being lower
    // than the previous segment's, slot 1 too; the ramp runs from slot 1 to slot 0.
    EXPECT_EQ(st.minima[4][0], 0.5f);
    EXPECT_EQ(st.minima[3][0], 0.5f);
    EXPECT_EQ(st.minima[2][0], 0.5f);
    EXPECT_EQ(st.minima[1][0], 0.5f);
    EXPECT_EQ(st.minima[0][0], 1.0f);
    EXPECT_EQ(left.start, 0.5f);
    EXPECT_EQ(left.step, (0.5f - 1.0f) / 7.0f);
    EXPECT_EQ(right.start, 0.25f);
    EXPECT_EQ(st.previousMin[0], 0.5f);
    EXPECT_EQ(st.runningMin[0], 1.0f);
    finishSegment(st);
    EXPECT_EQ(st.counter, 0);
    const int32_t slots[5] = {5, 4, 3, 2, 1};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(st.slots[i], slots[i]);
    for (int i = 0; i < 5; ++i) finishSegment(st);
    EXPECT_EQ(st.slots[0], 0);  // 9 wraps to 0
    EXPECT_EQ(st.slots[4], 6);

    // The next segment, not lower than this one, leaves the oldest slot alone.
    SegmentState st2;
    st2.previousMin[0] = 0.3f;
    st2.runningMin[0] = 0.4f;
    st2.minima[1][0] = 0.9f;
    endSegment(st2, 0, 7.0f);
    EXPECT_EQ(st2.minima[1][0], 0.9f);
}

TEST(Segments, RampIsARunningValueWalkingBackward) {
    float ring[2 * 12];
    for (float& v : ring) v = -1.0f;
    const RampValues ramp{0.75f, 0.0625f};
    fillRamp(ring, 2, 12, 2, 7, ramp);  // 8 positions from 2 backward, wrapping
    const int32_t positions[8] = {2, 1, 0, 11, 10, 9, 8, 7};
    float value = 0.75f;
    for (int32_t j = 0; j < 8; ++j) {
        EXPECT_EQ(ring[2 * positions[j]], value) << j;
        value = value - 0.0625f;
    }
    EXPECT_EQ(ring[2 * 6], -1.0f);
    EXPECT_EQ(ring[2 * 3], -1.0f);
    EXPECT_EQ(ring[1], -1.0f);  // the other channel is untouched
}

// A step that carries the running value below 0 writes 0 there: a negative
// gain would flip the sample.
TEST(Segments, RampNeverWritesANegativeGain) {
    float ring[2 * 8];
    fillRamp(ring, 2, 8, 7, 7, RampValues{0.5f, 0.125f});
    for (int32_t position = 0; position < 8; ++position) {
        EXPECT_EQ(ring[2 * position], position >= 3 ? 0.125f * static_cast<float>(position - 3) : 0.0f) << position;
    }
}

TEST(Smoother, FallsAtFourTimesTheRate) {
    SmootherState st;
    const float out = smootherStep(st, 0.5f, 1.0f, 19.0f);
    const float slope = (1.0f - 0.5f) / 19.0f;
    EXPECT_TRUE(st.falling);
    EXPECT_EQ(st.slope, slope);
    EXPECT_EQ(st.target, 0.5f);
    EXPECT_EQ(out, 1.0f - kFallSpeedup * slope);
    // It keeps falling until it reaches the target, never below 0.
    float env = out;
    for (int i = 0; i < 10; ++i) env = smootherStep(st, 0.5f, 1.0f, 19.0f);
    EXPECT_FALSE(st.falling);
    EXPECT_LE(env, 0.5f);
    EXPECT_GE(env, 0.0f);
}

TEST(Smoother, RisesByAFractionAndNeverAboveTheCurve) {
    SmootherState st;
    st.env = 0.5f;
    st.target = 0.5f;
    float out = smootherStep(st, 1.0f, 1.0f, 19.0f);
    EXPECT_EQ(out, 0.5f + (1.0f - 0.5f) / 19.0f);
    EXPECT_EQ(st.target, out);
    // The curve here caps it.
    out = smootherStep(st, 1.0f, 0.52f, 19.0f);
    EXPECT_EQ(out, 0.52f);
    out = smootherStep(st, 1.0f, 0.3f, 19.0f);
    EXPECT_EQ(out, 0.3f);
}

TEST(Flush, BelowTwoToMinus32BecomesZero) {
    EXPECT_EQ(flushTiny(1e-10f), 0.0f);
    EXPECT_EQ(flushTiny(-1e-10f), 0.0f);
    EXPECT_EQ(flushTiny(kTinyThreshold), kTinyThreshold);
    EXPECT_EQ(flushTiny(-kTinyThreshold), -kTinyThreshold);
    EXPECT_TRUE(std::signbit(flushTiny(-0.0f)));  // zero keeps its sign
    EXPECT_FALSE(std::signbit(flushTiny(-1e-12f)));
}

TEST(Flush, InputAdmission) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float fullGain = 101.15783f;
    auto isPositiveZero = [](float v) { return v == 0.0f && !std::signbit(v); };
    // Not a finite number, or carried past the float range by the gain: silence.
    for (float x : {nan, -nan, inf, -inf}) {
        EXPECT_TRUE(isPositiveZero(admitInput(x, 1.0f))) << x;
        EXPECT_TRUE(isPositiveZero(admitInput(x, fullGain))) << x;
    }
    EXPECT_TRUE(isPositiveZero(admitInput(1e38f, fullGain)));
    EXPECT_TRUE(isPositiveZero(admitInput(-1e38f, fullGain)));
    // Every finite product passes as the plain product, flushed.
    EXPECT_EQ(admitInput(kLargestFinite, 1.0f), kLargestFinite);
    EXPECT_EQ(admitInput(-1e36f, fullGain), -1e36f * fullGain);
    EXPECT_EQ(admitInput(0.5f, 0.99999887f), 0.5f * 0.99999887f);
    EXPECT_TRUE(isPositiveZero(admitInput(1e-10f, 1.0f)));
    EXPECT_TRUE(isPositiveZero(admitInput(-1e-12f, fullGain)));
    EXPECT_TRUE(std::signbit(admitInput(-0.0f, fullGain)));
}

}  // namespace
