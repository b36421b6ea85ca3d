// One instance held the way hosts hold it.
#include <cstring>

#include "formats/vst3/vst3_host.h"

namespace vst3_test {

Vst3Plugin::Vst3Plugin(IPluginFactory* factory, HostApplication& application, ComponentHandler& handler) {
    uint8_t cid[16];
    void* made = nullptr;
    const auto* classId = reinterpret_cast<const char*>(cid);
    if (!findClass(factory, kAudioEffectClass, cid) ||
        factory->createInstance(classId, reinterpret_cast<const char*>(IComponent::iid.bytes), &made) != kResultOk)
        return;
    component = static_cast<IComponent*>(made);
    if (component->initialize(&application) != kResultOk) return;
    processor = ask<IAudioProcessor>(component);
    if (processor == nullptr || component->getControllerClassId(cid) != kResultOk) return;
    made = nullptr;
    if (factory->createInstance(classId, reinterpret_cast<const char*>(IEditController::iid.bytes), &made) != kResultOk)
        return;
    auto* createdController = static_cast<IEditController*>(made);
    if (createdController->initialize(&application) != kResultOk) {
        createdController->release();
        return;
    }
    controller = createdController;
    units = ask<IUnitInfo>(controller);
    componentPoint = ask<IConnectionPoint>(component);
    controllerPoint = ask<IConnectionPoint>(controller);
    if (componentPoint != nullptr && controllerPoint != nullptr) {
        componentPoint->connect(controllerPoint);
        controllerPoint->connect(componentPoint);
    }
    controller->setComponentHandler(&handler);
    MemoryStream saved;
    component->getState(&saved);
    saved.position = 0;
    controller->setComponentState(&saved);
}

Vst3Plugin::~Vst3Plugin() {
    stop();
    if (componentPoint != nullptr && controllerPoint != nullptr) {
        componentPoint->disconnect(controllerPoint);
        controllerPoint->disconnect(componentPoint);
    }
    for (FUnknown* held : {static_cast<FUnknown*>(componentPoint), static_cast<FUnknown*>(controllerPoint),
                           static_cast<FUnknown*>(units), static_cast<FUnknown*>(processor)}) {
        if (held != nullptr) held->release();
    }
    if (controller != nullptr) {
        controller->setComponentHandler(nullptr);
        controller->terminate();
        controller->release();
    }
    if (component != nullptr) {
        component->terminate();
        component->release();
    }
}

bool Vst3Plugin::start(double rate, int32_t maxBlock, SpeakerArrangement arrangement) {
    if (processor == nullptr) return false;
    SpeakerArrangement in = arrangement;
    SpeakerArrangement out = arrangement;
    ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
    if (processor->setBusArrangements(&in, 1, &out, 1) != kResultTrue) return false;
    if (processor->setupProcessing(&setup) != kResultOk) return false;
    component->activateBus(kAudio, kInput, 0, 1);
    component->activateBus(kAudio, kOutput, 0, 1);
    active = component->setActive(1) == kResultOk;
    processor->setProcessing(1);
    return active;
}

void Vst3Plugin::stop() {
    if (!active) return;
    processor->setProcessing(0);
    component->setActive(0);
    active = false;
}

void Vst3Plugin::change(ParamID id, double value, int32_t offset) {
    if (controller != nullptr) controller->setParamNormalized(id, value);
    pending.add(id, offset, value);
}

tresult Vst3Plugin::process(float* const* inputs, float* const* outputs, int32_t frames, int32_t channels) {
    AudioBusBuffers in{};
    AudioBusBuffers out{};
    in.numChannels = out.numChannels = channels;
    in.channelBuffers32 = const_cast<float**>(inputs);
    out.channelBuffers32 = const_cast<float**>(outputs);
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &in;
    data.outputs = &out;
    data.inputParameterChanges = &pending;
    output.queues.clear();
    data.outputParameterChanges = &output;
    const tresult result = processor->process(&data);
    pending.queues.clear();
    for (const auto& queue : output.queues) {
        if (!queue->points.empty()) controller->setParamNormalized(queue->id, queue->points.back().value);
    }
    return result;
}

std::vector<uint8_t> Vst3Plugin::state() {
    MemoryStream saved;
    if (component == nullptr || component->getState(&saved) != kResultOk) return {};
    return saved.bytes;
}

bool Vst3Plugin::restore(const std::vector<uint8_t>& bytes) {
    MemoryStream forProcessor(bytes);
    if (component == nullptr || component->setState(&forProcessor) != kResultOk) return false;
    MemoryStream forController(bytes);
    return controller->setComponentState(&forController) == kResultOk;
}

}  // namespace vst3_test
