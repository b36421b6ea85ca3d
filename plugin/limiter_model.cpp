#include "plugin/limiter_model.h"

#include <cmath>
#include <new>

#include "editor/limiter_editor.h"
#include "plugin/parameters.h"

namespace {

constexpr int32_t kTextRoom = 64;

bool validIndex(int32_t index) { return index >= 0 && index < kParameterCount; }

// A meter value from outside (a port, a message) counts only as a gain in 0..1.
float meterGain(float value) { return value >= 0.0f && value <= 1.0f ? value : 1.0f; }

}  // namespace

// Made without a host callback: the effect's questions to its host then get
// the answers of a host that connects every pin, and what it reports comes to
// the model as an observer.
LimiterModel::LimiterModel() : effect(new (std::nothrow) LimiterPlugin(nullptr)) {
    if (effect && !effect->complete()) effect.reset();
    if (effect) effect->setObserver(this);
}

LimiterModel::~LimiterModel() {
    if (!effect) return;
    closeEditor();
    suspend();
    effect->setObserver(nullptr);
}

void LimiterModel::setSampleRate(float rate) {
    if (effect) effect->changeSampleRate(rate);
}

void LimiterModel::setMaxBlock(int32_t frames) {
    if (effect) effect->changeBlockSize(frames);
}

bool LimiterModel::resume() {
    if (!effect) return false;
    effect->onResume();
    resumed = true;
    return effect->engineRunning();
}

void LimiterModel::suspend() {
    if (!effect || !resumed) return;
    effect->onSuspend();
    resumed = false;
}

bool LimiterModel::running() const { return effect && effect->engineRunning(); }

int32_t LimiterModel::latency() const { return effect ? latencyOf(effect->timing()) : 0; }

void LimiterModel::restartAtRest(bool on) {
    if (effect) effect->engine.restartAtRest(on);
}

void LimiterModel::setParameter(int32_t index, float value) {
    if (effect && validIndex(index)) effect->setParameterValue(index, value);
}

float LimiterModel::parameter(int32_t index) const {
    return effect && validIndex(index) ? effect->getParameterValue(index) : 0.0f;
}

int32_t LimiterModel::program() const { return effect ? effect->programIndex() : 0; }

void LimiterModel::selectProgram(int32_t index) {
    if (effect) effect->selectProgram(index);
}

std::string LimiterModel::programName(int32_t index) const {
    char name[kTextRoom] = {};
    if (!effect || !effect->programNameAt(0, index, name)) return std::string();
    return name;
}

void LimiterModel::renameProgram(int32_t index, const char* name) {
    if (effect) effect->renameProgramAt(index, name);
}

float LimiterModel::programValue(int32_t program, int32_t index) const {
    return effect ? effect->programValue(program, index) : 0.0f;
}

void LimiterModel::setProgramValue(int32_t program, int32_t index, float value) {
    if (effect) effect->storeProgramValue(program, index, value);
}

void LimiterModel::process(float** inputs, float** outputs, int32_t frames) {
    if (effect) effect->processReplace(inputs, outputs, frames);
}

// Asked as a block asks: the buffers' identity says mono, and every pin is connected.
PlannedRouting LimiterModel::routing(bool mono) const {
    if (!effect) return {false, -1};
    float samples[kEffectChannels] = {};
    float* buffers[kEffectChannels] = {&samples[0], mono ? &samples[0] : &samples[1]};
    const Routing planned = effect->plannedRouting(buffers, buffers);
    const int32_t untouched = !planned.writeLeft ? 0 : !planned.writeRight ? 1 : -1;
    return {effect->getParameterValue(kAutoSelectChannels) >= 1.0f, mono ? -1 : untouched};
}

void LimiterModel::showRouting(bool mono) {
    if (!effect) return;
    float samples[kEffectChannels] = {};
    float* buffers[kEffectChannels] = {&samples[0], mono ? &samples[0] : &samples[1]};
    effect->showRouting(effect->plannedRouting(buffers, buffers));
}

MeterValues LimiterModel::meters() const {
    MeterValues values;
    if (!effect) return values;
    const LimiterEngine& engine = effect->engine;
    values.gain[0] = engine.meterLeft;
    values.gain[1] = engine.meterRight;
    values.kneeLamp = engine.kneeLamp;
    return values;
}

MeterValues LimiterModel::takeMeters() {
    const MeterValues values = meters();
    if (effect) effect->engine.resetMeters();
    return values;
}

void LimiterModel::showMeters(const MeterValues& values) {
    if (!effect) return;
    LimiterEngine& engine = effect->engine;
    engine.meterLeft = std::fmin(engine.meterLeft.load(), meterGain(values.gain[0]));
    engine.meterRight = std::fmin(engine.meterRight.load(), meterGain(values.gain[1]));
    engine.kneeLamp = std::fmin(engine.kneeLamp.load(), meterGain(values.kneeLamp));
}

bool LimiterModel::hasEditor() const {
    return effect && effect->limiterEditor != nullptr && (effect->effectRecord()->flags & effFlagsHasEditor) != 0;
}

void LimiterModel::editorSize(int32_t& width, int32_t& height) const {
    width = kEditorWidth;
    height = kEditorHeight;
}

void* LimiterModel::openEditor(void* parent) {
    if (!hasEditor() || editorOpen() || effect->limiterEditor->openEditor(parent) == 0) return nullptr;
    return effect->limiterEditor->nativeWindow();
}

void LimiterModel::idleEditor() {
    if (editorOpen()) effect->limiterEditor->editorIdle();
}

void LimiterModel::closeEditor() {
    if (editorOpen()) effect->limiterEditor->closeEditor();
}

bool LimiterModel::editorOpen() const { return hasEditor() && effect->limiterEditor->isOpen == 1; }

int LimiterModel::editorEventDescriptor() const {
    return editorOpen() ? effect->limiterEditor->eventDescriptor() : -1;
}

std::string LimiterModel::effectName() { return kEffectName; }
std::string LimiterModel::vendorName() { return kVendorName; }

std::string LimiterModel::pinLabel(bool input, int32_t index) const {
    VstPinProperties pin{};
    if (!effect || !(input ? effect->inputPinInfo(index, &pin) : effect->outputPinInfo(index, &pin)))
        return std::string();
    pin.label[kPinLabelBytes - 1] = '\0';
    return trimmed(pin.label);
}

void LimiterModel::parameterEdited(int32_t index, float value) {
    if (listener != nullptr) listener->parameterEdited(index, value);
}

void LimiterModel::editBegun(int32_t index) {
    if (listener != nullptr) listener->editBegun(index);
}

void LimiterModel::editEnded(int32_t index) {
    if (listener != nullptr) listener->editEnded(index);
}
