// The effect as the formats drive it in process: programs by index without
// switching, the editor's holds on its controls, the meters, and instances
// made on several threads at once.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "editor/limiter_editor.h"
#include "editor/panel_regions.h"
#include "plugin/limiter_model.h"
#include "support/render_material.h"

namespace {

struct Heard : EffectObserver {
    void parameterEdited(int32_t index, float) override { events.push_back("change " + std::to_string(index)); }
    void editBegun(int32_t index) override { events.push_back("begin " + std::to_string(index)); }
    void editEnded(int32_t index) override { events.push_back("end " + std::to_string(index)); }
    std::vector<std::string> events;
};

uint32_t at(const HitRegion& region, int32_t dy = 0) {
    const auto y = static_cast<uint32_t>(static_cast<uint16_t>(region.top + 10 + dy));
    return y << 16 | static_cast<uint32_t>(region.left + 10);
}

std::vector<std::vector<float>> render(LimiterModel& model, const std::vector<std::vector<float>>& input,
                                       int32_t block) {
    return render_material::renderThrough(model, input, block);
}

// Another program is written and read without becoming current; what is out
// of range changes nothing.
TEST(LimiterModel, ProgramsAreReadAndWrittenByIndexWithoutSwitching) {
    LimiterModel model;
    ASSERT_TRUE(model.valid());
    model.setProgramValue(3, kInGain, 0.25f);
    model.setProgramValue(3, kStereoLink, 7.0f);  // the nearer end
    EXPECT_EQ(model.program(), 0);
    EXPECT_EQ(model.parameter(kInGain), 0.5f);
    EXPECT_EQ(model.programValue(3, kStereoLink), 1.0f);
    for (int32_t index : {-1, kParameterCount}) {
        model.setProgramValue(0, index, 0.3f);
        EXPECT_EQ(model.programValue(0, index), 0.0f);
    }
    model.selectProgram(kProgramCount);
    EXPECT_EQ(model.program(), 0);
    model.selectProgram(3);
    EXPECT_EQ(model.parameter(kInGain), 0.25f);
}

// A drag is one edit from the press to the release; a click on a switch or a
// reset is an edit of its own.
TEST(LimiterModel, TheEditorsHoldsOnItsControlsAreEdits) {
    LimiterPlugin effect(nullptr);
    Heard heard;
    effect.setObserver(&heard);
    LimiterEditor& editor = *effect.limiterEditor;
    editor.onLeftButtonDown(at(kGainKnobRegion));
    for (int32_t step = 1; step <= 3; ++step) {
        editor.onMouseMove(at(kGainKnobRegion, -5 * step));
        editor.applyDragStep();
    }
    editor.onButtonUp();
    editor.onLeftButtonDown(at(kIqLampRegion));
    editor.onButtonUp();
    editor.onRightButtonDown(at(kKneeKnobRegion));
    editor.onLeftButtonDown(at(kKneeKnobRegion));
    editor.onButtonUp();
    const std::vector<std::string> expected = {"begin 0", "change 0", "change 0", "change 0", "end 0",
                                               "begin 2", "change 2", "end 2",    "begin 1", "change 1",
                                               "end 1",   "begin 1",  "end 1"};
    EXPECT_EQ(heard.events, expected);
}

// Meter values taken on the audio side reach another instance's editor; a
// value no meter gives shows as rest.
TEST(LimiterModel, MetersLeaveTheAudioSideAndReachAnEditorsEffect) {
    LimiterModel audio;
    audio.setParameter(kInGain, 1.0f);
    audio.setSampleRate(48000.0f);
    audio.setMaxBlock(512);
    ASSERT_TRUE(audio.resume());
    render(audio, render_material::stereoNoise(512, 2.0f, 5u), 512);
    MeterValues taken = audio.takeMeters();
    EXPECT_LT(taken.gain[0], 0.1f);
    EXPECT_EQ(audio.takeMeters().gain[1], 1.0f) << "taking returns them to rest";
    LimiterModel editor;
    taken.gain[1] = std::numeric_limits<float>::quiet_NaN();
    editor.showMeters(taken);
    const MeterValues seen = editor.takeMeters();
    EXPECT_EQ(seen.gain[0], taken.gain[0]);
    EXPECT_EQ(seen.gain[1], 1.0f);
}

// Hosts scan and create plug-ins on several threads at once: nothing one
// instance does (its creation, its rate) reaches another.
TEST(LimiterModel, InstancesMadeOnSeveralThreadsAtOnceKeepToThemselves) {
    constexpr int32_t kThreads = 4;
    constexpr float kRates[kThreads] = {44100.0f, 96000.0f, 48000.0f, 22050.0f};
    const auto input = render_material::stereoNoise(4000, 3.0f, 11u);
    std::array<std::vector<std::vector<float>>, kThreads> outputs;
    std::array<int32_t, kThreads> latencies{};
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            LimiterModel model;
            model.setSampleRate(kRates[t]);
            model.setMaxBlock(256);
            model.resume();
            latencies[static_cast<size_t>(t)] = model.latency();
            outputs[static_cast<size_t>(t)] = render(model, input, 256);
        });
    }
    for (auto& thread : threads) thread.join();
    const int32_t expected[kThreads] = {40, 87, 43, 20};
    for (int32_t t = 0; t < kThreads; ++t) {
        LimiterModel alone;
        alone.setSampleRate(kRates[t]);
        alone.setMaxBlock(256);
        alone.resume();
        EXPECT_EQ(latencies[static_cast<size_t>(t)], expected[t]);
        EXPECT_TRUE(render_material::sameBits(outputs[static_cast<size_t>(t)], render(alone, input, 256))) << t;
    }
}

}  // namespace
