#include "host/effect_base.h"

namespace {

constexpr intptr_t kAlwaysDone = 1;
constexpr int32_t kProgramCategories = 1;

intptr_t answer(bool yes) { return yes ? 1 : 0; }

}  // namespace

EffectBaseX::EffectBaseX(audioMasterCallback callback, int32_t programs, int32_t parameters)
    : EffectBase(callback, programs, parameters) {}

EffectBaseX::~EffectBaseX() = default;

intptr_t EffectBaseX::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (opcode < kFirstOpcodeV2 || opcode > kLastOpcodeV2) return EffectBase::dispatch(opcode, index, value, ptr, opt);
    if (ptr == nullptr && requiresPointer(opcode)) return 0;
    return dispatchV2(opcode, index, value, ptr, opt);
}

intptr_t EffectBaseX::dispatchV2(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    const auto count = static_cast<int32_t>(value);
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effProcessEvents: return receiveEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated: return answer(parameterAutomatable(index));
        case effString2Parameter: return answer(parameterFromText(index, text));
        case effGetNumProgramCategories: return programCategoryCount();
        case effGetProgramNameIndexed: return answer(programNameAt(count, index, text));
        case effCopyProgram: return answer(copyProgramTo(index));
        case effConnectInput: onInputConnection(index, value != 0); return kAlwaysDone;
        case effConnectOutput: onOutputConnection(index, value != 0); return kAlwaysDone;
        case effGetInputProperties: return answer(inputPinInfo(index, static_cast<VstPinProperties*>(ptr)));
        case effGetOutputProperties: return answer(outputPinInfo(index, static_cast<VstPinProperties*>(ptr)));
        case effGetPlugCategory: return effectCategory();
        case effGetCurrentPosition: return currentPosition();
        case effGetDestinationBuffer: return reinterpret_cast<intptr_t>(destinationBuffer());
        case effOfflineNotify: return answer(onOfflineNotify(static_cast<VstAudioFile*>(ptr), count, index != 0));
        case effOfflinePrepare: return answer(onOfflinePrepare(static_cast<VstOfflineTask*>(ptr), count));
        case effOfflineRun: return answer(onOfflineRun(static_cast<VstOfflineTask*>(ptr), count));
        case effProcessVarIo: return answer(processVariableBlock(static_cast<VstVariableIo*>(ptr)));
        case effSetSpeakerArrangement: return answer(applySpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value), static_cast<VstSpeakerArrangement*>(ptr)));
        case effSetBlockSizeAndSampleRate: changeBlockSizeAndRate(count, opt); return kAlwaysDone;
        case effSetBypass: return answer(applyBypass(value != 0));
        case effGetEffectName: return answer(effectName(text));
        case effGetErrorText: return answer(errorText(text));
        case effGetVendorString: return answer(vendorText(text));
        case effGetProductString: return answer(productText(text));
        case effGetVendorVersion: return vendorVersion();
        case effVendorSpecific: return vendorCall(index, value, ptr, opt);
        case effCanDo: return answerCanDo(text);
        case effGetTailSize: return tailSize();
        case effIdle: return onIdle();
        case effGetIcon: return reinterpret_cast<intptr_t>(icon());
        case effSetViewPosition: return answer(moveView(index, count));
        case effGetParameterProperties: return answer(parameterInfo(index, static_cast<VstParameterProperties*>(ptr)));
        case effKeysRequired: return answer(!wantsKeys());
        case effGetVstVersion: return interfaceVersion();
        default: return 0;
    }
}

int32_t EffectBaseX::receiveEvents(VstEvents*) { return 0; }
bool EffectBaseX::parameterAutomatable(int32_t) { return true; }
bool EffectBaseX::parameterFromText(int32_t, char*) { return false; }
float EffectBaseX::channelParameter(int32_t, int32_t) { return 0.0f; }
int32_t EffectBaseX::programCategoryCount() { return kProgramCategories; }
bool EffectBaseX::programNameAt(int32_t, int32_t, char*) { return false; }
bool EffectBaseX::copyProgramTo(int32_t) { return false; }
void EffectBaseX::onInputConnection(int32_t, bool) {}
void EffectBaseX::onOutputConnection(int32_t, bool) {}
bool EffectBaseX::inputPinInfo(int32_t, VstPinProperties*) { return false; }
bool EffectBaseX::outputPinInfo(int32_t, VstPinProperties*) { return false; }
int32_t EffectBaseX::effectCategory() { return (record.flags & effFlagsIsSynth) != 0 ? kSynthCategory : 0; }
void EffectBaseX::flagAsync(bool on) { setFlag(effFlagsExtIsAsync, on); }
void EffectBaseX::flagExternalBuffer(bool on) { setFlag(effFlagsExtHasBuffer, on); }
int32_t EffectBaseX::currentPosition() { return 0; }
float* EffectBaseX::destinationBuffer() { return nullptr; }
bool EffectBaseX::onOfflineNotify(VstAudioFile*, int32_t, bool) { return false; }
bool EffectBaseX::onOfflinePrepare(VstOfflineTask*, int32_t) { return false; }
bool EffectBaseX::onOfflineRun(VstOfflineTask*, int32_t) { return false; }
int32_t EffectBaseX::offlinePassCount() { return 0; }
int32_t EffectBaseX::offlineMetaPassCount() { return 0; }
void EffectBaseX::flagSynth(bool on) { setFlag(effFlagsIsSynth, on); }
void EffectBaseX::flagNoTail(bool on) { setFlag(effFlagsNoSoundInStop, on); }
bool EffectBaseX::processVariableBlock(VstVariableIo*) { return false; }
bool EffectBaseX::applySpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) { return false; }

// Stores both values directly; the effect's own rate and block handling runs
// only for the separate opcodes. A value no engine could run at is ignored.
bool EffectBaseX::changeBlockSizeAndRate(int32_t frames, float rate) {
    if (usableBlockSize(frames)) currentBlockSize = frames;
    if (usableSampleRate(rate)) currentSampleRate = rate;
    return true;
}

bool EffectBaseX::applyBypass(bool) { return false; }
bool EffectBaseX::effectName(char*) { return false; }
bool EffectBaseX::errorText(char*) { return false; }
bool EffectBaseX::vendorText(char*) { return false; }
bool EffectBaseX::productText(char*) { return false; }
int32_t EffectBaseX::vendorVersion() { return 0; }
intptr_t EffectBaseX::vendorCall(int32_t, intptr_t, void*, float) { return 0; }
int32_t EffectBaseX::answerCanDo(char*) { return 0; }
void* EffectBaseX::icon() { return nullptr; }
bool EffectBaseX::moveView(int32_t, int32_t) { return false; }
int32_t EffectBaseX::tailSize() { return 0; }
int32_t EffectBaseX::onIdle() { return 0; }
bool EffectBaseX::parameterInfo(int32_t, VstParameterProperties*) { return false; }
bool EffectBaseX::wantsKeys() { return false; }
int32_t EffectBaseX::interfaceVersion() { return kInterfaceVersion; }
