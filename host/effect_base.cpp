#include "host/effect_base.h"

#include <cmath>
#include <cstring>

#include "host/editor_base.h"

namespace {

// The record's entries: recover the effect and hand the call on. Nothing the
// effect might throw may reach the host, so every entry answers 0 instead.
intptr_t dispatcherEntry(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                         float opt) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (object == nullptr) return 0;
    try {
        if (opcode == effClose) {
            object->dispatch(opcode, index, value, ptr, opt);
            delete object;
            return 1;
        }
        return object->dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void processEntry(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (object == nullptr) return;
    try {
        object->processAccumulate(inputs, outputs, frames);
    } catch (...) {
    }
}

void processReplacingEntry(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (object == nullptr) return;
    try {
        object->processReplace(inputs, outputs, frames);
    } catch (...) {
    }
}

void setParameterEntry(AEffect* effect, int32_t index, float value) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (object == nullptr) return;
    try {
        object->setParameterValue(index, value);
    } catch (...) {
    }
}

float getParameterEntry(AEffect* effect, int32_t index) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (object == nullptr) return 0.0f;
    try {
        return object->getParameterValue(index);
    } catch (...) {
        return 0.0f;
    }
}

}  // namespace

// Without a pointer these opcodes answer 0 and run nothing, so no operation
// ever sees a null text or record.
bool EffectBase::requiresPointer(int32_t opcode) {
    switch (opcode) {
        case effSetProgramName: case effGetProgramName: case effGetParamLabel:
        case effGetParamDisplay: case effGetParamName: case effEditGetRect: case effEditOpen:
        case effGetChunk: case effSetChunk: case effProcessEvents: case effString2Parameter:
        case effGetProgramNameIndexed: case effGetInputProperties: case effGetOutputProperties:
        case effOfflineNotify: case effOfflinePrepare: case effOfflineRun: case effProcessVarIo:
        case effSetSpeakerArrangement: case effGetEffectName: case effGetErrorText:
        case effGetVendorString: case effGetProductString: case effCanDo:
        case effGetParameterProperties:
            return true;
        default:
            return false;
    }
}

namespace {

// The level reading scaled to the integer the host expects, truncated toward
// zero; a reading that does not fit answers 0 instead of overflowing.
intptr_t scaledLevel(float level) {
    const double scaled = static_cast<double>(level) * kVuScale;
    if (!(std::fabs(scaled) < static_cast<double>(INT32_MAX))) return 0;
    return static_cast<int32_t>(scaled);
}

}  // namespace

EffectBase::EffectBase(audioMasterCallback callback, int32_t programs, int32_t parameters)
    : hostCallback(callback), programCount(programs), parameterCount(parameters) {
    std::memset(&record, 0, sizeof(record));
    record.magic = kEffectMagic;
    record.dispatcher = dispatcherEntry;
    record.process = processEntry;
    record.setParameter = setParameterEntry;
    record.getParameter = getParameterEntry;
    record.numPrograms = programs;
    record.numParams = parameters;
    record.numInputs = kDefaultInputs;
    record.numOutputs = kDefaultOutputs;
    record.ioRatio = kDefaultIoRatio;
    record.object = this;
    record.uniqueID = kNoEffectId;
    record.version = kRecordVersion;
    record.processReplacing = processReplacingEntry;
}

EffectBase::~EffectBase() { delete editor; }

EffectBase* EffectBase::fromRecord(AEffect* effect) {
    return effect == nullptr ? nullptr : static_cast<EffectBase*>(effect->object);
}

bool EffectBase::usableSampleRate(float rate) { return std::isfinite(rate) && rate > 0.0f; }

void EffectBase::attachEditor(EditorBase* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void EffectBase::setFlag(int32_t mask, bool on) {
    record.flags = on ? (record.flags | mask) : (record.flags & ~mask);
}

intptr_t EffectBase::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (static_cast<uint32_t>(opcode) > static_cast<uint32_t>(kLastOpcodeV1)) return 0;
    if (ptr == nullptr && requiresPointer(opcode)) return 0;
    switch (opcode) {
        case effOpen: onOpen(); return 0;
        case effClose: onClose(); return 0;
        case effSetProgram: if (value >= 0 && value < programCount) selectProgram(static_cast<int32_t>(value)); return 0;
        case effGetProgram: return currentProgramIndex();
        case effSetProgramName: renameProgram(static_cast<char*>(ptr)); return 0;
        case effGetProgramName: programName(static_cast<char*>(ptr)); return 0;
        case effGetParamLabel: parameterUnit(index, static_cast<char*>(ptr)); return 0;
        case effGetParamDisplay: parameterText(index, static_cast<char*>(ptr)); return 0;
        case effGetParamName: parameterName(index, static_cast<char*>(ptr)); return 0;
        case effGetVu: return scaledLevel(vuLevel());
        case effSetSampleRate: changeSampleRate(opt); return 0;
        case effSetBlockSize: changeBlockSize(static_cast<int32_t>(value)); return 0;
        case effMainsChanged: if (value == 0) onSuspend(); else onResume(); return 0;
        case effIdentify: return kIdentifyAnswer;
        case effGetChunk: return saveChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return loadChunk(ptr, static_cast<int32_t>(value), index != 0);
        default: return dispatchEditor(opcode, ptr);
    }
}

intptr_t EffectBase::dispatchEditor(int32_t opcode, void* ptr) {
    if (editor == nullptr) return 0;
    switch (opcode) {
        case effEditGetRect: return editor->editorRect(static_cast<ERect**>(ptr));
        case effEditOpen: return editor->openEditor(ptr);
        case effEditClose: editor->closeEditor(); return 0;
        case effEditIdle: editor->editorIdle(); return 0;
        default: return 0;
    }
}

void EffectBase::setParameterValue(int32_t, float) {}
float EffectBase::getParameterValue(int32_t) { return 0.0f; }
void EffectBase::processReplace(float**, float**, int32_t) {}
void EffectBase::onOpen() {}
void EffectBase::onClose() {}
int32_t EffectBase::currentProgramIndex() { return currentProgram; }
void EffectBase::selectProgram(int32_t program) { currentProgram = program; }
void EffectBase::renameProgram(char* name) { if (name != nullptr) name[0] = '\0'; }
void EffectBase::programName(char* name) { if (name != nullptr) name[0] = '\0'; }
void EffectBase::parameterUnit(int32_t, char* text) { if (text != nullptr) text[0] = '\0'; }
void EffectBase::parameterText(int32_t, char* text) { if (text != nullptr) text[0] = '\0'; }
void EffectBase::parameterName(int32_t, char* text) { if (text != nullptr) text[0] = '\0'; }
float EffectBase::vuLevel() { return 0.0f; }
int32_t EffectBase::saveChunk(void**, bool) { return 0; }
int32_t EffectBase::loadChunk(void*, int32_t, bool) { return 0; }
void EffectBase::changeSampleRate(float rate) { currentSampleRate = rate; }
void EffectBase::changeBlockSize(int32_t frames) { currentBlockSize = frames; }
void EffectBase::onSuspend() {}
void EffectBase::onResume() {}

void EffectBase::assignUniqueId(int32_t id) { record.uniqueID = id; }
void EffectBase::declareInputs(int32_t count) { record.numInputs = count; }
void EffectBase::declareOutputs(int32_t count) { record.numOutputs = count; }
void EffectBase::flagHasVu(bool on) { setFlag(effFlagsHasVu, on); }
void EffectBase::flagHasClip(bool on) { setFlag(effFlagsHasClip, on); }
void EffectBase::flagCanMono(bool on) { setFlag(effFlagsCanMono, on); }
void EffectBase::flagCanReplace(bool on) { setFlag(effFlagsCanReplacing, on); }
void EffectBase::flagProgramChunks(bool on) { setFlag(effFlagsProgramChunks, on); }
void EffectBase::declareRealtimeQualities(int32_t qualities) { record.realQualities = qualities; }
void EffectBase::declareOfflineQualities(int32_t qualities) { record.offQualities = qualities; }
void EffectBase::declareLatency(int32_t samples) { record.initialDelay = samples; }
float EffectBase::sampleRate() { return currentSampleRate; }
int32_t EffectBase::blockSize() { return currentBlockSize; }
