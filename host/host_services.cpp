// The effect's calls back into the host. Each sends the effect's own record and
// reads the answer its own way. Without a host callback nothing is called and
// the answer is read as 0, which gives every wrapper its fixed fallback
// (version 1, pins connected, no time info, false).
#include "host/effect_base.h"

namespace {

constexpr intptr_t kInputPinQuery = 0;
constexpr intptr_t kOutputPinQuery = 1;
constexpr intptr_t kPinConnectedAnswer = 0;
constexpr intptr_t kEventsAccepted = 1;
constexpr int32_t kFirstHostVersion = 1;

}  // namespace

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return hasHost() ? hostCallback(&record, opcode, index, value, ptr, opt) : 0;
}

void EffectBase::automateParameter(int32_t index, float value) {
    setParameterValue(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::hostVersion() {
    const auto answer = static_cast<int32_t>(callHost(audioMasterVersion, 0, 0, nullptr, 0.0f));
    return answer == 0 ? kFirstHostVersion : answer;
}

int32_t EffectBase::hostCurrentId() { return static_cast<int32_t>(callHost(audioMasterCurrentId, 0, 0, nullptr, 0.0f)); }
void EffectBase::hostIdle() { callHost(audioMasterIdle, 0, 0, nullptr, 0.0f); }

bool EffectBase::inputPinConnected(int32_t pin) {
    return callHost(audioMasterPinConnected, pin, kInputPinQuery, nullptr, 0.0f) == kPinConnectedAnswer;
}

bool EffectBase::outputPinConnected(int32_t pin) {
    return callHost(audioMasterPinConnected, pin, kOutputPinQuery, nullptr, 0.0f) == kPinConnectedAnswer;
}

void EffectBaseX::requestMidi(int32_t filter) { callHost(audioMasterWantMidi, 0, filter, nullptr, 0.0f); }

VstTimeInfo* EffectBaseX::hostTimeInfo(int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter, nullptr, 0.0f));
}

bool EffectBaseX::hostSendEvents(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events, 0.0f) == kEventsAccepted;
}

int32_t EffectBaseX::hostTempoAt(int32_t position) { return static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position, nullptr, 0.0f)); }
int32_t EffectBaseX::hostAutomatableCount() { return static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f)); }
int32_t EffectBaseX::hostParameterQuantization() { return static_cast<int32_t>(callHost(audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f)); }
bool EffectBaseX::notifyIoChanged() { return callHost(audioMasterIOChanged, 0, 0, nullptr, 0.0f) != 0; }
bool EffectBaseX::requestIdle() { return callHost(audioMasterNeedIdle, 0, 0, nullptr, 0.0f) != 0; }
bool EffectBaseX::requestWindowSize(int32_t width, int32_t height) { return callHost(audioMasterSizeWindow, width, height, nullptr, 0.0f) != 0; }

// The host may answer by setting the rate or block size through the dispatcher;
// the stored field is the answer either way.
float EffectBaseX::refreshSampleRate() {
    callHost(audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    return currentSampleRate;
}

int32_t EffectBaseX::refreshBlockSize() {
    callHost(audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
    return currentBlockSize;
}

int32_t EffectBaseX::hostInputLatency() { return static_cast<int32_t>(callHost(audioMasterGetInputLatency, 0, 0, nullptr, 0.0f)); }
int32_t EffectBaseX::hostOutputLatency() { return static_cast<int32_t>(callHost(audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f)); }

// The pin is not sent: the host answers for the effect as a whole.
AEffect* EffectBaseX::previousEffect(int32_t) { return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug, 0, 0, nullptr, 0.0f)); }
AEffect* EffectBaseX::nextEffect(int32_t) { return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug, 0, 0, nullptr, 0.0f)); }

int32_t EffectBaseX::hostReplaceMode() { return static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f)); }
int32_t EffectBaseX::hostProcessLevel() { return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f)); }
int32_t EffectBaseX::hostAutomationState() { return static_cast<int32_t>(callHost(audioMasterGetAutomationState, 0, 0, nullptr, 0.0f)); }

bool EffectBaseX::hostOfflineStart(VstAudioFile* files, int32_t fileCount, int32_t newFileCount) {
    return callHost(audioMasterOfflineStart, newFileCount, fileCount, files, 0.0f) != 0;
}

bool EffectBaseX::hostOfflineRead(VstOfflineTask* task, int32_t option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task, 0.0f) != 0;
}

bool EffectBaseX::hostOfflineWrite(VstOfflineTask* task, int32_t option) {
    return callHost(audioMasterOfflineWrite, 0, option, task, 0.0f) != 0;
}

int32_t EffectBaseX::hostOfflinePass() { return callHost(audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f) != 0 ? 1 : 0; }
int32_t EffectBaseX::hostOfflineMetaPass() { return callHost(audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f) != 0 ? 1 : 0; }
void EffectBaseX::hostSetOutputRate(float rate) { callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate); }

bool EffectBaseX::hostSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) {
    return callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(input), output, 0.0f) != 0;
}

bool EffectBaseX::hostVendorText(char* text) { return callHost(audioMasterGetVendorString, 0, 0, text, 0.0f) != 0; }
bool EffectBaseX::hostProductText(char* text) { return callHost(audioMasterGetProductString, 0, 0, text, 0.0f) != 0; }
int32_t EffectBaseX::hostVendorVersion() { return static_cast<int32_t>(callHost(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f)); }

int32_t EffectBaseX::hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt) {
    return static_cast<int32_t>(callHost(audioMasterVendorSpecific, index, value, ptr, opt));
}

bool EffectBaseX::hostCanDo(char* text) { return callHost(audioMasterCanDo, 0, 0, text, 0.0f) != 0; }
int32_t EffectBaseX::hostLanguage() { return static_cast<int32_t>(callHost(audioMasterGetLanguage, 0, 0, nullptr, 0.0f)); }
void* EffectBaseX::hostOpenWindow(VstWindow* window) { return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window, 0.0f)); }
bool EffectBaseX::hostCloseWindow(VstWindow* window) { return callHost(audioMasterCloseWindow, 0, 0, window, 0.0f) != 0; }
void* EffectBaseX::hostDirectory() { return reinterpret_cast<void*>(callHost(audioMasterGetDirectory, 0, 0, nullptr, 0.0f)); }
bool EffectBaseX::hostUpdateDisplay() { return callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f) != 0; }
