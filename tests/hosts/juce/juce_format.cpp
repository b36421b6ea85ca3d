// The format expectations' driver for a build loaded through JUCE's hosting.
#include "hosts/juce/juce_format.h"

#include <cmath>
#include <limits>

namespace juce_host {

namespace {

// JUCE creates an instance with a rate and block size; start() sets the real ones.
constexpr double kCreationRate = 44100.0;
constexpr int kCreationBlock = 512;
constexpr int kTextLength = 1024;
constexpr int kStereo = 2;
// How far, normalised over a port's range, a port may lie from the value a
// VST 2 text puts there: under half a 0.1 dB step of IN Gain's 80.1 dB, over
// what three digits of a Knee percentage round away (0.05 of 100).
constexpr float kPortTolerance = 6.0e-4f;

}  // namespace

JuceFormat::JuceFormat(const char* formatName, const char* path, FormatUnderTest& vst2)
    : plugins(formatName, path), reference(vst2) {}

std::string JuceFormat::name() const { return "JUCE " + plugins.formatName().toStdString(); }

std::unique_ptr<FormatInstance> JuceFormat::create() { return createInstance(); }

std::unique_ptr<JuceInstance> JuceFormat::createInstance() {
    auto plugin = plugins.create(kCreationRate, kCreationBlock);
    if (plugin == nullptr) return nullptr;
    return std::make_unique<JuceInstance>(std::move(plugin), reference.create(), reference.create());
}

JuceInstance::JuceInstance(std::unique_ptr<juce::AudioPluginInstance> created, std::unique_ptr<FormatInstance> texts,
                           std::unique_ptr<FormatInstance> start)
    : instance(std::move(created)), vst2Texts(std::move(texts)), vst2Start(std::move(start)) {}

// JUCE's LV2 hosting makes the plug-in anew in prepareToPlay, from a saved
// state that holds only what a run has taken into the ports: values set before
// are lost there, so they are set again, as a host keeps what its user set.
void JuceInstance::start(float rate, int32_t maxBlock) {
    prepare(*instance, rate, maxBlock);
    if (!inUsersUnits()) return;
    for (const auto& [index, value] : lastSet) setParameter(index, value);
}

// VST 3 parameters are normalised as VST 2's are, and JUCE passes the value on.
// LV2 control ports carry the user's units (decibels, percent, named modes),
// which JUCE normalises over each port's range.
bool JuceInstance::inUsersUnits() const { return instance->getPluginDescription().pluginFormatName == kLv2; }

// Into a port in the user's units a value goes as a user types it: the text the
// VST 2 build displays for it, or, for switches and lists, the step showing it.
float JuceInstance::juceValue(int32_t index, float vst2Value) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr || !inUsersUnits()) return vst2Value;
    vst2Texts->setParameter(index, vst2Value);
    const juce::String text(vst2Texts->display(index).value_or(""));
    if (!p->isDiscrete()) return p->getValueForText(text);
    const int last = std::max(1, p->getNumSteps() - 1);
    for (int step = 0; step <= last; ++step) {
        const float value = static_cast<float>(step) / static_cast<float>(last);
        if (p->getText(value, kTextLength) == text) return value;
    }
    return std::numeric_limits<float>::quiet_NaN();
}

void JuceInstance::setParameter(int32_t index, float vst2Value) {
    if (auto* p = parameterAt(*instance, index)) p->setValue(juceValue(index, vst2Value));
    lastSet[index] = vst2Value;
}

// In the user's units a value cannot be read back as a VST 2 value: the value
// last set (or the start value) is answered where the port holds what that
// value puts there, and NaN, which equals nothing, otherwise. A port may hold
// the exact value where the text rounds it (Knee 70.08 % shown as "70.1").
float JuceInstance::parameter(int32_t index) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr) return std::numeric_limits<float>::quiet_NaN();
    if (!inUsersUnits()) return p->getValue();
    const float start = vst2Start->parameter(index);
    for (const float candidate : {lastSet.count(index) ? lastSet[index] : start, start}) {
        if (std::abs(juceValue(index, candidate) - p->getValue()) <= kPortTolerance) return candidate;
    }
    return std::numeric_limits<float>::quiet_NaN();
}

std::optional<std::string> JuceInstance::parameterName(int32_t index) {
    auto* p = parameterAt(*instance, index);
    return p ? std::optional<std::string>(p->getName(kTextLength).toStdString()) : std::nullopt;
}

// JUCE's LV2 hosting shows no units, and numbers of its own making for ports
// that are not switches or lists: nothing there is the plug-in's text.
std::optional<std::string> JuceInstance::parameterUnit(int32_t index) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr || inUsersUnits()) return std::nullopt;
    return p->getLabel().toStdString();
}

std::optional<std::string> JuceInstance::display(int32_t index) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr || (inUsersUnits() && !p->isDiscrete())) return std::nullopt;
    return p->getCurrentValueAsText().toStdString();
}

std::vector<std::string> JuceInstance::programNames() {
    std::vector<std::string> names;
    for (int p = 0; p < instance->getNumPrograms(); ++p) names.push_back(instance->getProgramName(p).toStdString());
    return names;
}

// Hosts show a program's values once they have come back from the plug-in:
// the processor takes the change in a block, the controller from JUCE's timer.
void JuceInstance::selectProgram(int32_t index) {
    instance->setCurrentProgram(index);
    juce_host::process(*instance, nullptr, nullptr, 0, 0);
    settle();
}

void JuceInstance::process(float* const* inputs, float* const* outputs, int32_t frames) {
    juce_host::process(*instance, inputs, outputs, kStereo, frames);
}

}  // namespace juce_host
