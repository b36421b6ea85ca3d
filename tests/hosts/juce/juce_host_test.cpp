// What loading through JUCE adds to the format expectations: JUCE's scan finds
// the plug-in as the VST 2 build names it, its saved state brings back the
// program, the parameters and the sound in a fresh instance, and its editor
// opens and closes in a JUCE window while audio runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "hosts/juce/juce_checks.h"
#include "hosts/juce/juce_format.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"
#include "support/render_material.h"

namespace {

constexpr float kRate = 48000.0f;
constexpr int32_t kBlock = 256;
constexpr int32_t kFrames = 4096;
constexpr int32_t kProgram = 3;
constexpr int kEditorMilliseconds = 400;
constexpr int kEditorOpenings = 2;
constexpr int kParameters = 6;
constexpr int kTextLength = 128;
const float kSetting[kParameters] = {0.7f, 0.2f, 1.0f, 0.0f, 0.0f, 1.0f};

std::unique_ptr<FormatUnderTest> reference;
std::unique_ptr<juce_host::JuceFormat> underTest;
std::string referencePath;

std::string vst2Text(int32_t opcode) {
    PluginLibrary library(referencePath.c_str());
    const auto entry = library.entry("main");
    AEffect* record = entry != nullptr ? entry(RecordingHost::callback) : nullptr;
    if (record == nullptr) return "(the VST 2 build did not load)";
    return EffectHandle(record).text(opcode);
}

Channels loudNoise(uint32_t seed) { return render_material::stereoNoise(kFrames, 3.0f, seed); }

bool isLv2() { return underTest->source().formatName() == juce_host::kLv2; }

}  // namespace

FormatUnderTest& formatUnderTest() { return *underTest; }
FormatUnderTest* vst2Reference() { return reference.get(); }

TEST(JuceHost, ScanFindsOneStereoEffectNamedAsTheVst2Build) {
    const auto& found = underTest->source().descriptions();
    ASSERT_EQ(found.size(), 1) << underTest->source().error();
    EXPECT_EQ(found[0]->name.toStdString(), vst2Text(effGetEffectName));
    EXPECT_EQ(found[0]->manufacturerName.toStdString(), vst2Text(effGetVendorString));
    EXPECT_EQ(found[0]->numInputChannels, 2);
    EXPECT_EQ(found[0]->numOutputChannels, 2);
    EXPECT_FALSE(found[0]->isInstrument);
}

// Every parameter JUCE's VST 3 hosting lists, the meters' hidden outputs too,
// reads its own text back as a value in the range, as JUCE's validators check.
TEST(JuceHost, EveryParameterReadsBackItsOwnText) {
    if (isLv2()) GTEST_SKIP() << "LV2 ports carry the user's units; JUCE writes their texts itself";
    auto plugin = underTest->source().create(kRate, kBlock);
    ASSERT_TRUE(plugin);
    for (auto* parameter : plugin->getParameters()) {
        for (float value : {0.0f, 0.123f, 0.5f, 0.77f, 1.0f}) {
            const juce::String text = parameter->getText(value, kTextLength);
            const float back = parameter->getValueForText(text);
            EXPECT_TRUE(back >= 0.0f && back <= 1.0f) << parameter->getName(kTextLength) << " " << text;
            EXPECT_EQ(parameter->getText(back, kTextLength), text) << parameter->getName(kTextLength);
        }
    }
}

// A host saves after the plug-in has run (a VST 3 processor learns of the
// host's changes in its next block) and restores into a new instance.
TEST(JuceHost, StateBringsBackProgramParametersAndSoundInAFreshInstance) {
    // A user's setting: a program, then values over it.
    const auto set = [](juce_host::JuceInstance& effect) {
        effect.selectProgram(kProgram);
        for (int32_t i = 0; i < kParameters; ++i) effect.setParameter(i, kSetting[i]);
    };
    auto saved = underTest->createInstance();
    ASSERT_TRUE(saved);
    saved->start(kRate, kBlock);
    set(*saved);
    renderThrough(*saved, loudNoise(7u), kBlock);
    juce::MemoryBlock state;
    saved->plugin().getStateInformation(state);
    ASSERT_GT(state.getSize(), 0u);

    auto restored = underTest->createInstance();
    ASSERT_TRUE(restored);
    restored->plugin().setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    restored->start(kRate, kBlock);
    // LV2 has presets, not a current program: nothing to bring back there.
    if (!isLv2()) {
        EXPECT_EQ(restored->plugin().getCurrentProgram(), kProgram);
    }
    for (int32_t i = 0; i < kParameters; ++i) EXPECT_EQ(restored->parameter(i), restored->carried(i, kSetting[i])) << i;

    // The same sound as an instance given the same program and values directly.
    auto direct = underTest->createInstance();
    ASSERT_TRUE(direct);
    direct->start(kRate, kBlock);
    set(*direct);
    const Channels input = loudNoise(8u);
    const Channels wanted = renderThrough(*direct, input, kBlock);
    EXPECT_TRUE(render_material::sameBits(renderThrough(*restored, input, kBlock), wanted));
}

TEST(JuceHost, EditorOpensAndClosesInAJuceWindowWhileAudioRuns) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
    auto effect = underTest->createInstance();
    ASSERT_TRUE(effect);
    effect->start(kRate, kBlock);
    const Channels input = loudNoise(9u);
    for (int opening = 0; opening < kEditorOpenings; ++opening) {
        int blocks = 0;
        std::string error;
        const bool shown = juce_host::showEditor(effect->plugin(), kEditorMilliseconds, [&] {
            float* in[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[1].data())};
            std::vector<float> left(kBlock), right(kBlock);
            float* out[2] = {left.data(), right.data()};
            effect->process(in, out, kBlock);
            ++blocks;
        }, error);
        EXPECT_TRUE(shown) << error;
        EXPECT_GT(blocks, 0);
    }
    // The instance still limits once its editor is gone.
    EXPECT_LE(render_material::loudest(renderThrough(*effect, input, kBlock)), 1.0f);
}

namespace juce_host {

int runChecks(const char* format, const char* path, int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[0], "--reference") != 0) {
        std::fprintf(stderr, "check needs --reference VST2.so\n");
        return 2;
    }
    // A path with a '/', or dlopen looks for a bare name in the library paths.
    referencePath = std::filesystem::absolute(argv[1]).string();
    reference = vst2Format(referencePath.c_str());
    underTest = std::make_unique<JuceFormat>(format, path, *reference);
    std::vector<char*> arguments{const_cast<char*>("quillo_juce_host")};
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    int count = static_cast<int>(arguments.size());
    testing::InitGoogleTest(&count, arguments.data());
    const int result = RUN_ALL_TESTS();
    underTest.reset();
    reference.reset();
    return result;
}

}  // namespace juce_host
