// What only the CLAP build has: its factory and parameters, events at their
// frames, the latency at the activated rate, its state, and careless hosts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "formats/clap/clap_host.h"
#include "formats/format_under_test.h"
#include "plugin/parameters.h"

namespace clap_test {
namespace {

using render_material::Channels;

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;

const ClapModule& module() {
    static const ClapModule loaded(QUILLO_CLAP_FILE);
    return loaded;
}

TEST(Clap, OnePluginWithTheEffectsParametersTextsAndFeatures) {
    const PluginFactory* factory = module().factory();
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->get_plugin_count(factory), 1u);
    const PluginDescriptor* descriptor = factory->get_plugin_descriptor(factory, 0);
    EXPECT_STREQ(descriptor->name, "Vrn-Quillo_Limiter");
    std::vector<std::string> features;
    for (const char* const* f = descriptor->features; *f != nullptr; ++f) features.push_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "limiter", "stereo", "mono"}));
    EXPECT_EQ(factory->create_plugin(factory, nullptr, descriptor->id), nullptr);

    ClapPlugin plugin(factory);
    const auto* params = plugin.extension<PluginParams>(kExtParams);
    ASSERT_EQ(params->count(plugin.plugin), static_cast<uint32_t>(kDescribedParameters));
    for (uint32_t i = 0; i < params->count(plugin.plugin); ++i) {
        ParamInfo info{};
        ASSERT_TRUE(params->get_info(plugin.plugin, i, &info));
        const ParameterDescriptor& p = parameterAt(static_cast<int32_t>(i));
        EXPECT_EQ(info.id, p.id);
        EXPECT_EQ((info.flags & kParamIsBypass) != 0, p.bypass);
        EXPECT_EQ(info.max_value, p.steps > 0 ? p.maximum : 1.0);
        double plain = -1.0;
        ASSERT_TRUE(params->get_value(plugin.plugin, info.id, &plain));
        EXPECT_EQ(plain, info.default_value);
        for (int32_t eighth = 0; eighth <= 8; ++eighth) {
            plain = info.min_value + (info.max_value - info.min_value) * eighth / 8;
            char text[kNameSize] = {};
            double back = -1.0;
            ASSERT_TRUE(params->value_to_text(plugin.plugin, info.id, plain, text, sizeof text));
            ASSERT_TRUE(params->text_to_value(plugin.plugin, info.id, text, &back)) << text;
            char again[kNameSize] = {};
            params->value_to_text(plugin.plugin, info.id, back, again, sizeof again);
            EXPECT_STREQ(again, text) << info.id;
        }
    }
    double value = 0.0;
    EXPECT_FALSE(params->get_value(plugin.plugin, 101, &value));
    EXPECT_FALSE(params->text_to_value(plugin.plugin, kInGain, "loud", &value));
}

// Changes at their frames sound as blocks cut there; the latency follows the
// rate of each activation, announced as it changes.
TEST(Clap, EventsTakeEffectAtTheirFramesAndTheLatencyFollowsTheRate) {
    const Channels input = {render_material::material(4096, 11u), render_material::material(4096, 29u)};
    ClapPlugin plugin(module().factory()), cut(module().factory());
    ASSERT_TRUE(plugin.start(kRate, 1, kBlock) && cut.start(kRate, 1, kBlock));
    plugin.queue(kInGain, 0.8, 100);
    plugin.queue(kKnee, 0.2, 301);
    EXPECT_TRUE(render_material::sameBits(render_material::renderThrough(plugin, input, kBlock), render_material::renderThrough(cut, input, 1, [&](int32_t at, int32_t) {
        if (at == 100 || at == 301) cut.queue(at == 100 ? kInGain : kKnee, at == 100 ? 0.8 : 0.2);
    })));

    const auto* latency = plugin.extension<PluginLatency>(kExtLatency);
    EXPECT_EQ(latency->get(plugin.plugin), 40u);
    plugin.stop();
    plugin.requests.clear();
    ASSERT_TRUE(plugin.start(96000.0, 1, kBlock));
    EXPECT_EQ(latency->get(plugin.plugin), 87u);
    EXPECT_EQ(plugin.requests, std::vector<std::string>{"latency.changed"});
    // The true-peak stage's look-ahead joins it through a restart.
    plugin.queue(kTruePeakId, 1.0);
    plugin.process(nullptr, nullptr, 0);
    EXPECT_GT(latency->get(plugin.plugin), 87u);
    EXPECT_EQ(plugin.requests.back(), "restart");
}

// The state moves to a fresh instance whole; damaged or foreign bytes, read in
// any pieces, change nothing.
TEST(Clap, StateMovesWholeAndAnythingElseChangesNothing) {
    ClapPlugin first(module().factory());
    first.queue(kInGain, 0.25);
    first.queue(kBypassId, 1.0);
    first.flush();
    const std::vector<uint8_t> saved = first.state(7);
    ClapPlugin second(module().factory());
    const std::vector<uint8_t> fresh = second.state();
    std::vector<uint8_t> damaged = saved;
    damaged[damaged.size() / 2] ^= 0xFF;
    for (const auto& bad : {damaged, std::vector<uint8_t>(saved.begin(), saved.end() - 1), std::vector<uint8_t>()}) {
        EXPECT_FALSE(second.restore(bad, 3));
        EXPECT_EQ(second.state(), fresh);
    }
    ASSERT_TRUE(second.restore(saved, 5));
    EXPECT_EQ(second.state(), saved);
}

// What the session fuzzing cannot judge: refusals. Blocks before activation,
// rates no host runs at (one once ran past the bypass's fade length), no
// frames, a second activation, missing buffers; a value that is no number
// leaves the parameter as it was, one beyond the range is the nearer end, one
// between steps the nearer step.
TEST(Clap, CarelessHostsAreRefusedQuietly) {
    ClapPlugin plugin(module().factory());
    EXPECT_EQ(plugin.process(nullptr, nullptr, kBlock), kProcessError);
    EXPECT_FALSE(plugin.plugin->start_processing(plugin.plugin));
    for (const double rate : {6e15, 1000.0, -kRate, 0.0}) EXPECT_FALSE(plugin.plugin->activate(plugin.plugin, rate, 1, kBlock));
    EXPECT_FALSE(plugin.plugin->activate(plugin.plugin, kRate, 1, 0));
    ASSERT_TRUE(plugin.start(kRate, 1, kBlock));
    EXPECT_FALSE(plugin.plugin->activate(plugin.plugin, kRate, 1, kBlock));
    EXPECT_EQ(plugin.process(nullptr, nullptr, kBlock), kProcessError);
    plugin.queue(kInGain, 1e9, 10);
    plugin.queue(kInGain, std::nan(""), 20);
    plugin.queue(kCeilingId, -6.04, 30);  // the nearer step: -6.0 dB
    plugin.queue(kBypassId, 0.1, 40);     // the nearer step: off
    EXPECT_LE(render_material::loudest(render_material::renderThrough(plugin, render_material::stereoNoise(kBlock, 6.0f, 3u), kBlock)), 1.0f);
    EXPECT_LE(render_material::loudest(render_material::renderThrough(plugin, render_material::stereoNoise(kBlock, 6.0f, 4u), kBlock)),
              ceilingLevel(0.7f));
    const auto* params = plugin.extension<PluginParams>(kExtParams);
    for (const auto& [id, expected] : {std::pair<Id, double>{kInGain, 1.0}, {kCeilingId, -6.0}, {kBypassId, 0.0}}) {
        double value = -1.0;
        params->get_value(plugin.plugin, id, &value);
        EXPECT_EQ(value, expected) << id;
    }
    EXPECT_EQ(plugin.extension<PluginGui>("clap.none"), nullptr);
}

}  // namespace
}  // namespace clap_test
