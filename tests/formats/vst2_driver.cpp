// The VST 2 build behind the shared expectations: the record, as a VST 2 host
// drives it.
#include "formats/format_under_test.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"

namespace {

constexpr intptr_t kMainsOn = 1;
constexpr int32_t kParameters = 6;

class Vst2Instance : public FormatInstance {
public:
    explicit Vst2Instance(AEffect* record) : effect(record) {}

    void start(float rate, int32_t maxBlock) override {
        effect.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        effect.dispatch(effSetBlockSize, 0, maxBlock);
        effect.dispatch(effMainsChanged, 0, kMainsOn);
    }
    int32_t latency() override { return effect.record()->initialDelay; }

    void setParameter(int32_t index, float value) override {
        effect.record()->setParameter(effect.record(), index, value);
    }
    float parameter(int32_t index) override { return effect.record()->getParameter(effect.record(), index); }
    std::optional<std::string> parameterName(int32_t index) override {
        return effect.text(effGetParamName, index);
    }
    std::optional<std::string> parameterUnit(int32_t index) override {
        return effect.text(effGetParamLabel, index);
    }
    std::optional<std::string> display(int32_t index) override { return effect.text(effGetParamDisplay, index); }

    std::vector<std::string> programNames() override {
        std::vector<std::string> names;
        for (int32_t p = 0; p < effect.record()->numPrograms; ++p) names.push_back(effect.text(effGetProgramNameIndexed, p));
        return names;
    }
    void selectProgram(int32_t index) override { effect.dispatch(effSetProgram, 0, index); }

    void process(float* const* inputs, float* const* outputs, int32_t frames) override {
        effect.record()->processReplacing(effect.record(), const_cast<float**>(inputs), const_cast<float**>(outputs),
                                          frames);
    }

private:
    EffectHandle effect;
};

class Vst2Format : public FormatUnderTest {
public:
    explicit Vst2Format(const char* path) : library(path) {}
    std::string name() const override { return "VST 2"; }
    std::unique_ptr<FormatInstance> create() override {
        const PluginLibrary::Entry entry = library.entry("main");
        AEffect* record = entry != nullptr ? entry(RecordingHost::callback) : nullptr;
        if (record == nullptr) return nullptr;
        return std::make_unique<Vst2Instance>(record);
    }

private:
    PluginLibrary library;
};

}  // namespace

std::unique_ptr<FormatUnderTest> vst2Format(const char* modulePath) { return std::make_unique<Vst2Format>(modulePath); }

std::unique_ptr<FormatInstance> started(FormatUnderTest& format, float rate, int32_t block, const float* values) {
    auto created = format.create();
    if (!created) return nullptr;
    for (int32_t i = 0; i < kParameters && values != nullptr; ++i) created->setParameter(i, values[i]);
    created->start(rate, block);
    return created;
}
