// Port values onto VST 2 values: every gain step and every whole Knee step
// (the editor's, the presets') crosses a port and back without a change of a
// bit; any other Knee lands on the nearest value a port can name.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/lv2/lv2_ports.h"

namespace formats::lv2 {
namespace {

constexpr int32_t kWholeKneeSteps = 127;
constexpr float kKneeMaximum = 127.0f;
constexpr uint32_t kKneeSamples = 1u << 20;

float storedKnee(float value) { return kKneeMaximum * value; }

TEST(Lv2Ports, EveryGainStepAndWholeKneeStepCrossesExactly) {
    for (int32_t step = kLowestGainStep; step <= kHighestGainStep; ++step) {
        const float value = normalisedGain(step);
        ASSERT_EQ(normalisedValue(kInGain, portValue(kInGain, value)), value) << step;
    }
    // The editor reports its whole Knee steps as k / 127.
    for (int32_t knee = 0; knee <= kWholeKneeSteps; ++knee) {
        const float reported = static_cast<float>(knee) / kKneeMaximum;
        ASSERT_EQ(storedKnee(*normalisedValue(kKnee, portValue(kKnee, reported))), static_cast<float>(knee));
    }
    // A percentage a user types stands for exactly that share of the range.
    EXPECT_EQ(normalisedValue(kKnee, 70.0f), 0.7f);
}

// Percentages in single precision cannot name every Knee the effect holds:
// one float away at most, and near a whole step (where percentages mean the
// step) within a hair.
TEST(Lv2Ports, AnyKneeLandsOnItsOwnValueOrTheNearest) {
    uint32_t exact = 0;
    for (uint32_t i = 0; i <= kKneeSamples; ++i) {
        const float value = static_cast<float>(i) / kKneeSamples;
        const float knee = storedKnee(value);
        const float landed = storedKnee(*normalisedValue(kKnee, portValue(kKnee, value)));
        if (landed == knee) {
            ++exact;
        } else if (std::fabs(knee - std::round(knee)) <= 2 * kKneeStepTolerance) {
            ASSERT_LE(std::fabs(landed - knee), kKneeStepTolerance) << value;
        } else {
            ASSERT_TRUE(landed == std::nextafter(knee, 0.0f) || landed == std::nextafter(knee, kKneeMaximum)) << value;
        }
    }
    EXPECT_GT(exact, kKneeSamples / 4 * 3);
}

TEST(Lv2Ports, ValuesOutsideTheRangeAreItsEndsAndNonNumbersNothing) {
    for (int32_t index = 0; index < kParameterCount; ++index) {
        const PortRange range = portRange(index);
        EXPECT_EQ(normalisedValue(index, INFINITY), normalisedValue(index, range.maximum)) << index;
        EXPECT_EQ(normalisedValue(index, -1e30f), normalisedValue(index, range.minimum)) << index;
        EXPECT_FALSE(normalisedValue(index, NAN).has_value()) << index;
    }
    EXPECT_EQ(normalisedValue(kIq, 0.25f), 1.0f);  // LV2's toggle: above 0 is on
}

}  // namespace
}  // namespace formats::lv2
