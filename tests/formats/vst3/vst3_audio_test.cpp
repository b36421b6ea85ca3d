// The VST 3 build's audio beside the effect's: changes at their frames, the
// bypass, the latency announced, the state and old VST 2 projects, the meters,
// and a host's two threads.
#include <atomic>
#include <thread>

#include "formats/shared/vst2_files.h"
#include "formats/vst3/vst3_fixture.h"

namespace vst3_test {
namespace {

// Changes at frames inside a block sound as a VST 2 host's blocks cut there.
TEST_F(Vst3, ChangesInsideABlockTakeEffectAtTheirFrame) {
    const struct {
        int32_t frame;
        ParamID id;
        double value;
    } changes[] = {{100, kInGain, 0.8}, {300, kIq, 1.0},
                   {301, kKnee, 0.2}, {301, kInGain, 0.3},
                   {kBlock + 7, kProgramId, programValue(2)}};
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    const Channels input = loud(2048);
    const Channels output = render(*plugin, input, kBlock, [&](int32_t at, int32_t n) {
        for (const auto& c : changes) {
            if (c.frame >= at && c.frame < at + n) plugin->change(c.id, c.value, c.frame - at);
        }
    });
    // The VST 2 build in blocks of one frame, each change made before its frame.
    auto vst2 = reference();
    const Channels wanted = renderThrough(*vst2, input, 1, [&](int32_t at, int32_t) {
        for (const auto& c : changes) {
            if (c.frame != at) continue;
            if (c.id == kProgramId) vst2->selectProgram(2);
            else vst2->setParameter(static_cast<int32_t>(c.id), static_cast<float>(c.value));
        }
    });
    EXPECT_TRUE(sameBits(output, wanted));
}

// Bypassed, the output is the input one latency later, so nothing shifts;
// on the way in (once a latency of input is known) and out a crossfade, so
// nothing clicks; once back, every sample is the effect's own again.
TEST_F(Vst3, BypassIsTheDelayedInputAndSwitchesWithoutAClick) {
    constexpr int32_t kFrames = 12000, kOn = 1000, kOff = 6000, kFade = 441;
    Channels input(2, std::vector<float>(kFrames));
    for (int32_t i = 0; i < kFrames; ++i) input[0][i] = input[1][i] = 3.0f * std::sin(0.0628f * static_cast<float>(i));
    auto unbypassed = make();
    ASSERT_TRUE(unbypassed->start(kRate, kBlock));
    const Channels effect = render(*unbypassed, input, kBlock);
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    const Channels output = render(*plugin, input, kBlock, [&](int32_t at, int32_t n) {
        if (kOn >= at && kOn < at + n) plugin->change(kBypassId, 1.0, kOn - at);
        if (kOff >= at && kOff < at + n) plugin->change(kBypassId, 0.0, kOff - at);
    });
    EXPECT_EQ(plugin->controller->getParamNormalized(kBypassId), 0.0);
    float largestStep = 0.0f;
    for (int32_t i = 1; i < kFrames; ++i) {
        largestStep = std::max(largestStep, std::fabs(output[0][i] - output[0][i - 1]));
        if (i < kOn || i >= kOff + kFade) {
            ASSERT_EQ(output[0][i], effect[0][i]) << i;
        } else if (i >= kOn + kLatency + kFade && i < kOff) {
            ASSERT_EQ(output[0][i], input[0][i - kLatency]) << i;
        }
    }
    EXPECT_LT(largestStep, 0.2f) << "the sine itself moves at most 0.19 per sample";
}

// A rate that changes the latency is announced, through the controller, to
// the host; one that keeps it is not; so is a switch of the true-peak stage,
// whose look-ahead the latency then carries.
TEST_F(Vst3, LatencyOfANewRateIsAnnounced) {
    const struct {
        double rate;
        int32_t announcements;
    } rates[] = {{44100.0, 0}, {48000.0, 1}, {48000.0, 1}, {96000.0, 2}};
    for (const auto& r : rates) {
        ASSERT_TRUE(plugin->start(r.rate, kBlock));
        EXPECT_EQ(restarts(kLatencyChanged), r.announcements) << r.rate;
        plugin->stop();
    }
    EXPECT_EQ(application.messagesMade, 2);
    ASSERT_TRUE(plugin->start(96000.0, kBlock));
    plugin->change(kTruePeakId, 1.0);
    plugin->process(nullptr, nullptr, 0);
    EXPECT_EQ(restarts(kLatencyChanged), 3);
    EXPECT_GT(plugin->processor->getLatencySamples(), 87u);
    // A session reopened while its track runs: the restored switch counts
    // before the block that applies it, as hosts ask right away.
    auto reopened = make();
    ASSERT_TRUE(reopened->start(96000.0, kBlock));
    ASSERT_TRUE(reopened->restore(plugin->state()));
    EXPECT_EQ(reopened->processor->getLatencySamples(), plugin->processor->getLatencySamples());
    EXPECT_EQ(restarts(kLatencyChanged), 5) << "one rate and one state";
}

// The state carries the programs, the current one and the bypass; a VST 2
// host's bank, handed over when it moves a project, opens and sounds as the
// VST 2 build did; anything else is refused and changes nothing.
TEST_F(Vst3, StateRoundTripsAndOldVst2ProjectsOpen) {
    using namespace vst2_files;
    plugin->change(kProgramId, programValue(6));
    plugin->change(kKnee, 0.125);
    plugin->change(kBypassId, 1.0);
    float* none[2] = {nullptr, nullptr};
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    plugin->process(none, none, 0);
    const std::vector<uint8_t> saved = plugin->state();
    auto copy = make();
    ASSERT_TRUE(copy->restore(saved));
    EXPECT_EQ(copy->state(), saved);
    EXPECT_EQ(copy->controller->getParamNormalized(kProgramId), programValue(6));
    EXPECT_EQ(copy->controller->getParamNormalized(kKnee), 0.125);
    EXPECT_EQ(copy->controller->getParamNormalized(kBypassId), 1.0);

    auto migrated = make();
    ASSERT_TRUE(migrated->restore(wrapped(bank(2, 7), 0)));
    float values[6];
    for (int32_t i = 0; i < 6; ++i) {
        values[i] = valueOf(7, i);
        EXPECT_EQ(migrated->controller->getParamNormalized(static_cast<ParamID>(i)), values[i]) << i;
    }
    String128 name{};
    migrated->units->getProgramName(kProgramListId, 4, name);
    EXPECT_EQ(asciiText(name, 128), "Bank 4");
    ASSERT_TRUE(migrated->start(kRate, kBlock));
    auto vst2 = reference(values);
    const Channels input = loud(4000);
    const Channels migratedOutput = render(*migrated, input, kBlock);
    EXPECT_TRUE(sameBits(migratedOutput, renderThrough(*vst2, input, kBlock)))
        << "Force Channels Left: the right is silent";

    std::vector<uint8_t> cut = bank(2, 7);
    cut.pop_back();
    MemoryStream bad(cut);
    EXPECT_EQ(copy->component->setState(&bad), kResultFalse);
    EXPECT_EQ(copy->component->setState(nullptr), kInvalidArgument);
    MemoryStream noise(std::vector<uint8_t>(3000, 0xA5));
    EXPECT_EQ(copy->controller->setComponentState(&noise), kResultFalse);
    EXPECT_EQ(copy->state(), saved);
}

// The meter values travel as output parameters to the controller's editor,
// and come back to rest.
TEST_F(Vst3, MetersReachTheController) {
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    render(*plugin, loud(1536), kBlock);
    EXPECT_LT(plugin->controller->getParamNormalized(kMeterLeftId), 0.9);
    EXPECT_LT(plugin->controller->getParamNormalized(kKneeLampId), 1.0);
    render(*plugin, Channels(2, std::vector<float>(3 * 44100, 0.0f)), kBlock);
    EXPECT_EQ(plugin->controller->getParamNormalized(kMeterLeftId), 1.0);
    EXPECT_EQ(plugin->lastOutput().find(kMeterRightId), nullptr) << "nothing sent while at rest";
}

// A host's user-interface thread saves and restores the state and asks for
// texts while its audio thread runs blocks with changes; under ThreadSanitizer
// this shows what the two share is declared shared, and the ceiling holds.
TEST_F(Vst3, StateAndTextsBesideTheAudioThread) {
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    const Channels input = loud(kBlock);
    std::atomic<bool> done{false};
    float peak = 0.0f;
    std::thread audio([&] {
        Channels output(2, std::vector<float>(kBlock));
        float* in[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[1].data())};
        float* out[2] = {output[0].data(), output[1].data()};
        for (int32_t block = 0; !done; ++block) {
            plugin->queue(kInGain, (block % 10) / 10.0, block % kBlock);
            if (block % 7 == 0) plugin->queue(kProgramId, programValue(block % 10), 3);
            plugin->process(in, out, kBlock);
            peak = std::max(peak, loudest(output));
        }
    });
    String128 text{};
    for (int32_t round = 0; round < 50; ++round) {
        const std::vector<uint8_t> saved = plugin->state();
        MemoryStream stream(saved);
        EXPECT_EQ(plugin->component->setState(&stream), kResultOk);
        EXPECT_EQ(plugin->controller->getParamStringByValue(kKnee, round / 50.0, text), kResultOk);
    }
    done = true;
    audio.join();
    EXPECT_LE(peak, 1.0f);
}

}  // namespace
}  // namespace vst3_test
