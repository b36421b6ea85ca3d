// The CLAP build behind the shared expectations: the module loaded as a host
// loads it, each instance driven through its events, with the VST 2 build of
// the same tree (or, where it is not a loadable file, none) for the bits.
#include "formats/clap/clap_host.h"
#include "formats/format_under_test.h"
#include "plugin/parameters.h"

#ifndef QUILLO_CLAP_FILE
#error "QUILLO_CLAP_FILE must name the built CLAP module"
#endif

namespace clap_test {
namespace {

// A stepped parameter's plain value is its step, a continuous one's the VST 2 value.
double plainOf(int32_t index, float value) {
    return parameterAt(index).steps > 0 ? userFromNormalised(static_cast<uint32_t>(index), value) : value;
}

class ClapInstance : public FormatInstance {
public:
    explicit ClapInstance(const PluginFactory* factory) : plugin(factory) {}
    bool valid() const { return plugin.valid(); }

    void start(float rate, int32_t maxBlock) override { plugin.start(rate, 1, static_cast<uint32_t>(maxBlock)); }
    int32_t latency() override {
        const auto* table = plugin.extension<PluginLatency>(kExtLatency);
        return table != nullptr ? static_cast<int32_t>(table->get(plugin.plugin)) : -1;
    }

    // Taken at once where no block runs, else at the next block's start.
    void setParameter(int32_t index, float value) override {
        plugin.queue(static_cast<Id>(index), plainOf(index, value));
        if (!running) plugin.flush();
    }
    float parameter(int32_t index) override {
        double plain = 0.0;
        params()->get_value(plugin.plugin, static_cast<Id>(index), &plain);
        return parameterAt(index).steps > 0 ? *normalisedFromUser(static_cast<uint32_t>(index), static_cast<float>(plain))
                                            : static_cast<float>(plain);
    }
    std::optional<std::string> parameterName(int32_t index) override {
        ParamInfo info{};
        if (!params()->get_info(plugin.plugin, static_cast<uint32_t>(index), &info)) return std::nullopt;
        return std::string(info.name);
    }
    std::optional<std::string> parameterUnit(int32_t) override { return std::nullopt; }
    std::optional<std::string> display(int32_t index) override {
        double plain = 0.0;
        char text[kNameSize] = {};
        params()->get_value(plugin.plugin, static_cast<Id>(index), &plain);
        if (!params()->value_to_text(plugin.plugin, static_cast<Id>(index), plain, text, sizeof text)) return std::nullopt;
        return std::string(text);
    }

    // CLAP keeps the programs in the state only.
    std::vector<std::string> programNames() override { return {}; }
    void selectProgram(int32_t) override {}

    void process(float* const* inputs, float* const* outputs, int32_t frames) override {
        running = true;
        plugin.process(inputs, outputs, static_cast<uint32_t>(frames));
    }

private:
    const PluginParams* params() const { return plugin.extension<PluginParams>(kExtParams); }

    ClapPlugin plugin;
    bool running = false;
};

class ClapFormat : public FormatUnderTest {
public:
    explicit ClapFormat(const char* path) : module(path) {}
    std::string name() const override { return "CLAP"; }
    std::unique_ptr<FormatInstance> create() override {
        auto instance = std::make_unique<ClapInstance>(module.factory());
        if (!instance->valid()) return nullptr;
        return instance;
    }

private:
    ClapModule module;
};

}  // namespace
}  // namespace clap_test

FormatUnderTest& formatUnderTest() {
    static clap_test::ClapFormat format(QUILLO_CLAP_FILE);
    return format;
}

FormatUnderTest* vst2Reference() {
    static const std::unique_ptr<FormatUnderTest> reference = vst2Format(QUILLO_MODULE_FILE);
    return reference.get();
}
