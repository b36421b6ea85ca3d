// The user's units onto the plug-in's normalised parameters: every gain step
// and every Knee value must land exactly where the plug-in will read it.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/shared/parameter_values.h"

namespace formats {
namespace {

constexpr float kUnityTableGain = 0.99999887f;
constexpr float kTableGainTolerance = 1e-7f;
constexpr int32_t kDefaultKneeNatural = 89;
constexpr float kForceChannelsMaximum = 2.0f;  // Stereo, Left, Right
constexpr int32_t kForceLeft = 1;
constexpr int32_t kForceRight = 2;

// The plug-in stores 1.0 * value and truncates 801 times it; a value in the
// middle of its step also survives a double-precision product.
TEST(ParameterValues, EveryGainStepRoundTrips) {
    for (int32_t step = kLowestGainStep; step <= kHighestGainStep; ++step) {
        const float value = normalisedGain(step);
        ASSERT_GE(value, 0.0f);
        ASSERT_LE(value, 1.0f);
        ASSERT_EQ(gainStepOf(value), step);
        ASSERT_EQ(static_cast<int32_t>(static_cast<double>(kGainStepScale) * value), step);
        const auto parsed = gainStepFromDecibels(gainStepDecibels(step));
        ASSERT_TRUE(parsed.has_value());
        ASSERT_EQ(*parsed, step);
    }
    EXPECT_EQ(normalisedGain(kHighestGainStep), 1.0f);
    EXPECT_NEAR(tableGain(kUnityGainStep), kUnityTableGain, kTableGainTolerance);
}

TEST(ParameterValues, GainOutsideTheTableOrBetweenStepsIsRefused) {
    for (const double decibels : {40.2, -40.1, 0.05, -0.01, 1e9, std::nan(""), HUGE_VAL}) {
        EXPECT_FALSE(gainStepFromDecibels(decibels).has_value()) << decibels;
    }
    EXPECT_EQ(gainStepFromDecibels(kLowestGainDb), kLowestGainStep);
    EXPECT_EQ(gainStepFromDecibels(kHighestGainDb), kHighestGainStep);
}

// Knee takes whole numbers in the editor; the value sent must multiply back
// to exactly that whole number in single precision.
TEST(ParameterValues, EveryKneeValueMultipliesBackExactly) {
    const float maximum = static_cast<float>(kKneeNaturalMaximum);
    for (int32_t natural = 0; natural <= static_cast<int32_t>(kKneeNaturalMaximum); ++natural) {
        ASSERT_EQ(maximum * normalisedKnee(natural), static_cast<float>(natural)) << natural;
    }
    EXPECT_EQ(kneeNaturalFromPercent(kDefaultKneePercent), kDefaultKneeNatural);
}

TEST(ParameterValues, ChannelModesSetAutoSelectAndForceChannels) {
    LimiterSettings settings;
    const auto truncated = [](float value, float maximum) {
        return static_cast<int32_t>(maximum * value);
    };
    const struct {
        ChannelMode mode;
        float autoSelect;
        int32_t force;
    } cases[] = {{ChannelMode::Auto, 1.0f, 0}, {ChannelMode::Stereo, 0.0f, 0},
                 {ChannelMode::Left, 0.0f, kForceLeft}, {ChannelMode::Right, 0.0f, kForceRight}};
    for (const auto& expected : cases) {
        settings.channels = expected.mode;
        const auto values = parameterValues(settings);
        EXPECT_EQ(values[kParamAutoSelect], expected.autoSelect);
        EXPECT_EQ(truncated(values[kParamForceChannels], kForceChannelsMaximum), expected.force);
    }
}

}  // namespace
}  // namespace formats
