// Parameters and programs of the limiter, and its construction.
#include "plugin/limiter_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"
#include "dsp/limiter_constants.h"
#include "editor/limiter_editor.h"
#include "host/module_state.h"
#include "host/number_format.h"
#include "plugin/parameters.h"

namespace {

constexpr float kInGainBeforePrograms = 0.5f;

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
    declareLatency(latencyOf(engineTimingValues));
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

LimiterEffect::~LimiterEffect() { delete[] programs; }

void LimiterEffect::initialisePrograms() {
    for (int32_t i = 0; i < kParameterSlots; ++i) {
        paramMaximum[i] = i < kParameterCount ? kParameterMaximum[i] : 0.0f;
        paramValue[i] = 0.0f;
        if (i <= kParameterCount) copyField(paramName[i], kParameterNames, i, kParameterNameLength);
    }
    paramValue[kInGain] = kInGainBeforePrograms;
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

void LimiterEffect::editorChanged(int32_t index) {
    notifyParameterChange(index);
    if (observer != nullptr && validIndex(index)) observer->parameterEdited(index, getParameterValue(index));
}

void LimiterEffect::beginEdit(int32_t index) {
    if (observer != nullptr && validIndex(index)) observer->editBegun(index);
}

void LimiterEffect::endEdit(int32_t index) {
    if (observer != nullptr && validIndex(index)) observer->editEnded(index);
}

void LimiterEffect::updateInputGain() { inputGainLinear = gainTableAt(gainTableIndex(paramValue[kInGain])); }

void LimiterEffect::parameterName(int32_t index, char* text) {
    if (validIndex(index)) copyBounded(text, paramName[index], kParameterNameLength);
    else text[0] = '\0';
}

void LimiterEffect::parameterUnit(int32_t index, char* text) {
    std::strcpy(text, index == kInGain ? "db" : index == kKnee ? "%" : " ");
}

// IN Gain shows the gain the engine runs with.
void LimiterEffect::parameterText(int32_t index, char* text) {
    if (index == kInGain) {
        gainDisplayText(inputGainLinear, text);
        return;
    }
    parameterDisplayText(index, validIndex(index) ? paramValue[index].load() : 0.0f, text);
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

float LimiterEffect::programValue(int32_t program, int32_t index) const {
    if (!validProgram(program) || !validIndex(index) || programs == nullptr) return 0.0f;
    return programs[program].values[index];
}

// Values outside 0..1 are taken as the nearer end, as setParameterValue takes them.
void LimiterEffect::storeProgramValue(int32_t program, int32_t index, float value) {
    if (!validProgram(program) || !validIndex(index) || programs == nullptr || !std::isfinite(value)) return;
    programs[program].values[index] = std::clamp(value, 0.0f, 1.0f);
}

void LimiterEffect::renameProgramAt(int32_t program, const char* name) {
    if (validProgram(program) && programs != nullptr && name != nullptr)
        copyBounded(programs[program].name, name, kProgramNameLength);
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
