// The audio side every format shares: renders that repeat whatever came
// before a rest, and states restored while blocks run that change nothing
// until they apply whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "formats/shared/audio_side.h"
#include "support/render_material.h"

namespace formats {
namespace {

using render_material::Channels;

constexpr int32_t kBlock = 256;

// Blocks through the audio side as an adapter hands them over.
struct Driver {
    explicit Driver(AudioSide& side) : audio(side) {}
    void process(float** inputs, float** outputs, int32_t frames) {
        const BlockBuffers buffers{{inputs[0], inputs[1]}, {outputs[0], outputs[1]}, kEffectChannels};
        audio.process(&buffers, frames, nullptr);
    }
    AudioSide& audio;
};

Channels render(AudioSide& audio, const Channels& input, int32_t block = kBlock) {
    Driver driver(audio);
    return render_material::renderThrough(driver, input, block);
}

Channels preceded(const Channels& sound, size_t silence) {
    Channels joined(2, std::vector<float>(silence, 0.0f));
    for (size_t c = 0; c < 2; ++c) joined[c].insert(joined[c].end(), sound[c].begin(), sound[c].end());
    return joined;
}

Channels from(const Channels& output, size_t first) {
    Channels tail(2);
    for (size_t c = 0; c < 2; ++c) tail[c].assign(output[c].begin() + static_cast<std::ptrdiff_t>(first), output[c].end());
    return tail;
}

void start(AudioSide& audio, float rate = 44100.0f) {
    ASSERT_TRUE(audio.valid());
    audio.configure(rate, kBlock);
    ASSERT_TRUE(audio.activate());
}

// The same sound gives the same bits however much silence comes before it,
// and after a rest whatever the instance processed before; the first block
// from a fresh start is the VST 2 build's grid (the shared materials start
// with sound).
TEST(AudioSide, RendersRepeatAfterARestWhateverCameBefore) {
    const Channels drums = {render_material::material(6000, 11u), render_material::material(6000, 29u)};
    AudioSide fresh;
    start(fresh);
    const Channels expected = render(fresh, drums);
    for (size_t silence : {4800u, 4801u, 4803u, 4806u}) {
        AudioSide audio;
        start(audio);
        const Channels output = render(audio, preceded(drums, silence), silence % 2 == 0 ? kBlock : 37);
        EXPECT_TRUE(render_material::sameBits(from(output, silence), expected)) << silence;
    }
    AudioSide used;
    start(used);
    render(used, render_material::stereoNoise(20000, 8.0f, 3u));
    const size_t settle = 3 * 44100;
    EXPECT_TRUE(render_material::sameBits(from(render(used, preceded(drums, settle)), settle), expected));
    EXPECT_FALSE(render_material::sameBits(from(render(used, preceded(drums, 40)), 40), expected))
        << "a sound before the rest is over meets the effect as the sound before left it";
}

// A state whose current program plays as now, its other programs far away,
// restored a thousand times on another thread while blocks run: the output is
// that of a render without restores, and the programs are as restored.
TEST(AudioSide, StatesRestoredWhileBlocksRunApplyWhole) {
    constexpr int32_t kRestores = 1000;
    constexpr int32_t kPiece = 64;
    AudioSide reference, audio;
    start(reference);
    start(audio);
    EffectState state = captureState(audio.effect(), false);
    for (int32_t p = 1; p < kProgramCount; ++p) state.programs[static_cast<size_t>(p)].values[kInGain] = 0.0f;
    const std::vector<uint8_t> bytes = encodeState(state);
    std::atomic<bool> running{false};
    std::atomic<bool> done{false};
    std::thread restorer([&] {
        while (!running.load()) std::this_thread::yield();
        for (int32_t i = 0; i < kRestores; ++i) {
            if (const auto restored = decodeState(bytes.data(), bytes.size())) audio.restore(*restored);
        }
        done = true;
    });
    const Channels input = render_material::stereoNoise(44100, 3.0f, 7u);
    bool same = true;
    for (int32_t at = 0; !done.load() || at == 0; at = (at + kPiece) % (44100 - kPiece)) {
        const Channels piece = {{input[0].begin() + at, input[0].begin() + at + kPiece},
                                {input[1].begin() + at, input[1].begin() + at + kPiece}};
        same = same && render_material::sameBits(render(audio, piece, kPiece), render(reference, piece, kPiece));
        running = true;
    }
    restorer.join();
    EXPECT_TRUE(same);
    audio.deactivate();
    EXPECT_EQ(encodeState(audio.state()), bytes);
}

// Ceiling -1 dB with True Peak on: the effect on the input scaled up, its
// output scaled down and through the true-peak stage (whose guarantee its own
// tests measure), the latency with the stage's; switched off and on while
// audio runs, no sample above the ceiling and no step larger than the
// signal's own.
TEST(AudioSide, CeilingAndTruePeakDeliverAndSwitchWithoutAPeak) {
    const Channels input = render_material::stereoNoise(20000, 4.0f, 9u);
    const float ceiling = ceilingLevel(0.95f);
    LimiterModel bare;
    bare.restartAtRest(true);
    bare.setSampleRate(48000.0f);
    bare.setMaxBlock(kBlock);
    bare.resume();
    Channels scaled = input;
    for (auto& channel : scaled)
        for (float& v : channel) v *= 1.0f / ceiling;
    Channels expected = render_material::renderThrough(bare, scaled, kBlock);
    quillo::TruePeakStage stage;
    ASSERT_TRUE(stage.prepare(48000.0f, kBlock));
    for (auto& channel : expected)
        for (float& v : channel) v *= ceiling;
    for (size_t at = 0; at < expected[0].size(); at += kBlock) {
        const auto n = static_cast<int32_t>(std::min<size_t>(kBlock, expected[0].size() - at));
        stage.process(&expected[0][at], &expected[1][at], n, ceiling);
    }

    AudioSide audio;
    audio.change(kCeilingId, 0.95);
    start(audio, 48000.0f);
    audio.change(kTruePeakId, 1.0);  // as hosts hand it over with the first block: no fade
    EXPECT_EQ(audio.latency(), 43 + quillo::TruePeakStage::latencyFor(48000.0f));
    EXPECT_TRUE(render_material::sameBits(render(audio, input, kBlock), expected));
    // Bypassed, the input leaves one latency later, the stage's look-ahead included.
    audio.change(kBypassId, 1.0);
    const Channels bypassed = render(audio, input, kBlock);
    const auto lag = static_cast<size_t>(audio.latency());
    for (size_t i = lag + 480; i < input[0].size(); ++i) ASSERT_EQ(bypassed[0][i], input[0][i - lag]) << i;

    const Channels sine = {std::vector<float>(48000), std::vector<float>(48000)};
    Channels loudSine = sine;
    for (size_t i = 0; i < 48000; ++i) loudSine[0][i] = loudSine[1][i] = 4.0f * std::sin(0.02f * static_cast<float>(i));
    AudioSide switching;
    switching.change(kCeilingId, 0.95);
    start(switching, 48000.0f);
    Driver driver(switching);
    const Channels output = render_material::renderThrough(driver, loudSine, kBlock, [&](int32_t at, int32_t) {
        if (at == 8192 || at == 24576) switching.change(kTruePeakId, at == 8192 ? 1.0 : 0.0);
    });
    EXPECT_LE(render_material::loudest(output), ceiling);
    float largestStep = 0.0f;
    for (size_t i = 1; i < output[0].size(); ++i) largestStep = std::max(largestStep, std::fabs(output[0][i] - output[0][i - 1]));
    EXPECT_LT(largestStep, 0.1f) << "a click";
    EXPECT_EQ(switching.latency(), 43);
    EXPECT_TRUE(switching.latencyChanged());
}

}  // namespace
}  // namespace formats
