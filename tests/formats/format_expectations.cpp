// What every format of the limiter promises, whichever host loads it: the six
// parameters with their names, units and texts, the ten programs, the delay
// for each rate, the ceiling, and output bits equal to the VST 2 build's.
#include <gtest/gtest.h>

#include "formats/format_under_test.h"
#include "support/render_material.h"

namespace {

using namespace render_material;

constexpr int32_t kParameters = 6;
const char* const kNames[kParameters] = {"IN Gain", "Knee", "Iq", "Stereo Link", "Auto Select Channels",
                                         "Force Channels"};
const char* const kUnits[kParameters] = {"db", "%", "", "", "", ""};
const float kStartValues[kParameters] = {0.5f, 89.0f / 127.0f, 0.0f, 1.0f, 1.0f, 0.0f};
const char* const kProgramNames[] = {"Default", "empty 1", "empty 2", "empty 4", "empty 4",
                                     "empty 5", "empty 6", "empty 7", "empty 8", "empty 9"};

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

class Format : public ::testing::Test {
protected:
    void SetUp() override {
        instance = formatUnderTest().create();
        ASSERT_TRUE(instance) << formatUnderTest().name();
    }

    std::unique_ptr<FormatInstance> instance;
};

}  // namespace

TEST_F(Format, SixParametersWithTheEffectsNamesUnitsAndStartValues) {
    for (int32_t i = 0; i < kParameters; ++i) {
        if (auto name = instance->parameterName(i)) {
            EXPECT_EQ(trim(*name), kNames[i]) << i;
        }
        if (auto unit = instance->parameterUnit(i)) {
            EXPECT_EQ(trim(*unit), kUnits[i]) << i;
        }
        EXPECT_EQ(instance->parameter(i), kStartValues[i]) << i;
    }
}

TEST_F(Format, DisplayTextsAreTheEffectsOwn) {
    const struct {
        int32_t index;
        float value;
        const char* text;
    } cases[] = {{0, 0.5f, "0.0"},  {0, 0.0f, "-40."}, {0, 1.0f, "40.0"}, {0, 0.4f, "-8.0"}, {0, 0.501f, "0.10"},
                 {0, 0.55f, "4.00"}, {1, 0.0f, "0.00"}, {1, 10.0f / 127.0f, "7.87"}, {1, 1.0f, "100."},
                 {2, 0.0f, "Off"},   {2, 1.0f, "On"},   {3, 1.0f, "On"},  {4, 0.0f, "Off"}, {5, 0.0f, "Stereo"},
                 {5, 0.5f, "Left"},  {5, 1.0f, "Right"}};
    for (const auto& c : cases) {
        instance->setParameter(c.index, c.value);
        EXPECT_EQ(instance->parameter(c.index), instance->carried(c.index, c.value)) << c.index;
        if (auto text = instance->display(c.index)) {
            EXPECT_EQ(*text, c.text) << c.index << " at " << c.value;
        }
    }
}

// A format without programs of its own (CLAP) keeps them in its state.
TEST_F(Format, TheTenProgramsLoadTheirValues) {
    std::vector<std::string> names = instance->programNames();
    if (names.empty() && formatUnderTest().name() == "CLAP") GTEST_SKIP() << "the programs live in the state";
    ASSERT_EQ(names.size(), std::size(kProgramNames));
    for (size_t p = 0; p < names.size(); ++p) EXPECT_EQ(trim(names[p]), kProgramNames[p]) << p;
    instance->setParameter(0, 0.25f);
    instance->setParameter(3, 0.0f);
    instance->selectProgram(4);
    for (int32_t i = 0; i < kParameters; ++i) EXPECT_EQ(instance->parameter(i), kStartValues[i]) << i;
}

TEST_F(Format, ReportedDelayIsTheMeasuredOneAtEveryRate) {
    const struct {
        float rate;
        int32_t latency;
    } rates[] = {{44100.0f, 40}, {48000.0f, 43}, {96000.0f, 87}};
    for (const auto& r : rates) {
        auto effect = started(formatUnderTest(), r.rate, 256, nullptr);
        ASSERT_TRUE(effect);
        EXPECT_EQ(effect->latency(), r.latency) << r.rate;
        Channels impulse(2, std::vector<float>(400, 0.0f));
        impulse[0][0] = impulse[1][0] = 0.5f;
        const Channels output = renderThrough(*effect, impulse, 256);
        for (int32_t i = 0; i < 400; ++i) ASSERT_EQ(output[0][i] != 0.0f, i == r.latency) << r.rate << " at " << i;
    }
}

TEST_F(Format, RenderedBitsReachTheHashesOfEveryBuild) {
    const Channels input = {material(kFrames, kLeftSeed), material(kFrames, kRightSeed)};
    for (const Setting& setting : kSettings) {
        auto effect = started(formatUnderTest(), setting.rate, setting.block, setting.values);
        ASSERT_TRUE(effect);
        const Channels output = renderThrough(*effect, input, setting.block);
        const uint64_t hash = hashOf(output[1], hashOf(output[0], kHashStart));
        EXPECT_EQ(hash, setting.hash) << std::hex << "0x" << hash << " at " << setting.rate;
    }
}

// Beyond the fixed hashes: the same bits as the VST 2 build for other settings,
// at any block size, including the block sizes hosts split around automation.
TEST_F(Format, SameBitsAsTheVst2BuildAtAnyBlockSize) {
    FormatUnderTest* reference = vst2Reference();
    if (reference == nullptr) GTEST_SKIP() << "this is the VST 2 build";
    const Channels input = stereoNoise(9000, 3.0f, 2024u);
    const float settings[][kParameters] = {{0.8f, 0.3f, 1.0f, 0.0f, 0.0f, 0.0f}, {0.65f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f},
                                           {0.999f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f}};
    for (const auto& values : settings) {
        auto expected = started(*reference, 44100.0f, 512, values);
        ASSERT_TRUE(expected);
        const Channels wanted = renderThrough(*expected, input, 512);
        for (int32_t block : {512, 1, 37}) {
            auto effect = started(formatUnderTest(), 44100.0f, 512, values);
            ASSERT_TRUE(effect);
            EXPECT_TRUE(sameBits(renderThrough(*effect, input, block), wanted)) << "block " << block;
        }
    }
}

TEST_F(Format, NoSampleLeavesAboveFullScale) {
    const float hottest[kParameters] = {1.0f, 89.0f / 127.0f, 1.0f, 0.0f, 1.0f, 0.0f};
    auto effect = started(formatUnderTest(), 44100.0f, 512, hottest);
    ASSERT_TRUE(effect);
    const float peak = loudest(renderThrough(*effect, stereoNoise(44100, 4.0f, 99u), 512));
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.9f);
}
