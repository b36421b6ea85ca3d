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
    // `reference` is the VST 2 build, whose program names find the programs
    // in formats that keep them in no order of their own.
    JuceFormat(const char* formatName, const char* path, FormatUnderTest& reference);

    std::string name() const override;
    std::unique_ptr<FormatInstance> create() override;
    std::unique_ptr<JuceInstance> createInstance();
    PluginSource& source() { return plugins; }

private:
    PluginSource plugins;
    FormatUnderTest& reference;
    std::vector<std::string> vst2ProgramNames;
};

class JuceInstance : public FormatInstance {
public:
    // `vst2ProgramNames` are the VST 2 build's, in its order.
    JuceInstance(std::unique_ptr<juce::AudioPluginInstance> created, const std::vector<std::string>& vst2ProgramNames);

    void start(float rate, int32_t maxBlock) override;
    int32_t latency() override { return instance->getLatencySamples(); }
    void setParameter(int32_t index, float vst2Value) override;
    float parameter(int32_t index) override;
    float carried(int32_t index, float vst2Value) override;
    std::optional<std::string> parameterName(int32_t index) override;
    std::optional<std::string> parameterUnit(int32_t index) override;
    std::optional<std::string> display(int32_t index) override;
    std::vector<std::string> programNames() override;
    void selectProgram(int32_t index) override;
    void process(float* const* inputs, float* const* outputs, int32_t frames) override;

    juce::AudioPluginInstance& plugin() { return *instance; }

private:
    bool isLv2() const;

    std::unique_ptr<juce::AudioPluginInstance> instance;
    std::map<int32_t, float> lastSet;
    // JUCE's program for each of the VST 2 build's, then those no VST 2
    // program names.
    std::vector<int> programOrder;
};

}  // namespace juce_host
