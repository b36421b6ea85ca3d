// The format expectations' driver for a build loaded through JUCE's hosting.
#include "hosts/juce/juce_format.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "formats/lv2/lv2_ports.h"

namespace juce_host {

namespace {

// JUCE creates an instance with a rate and block size; start() sets the real ones.
constexpr double kCreationRate = 44100.0;
constexpr int kCreationBlock = 512;
constexpr int kTextLength = 1024;
constexpr int kStereo = 2;
// JUCE normalises an LV2 control port linearly over the range the bundle
// declares (its LV2 parameters hold a NormalisableRange of the port's
// minimum and maximum) and writes range.convertFrom0to1(value) into the port.
juce::NormalisableRange<float> juceRange(int32_t index) {
    const auto range = formats::lv2::portRange(index);
    return {range.minimum, range.maximum};
}

// A VST 2 value goes in as JUCE's normalisation of the port value the bundle
// gives for it. Through JUCE's arithmetic (convertFrom0to1 of that) every
// float VST 2 value in 0..1 arrives as the port value of the same VST 2 value,
// but for 21 Knee values a hair outside the window around a whole Knee step
// (kKneeStepTolerance): the one percentage standing for each lies between
// two of JUCE's, which land on the whole step. Read back, they differ.
float normalisedFor(int32_t index, float vst2Value) {
    return juceRange(index).convertTo0to1(formats::lv2::portValue(index, vst2Value));
}

// Floats as integers in the same order, to bisect the floats between two.
int32_t orderOf(float value) {
    int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits < 0 ? std::numeric_limits<int32_t>::min() - bits : bits;
}

float floatOf(int32_t order) {
    const int32_t bits = order < 0 ? std::numeric_limits<int32_t>::min() - order : order;
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The VST 2 value of the port behind a normalised value. JUCE's normalisation
// rises with the port value, so the port values it gives `normalised` for are
// the floats between the two ends found by bisection; the VST 2 value is
// known where both ends (and so all between) stand for the same one.
std::optional<float> vst2ValueOf(int32_t index, float normalised) {
    const auto range = juceRange(index);
    const auto firstAbove = [&](auto isAbove) {
        int64_t low = orderOf(range.start);
        int64_t high = int64_t{orderOf(range.end)} + 1;  // across zero, more floats than int32_t counts
        while (low < high) {
            const int64_t middle = low + (high - low) / 2;
            if (isAbove(range.convertTo0to1(floatOf(static_cast<int32_t>(middle))))) high = middle;
            else low = middle + 1;
        }
        return low;
    };
    const int64_t lowest = firstAbove([&](float n) { return n >= normalised; });
    const int64_t highest = firstAbove([&](float n) { return n > normalised; }) - 1;
    if (lowest > highest) return std::nullopt;
    const auto low = formats::lv2::normalisedValue(index, floatOf(static_cast<int32_t>(lowest)));
    return low == formats::lv2::normalisedValue(index, floatOf(static_cast<int32_t>(highest))) ? low : std::nullopt;
}

}  // namespace

JuceFormat::JuceFormat(const char* formatName, const char* path, FormatUnderTest& vst2)
    : plugins(formatName, path), reference(vst2) {}

std::string JuceFormat::name() const { return "JUCE " + plugins.formatName().toStdString(); }

std::unique_ptr<FormatInstance> JuceFormat::create() { return createInstance(); }

std::unique_ptr<JuceInstance> JuceFormat::createInstance() {
    auto plugin = plugins.create(kCreationRate, kCreationBlock);
    if (plugin == nullptr) return nullptr;
    if (auto vst2 = vst2ProgramNames.empty() ? reference.create() : nullptr) vst2ProgramNames = vst2->programNames();
    return std::make_unique<JuceInstance>(std::move(plugin), vst2ProgramNames);
}

// LV2 presets have no order of their own; JUCE lists them in the order lilv
// finds them. A VST 2 program is found there by its name (the VST 2 build pads
// it with spaces), the n-th program of a name (two are named "empty 4") as
// the n-th preset of that label.
JuceInstance::JuceInstance(std::unique_ptr<juce::AudioPluginInstance> created,
                           const std::vector<std::string>& vst2ProgramNames)
    : instance(std::move(created)) {
    const int count = instance->getNumPrograms();
    std::vector<bool> taken(static_cast<size_t>(count), false);
    for (const auto& name : isLv2() ? vst2ProgramNames : std::vector<std::string>()) {
        const juce::String label = juce::String(name).trimEnd();
        for (int p = 0; p < count; ++p) {
            if (taken[static_cast<size_t>(p)] || instance->getProgramName(p) != label) continue;
            taken[static_cast<size_t>(p)] = true;
            programOrder.push_back(p);
            break;
        }
    }
    for (int p = 0; p < count; ++p)
        if (!taken[static_cast<size_t>(p)]) programOrder.push_back(p);
}

// JUCE's LV2 hosting makes the plug-in anew in prepareToPlay, from a saved
// state that holds only what a run has taken into the ports: values set before
// are lost there, so they are set again, as a host keeps what its user set.
void JuceInstance::start(float rate, int32_t maxBlock) {
    prepare(*instance, rate, maxBlock);
    if (!isLv2()) return;
    for (const auto& [index, value] : lastSet) setParameter(index, value);
}

// VST 3 parameters are normalised as VST 2's are, and JUCE passes the value on.
// LV2 control ports carry the user's units (decibels, percent, named modes),
// which JUCE normalises over each port's range.
bool JuceInstance::isLv2() const { return instance->getPluginDescription().pluginFormatName == kLv2; }

void JuceInstance::setParameter(int32_t index, float vst2Value) {
    if (auto* p = parameterAt(*instance, index)) p->setValue(isLv2() ? normalisedFor(index, vst2Value) : vst2Value);
    lastSet[index] = vst2Value;
}

// NaN, which equals nothing, where JUCE's value does not tell.
float JuceInstance::parameter(int32_t index) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr) return std::numeric_limits<float>::quiet_NaN();
    if (!isLv2()) return p->getValue();
    return vst2ValueOf(index, p->getValue()).value_or(std::numeric_limits<float>::quiet_NaN());
}

// A port holds the VST 2 values of its own steps (IN Gain in tenths of a decibel).
float JuceInstance::carried(int32_t index, float vst2Value) {
    if (!isLv2()) return vst2Value;
    return formats::lv2::normalisedValue(index, formats::lv2::portValue(index, vst2Value))
        .value_or(std::numeric_limits<float>::quiet_NaN());
}

std::optional<std::string> JuceInstance::parameterName(int32_t index) {
    auto* p = parameterAt(*instance, index);
    return p ? std::optional<std::string>(p->getName(kTextLength).toStdString()) : std::nullopt;
}

// JUCE's LV2 hosting shows no units, and numbers of its own making for ports
// that are not switches or lists: nothing there is the plug-in's text.
std::optional<std::string> JuceInstance::parameterUnit(int32_t index) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr || isLv2()) return std::nullopt;
    return p->getLabel().toStdString();
}

std::optional<std::string> JuceInstance::display(int32_t index) {
    auto* p = parameterAt(*instance, index);
    if (p == nullptr || (isLv2() && !p->isDiscrete())) return std::nullopt;
    return p->getCurrentValueAsText().toStdString();
}

std::vector<std::string> JuceInstance::programNames() {
    std::vector<std::string> names;
    for (const int p : programOrder) names.push_back(instance->getProgramName(p).toStdString());
    return names;
}

// Hosts show a program's values once they have come back from the plug-in:
// the processor takes the change in a block, the controller from JUCE's timer.
void JuceInstance::selectProgram(int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < programOrder.size()) instance->setCurrentProgram(programOrder[index]);
    juce_host::process(*instance, nullptr, nullptr, 0, 0);
    settle();
}

void JuceInstance::process(float* const* inputs, float* const* outputs, int32_t frames) {
    juce_host::process(*instance, inputs, outputs, kStereo, frames);
}

}  // namespace juce_host
