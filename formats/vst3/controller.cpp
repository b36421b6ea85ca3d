// The controller's life, its values, the component's state, the editor's
// edits on their way to the host, and the processor's messages.
#include "formats/vst3/controller.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "formats/shared/state_codec.h"
#include "formats/vst3/plug_view.h"

namespace vst3 {

namespace {

int32_t meterOf(ParamID id) {
    const auto* found = std::find(std::begin(kMeterIds), std::end(kMeterIds), id);
    return found != std::end(kMeterIds) ? static_cast<int32_t>(found - std::begin(kMeterIds)) : -1;
}

}  // namespace

Controller::~Controller() { terminate(); }

tresult Controller::queryInterface(const char* iid, void** object) {
    return answerQuery<IEditController, IPluginBase, IUnitInfo, IConnectionPoint>(this, iid, object);
}

tresult Controller::initialize(FUnknown* hostContextGiven) {
    if (effect) return kResultFalse;
    context.hold(hostContextGiven);
    effect.reset(new (std::nothrow) LimiterModel);
    if (!effect || !effect->valid()) {
        terminate();
        return kResultFalse;
    }
    effect->setListener(this);
    for (int32_t position = kParameterCount; position < kDescribedParameters; ++position)
        own[static_cast<size_t>(position - kParameterCount)] = parameterAt(position).start;
    return kResultOk;
}

tresult Controller::terminate() {
    if (view != nullptr) view->detach();
    effect.reset();
    handler.reset();
    peer.reset();
    context.reset();
    return kResultOk;
}

// The processor's state, read the same way: the controller shows the programs
// and values the processor now has.
tresult Controller::setComponentState(IBStream* state) {
    if (!effect || state == nullptr) return kInvalidArgument;
    const auto restored = readState(state);
    if (!restored) return kResultFalse;
    formats::applyState(*effect, *restored);
    if (restored->bypass) ownValue(kBypassId) = *restored->bypass ? 1.0 : 0.0;
    if (restored->delivery) {
        ownValue(kCeilingId) = restored->state.ceiling;
        ownValue(kTruePeakId) = restored->state.truePeak ? 1.0 : 0.0;
    }
    showChange();
    HostPointer<IUnitHandler> units;
    if (units.query(handler.get())) units->notifyProgramListChange(kProgramListId, kAllProgramsInvalid);
    return kResultOk;
}

ParamValue Controller::getParamNormalized(ParamID id) {
    if (!effect) return 0.0;
    if (isEffectParameter(id)) return effect->parameter(static_cast<int32_t>(id));
    if (parameterOfId(id) != nullptr) return ownValue(id);
    if (id == kProgramId) return programValue(effect->program());
    const int32_t meter = meterOf(id);
    return meter >= 0 ? meters[static_cast<size_t>(meter)] : 0.0;
}

// The host's changes, for the values shown and the editor; the processor has
// them from the host. Values outside 0..1 are taken as the nearer end.
tresult Controller::setParamNormalized(ParamID id, ParamValue value) {
    if (!effect || !std::isfinite(value)) return kInvalidArgument;
    value = std::clamp(value, 0.0, 1.0);
    if (isEffectParameter(id)) {
        effect->setParameter(static_cast<int32_t>(id), static_cast<float>(value));
        showChange();
    } else if (const ParameterDescriptor* p = parameterOfId(id)) {
        const double before = ownValue(id);
        ownValue(id) = p->steps > 0 ? static_cast<double>(discreteStep(value, p->steps)) / p->steps : value;
        // Switching the true-peak stage adds or takes away its look-ahead.
        if (id == kTruePeakId && ownValue(id) != before && handler) handler->restartComponent(kLatencyChanged);
    } else if (id == kProgramId) {
        selectProgram(programOf(value));
    } else if (const int32_t meter = meterOf(id); meter >= 0) {
        meters[static_cast<size_t>(meter)] = static_cast<float>(value);
        MeterValues shown;
        if (meter < kEffectChannels) shown.gain[meter] = meters[static_cast<size_t>(meter)];
        else shown.kneeLamp = meters[static_cast<size_t>(meter)];
        effect->showMeters(shown);
    } else {
        return kInvalidArgument;
    }
    return kResultOk;
}

double& Controller::ownValue(ParamID id) {
    for (int32_t position = kParameterCount; position < kDescribedParameters; ++position) {
        if (parameterAt(position).id == id) return own[static_cast<size_t>(position - kParameterCount)];
    }
    return own.back();
}

// A program loads its values, which the host then reads again.
void Controller::selectProgram(int32_t program) {
    if (program == effect->program()) return;
    effect->selectProgram(program);
    showChange();
    if (handler) handler->restartComponent(kParamValuesChanged);
}

// The editor marks the channels the effect processes as the effect would
// decide them for a stereo bus.
void Controller::showChange() { effect->showRouting(false); }

// The editor's edits: one from the press on a control to its release, its
// values in between; a change outside a hold is an edit of its own.
void Controller::parameterEdited(int32_t index, float value) {
    if (!handler || index < 0 || index >= kParameterCount) return;
    const auto id = static_cast<ParamID>(index);
    const bool held = editing[static_cast<size_t>(index)];
    if (!held) handler->beginEdit(id);
    handler->performEdit(id, value);
    if (!held) handler->endEdit(id);
    showChange();
}

void Controller::editBegun(int32_t index) {
    if (!handler || index < 0 || index >= kParameterCount || editing[static_cast<size_t>(index)]) return;
    editing[static_cast<size_t>(index)] = true;
    handler->beginEdit(static_cast<ParamID>(index));
}

void Controller::editEnded(int32_t index) {
    if (index < 0 || index >= kParameterCount || !editing[static_cast<size_t>(index)]) return;
    editing[static_cast<size_t>(index)] = false;
    if (handler) handler->endEdit(static_cast<ParamID>(index));
}

tresult Controller::setComponentHandler(IComponentHandler* given) {
    handler.hold(given);
    return kResultOk;
}

// One editor at a time: the effect has one.
IPlugView* Controller::createView(FIDString name) {
    if (!effect || view != nullptr || name == nullptr || std::strcmp(name, kEditorViewType) != 0 ||
        !effect->hasEditor())
        return nullptr;
    view = new (std::nothrow) PlugView(*this);
    return view;
}

void Controller::viewClosed(const PlugView* closed) {
    if (view == closed) view = nullptr;
}


tresult Controller::notify(IMessage* message) {
    if (message == nullptr) return kInvalidArgument;
    const FIDString id = message->getMessageID();
    if (id == nullptr || std::strcmp(id, kLatencyMessage) != 0) return kResultFalse;
    if (handler) handler->restartComponent(kLatencyChanged);
    return kResultOk;
}

}  // namespace vst3
