// Our plug-in in a format JUCE hosts, presented to the shared format
// expectations like every other format's driver.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/format_under_test.h"
#include "hosts/juce/hosted_plugin.h"

namespace juce_host {

class JuceInstance;

class JuceFormat : public FormatUnderTest {
public:
    // `reference` is the VST 2 build, whose display texts carry values into
    // formats that take them in the user's units.
    JuceFormat(const char* formatName, const char* path, FormatUnderTest& reference);

    std::string name() const override;
    std::unique_ptr<FormatInstance> create() override;
    std::unique_ptr<JuceInstance> createInstance();
    PluginSource& source() { return plugins; }

private:
    PluginSource plugins;
    FormatUnderTest& reference;
};

class JuceInstance : public FormatInstance {
public:
    // `texts` and `start` are instances of the VST 2 build: one to render
    // display texts, one left as created for the start values.
    JuceInstance(std::unique_ptr<juce::AudioPluginInstance> created, std::unique_ptr<FormatInstance> texts,
                 std::unique_ptr<FormatInstance> start);

    void start(float rate, int32_t maxBlock) override;
    int32_t latency() override { return instance->getLatencySamples(); }
    void setParameter(int32_t index, float vst2Value) override;
    float parameter(int32_t index) override;
    std::optional<std::string> parameterName(int32_t index) override;
    std::optional<std::string> parameterUnit(int32_t index) override;
    std::optional<std::string> display(int32_t index) override;
    std::vector<std::string> programNames() override;
    void selectProgram(int32_t index) override;
    void process(float* const* inputs, float* const* outputs, int32_t frames) override;

    juce::AudioPluginInstance& plugin() { return *instance; }

private:
    bool inUsersUnits() const;
    float juceValue(int32_t index, float vst2Value);

    std::unique_ptr<juce::AudioPluginInstance> instance;
    std::unique_ptr<FormatInstance> vst2Texts;
    std::unique_ptr<FormatInstance> vst2Start;
    std::map<int32_t, float> lastSet;
};

}  // namespace juce_host
