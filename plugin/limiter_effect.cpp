// Parameters and programs of the limiter, and its construction.
#include "plugin/limiter_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"
#include "editor/limiter_editor.h"
#include "host/module_state.h"
#include "host/number_format.h"

namespace {

constexpr float kParameterMaximum[kParameterCount] = {1.0f, 127.0f, 1.0f, 1.0f, 1.0f, 2.0f};
constexpr float kInGainBeforePrograms = 0.5f;
constexpr float kKneePercentScale = 0.007874016f;
constexpr float kPercent = 100.0f;
constexpr float kUnityGuard = 0.00001f;
constexpr double kDecibelsPerDecade = 20.0;
constexpr int8_t kDisplayOffset = 4;
constexpr int32_t kDisplayScratch = 12;

// Six 22-character names and an unused blank field, one after the other.
constexpr char kParameterNames[] =
    "IN Gain               "
    "Knee                  "
    "Iq                    "
    "Stereo Link           "
    "Auto Select Channels  "
    "Force Channels        "
    "                      ";

// Ten 23-character program names and an unused blank field. There is no
// "empty 3": programs 3 and 4 share a name, as saved banks expect.
constexpr char kProgramNames[] =
    "Default                "
    "empty 1                "
    "empty 2                "
    "empty 4                "
    "empty 4                "
    "empty 5                "
    "empty 6                "
    "empty 7                "
    "empty 8                "
    "empty 9                "
    "                       ";

constexpr char kUnfilledProgramName[] = "-- error --";
constexpr const char* kSwitchTexts[] = {"Off", "On"};
constexpr const char* kChannelTexts[] = {"Stereo", "Left", "Right"};
constexpr int32_t kSwitchChoices = static_cast<int32_t>(std::size(kSwitchTexts));
constexpr int32_t kChannelChoices = static_cast<int32_t>(std::size(kChannelTexts));
constexpr char kErrorText[] = "error";

// Counts the live instances; the first one builds the process-wide tables.
int32_t instanceCount = 0;

bool validIndex(int32_t index) { return index >= 0 && index < kParameterCount; }
bool validProgram(int32_t index) { return index >= 0 && index < kProgramCount; }

void copyField(char* destination, const char* fields, int32_t index, int32_t length) {
    std::memcpy(destination, fields + static_cast<std::ptrdiff_t>(index) * length, length);
    destination[length] = '\0';
}

// At most length characters and always a terminating zero.
void copyBounded(char* destination, const char* source, int32_t length) {
    int32_t i = 0;
    for (; i < length && source[i] != '\0'; ++i) destination[i] = source[i];
    destination[i] = '\0';
}

const char* choiceText(int32_t choice, const char* const* texts, int32_t count) {
    return choice >= 0 && choice < count ? texts[choice] : kErrorText;
}

}  // namespace

ProgramRecord::ProgramRecord() { copyBounded(name, kUnfilledProgramName, kProgramNameLength); }

void ProgramRecord::copyFrom(const ProgramRecord& other) {
    for (int32_t i = 0; i < kProgramValueSlots; ++i) values[i] = other.values[i].load();
    std::memcpy(name, other.name, sizeof name);
}

LimiterEffect::LimiterEffect(audioMasterCallback callback)
    : EffectBaseX(callback, kProgramCount, kParameterCount) {
    programs = new (std::nothrow) ProgramRecord[kProgramCount];
    limiterEditor = new (std::nothrow) LimiterEditor(this);
    initialisePrograms();
    declareLatency(engineLatency());
    if (programs != nullptr) selectProgram(0);
    record.numInputs = kInputCount;
    record.numOutputs = kOutputCount;
    flagCanMono(true);
    flagCanReplace(true);
    if (editorWindowSystem() == nullptr) {
        // This build has no window layer: the editor exists but offers no window.
        setFlag(effFlagsHasEditor, false);
    }
    onSuspend();
}

LimiterEffect::~LimiterEffect() {
    --instanceCount;
    delete[] programs;
}

void LimiterEffect::initialisePrograms() {
    for (int32_t i = 0; i < kParameterSlots; ++i) {
        paramMaximum[i] = i < kParameterCount ? kParameterMaximum[i] : 0.0f;
        paramValue[i] = 0.0f;
        if (i <= kParameterCount) copyField(paramName[i], kParameterNames, i, kParameterNameLength);
    }
    paramValue[kInGain] = kInGainBeforePrograms;
    if (instanceCount == 0) {
        buildGainTable();
        resetEngineTiming();
    }
    for (int32_t program = 0; program < kProgramCount; ++program) {
        currentProgram = program;
        char name[kProgramNameLength + 1];
        copyField(name, kProgramNames, program, kProgramNameLength);
        renameProgram(name);
        for (int32_t j = 0; j < kParameterCount; ++j) setParameterValue(j, kParameterStart[j] / paramMaximum[j]);
    }
    inputGainLinear = 1.0f;
    currentProgram = 0;
    channelChoicePending = true;
    singleChannel = false;
    ++instanceCount;
    changeFromPlugin = false;
    updateInputGain();
}

// Values arrive normalised; anything outside 0..1 is taken as the nearer end,
// so that every stored value, and every value the plug-in later reports, is in
// its parameter's range.
void LimiterEffect::setParameterValue(int32_t index, float value) {
    if (!validIndex(index) || !std::isfinite(value)) return;
    value = std::clamp(value, 0.0f, 1.0f);
    if (!changeFromPlugin && limiterEditor != nullptr) {
        if (index == kInGain) limiterEditor->changedControl = kGainControl;
        if (index == kKnee) limiterEditor->changedControl = kKneeControl;
    }
    changeFromPlugin = false;
    paramValue[index] = paramMaximum[index] * value;
    if (programs != nullptr) programs[currentProgram].values[index] = value;
    updateInputGain();
}

float LimiterEffect::getParameterValue(int32_t index) {
    return validIndex(index) ? paramValue[index] / paramMaximum[index] : 0.0f;
}

void LimiterEffect::automateParameter(int32_t index, float value) { EffectBaseX::automateParameter(index, value); }

void LimiterEffect::notifyParameterChange(int32_t index) {
    if (!validIndex(index)) return;
    changeFromPlugin = true;
    automateParameter(index, paramValue[index] / paramMaximum[index]);
}

void LimiterEffect::updateInputGain() { inputGainLinear = gainTableAt(gainTableIndex(paramValue[kInGain])); }

void LimiterEffect::parameterName(int32_t index, char* text) {
    if (validIndex(index)) copyBounded(text, paramName[index], kParameterNameLength);
    else text[0] = '\0';
}

void LimiterEffect::parameterUnit(int32_t index, char* text) {
    std::strcpy(text, index == kInGain ? "db" : index == kKnee ? "%" : " ");
}

void LimiterEffect::parameterText(int32_t index, char* text) {
    switch (index) {
        case kInGain: gainText(text); return;
        case kKnee: formatNumber(paramValue[kKnee] * kKneePercentScale * kPercent, text, kDisplayOffset); return;
        case kIq: case kStereoLink: case kAutoSelectChannels:
            std::strcpy(text, choiceText(truncateToInt(paramValue[index]), kSwitchTexts, kSwitchChoices)); return;
        case kForceChannels: std::strcpy(text, choiceText(truncateToInt(paramValue[index]), kChannelTexts, kChannelChoices)); return;
        default: std::strcpy(text, kErrorText); return;
    }
}

// The gain in decibels; unity sits just below 1.0, and its tiny negative value
// is shown without the sign.
void LimiterEffect::gainText(char* text) {
    float gain = inputGainLinear;
    if (gain >= 1.0f) gain += kUnityGuard;
    char scratch[kDisplayScratch];
    formatNumber(static_cast<float>(kDecibelsPerDecade * std::log10(static_cast<double>(gain))), scratch, kDisplayOffset);
    dropNegativeZero(scratch);
    std::strcpy(text, scratch);
}

void LimiterEffect::selectProgram(int32_t program) {
    if (!validProgram(program) || programs == nullptr) return;
    currentProgram = program;
    for (int32_t j = 0; j < kParameterCount; ++j) {
        setParameterValue(j, programs[program].values[j]);
        notifyParameterChange(j);
    }
    updateInputGain();
}

void LimiterEffect::renameProgram(char* name) {
    if (programs != nullptr) copyBounded(programs[currentProgram].name, name, kProgramNameLength);
}

void LimiterEffect::programName(char* name) {
    if (programs != nullptr) std::strcpy(name, programs[currentProgram].name);
    else name[0] = '\0';
}

bool LimiterEffect::programNameAt(int32_t, int32_t index, char* text) {
    if (!validProgram(index) || programs == nullptr) return false;
    std::strcpy(text, programs[index].name);
    return true;
}

bool LimiterEffect::copyProgramTo(int32_t destination) {
    if (!validProgram(destination) || programs == nullptr) return false;
    programs[destination].copyFrom(programs[currentProgram]);
    return true;
}

LimiterPlugin::LimiterPlugin(audioMasterCallback callback) : LimiterEffect(callback) {
    record.uniqueID = kLimiterId;
    if (editor == nullptr || !creationComplete()) {
        creationFailed = true;
        return;
    }
    limiterEditor->applyStartupDefaults();
}

LimiterPlugin::~LimiterPlugin() = default;

EffectBase* createEffectInstance(audioMasterCallback callback) { return new (std::nothrow) LimiterPlugin(callback); }
