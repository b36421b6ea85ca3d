#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/black_box.h"

namespace {

constexpr float kUnityGain = 0.99999887f;
constexpr double kPi = 3.14159265358979323846;

using Channels = std::vector<std::vector<float>>;

Channels sine(int32_t frames, float peak, double period) {
    Channels signal(2, std::vector<float>(frames));
    for (int32_t i = 0; i < frames; ++i) {
        signal[0][i] = peak * static_cast<float>(std::sin(2.0 * kPi * i / period));
        signal[1][i] = peak * static_cast<float>(std::sin(2.0 * kPi * i / (period * 1.5)));
    }
    return signal;
}

// Deterministic loud noise: a small linear congruential generator, no library
// randomness, so both builds see the same samples.
Channels noise(int32_t frames, float peak, uint32_t seed) {
    Channels signal(2, std::vector<float>(frames));
    for (auto& channel : signal) {
        for (float& sample : channel) {
            seed = seed * 1664525u + 1013904223u;
            sample = peak * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
        }
    }
    return signal;
}

class Audio : public BlackBox {
protected:
    void SetUp() override {
        BlackBox::SetUp();
        effect = create();
        ASSERT_TRUE(effect);
        record = effect->record();
    }

    void start(float rate = 44100.0f, int32_t block = 512) {
        effect->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        effect->dispatch(effSetBlockSize, 0, block);
        effect->dispatch(effMainsChanged, 0, 1);
    }

    void set(int32_t index, float value) { record->setParameter(record, index, value); }

    Channels render(const Channels& input, int32_t block, bool accumulate = false) {
        const auto frames = static_cast<int32_t>(input[0].size());
        Channels output(2, std::vector<float>(frames, 0.0f));
        for (int32_t at = 0; at < frames; at += block) {
            const int32_t n = std::min(block, frames - at);
            float* in[2] = {const_cast<float*>(input[0].data()) + at, const_cast<float*>(input[1].data()) + at};
            float* out[2] = {output[0].data() + at, output[1].data() + at};
            (accumulate ? record->process : record->processReplacing)(record, in, out, n);
        }
        return output;
    }

    std::unique_ptr<EffectHandle> effect;
    AEffect* record = nullptr;
};

bool sameBits(const Channels& a, const Channels& b) {
    for (size_t c = 0; c < a.size(); ++c) {
        if (std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(float)) != 0) return false;
    }
    return true;
}

float peakOf(const Channels& signal) {
    float peak = 0.0f;
    for (const auto& channel : signal)
        for (float s : channel) peak = std::max(peak, std::fabs(s));
    return peak;
}

Channels slice(const Channels& signal, size_t from, size_t to) {
    Channels part;
    for (const auto& channel : signal) part.emplace_back(channel.begin() + from, channel.begin() + to);
    return part;
}

}  // namespace

TEST_F(Audio, NothingHappensBeforeTheEffectIsSwitchedOn) {
    const Channels input = sine(256, 0.5f, 50.0);
    Channels output(2, std::vector<float>(256, 7.0f));
    float* in[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[1].data())};
    float* out[2] = {output[0].data(), output[1].data()};
    record->processReplacing(record, in, out, 256);
    record->process(record, in, out, 256);
    start();
    effect->dispatch(effMainsChanged, 0, 0);
    record->processReplacing(record, in, out, 256);
    for (const auto& channel : output)
        for (float s : channel) ASSERT_EQ(s, 7.0f);
}

TEST_F(Audio, QuietSineLeavesDelayedByTheLatencyTimesUnity) {
    const struct {
        float rate;
        int32_t latency;
    } rates[] = {{44100.0f, 40}, {48000.0f, 43}, {96000.0f, 87}};
    for (const auto& r : rates) {
        start(r.rate, 512);
        EXPECT_EQ(record->initialDelay, r.latency) << r.rate;
        const Channels input = sine(4096, 0.5f, 100.0);
        const Channels output = render(input, 512);
        for (int c = 0; c < 2; ++c) {
            for (int32_t i = 0; i < r.latency; ++i) ASSERT_EQ(output[c][i], 0.0f);
            for (int32_t i = r.latency; i < 4096; ++i) {
                float expected = input[c][i - r.latency] * kUnityGain;
                if (std::fabs(expected) < 2.3283064e-10f) expected = 0.0f;
                ASSERT_EQ(output[c][i], expected) << "rate " << r.rate << " channel " << c << " sample " << i;
            }
        }
    }
}

TEST_F(Audio, ImpulseArrivesExactlyOneLatencyLater) {
    start();
    Channels input(2, std::vector<float>(200, 0.0f));
    input[0][10] = 0.5f;
    input[1][20] = -0.25f;
    const Channels output = render(input, 64);
    for (int32_t i = 0; i < 200; ++i) {
        EXPECT_EQ(output[0][i] != 0.0f, i == 50) << i;
        EXPECT_EQ(output[1][i] != 0.0f, i == 60) << i;
    }
}

TEST_F(Audio, LoneLoudPeakIsCaughtWithoutAStep) {
    start();
    Channels input(2, std::vector<float>(400, 0.0f));
    for (int32_t i = 0; i < 400; ++i) input[0][i] = input[1][i] = 0.1f;
    input[0][200] = input[1][200] = 4.0f;
    const Channels output = render(input, 512);
    EXPECT_LE(std::fabs(output[0][240]), 1.0f);
    EXPECT_GT(std::fabs(output[0][240]), 0.5f);
    // The gain already falls over the samples before the peak, in steps, not at once.
    int32_t reduced = 0;
    for (int32_t i = 200; i < 240; ++i) {
        if (output[0][i] < 0.1f * kUnityGain) ++reduced;
        EXPECT_GT(output[0][i], 0.0f) << i;
    }
    EXPECT_GE(reduced, 5);
    EXPECT_EQ(output[0][200], 0.1f * kUnityGain);
}

TEST_F(Audio, CeilingHoldsForLoudNoiseAtFullInputGain) {
    start();
    set(0, 1.0f);
    const Channels output = render(noise(44100, 1.4f, 12345u), 512);
    EXPECT_LE(peakOf(output), 1.0f);
    EXPECT_GT(peakOf(output), 0.9f);
}

TEST_F(Audio, OutputDoesNotDependOnBlockCuts) {
    const Channels input = noise(6000, 3.0f, 777u);
    Channels reference;
    for (int32_t block : {6000, 1, 7, 64, 512}) {
        auto fresh = create();
        ASSERT_TRUE(fresh);
        std::swap(effect, fresh);
        record = effect->record();
        start(44100.0f, 6000);
        const Channels output = render(input, block);
        if (reference.empty()) reference = output;
        EXPECT_TRUE(sameBits(reference, output)) << "block " << block;
    }
}

TEST_F(Audio, OversizedBlockIsProcessedAsIfTheHostHadCutIt) {
    const Channels input = noise(3000, 2.0f, 99u);
    start(44100.0f, 256);
    const Channels whole = render(input, 3000);
    auto fresh = create();
    std::swap(effect, fresh);
    record = effect->record();
    start(44100.0f, 256);
    EXPECT_TRUE(sameBits(whole, render(input, 256)));
}

TEST_F(Audio, AccumulatingAddsAndReplacingOverwrites) {
    start();
    const Channels input = sine(1000, 0.5f, 80.0);
    Channels output(2, std::vector<float>(1000, 0.25f));
    float* in[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[1].data())};
    float* out[2] = {output[0].data(), output[1].data()};
    record->process(record, in, out, 1000);
    auto replaced = create();
    std::swap(effect, replaced);
    record = effect->record();
    start();
    const Channels clean = render(input, 1000);
    for (int c = 0; c < 2; ++c)
        for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(output[c][i], 0.25f + clean[c][i]);
    record->processReplacing(record, in, out, 1000);
    EXPECT_EQ(output[0][0], 0.0f);
}

TEST_F(Audio, InPlaceProcessingMatchesSeparateBuffers) {
    const Channels input = noise(2048, 2.5f, 4242u);
    start();
    const Channels separate = render(input, 256);
    auto fresh = create();
    std::swap(effect, fresh);
    record = effect->record();
    start();
    Channels buffer = input;
    for (int32_t at = 0; at < 2048; at += 256) {
        float* io[2] = {buffer[0].data() + at, buffer[1].data() + at};
        record->processReplacing(record, io, io, 256);
    }
    EXPECT_TRUE(sameBits(separate, buffer));
}

// The timing values are shared by every instance in the process. A rate set
// without a resume, by this instance or another, leaves a running instance's
// output as it was (it once extrapolated the gain curve, or crashed the host
// for rates too large for the histories); the reported latency follows at once,
// and a rate that does not fit is refused at the next resume.
TEST_F(Audio, RateSetElsewhereWaitsForTheNextResume) {
    const Channels input = noise(4096, 4.0f, 31u);
    start();
    const Channels reference = render(input, 512);
    for (float rate : {100.0f, 8000.0f, 3e12f}) {
        auto running = create();
        auto other = create();
        ASSERT_TRUE(running && other);
        std::swap(effect, running);
        record = effect->record();
        start();
        Channels output = render(slice(input, 0, 1024), 512);
        other->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        effect->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(record->initialDelay, other->record()->initialDelay);
        const Channels rest = render(slice(input, 1024, 4096), 512);
        for (int c = 0; c < 2; ++c) output[c].insert(output[c].end(), rest[c].begin(), rest[c].end());
        EXPECT_TRUE(sameBits(reference, output)) << rate;
    }
    effect->dispatch(effMainsChanged, 0, 1);
    Channels untouched(2, std::vector<float>(256, 7.0f));
    float* in[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[1].data())};
    float* out[2] = {untouched[0].data(), untouched[1].data()};
    record->processReplacing(record, in, out, 256);
    EXPECT_EQ(untouched[0][0], 7.0f);
}
