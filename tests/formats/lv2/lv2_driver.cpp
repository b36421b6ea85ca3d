// The LV2 bundle behind the shared expectations: loaded from its folder by
// lilv, its parameters as control ports in the user's units, its programs as
// presets, its delay read from the latency port after a run of no frames.
#include <cmath>

#include "formats/format_under_test.h"
#include "lv2_bundle.h"

namespace {

using namespace formats::lv2;

class Lv2Instance : public FormatInstance {
public:
    explicit Lv2Instance(Lv2Bundle& loaded) : bundle(loaded) {
        for (uint32_t port = 0; port < kPortCount; ++port) ports[port] = bundle.defaultValue(port);
    }
    ~Lv2Instance() override {
        if (instance == nullptr) return;
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }

    // LV2 takes the rate at instantiation and names no largest block.
    void start(float rate, int32_t) override {
        instance = bundle.instantiate(rate);
        if (instance == nullptr) return;
        for (uint32_t port = kFirstParameterPort; port < kPortCount; ++port) {
            lilv_instance_connect_port(instance, port, &ports[port]);
        }
        lilv_instance_activate(instance);
    }
    int32_t latency() override {
        if (instance == nullptr) return -1;
        float silence[1] = {};
        for (uint32_t port = 0; port < kAudioPorts; ++port) lilv_instance_connect_port(instance, port, silence);
        lilv_instance_run(instance, 0);
        return static_cast<int32_t>(ports[kLatencyPort]);
    }

    void setParameter(int32_t index, float value) override { ports[portOfParameter(index)] = portValue(index, value); }
    float parameter(int32_t index) override { return normalisedValue(index, ports[portOfParameter(index)]).value_or(NAN); }
    float carried(int32_t index, float value) override { return normalisedValue(index, portValue(index, value)).value_or(NAN); }
    std::optional<std::string> parameterName(int32_t index) override {
        LilvNode* name = lilv_port_get_name(bundle.plugin(), bundle.port(portOfParameter(index)));
        const std::string text = lilv_node_as_string(name);
        lilv_node_free(name);
        return text;
    }
    std::optional<std::string> parameterUnit(int32_t) override { return std::nullopt; }
    // The texts LV2 carries are the scale points' labels.
    std::optional<std::string> display(int32_t index) override;

    std::vector<std::string> programNames() override {
        std::vector<std::string> names;
        for (size_t p = 0; p < bundle.presets().size(); ++p) names.push_back(bundle.presetLabel(p));
        return names;
    }
    void selectProgram(int32_t index) override {
        const auto values = bundle.presetValues(static_cast<size_t>(index));
        for (uint32_t port = kFirstParameterPort; port < kLatencyPort; ++port) {
            if (!std::isnan(values[port])) ports[port] = values[port];
        }
    }

    void process(float* const* inputs, float* const* outputs, int32_t frames) override {
        if (instance == nullptr) return;
        for (uint32_t c = 0; c < 2; ++c) {
            lilv_instance_connect_port(instance, kInputLeft + c, inputs[c]);
            lilv_instance_connect_port(instance, kOutputLeft + c, outputs[c]);
        }
        lilv_instance_run(instance, static_cast<uint32_t>(frames));
    }

private:
    Lv2Bundle& bundle;
    LilvInstance* instance = nullptr;
    float ports[kPortCount] = {};
};

std::optional<std::string> Lv2Instance::display(int32_t index) {
    LilvScalePoints* points = lilv_port_get_scale_points(bundle.plugin(), bundle.port(portOfParameter(index)));
    std::optional<std::string> text;
    LILV_FOREACH (scale_points, i, points) {
        const LilvScalePoint* point = lilv_scale_points_get(points, i);
        if (lilv_node_as_float(lilv_scale_point_get_value(point)) == ports[portOfParameter(index)]) {
            text = lilv_node_as_string(lilv_scale_point_get_label(point));
        }
    }
    lilv_scale_points_free(points);
    return text;
}

class Lv2Format : public FormatUnderTest {
public:
    std::string name() const override { return "LV2"; }
    std::unique_ptr<FormatInstance> create() override {
        if (Lv2Bundle::built().plugin() == nullptr) return nullptr;
        return std::make_unique<Lv2Instance>(Lv2Bundle::built());
    }
};

}  // namespace

FormatUnderTest& formatUnderTest() {
    static Lv2Format format;
    return format;
}

FormatUnderTest* vst2Reference() {
    static const std::unique_ptr<FormatUnderTest> format = vst2Format(QUILLO_MODULE_FILE);
    return format.get();
}
