// The VST 3 build behind the shared expectations: the bundle's module loaded
// as a host loads it, each instance driven through both of its halves, and
// the VST 2 build of the same tree to compare its bits with.
#include "formats/format_under_test.h"
#include "formats/vst3/vst3_host.h"
#include "formats/vst3/vst3_layout.h"
#include "formats/vst3/vst3_support.h"

#ifndef QUILLO_VST3_FILE
#error "QUILLO_VST3_FILE must name the built VST 3 module"
#endif

namespace vst3_test {
namespace {

class Vst3Instance : public FormatInstance {
public:
    Vst3Instance(IPluginFactory* factory, HostApplication& application, ComponentHandler& handler)
        : plugin(factory, application, handler) {}
    bool valid() const { return plugin.valid(); }

    void start(float rate, int32_t maxBlock) override { plugin.start(rate, maxBlock); }
    int32_t latency() override { return static_cast<int32_t>(plugin.processor->getLatencySamples()); }

    // The normalised VST 3 value is the VST 2 value.
    void setParameter(int32_t index, float value) override { plugin.change(static_cast<ParamID>(index), value); }
    float parameter(int32_t index) override {
        return static_cast<float>(plugin.controller->getParamNormalized(static_cast<ParamID>(index)));
    }
    std::optional<std::string> parameterName(int32_t index) override { return text(index, &ParameterInfo::title); }
    std::optional<std::string> parameterUnit(int32_t index) override { return text(index, &ParameterInfo::units); }
    std::optional<std::string> display(int32_t index) override {
        String128 shown{};
        const auto id = static_cast<ParamID>(index);
        if (plugin.controller->getParamStringByValue(id, plugin.controller->getParamNormalized(id), shown) != kResultOk)
            return std::nullopt;
        return asciiText(shown, kString128);
    }

    std::vector<std::string> programNames() override {
        std::vector<std::string> names;
        ProgramListInfo list{};
        if (plugin.units == nullptr || plugin.units->getProgramListInfo(0, &list) != kResultOk) return names;
        for (int32_t p = 0; p < list.programCount; ++p) {
            String128 name{};
            plugin.units->getProgramName(list.id, p, name);
            names.push_back(asciiText(name, kString128).value_or("?"));
        }
        return names;
    }
    void selectProgram(int32_t index) override { plugin.change(kProgramId, programValue(index)); }

    void process(float* const* inputs, float* const* outputs, int32_t frames) override {
        plugin.process(inputs, outputs, frames);
    }

private:
    std::optional<std::string> text(int32_t index, String128 ParameterInfo::*field) {
        for (int32_t i = 0; i < plugin.controller->getParameterCount(); ++i) {
            ParameterInfo info{};
            if (plugin.controller->getParameterInfo(i, &info) == kResultOk && info.id == static_cast<ParamID>(index))
                return asciiText(info.*field, kString128);
        }
        return std::nullopt;
    }

    Vst3Plugin plugin;
};

class Vst3Format : public FormatUnderTest {
public:
    explicit Vst3Format(const char* path) : module(path) {}
    std::string name() const override { return "VST 3"; }
    std::unique_ptr<FormatInstance> create() override {
        auto instance = std::make_unique<Vst3Instance>(module.factory(), application, handler);
        if (!instance->valid()) return nullptr;
        return instance;
    }

private:
    Vst3Module module;
    HostApplication application;
    ComponentHandler handler;
};

}  // namespace
}  // namespace vst3_test

FormatUnderTest& formatUnderTest() {
    static vst3_test::Vst3Format format(QUILLO_VST3_FILE);
    return format;
}

FormatUnderTest* vst2Reference() {
    static const std::unique_ptr<FormatUnderTest> reference = vst2Format(QUILLO_MODULE_FILE);
    return reference.get();
}
