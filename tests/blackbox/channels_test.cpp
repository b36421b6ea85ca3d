#include <cmath>
#include <cstring>
#include <vector>

#include "support/black_box.h"

namespace {

constexpr int32_t kFrames = 512;
constexpr float kUntouched = 9.0f;

// Pins the host reports; a connected pin answers 0.
struct PinAnswers {
    bool inputs[2] = {true, true};
    bool outputs[2] = {true, true};
};

class Channels : public BlackBox {
protected:
    void SetUp() override {
        BlackBox::SetUp();
        host().answer = [this](const HostCall& call) -> intptr_t {
            if (call.opcode == audioMasterVersion) return RecordingHost::kHostVersion;
            if (call.opcode != audioMasterPinConnected || call.index < 0 || call.index > 1) return 0;
            const bool connected = call.value == 0 ? pins.inputs[call.index] : pins.outputs[call.index];
            return connected ? 0 : 1;
        };
        effect = create();
        ASSERT_TRUE(effect);
        record = effect->record();
        for (int c = 0; c < 2; ++c) {
            input[c].assign(kFrames, 0.0f);
            for (int32_t i = 0; i < kFrames; ++i) input[c][i] = (c == 0 ? 0.25f : -0.5f) * std::sin(0.05f * i);
        }
    }

    void start() {
        effect->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect->dispatch(effSetBlockSize, 0, kFrames);
        effect->dispatch(effMainsChanged, 0, 1);
        host().calls.clear();
    }

    void run(float* left, float* right, float* outLeft, float* outRight) {
        float* in[2] = {left, right};
        float* out[2] = {outLeft, outRight};
        record->processReplacing(record, in, out, kFrames);
    }

    void runStereo() {
        for (auto& channel : output) channel.assign(kFrames, kUntouched);
        run(input[0].data(), input[1].data(), output[0].data(), output[1].data());
    }

    std::string forceText() { return effect->text(effGetParamDisplay, 5); }
    bool untouched(int c) const {
        for (float s : output[c])
            if (s != kUntouched) return false;
        return true;
    }

    PinAnswers pins;
    std::unique_ptr<EffectHandle> effect;
    AEffect* record = nullptr;
    std::vector<float> input[2];
    std::vector<float> output[2];
};

}  // namespace

TEST_F(Channels, AutomaticChoiceIsPublishedOncePerResume) {
    start();
    runStereo();
    auto automations = host().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 5);
    EXPECT_EQ(automations[0].opt, 0.0f);
    EXPECT_EQ(host().callsWith(audioMasterPinConnected).size(), 4u);
    runStereo();
    EXPECT_EQ(host().callsWith(audioMasterAutomate).size(), 1u);
    effect->dispatch(effMainsChanged, 0, 1);
    runStereo();
    EXPECT_EQ(host().callsWith(audioMasterAutomate).size(), 2u);
    EXPECT_EQ(forceText(), "Stereo");
}

TEST_F(Channels, OneBufferForBothInputsIsMono) {
    start();
    for (auto& channel : output) channel.assign(kFrames, kUntouched);
    run(input[0].data(), input[0].data(), output[0].data(), output[1].data());
    EXPECT_EQ(std::memcmp(output[0].data(), output[1].data(), kFrames * sizeof(float)), 0);
    EXPECT_NE(output[0][100], 0.0f);
    EXPECT_EQ(forceText(), "Left");
    const auto automations = host().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].opt, 0.5f);
    EXPECT_TRUE(host().callsWith(audioMasterPinConnected).size() == 2u) << "only the outputs are asked";
}

TEST_F(Channels, OneBufferForBothOutputsWritesOnlyTheLeft) {
    start();
    std::vector<float> shared(kFrames, kUntouched);
    std::vector<float> left(input[0]);
    run(input[0].data(), input[1].data(), shared.data(), shared.data());
    auto reference = create();
    std::swap(reference, effect);
    record = effect->record();
    start();
    runStereo();
    EXPECT_EQ(std::memcmp(shared.data(), output[0].data(), kFrames * sizeof(float)), 0);
}

TEST_F(Channels, UnconnectedInputPinSelectsTheOtherChannel) {
    pins.inputs[1] = false;
    start();
    runStereo();
    EXPECT_EQ(forceText(), "Left");
    EXPECT_EQ(std::memcmp(output[0].data(), output[1].data(), kFrames * sizeof(float)), 0);
    EXPECT_EQ(host().callsWith(audioMasterPinConnected).size(), 6u);

    pins.inputs[1] = true;
    pins.inputs[0] = false;
    effect->dispatch(effMainsChanged, 0, 1);
    runStereo();
    EXPECT_EQ(forceText(), "Right");
    EXPECT_EQ(std::memcmp(output[0].data(), output[1].data(), kFrames * sizeof(float)), 0);
    const int32_t latency = record->initialDelay;
    for (int32_t i = latency; i < kFrames; ++i) ASSERT_EQ(output[0][i], input[1][i - latency] * 0.99999887f) << i;
}

TEST_F(Channels, PinsReportedAlikeMeanStereo) {
    pins.inputs[0] = pins.inputs[1] = false;
    start();
    runStereo();
    EXPECT_EQ(forceText(), "Stereo");
    EXPECT_NE(std::memcmp(output[0].data(), output[1].data(), kFrames * sizeof(float)), 0);
}

TEST_F(Channels, UnconnectedOutputIsLeftAlone) {
    pins.outputs[0] = false;
    start();
    runStereo();
    EXPECT_TRUE(untouched(0));
    EXPECT_FALSE(untouched(1));
}

TEST_F(Channels, ForcedChannelLeavesTheOtherOutputUntouched) {
    record->setParameter(record, 4, 0.0f);
    record->setParameter(record, 5, 0.5f);
    start();
    runStereo();
    EXPECT_TRUE(untouched(1));
    EXPECT_FALSE(untouched(0));
    for (auto& channel : output) channel.assign(kFrames, kUntouched);
    float* in[2] = {input[0].data(), input[1].data()};
    float* out[2] = {output[0].data(), output[1].data()};
    record->process(record, in, out, kFrames);
    EXPECT_TRUE(untouched(1));
    EXPECT_TRUE(host().callsWith(audioMasterPinConnected).empty());
    EXPECT_TRUE(host().callsWith(audioMasterAutomate).empty());

    record->setParameter(record, 5, 1.0f);
    runStereo();
    EXPECT_TRUE(untouched(0));
    EXPECT_FALSE(untouched(1));
}

TEST_F(Channels, CopySourceIsComputedEvenWhenItsOutputIsNotWritten) {
    pins.inputs[1] = false;
    pins.outputs[0] = false;
    start();
    runStereo();
    EXPECT_TRUE(untouched(0));
    int32_t latency = record->initialDelay;
    for (int32_t i = latency; i < kFrames; ++i) {
        ASSERT_EQ(output[1][i], input[0][i - latency] * 0.99999887f) << i;
    }
}
