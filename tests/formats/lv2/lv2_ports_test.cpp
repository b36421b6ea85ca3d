// Port values onto VST 2 values: every value the effect can be given in steps
// (gain steps, whole Knee steps, the switches' and choices' values) crosses a
// port and back without a change of a bit; anything else a host sends lands
// on the nearest value the effect holds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "formats/lv2/lv2_ports.h"

namespace formats::lv2 {
namespace {

constexpr int32_t kWholeKneeSteps = 127;
constexpr float kKneeMaximum = 127.0f;
constexpr uint32_t kKneeSamples = 1u << 20;

float storedKnee(float value) { return kKneeMaximum * value; }

TEST(Lv2Ports, EveryGainStepIsItsTenthOfADecibel) {
    for (int32_t step = kLowestGainStep; step <= kHighestGainStep; ++step) {
        const float port = portValue(kParamInGain, normalisedGain(step));
        ASSERT_EQ(port, static_cast<float>(gainStepDecibels(step))) << step;
        ASSERT_EQ(vst2Value(kParamInGain, port), normalisedGain(step)) << step;
        // Any value within the step carries the step.
        const float inside = static_cast<float>((step + 0.9) / kGainStepScale);
        if (step < kHighestGainStep) {
            ASSERT_EQ(gainStepOf(*vst2Value(kParamInGain, portValue(kParamInGain, inside))), step);
        }
    }
}

// The editor's Knee steps are whole numbers; it reports them as k / 127.
TEST(Lv2Ports, EveryWholeKneeStepCrossesExactly) {
    for (int32_t knee = 0; knee <= kWholeKneeSteps; ++knee) {
        const float value = normalisedKnee(knee);
        ASSERT_EQ(vst2Value(kParamKnee, portValue(kParamKnee, value)), value) << knee;
        const float reported = static_cast<float>(knee) / kKneeMaximum;
        ASSERT_EQ(storedKnee(*vst2Value(kParamKnee, portValue(kParamKnee, reported))), static_cast<float>(knee));
    }
    // A percentage a user types stands for exactly that share of the range.
    EXPECT_EQ(vst2Value(kParamKnee, 70.0f), 0.7f);
    EXPECT_EQ(vst2Value(kParamKnee, 33.3f), static_cast<float>(33.3f / 100.0));
}

// Percentages in single precision cannot name every Knee the effect holds;
// the port value found is the one whose Knee is nearest: one float away at
// most, and near a whole step (where percentages mean the step) within a hair.
TEST(Lv2Ports, AnyKneeLandsOnItsOwnValueOrTheNextFloat) {
    uint32_t exact = 0;
    for (uint32_t i = 0; i <= kKneeSamples; ++i) {
        const float value = static_cast<float>(i) / kKneeSamples;
        const float carried = *vst2Value(kParamKnee, portValue(kParamKnee, value));
        const float knee = storedKnee(value);
        const float landed = storedKnee(carried);
        if (landed == knee) {
            ++exact;
            continue;
        }
        if (std::fabs(knee - std::round(knee)) <= 2 * kKneeStepTolerance) {
            ASSERT_LE(std::fabs(landed - knee), kKneeStepTolerance) << value;
        } else {
            ASSERT_TRUE(landed == std::nextafter(knee, 0.0f) || landed == std::nextafter(knee, kKneeMaximum))
                << value << " gives " << landed << " for " << knee;
        }
    }
    EXPECT_GT(exact, kKneeSamples / 4 * 3);
    for (float value : {0.2f, 0.3f, 89.0f / 127.0f, 10.0f / 127.0f}) {
        EXPECT_EQ(vst2Value(kParamKnee, portValue(kParamKnee, value)), value);
    }
}

TEST(Lv2Ports, SwitchesAndChannelChoices) {
    for (int32_t index : {kParamIq, kParamStereoLink, kParamAutoSelect}) {
        EXPECT_EQ(portValue(index, 1.0f), 1.0f);
        EXPECT_EQ(portValue(index, 0.99f), 0.0f);  // the effect truncates
        EXPECT_EQ(vst2Value(index, 1.0f), 1.0f);
        EXPECT_EQ(vst2Value(index, 0.25f), 1.0f);  // LV2's toggle: above 0 is on
        EXPECT_EQ(vst2Value(index, 0.0f), 0.0f);
        EXPECT_EQ(vst2Value(index, -3.0f), 0.0f);
    }
    const float choices[] = {0.0f, 0.5f, 1.0f};
    for (int32_t choice = 0; choice <= kLastChannelChoice; ++choice) {
        EXPECT_EQ(vst2Value(kParamForceChannels, static_cast<float>(choice)), choices[choice]);
        EXPECT_EQ(portValue(kParamForceChannels, choices[choice]), static_cast<float>(choice));
    }
    EXPECT_EQ(portValue(kParamForceChannels, 0.49f), 0.0f);
    EXPECT_EQ(vst2Value(kParamForceChannels, 1.4f), 0.5f);
}

TEST(Lv2Ports, ValuesOutsideTheRangeAreItsEndsAndNonNumbersNothing) {
    for (int32_t index = 0; index < kParamCount; ++index) {
        const PortRange range = portRange(index);
        EXPECT_EQ(vst2Value(index, range.maximum + 1e6f), vst2Value(index, range.maximum)) << index;
        EXPECT_EQ(vst2Value(index, INFINITY), vst2Value(index, range.maximum)) << index;
        EXPECT_EQ(vst2Value(index, -INFINITY), vst2Value(index, range.minimum)) << index;
        EXPECT_FALSE(vst2Value(index, NAN).has_value()) << index;
        for (float value : {0.0f, 1.0f, -1.0f, 2.0f, NAN}) {
            const float port = portValue(index, value);
            EXPECT_TRUE(port >= range.minimum && port <= range.maximum) << index << " " << value;
        }
    }
    EXPECT_EQ(vst2Value(kParamInGain, -40.0f), normalisedGain(kLowestGainStep));
    EXPECT_EQ(vst2Value(kParamInGain, 40.1f), 1.0f);
    EXPECT_FALSE(vst2Value(kParamCount, 0.0f).has_value());
}

TEST(Lv2Ports, PortIndicesFollowTheParameters) {
    for (int32_t index = 0; index < kParamCount; ++index) {
        EXPECT_TRUE(isParameterPort(portOfParameter(index)));
        EXPECT_EQ(parameterOfPort(portOfParameter(index)), index);
    }
    for (uint32_t port : {kInputLeft, kOutputRight, kLatencyPort, kKneeLampPort, kPortCount}) {
        EXPECT_FALSE(isParameterPort(port)) << port;
    }
}

}  // namespace
}  // namespace formats::lv2
