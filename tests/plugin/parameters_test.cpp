// The parameters as every format presents them: descriptors that agree with
// what the effect tells a VST 2 host, conversions from the user's units that
// land exactly where the effect will read them, and texts for any value that
// are the effect's own and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "plugin/parameters.h"

namespace {

constexpr float kUnityTableGain = 0.99999887f;
constexpr float kTableGainTolerance = 1e-7f;
constexpr int32_t kDefaultKneeNatural = 89;
constexpr double kDefaultKneePercent = 70.0;
constexpr int32_t kSweep = 2000;

std::string effectText(LimiterPlugin& effect, int32_t opcode, int32_t index) {
    char text[64];
    std::memset(text, 0x7f, sizeof text);
    text[sizeof text - 1] = '\0';
    effect.dispatch(opcode, index, 0, text, 0.0f);
    return text;
}

TEST(Parameters, DescriptorsAreTheEffectsOwnAndIdsNeverMove) {
    LimiterPlugin effect(nullptr);
    for (int32_t index = 0; index < kParameterCount; ++index) {
        const ParameterDescriptor& p = parameterAt(index);
        EXPECT_EQ(p.id, static_cast<uint32_t>(index));
        EXPECT_EQ(p.name, trimmed(effectText(effect, effGetParamName, index)));
        EXPECT_EQ(p.unit, trimmed(effectText(effect, effGetParamLabel, index)));
        EXPECT_EQ(p.start, effect.getParameterValue(index)) << index;
        EXPECT_FALSE(p.bypass);
        EXPECT_EQ(parameterOfId(p.id), &p);
    }
    EXPECT_EQ(parameterAt(kParameterCount).id, 100u);
    EXPECT_TRUE(parameterAt(kParameterCount).bypass);
    EXPECT_EQ(parameterOfId(101), nullptr);
}

// The effect stores 1.0 * value and truncates 801 times it; a value in the
// middle of its step also survives a double-precision product.
TEST(Parameters, EveryGainStepRoundTrips) {
    for (int32_t step = kLowestGainStep; step <= kHighestGainStep; ++step) {
        const float value = normalisedGain(step);
        ASSERT_GE(value, 0.0f);
        ASSERT_LE(value, 1.0f);
        ASSERT_EQ(gainStepOf(value), step);
        ASSERT_EQ(static_cast<int32_t>(static_cast<double>(kHighestGainStep) * value), step);
        ASSERT_EQ(gainStepFromDecibels(gainStepDecibels(step)), step);
        ASSERT_EQ(normalisedFromUser(kInGain, static_cast<float>(gainStepDecibels(step))), value);
        ASSERT_EQ(normalisedFromUser(kInGain, userFromNormalised(kInGain, value)), value);
    }
    EXPECT_EQ(normalisedGain(kHighestGainStep), 1.0f);
    EXPECT_NEAR(tableGain(kUnityGainStep), kUnityTableGain, kTableGainTolerance);
    for (const double decibels : {40.2, -40.1, 0.05, -0.01, 1e9, std::nan(""), HUGE_VAL}) {
        EXPECT_FALSE(gainStepFromDecibels(decibels).has_value()) << decibels;
    }
}

// Knee takes whole numbers in the editor; the value sent must multiply back
// to exactly that whole number in single precision.
TEST(Parameters, EveryKneeValueMultipliesBackExactly) {
    const float maximum = static_cast<float>(kKneeNaturalMaximum);
    for (int32_t natural = 0; natural <= static_cast<int32_t>(kKneeNaturalMaximum); ++natural) {
        ASSERT_EQ(maximum * normalisedKnee(natural), static_cast<float>(natural)) << natural;
    }
    EXPECT_EQ(kneeNaturalFromPercent(kDefaultKneePercent), kDefaultKneeNatural);
}

TEST(Parameters, DisplayIsTheEffectsOwnAndParsesBackToTheSameText) {
    LimiterPlugin effect(nullptr);
    for (int32_t index = 0; index < kParameterCount; ++index) {
        for (int32_t k = 0; k <= kSweep; ++k) {
            const float value = static_cast<float>(k) / kSweep;
            effect.setParameterValue(index, value);
            const std::string shown = displayOf(static_cast<uint32_t>(index), value);
            ASSERT_EQ(shown, effectText(effect, effGetParamDisplay, index)) << index << " at " << value;
            const auto parsed = parseDisplay(static_cast<uint32_t>(index), shown);
            ASSERT_TRUE(parsed.has_value()) << index << " '" << shown << "'";
            ASSERT_EQ(displayOf(static_cast<uint32_t>(index), *parsed), shown) << index << " at " << value;
        }
    }
    EXPECT_EQ(displayOf(kBypassId, 0.6f), "On");
    EXPECT_EQ(parseDisplay(kBypassId, "off"), 0.0f);
    EXPECT_EQ(displayOf(7, 0.5f), "");
}

TEST(Parameters, TypedValuesGoToTheNearestValueAndNonsenseIsRefused) {
    EXPECT_EQ(displayOf(kInGain, *parseDisplay(kInGain, " 3.14 ")), "3.10");
    EXPECT_EQ(parseDisplay(kInGain, "99"), 1.0f);
    EXPECT_EQ(gainStepOf(*parseDisplay(kInGain, "-1e9")), kLowestGainStep);
    EXPECT_EQ(parseDisplay(kKnee, "250"), 1.0f);
    EXPECT_EQ(displayOf(kKnee, *parseDisplay(kKnee, "7.87")), "7.87");
    EXPECT_EQ(parseDisplay(kIq, " ON"), 1.0f);
    EXPECT_EQ(parseDisplay(kForceChannels, "right"), 1.0f);
    for (const char* nonsense : {"", " ", "abc", "3 dB", "nan", "inf", "1e999"}) {
        EXPECT_FALSE(parseDisplay(kInGain, nonsense).has_value()) << nonsense;
        EXPECT_FALSE(parseDisplay(kKnee, nonsense).has_value()) << nonsense;
    }
    EXPECT_FALSE(parseDisplay(kForceChannels, "Centre").has_value());
    EXPECT_FALSE(parseDisplay(1000, "0").has_value());
}

}  // namespace
