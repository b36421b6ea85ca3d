// The built LV2 bundle as a host sees it: loaded from its folder through lilv,
// its ports and presets read from its Turtle files, instances made by lilv.
#pragma once

#include <lilv/lilv.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/lv2/lv2_ports.h"

class Lv2Bundle {
public:
    // The bundle of this build, loaded once per process.
    static Lv2Bundle& built();

    explicit Lv2Bundle(const std::string& folder);
    ~Lv2Bundle();
    Lv2Bundle(const Lv2Bundle&) = delete;
    Lv2Bundle& operator=(const Lv2Bundle&) = delete;

    LilvWorld* world() const { return lilvWorld; }
    const LilvPlugin* plugin() const { return lilvPlugin; }
    LilvNode* node(const char* uri);
    // The first value of a property of a subject, or null.
    const LilvNode* value(const LilvNode* subject, const char* property);

    const LilvPort* port(uint32_t index) const { return lilv_plugin_get_port_by_index(lilvPlugin, index); }
    float defaultValue(uint32_t index) const { return defaults[index]; }
    // An instance as lilv makes it, without host features; null where refused.
    LilvInstance* instantiate(double rate) const { return lilv_plugin_instantiate(lilvPlugin, rate, nullptr); }

    // Presets in the order of their numbers, with their labels.
    const std::vector<const LilvNode*>& presets() const { return presetNodes; }
    std::string presetLabel(size_t preset);
    // The port values a preset sets, by port index (NaN for ports it leaves).
    std::array<float, formats::lv2::kPortCount> presetValues(size_t preset);

    static uint32_t mapUri(void* bundle, const char* uri);

private:
    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* lilvPlugin = nullptr;
    std::vector<LilvNode*> nodes;
    std::vector<std::string> uris;
    std::array<float, formats::lv2::kPortCount> defaults{};
    LilvNodes* related = nullptr;
    std::vector<const LilvNode*> presetNodes;
};
