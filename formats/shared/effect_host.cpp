#include "formats/shared/effect_host.h"

#include <algorithm>

#include "dsp/engine_timing.h"
#include "editor/limiter_editor.h"

namespace formats {

namespace {

constexpr intptr_t kPinConnected = 0;
constexpr intptr_t kNothingOffered = 0;
constexpr intptr_t kMainsOn = 1;
constexpr intptr_t kMainsOff = 0;
constexpr char kTextMark = '\x7f';
// Force Channels in its natural units: Stereo, Left, Right.
constexpr float kChannelChoices = 2.0f;
constexpr int32_t kForcedLeft = 1;
constexpr int32_t kForcedRight = 2;

bool validParameter(int32_t index) { return index >= 0 && index < kEffectParameters; }
bool validProgram(int32_t index) { return index >= 0 && index < kEffectPrograms; }

// A meter value from outside (a port, a message) counts only as a gain in 0..1.
float meterGain(float value) { return value >= 0.0f && value <= 1.0f ? value : 1.0f; }

}  // namespace

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The record's `user` field belongs to the host: it leads back to this object.
// While the entry point runs the record has not been handed over yet, and the
// effect's start-up automation needs no answer beyond the plain ones.
intptr_t EffectHost::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t, void*,
                              float opt) {
    switch (opcode) {
        case audioMasterVersion: return kHostVersion;
        case audioMasterPinConnected: return kPinConnected;
        case audioMasterAutomate: {
            auto* host = effect != nullptr ? static_cast<EffectHost*>(effect->user) : nullptr;
            if (host == nullptr || !validParameter(index)) return kNothingOffered;
            host->remember(index);
            if (host->listener != nullptr) host->listener->parameterAutomated(index, opt);
            return kNothingOffered;
        }
        default: return kNothingOffered;
    }
}

EffectHost::EffectHost(EffectEntry entry, EffectListener* effectListener) : listener(effectListener) {
    AEffect* created = entry != nullptr ? entry(callback) : nullptr;
    if (created == nullptr) return;
    if (created->magic != kEffectMagic || created->processReplacing == nullptr ||
        created->setParameter == nullptr || created->getParameter == nullptr ||
        created->numParams < kEffectParameters || created->numPrograms < kEffectPrograms ||
        created->numInputs < kEffectChannels || created->numOutputs < kEffectChannels) {
        created->dispatcher(created, effClose, 0, 0, nullptr, 0.0f);
        return;
    }
    effect = created;
    effect->user = this;
    // Every program starts with the values the effect starts with.
    currentProgram = static_cast<int32_t>(dispatch(effGetProgram, 0, 0, nullptr, 0.0f));
    for (auto& program : programValues) {
        for (int32_t i = 0; i < kEffectParameters; ++i) program[i] = parameter(i);
    }
}

EffectHost::~EffectHost() {
    if (effect == nullptr) return;
    closeEditor();
    suspend();
    dispatch(effClose, 0, 0, nullptr, 0.0f);
}

intptr_t EffectHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void EffectHost::setSampleRate(float rate) {
    if (effect != nullptr) dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void EffectHost::setBlockSize(int32_t frames) {
    if (effect != nullptr) dispatch(effSetBlockSize, 0, frames, nullptr, 0.0f);
}

void EffectHost::resume() {
    if (effect == nullptr) return;
    dispatch(effMainsChanged, 0, kMainsOn, nullptr, 0.0f);
    resumed = true;
}

void EffectHost::suspend() {
    if (effect == nullptr || !resumed) return;
    dispatch(effMainsChanged, 0, kMainsOff, nullptr, 0.0f);
    resumed = false;
}

int32_t EffectHost::latency() const { return effect != nullptr ? effect->initialDelay : 0; }

void EffectHost::setParameter(int32_t index, float value) {
    if (effect == nullptr || !validParameter(index)) return;
    effect->setParameter(effect, index, value);
    remember(index);
}

float EffectHost::parameter(int32_t index) const {
    if (effect == nullptr || !validParameter(index)) return 0.0f;
    return effect->getParameter(effect, index);
}

// Whatever set a parameter, the effect stored it in its current program.
void EffectHost::remember(int32_t index) {
    programValues[static_cast<size_t>(currentProgram.load())][static_cast<size_t>(index)] = parameter(index);
}

std::string EffectHost::text(int32_t opcode, int32_t index) const {
    if (effect == nullptr) return std::string();
    char buffer[kTextBuffer];
    std::fill(buffer, buffer + kTextBuffer, kTextMark);
    buffer[kTextBuffer - 1] = '\0';
    dispatch(opcode, index, 0, buffer, 0.0f);
    return std::string(buffer);
}

std::string EffectHost::parameterName(int32_t index) const { return text(effGetParamName, index); }
std::string EffectHost::parameterUnit(int32_t index) const { return text(effGetParamLabel, index); }
std::string EffectHost::parameterDisplay(int32_t index) const { return text(effGetParamDisplay, index); }
std::string EffectHost::effectName() const { return text(effGetEffectName, 0); }
std::string EffectHost::vendorName() const { return text(effGetVendorString, 0); }

int32_t EffectHost::program() const { return currentProgram; }

// Selecting a program loads its values, which the effect reports back one by one.
void EffectHost::selectProgram(int32_t index) {
    if (effect == nullptr || !validProgram(index)) return;
    currentProgram = index;
    dispatch(effSetProgram, 0, index, nullptr, 0.0f);
}

std::string EffectHost::programName(int32_t index) const {
    if (!validProgram(index)) return std::string();
    return text(effGetProgramNameIndexed, index);
}

void EffectHost::renameProgram(const std::string& name) {
    if (effect == nullptr) return;
    char buffer[kTextBuffer] = {};
    name.copy(buffer, kTextBuffer - 1);
    dispatch(effSetProgramName, 0, 0, buffer, 0.0f);
}

float EffectHost::programValue(int32_t program, int32_t index) const {
    if (!validProgram(program) || !validParameter(index)) return 0.0f;
    return programValues[static_cast<size_t>(program)][static_cast<size_t>(index)];
}

void EffectHost::process(float** inputs, float** outputs, int32_t frames) {
    if (effect != nullptr) effect->processReplacing(effect, inputs, outputs, frames);
}

// Read as the effect reads the two: a switch is on only at its top, and the
// channel choice is the truncated natural value (0 to 2).
EffectHost::Routing EffectHost::routing() const {
    Routing now{false, 0.0f, -1};
    if (effect == nullptr) return now;
    now.automatic = parameter(kAutoSelectChannels) >= 1.0f;
    now.choice = parameter(kForceChannels);
    if (now.automatic) return now;
    switch (truncateToInt(now.choice * kChannelChoices)) {
        case kForcedLeft: now.untouched = 1; break;
        case kForcedRight: now.untouched = 0; break;
        default: break;
    }
    return now;
}

bool EffectHost::hasEditor() const { return effect != nullptr && (effect->flags & effFlagsHasEditor) != 0; }

bool EffectHost::openEditor(void* parent) {
    if (!hasEditor() || editorShown) return false;
    editorShown = dispatch(effEditOpen, 0, 0, parent, 0.0f) != 0;
    return editorShown;
}

bool EffectHost::editorSize(int32_t& width, int32_t& height) const {
    ERect* rectangle = nullptr;
    if (!hasEditor() || dispatch(effEditGetRect, 0, 0, &rectangle, 0.0f) == 0 || rectangle == nullptr) return false;
    width = rectangle->right - rectangle->left;
    height = rectangle->bottom - rectangle->top;
    return true;
}

int EffectHost::editorEventDescriptor() const {
    if (!editorShown || limiter().limiterEditor == nullptr) return -1;
    return limiter().limiterEditor->eventDescriptor();
}

void EffectHost::idleEditor() {
    if (editorShown) dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
}

void EffectHost::closeEditor() {
    if (!editorShown) return;
    dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    editorShown = false;
}

// The one way beyond the record: the interface has no way to carry the meter
// values, which live in the engine of the effect this host created, nor the
// descriptor of the editor's connection to its window system.
LimiterEffect& EffectHost::limiter() const {
    return *static_cast<LimiterEffect*>(EffectBase::fromRecord(effect));
}

MeterValues EffectHost::takeMeters() {
    MeterValues values;
    if (effect == nullptr) return values;
    LimiterEngine& engine = limiter().engine;
    values.gain[0] = engine.meterLeft;
    values.gain[1] = engine.meterRight;
    values.kneeLamp = engine.kneeLamp;
    engine.resetMeters();
    return values;
}

void EffectHost::showMeters(const MeterValues& values) {
    if (effect == nullptr) return;
    LimiterEngine& engine = limiter().engine;
    engine.meterLeft = std::min(engine.meterLeft.load(), meterGain(values.gain[0]));
    engine.meterRight = std::min(engine.meterRight.load(), meterGain(values.gain[1]));
    engine.kneeLamp = std::min(engine.kneeLamp.load(), meterGain(values.kneeLamp));
}

}  // namespace formats
