// The shared in-process host: what it keeps of the programs must be what the
// effect holds, whoever changed the values, and the meters must travel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "formats/shared/effect_host.h"
#include "formats/shared/parameter_texts.h"
#include "support/render_material.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);

namespace formats {
namespace {

struct Automations : EffectListener {
    void parameterAutomated(int32_t index, float value) override { seen.push_back({index, value}); }
    std::vector<std::pair<int32_t, float>> seen;
};

// One block of loud stereo noise.
void render(EffectHost& host, int32_t frames, float peak) {
    auto input = render_material::stereoNoise(frames, peak, 5u);
    std::vector<float> output[2] = {std::vector<float>(input[0].size()), std::vector<float>(input[1].size())};
    float* in[2] = {input[0].data(), input[1].data()};
    float* out[2] = {output[0].data(), output[1].data()};
    host.process(in, out, frames);
}

TEST(EffectHost, KeepsEveryProgramAsTheEffectHoldsIt) {
    Automations automations;
    EffectHost host(quilloEntry, &automations);
    ASSERT_TRUE(host.valid());
    EXPECT_EQ(host.program(), 0);
    host.setParameter(0, 0.75f);
    host.selectProgram(3);
    host.setParameter(1, 0.25f);
    host.setParameter(5, 7.0f);  // taken as the nearer end
    host.renameProgram("Mastering");
    host.selectProgram(8);
    host.setParameter(2, 1.0f);
    // Auto Select Channels reports its choice from the first block after a resume.
    host.setBlockSize(64);
    host.resume();
    automations.seen.clear();
    render(host, 64, 0.5f);
    ASSERT_EQ(automations.seen.size(), 1u);
    EXPECT_EQ(automations.seen[0].first, kForceChannels);
    host.suspend();

    float kept[kEffectPrograms][kEffectParameters];
    for (int32_t p = 0; p < kEffectPrograms; ++p)
        for (int32_t i = 0; i < kEffectParameters; ++i) kept[p][i] = host.programValue(p, i);
    EXPECT_EQ(kept[0][0], 0.75f);
    EXPECT_EQ(kept[3][5], 1.0f);
    EXPECT_EQ(trimmed(host.programName(3)), "Mastering");
    for (int32_t p = 0; p < kEffectPrograms; ++p) {
        host.selectProgram(p);
        for (int32_t i = 0; i < kEffectParameters; ++i) EXPECT_EQ(host.parameter(i), kept[p][i]) << p << "/" << i;
    }
}

TEST(EffectHost, RefusesWhatIsOutOfRangeAndAnEntryThatGivesNothing) {
    EffectHost none([](audioMasterCallback) -> AEffect* { return nullptr; });
    EXPECT_FALSE(none.valid());
    none.setParameter(0, 0.5f);
    none.resume();
    EXPECT_EQ(none.latency(), 0);
    EXPECT_EQ(none.takeMeters().gain[0], 1.0f);

    EffectHost host(quilloEntry);
    for (int32_t index : {-1, kEffectParameters, 1000}) {
        host.setParameter(index, 0.3f);
        EXPECT_EQ(host.parameter(index), 0.0f);
        EXPECT_EQ(host.programValue(0, index), 0.0f);
    }
    host.selectProgram(kEffectPrograms);
    host.selectProgram(-1);
    EXPECT_EQ(host.program(), 0);
    EXPECT_EQ(host.programName(kEffectPrograms), "");
    host.renameProgram(std::string(300, 'x'));
    EXPECT_EQ(host.programName(0), std::string(kProgramNameLength, 'x'));
}

TEST(EffectHost, MetersLeaveTheAudioSideAndReachAnEditorsEffect) {
    EffectHost audio(quilloEntry);
    audio.setParameter(0, 1.0f);
    audio.setSampleRate(48000.0f);
    audio.setBlockSize(512);
    audio.resume();
    render(audio, 512, 2.0f);
    const MeterValues taken = audio.takeMeters();
    EXPECT_LT(taken.gain[0], 0.1f);
    EXPECT_LT(taken.kneeLamp, 1.0f);
    EXPECT_EQ(audio.takeMeters().gain[1], 1.0f) << "taking returns them to rest";

    EffectHost editor(quilloEntry);
    MeterValues shown = taken;
    shown.gain[1] = std::numeric_limits<float>::quiet_NaN();
    shown.kneeLamp = -3.0f;
    editor.showMeters(shown);
    editor.showMeters(MeterValues{});  // a later, quieter block keeps the lowest
    const MeterValues seen = editor.takeMeters();
    EXPECT_EQ(seen.gain[0], taken.gain[0]);
    EXPECT_EQ(seen.gain[1], 1.0f);
    EXPECT_EQ(seen.kneeLamp, 1.0f);
}

}  // namespace
}  // namespace formats
