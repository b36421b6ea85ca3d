#include "lv2_bundle.h"

#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/lv2/lv2_identity.h"

namespace {

struct PresetReading {
    Lv2Bundle* bundle;
    std::array<float, formats::lv2::kPortCount> values;
};

void takePortValue(const char* symbol, void* reading, const void* value, uint32_t size, uint32_t) {
    auto* into = static_cast<PresetReading*>(reading);
    LilvNode* name = lilv_new_string(into->bundle->world(), symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(into->bundle->plugin(), name);
    lilv_node_free(name);
    if (port == nullptr || size != sizeof(float)) return;
    std::memcpy(&into->values[lilv_port_get_index(into->bundle->plugin(), port)], value, sizeof(float));
}

// Preset URIs end in their program's number: shorter numbers first.
bool presetBefore(const LilvNode* a, const LilvNode* b) {
    const std::string left = lilv_node_as_uri(a);
    const std::string right = lilv_node_as_uri(b);
    return left.size() != right.size() ? left.size() < right.size() : left < right;
}

}  // namespace

Lv2Bundle& Lv2Bundle::built() {
    static Lv2Bundle bundle(QUILLO_LV2_BUNDLE);
    return bundle;
}

Lv2Bundle::Lv2Bundle(const std::string& folder) : lilvWorld(lilv_world_new()) {
    LilvNode* bundle = lilv_new_file_uri(lilvWorld, nullptr, (folder + "/").c_str());
    lilv_world_load_bundle(lilvWorld, bundle);
    lilv_node_free(bundle);
    lilvPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), node(formats::lv2::kPluginUri));
    if (lilvPlugin == nullptr) return;
    lilv_plugin_get_port_ranges_float(lilvPlugin, nullptr, nullptr, defaults.data());
    related = lilv_plugin_get_related(lilvPlugin, node(LV2_PRESETS__Preset));
    LILV_FOREACH (nodes, i, related) {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(lilvWorld, preset);
        presetNodes.push_back(preset);
    }
    std::sort(presetNodes.begin(), presetNodes.end(), presetBefore);
}

Lv2Bundle::~Lv2Bundle() {
    lilv_nodes_free(related);
    for (LilvNode* n : nodes) lilv_node_free(n);
    lilv_world_free(lilvWorld);
}

LilvNode* Lv2Bundle::node(const char* uri) {
    nodes.push_back(lilv_new_uri(lilvWorld, uri));
    return nodes.back();
}

const LilvNode* Lv2Bundle::value(const LilvNode* subject, const char* property) {
    LilvNode* found = lilv_world_get(lilvWorld, subject, node(property), nullptr);
    if (found != nullptr) nodes.push_back(found);
    return found;
}

std::string Lv2Bundle::presetLabel(size_t preset) {
    const LilvNode* label = value(presetNodes.at(preset), LILV_NS_RDFS "label");
    return label != nullptr ? lilv_node_as_string(label) : std::string();
}

std::array<float, formats::lv2::kPortCount> Lv2Bundle::presetValues(size_t preset) {
    PresetReading reading{this, {}};
    reading.values.fill(NAN);
    LV2_URID_Map map{this, mapUri};
    LilvState* state = lilv_state_new_from_world(lilvWorld, &map, presetNodes.at(preset));
    if (state != nullptr) lilv_state_emit_port_values(state, takePortValue, &reading);
    lilv_state_free(state);
    return reading.values;
}

uint32_t Lv2Bundle::mapUri(void* bundle, const char* uri) {
    auto& known = static_cast<Lv2Bundle*>(bundle)->uris;
    const auto at = std::find(known.begin(), known.end(), uri);
    if (at != known.end()) return static_cast<uint32_t>(at - known.begin()) + 1;
    known.emplace_back(uri);
    return static_cast<uint32_t>(known.size());
}
