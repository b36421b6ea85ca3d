// The bundle's Turtle files say only what is true of the binary: every name,
// range, start value, scale point and preset is compared with the effect
// itself.
#include <gtest/gtest.h>

#include <lv2/core/lv2.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/port-props/port-props.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "formats/lv2/lv2_identity.h"
#include "lv2_bundle.h"
#include "plugin/limiter_model.h"
#include "support/plugin_library.h"

using namespace formats;
using namespace formats::lv2;

namespace {

constexpr int32_t kGainSteps = 802;

class Lv2Description : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(bundle.plugin(), nullptr); }

    std::string uriOf(const LilvNode* node) { return node != nullptr ? lilv_node_as_uri(node) : std::string(); }
    bool hasProperty(uint32_t port, const char* property) {
        return lilv_port_has_property(bundle.plugin(), bundle.port(port), bundle.node(property));
    }
    const LilvNode* portValueOf(uint32_t port, const char* property) {
        LilvNode* value = lilv_port_get(bundle.plugin(), bundle.port(port), bundle.node(property));
        if (value != nullptr) found.emplace_back(value, lilv_node_free);
        return value;
    }
    std::set<std::string> uris(LilvNodes* nodes) {
        std::set<std::string> listed;
        LILV_FOREACH (nodes, i, nodes) listed.insert(lilv_node_as_uri(lilv_nodes_get(nodes, i)));
        lilv_nodes_free(nodes);
        return listed;
    }

    Lv2Bundle& bundle = Lv2Bundle::built();
    std::vector<std::unique_ptr<LilvNode, void (*)(LilvNode*)>> found;
    LimiterModel effect;
};

TEST_F(Lv2Description, ThePluginAsHostsListIt) {
    const LilvPlugin* plugin = bundle.plugin();
    const std::string uri = lilv_node_as_uri(lilv_plugin_get_uri(plugin));
    EXPECT_EQ(uri.find('#'), std::string::npos);
    EXPECT_TRUE(lilv_world_ask(bundle.world(), lilv_plugin_get_uri(plugin), bundle.node(LILV_NS_RDF "type"),
                               bundle.node(LV2_CORE__LimiterPlugin)));
    ASSERT_TRUE(effect.valid());
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_EQ(lilv_node_as_string(name), LimiterModel::effectName());
    lilv_node_free(name);
    EXPECT_EQ(uris(lilv_plugin_get_required_features(plugin)), std::set<std::string>());
    EXPECT_EQ(uris(lilv_plugin_get_optional_features(plugin)), std::set<std::string>{LV2_CORE__hardRTCapable});
    const LilvNode* subject = lilv_plugin_get_uri(plugin);
    EXPECT_EQ(lilv_node_as_int(bundle.value(subject, LV2_CORE__minorVersion)), QUILLO_VERSION_MINOR);
    EXPECT_EQ(lilv_node_as_int(bundle.value(subject, LV2_CORE__microVersion)), QUILLO_VERSION_MICRO);
    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), kPortCount);
    // Stereo each way; the delay on its own output port.
    for (uint32_t port = 0; port < kAudioPorts; ++port) {
        EXPECT_EQ(uriOf(portValueOf(port, LV2_CORE__designation)),
                  port % 2 == 0 ? LV2_PORT_GROUPS__left : LV2_PORT_GROUPS__right);
    }
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), static_cast<uint32_t>(kLatencyPort));
    EXPECT_TRUE(hasProperty(kLatencyPort, LV2_CORE__reportsLatency));
}

// Start values, ranges and units are the effect's; Force Channels' choices
// carry its display texts; the bypass is LV2's enabled port, on at the start.
// The names, and the start values read back as VST 2 values, are checked by
// the shared format expectations.
TEST_F(Lv2Description, ParameterPortsAreTheEffectsParameters) {
    float minimum[kPortCount], maximum[kPortCount], start[kPortCount];
    lilv_plugin_get_port_ranges_float(bundle.plugin(), minimum, maximum, start);
    const char* const units[kDescribedParameters] = {LV2_UNITS__db, LV2_UNITS__pc, "", "", "", "", "", LV2_UNITS__db, ""};
    for (int32_t index = 0; index < kDescribedParameters; ++index) {
        const uint32_t port = portOfParameter(index);
        const float effectStart = index < kParameterCount ? effect.parameter(index) : parameterAt(index).start;
        EXPECT_EQ(start[port], portValue(index, effectStart)) << index;
        EXPECT_EQ(minimum[port], portRange(index).minimum) << index;
        EXPECT_EQ(maximum[port], portRange(index).maximum) << index;
        EXPECT_EQ(uriOf(portValueOf(port, LV2_UNITS__unit)), units[index]) << index;
        EXPECT_EQ(hasProperty(port, LV2_CORE__toggled), parameterAt(index).kind == ParameterKind::Switch) << index;
    }
    EXPECT_EQ(uriOf(portValueOf(kEnabledPort, LV2_CORE__designation)), LV2_CORE__enabled);
    EXPECT_EQ(start[kEnabledPort], 1.0f);
    EXPECT_EQ(minimum[portOfParameter(kInGain)], -40.0f);
    EXPECT_EQ(maximum[portOfParameter(kInGain)], 40.1f);
    EXPECT_EQ(lilv_node_as_int(portValueOf(portOfParameter(kInGain), LV2_PORT_PROPS__rangeSteps)), kGainSteps);

    const uint32_t channels = portOfParameter(kForceChannels);
    EXPECT_TRUE(hasProperty(channels, LV2_CORE__enumeration));
    EXPECT_TRUE(hasProperty(channels, LV2_CORE__integer));
    LilvScalePoints* points = lilv_port_get_scale_points(bundle.plugin(), bundle.port(channels));
    EXPECT_EQ(lilv_scale_points_size(points), std::size(kChannelTexts));
    LILV_FOREACH (scale_points, i, points) {
        const LilvScalePoint* point = lilv_scale_points_get(points, i);
        const float value = lilv_node_as_float(lilv_scale_point_get_value(point));
        EXPECT_EQ(lilv_node_as_string(lilv_scale_point_get_label(point)),
                  displayOf(kForceChannels, *normalisedValue(kForceChannels, value)));
    }
    lilv_scale_points_free(points);
}

TEST_F(Lv2Description, PresetsAreTheProgramsAsTheEffectHoldsThem) {
    ASSERT_EQ(bundle.presets().size(), static_cast<size_t>(kProgramCount));
    for (int32_t program = 0; program < kProgramCount; ++program) {
        EXPECT_EQ(uriOf(bundle.presets()[program]), kPresetUriPrefix + std::to_string(program + 1));
        const auto values = bundle.presetValues(program);
        for (int32_t index = 0; index < kParameterCount; ++index) {
            EXPECT_EQ(values[portOfParameter(index)], portValue(index, effect.programValue(program, index)))
                << program << " " << index;
        }
        EXPECT_TRUE(std::isnan(values[kLatencyPort]));
    }
}

TEST_F(Lv2Description, TheUiIsAnEmbeddedX11WindowDrivenByIdleCalls) {
    LilvUIs* uis = lilv_plugin_get_uis(bundle.plugin());
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    const std::string uri = uriOf(lilv_ui_get_uri(ui));
    EXPECT_EQ(uri, kUiUri);
    EXPECT_EQ(uri.find('#'), std::string::npos);
    EXPECT_TRUE(lilv_ui_is_a(ui, bundle.node(LV2_UI__X11UI)));
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    EXPECT_TRUE(PluginLibrary(binary).loaded()) << binary;
    lilv_free(binary);
    const LilvNode* subject = lilv_ui_get_uri(ui);
    EXPECT_EQ(uris(lilv_world_find_nodes(bundle.world(), subject, bundle.node(LV2_CORE__requiredFeature), nullptr)),
              (std::set<std::string>{LV2_UI__idleInterface, LV2_UI__parent}));
    EXPECT_EQ(uris(lilv_world_find_nodes(bundle.world(), subject, bundle.node(LV2_CORE__extensionData), nullptr)),
              std::set<std::string>{LV2_UI__idleInterface});
    lilv_uis_free(uis);
}

}  // namespace
