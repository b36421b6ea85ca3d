// White-box checks of the limiter effect where the record shows too little:
// the editor's redraw hint, the input gain and the engine's meter resets.
#include <gtest/gtest.h>

#include "editor/limiter_editor.h"
#include "plugin/limiter_effect.h"
#include "support/recording_host.h"

namespace {

class LimiterPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::instance().reset();
        effect = new LimiterPlugin(RecordingHost::callback);
        RecordingHost::instance().calls.clear();
    }
    void TearDown() override {
        delete effect;
        RecordingHost::instance().reset();
    }
    uint8_t hint() const { return effect->limiterEditor->changedControl; }

    LimiterPlugin* effect = nullptr;
};

}  // namespace

TEST_F(LimiterPluginTest, HostChangesOfGainAndKneeSetTheRedrawHint) {
    effect->limiterEditor->changedControl = kNoControl;
    effect->setParameterValue(kInGain, 0.3f);
    EXPECT_EQ(hint(), kGainControl);
    effect->setParameterValue(kKnee, 0.3f);
    EXPECT_EQ(hint(), kKneeControl);
    effect->setParameterValue(kIq, 1.0f);
    EXPECT_EQ(hint(), kKneeControl);
}

TEST_F(LimiterPluginTest, ThePluginsOwnChangesLeaveTheHintAndReachTheHost) {
    effect->limiterEditor->changedControl = kNoControl;
    effect->paramValue[kInGain] = 0.75f;
    effect->notifyParameterChange(kInGain);
    EXPECT_EQ(hint(), kNoControl);
    const auto automations = RecordingHost::instance().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 0);
    EXPECT_EQ(automations[0].opt, 0.75f);
    effect->setParameterValue(kInGain, 0.2f);
    EXPECT_EQ(hint(), kGainControl) << "the flag lasts for one change only";
}

TEST_F(LimiterPluginTest, ProgramChangeEndsWithTheKneeHint) {
    effect->limiterEditor->changedControl = kNoControl;
    effect->dispatch(effSetProgram, 0, 3, nullptr, 0.0f);
    EXPECT_EQ(hint(), kKneeControl);
}

TEST_F(LimiterPluginTest, InputGainFollowsTheTableInTenthsOfADecibel) {
    const struct {
        float value;
        float gain;
    } cases[] = {{0.0f, 0.0099999886f}, {0.5f, 0.99999887f}, {1.0f, 101.15783f}};
    for (const auto& c : cases) {
        effect->paramValue[kInGain] = c.value;
        EXPECT_FLOAT_EQ(effect->inputGainLinear, 0.99999887f) << "a direct store waits for the next update";
        effect->updateInputGain();
        EXPECT_FLOAT_EQ(effect->inputGainLinear, c.gain) << c.value;
        effect->paramValue[kInGain] = 0.5f;
        effect->updateInputGain();
    }
}

TEST_F(LimiterPluginTest, StartupDefaultsAndMeterResets) {
    EXPECT_EQ(effect->paramValue[kKnee], 89.0f);
    EXPECT_EQ(effect->leftActive, 1);
    EXPECT_EQ(effect->rightActive, 1);
    EXPECT_FALSE(effect->singleChannel);
    effect->engine.meterLeft = 0.25f;
    effect->engine.meterRight = 0.5f;
    effect->engine.kneeLamp = 0.5f;
    effect->dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->engine.meterLeft, 1.0f);
    EXPECT_EQ(effect->engine.meterRight, 1.0f);
    EXPECT_EQ(effect->engine.kneeLamp, 0.5f) << "suspending leaves the lamp to fade";
    effect->dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(effect->engine.kneeLamp, 1.0f);
}

TEST_F(LimiterPluginTest, SampleRateChangesMoveTheLatencyAndBadValuesAreIgnored) {
    effect->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(effect->effectRecord()->initialDelay, 43);
    for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        effect->dispatch(effSetSampleRate, 0, 0, nullptr, bad);
        EXPECT_EQ(effect->sampleRate(), 48000.0f);
        EXPECT_EQ(effect->effectRecord()->initialDelay, 43);
    }
    effect->dispatch(effSetBlockSize, 0, 0, nullptr, 0.0f);
    effect->dispatch(effSetBlockSize, 0, -5, nullptr, 0.0f);
    EXPECT_EQ(effect->blockSize(), 1024);
    effect->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(effect->effectRecord()->initialDelay, 40);
}
