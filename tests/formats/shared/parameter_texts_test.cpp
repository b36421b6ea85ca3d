// Texts of values the effect is not set to: the effect's own display, and a
// way back from every text it prints.
#include <gtest/gtest.h>

#include "formats/shared/parameter_texts.h"
#include "formats/shared/parameter_values.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);

namespace formats {
namespace {

constexpr int32_t kSweep = 2000;

TEST(ParameterTexts, DisplayIsTheEffectsOwnAndParsesBackToTheSameText) {
    ParameterTexts texts(quilloEntry);
    ASSERT_TRUE(texts.valid());
    EffectHost live(quilloEntry);
    for (int32_t index = 0; index < kEffectParameters; ++index) {
        for (int32_t k = 0; k <= kSweep; ++k) {
            const float value = static_cast<float>(k) / kSweep;
            live.setParameter(index, value);
            const std::string shown = texts.display(index, value);
            ASSERT_EQ(shown, live.parameterDisplay(index)) << index << " at " << value;
            const auto parsed = texts.parse(index, shown);
            ASSERT_TRUE(parsed.has_value()) << index << " '" << shown << "'";
            ASSERT_EQ(texts.display(index, *parsed), shown) << index << " at " << value;
        }
    }
    EXPECT_EQ(texts.display(kEffectParameters, 0.5f), "");
}

TEST(ParameterTexts, TypedValuesGoToTheNearestValueAndNonsenseIsRefused) {
    ParameterTexts texts(quilloEntry);
    EXPECT_EQ(texts.display(kParamInGain, *texts.parse(kParamInGain, " 3.14 ")), "3.10");
    EXPECT_EQ(texts.display(kParamInGain, *texts.parse(kParamInGain, "-6")), "-6.0");
    EXPECT_EQ(texts.parse(kParamInGain, "99"), 1.0f);
    EXPECT_EQ(gainStepOf(*texts.parse(kParamInGain, "-1e9")), kLowestGainStep);
    EXPECT_EQ(texts.parse(kParamKnee, "250"), 1.0f);
    EXPECT_EQ(texts.display(kParamKnee, *texts.parse(kParamKnee, "50")), "50.0");
    EXPECT_EQ(texts.display(kParamKnee, *texts.parse(kParamKnee, "7.87")), "7.87");
    EXPECT_EQ(texts.parse(kParamIq, " ON"), 1.0f);
    EXPECT_EQ(texts.parse(kParamStereoLink, "off"), 0.0f);
    EXPECT_EQ(texts.parse(kParamForceChannels, "Left"), 0.5f);
    EXPECT_EQ(texts.parse(kParamForceChannels, "right"), 1.0f);
    for (const char* nonsense : {"", " ", "abc", "3 dB", "nan", "inf", "1e999"}) {
        EXPECT_FALSE(texts.parse(kParamInGain, nonsense).has_value()) << nonsense;
        EXPECT_FALSE(texts.parse(kParamKnee, nonsense).has_value()) << nonsense;
    }
    EXPECT_FALSE(texts.parse(kParamIq, "maybe").has_value());
    EXPECT_FALSE(texts.parse(kParamForceChannels, "Centre").has_value());
    EXPECT_FALSE(texts.parse(-1, "0").has_value());
    EXPECT_FALSE(texts.parse(kEffectParameters, "0").has_value());
}

}  // namespace
}  // namespace formats
