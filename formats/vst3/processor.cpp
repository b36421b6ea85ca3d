// The processor as a component: life, buses, set-up, latency and state.
#include "formats/vst3/processor.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "formats/vst3/vst3_layout.h"

namespace vst3 {

namespace {

constexpr char kInputBusName[] = "Input";
constexpr char kOutputBusName[] = "Output";

bool audioMainBus(MediaType type, int32_t index) { return type == kAudio && index == 0; }

int32_t channelsOf(SpeakerArrangement arrangement) {
    if (arrangement == kArrangementStereo) return kStereoChannels;
    if (arrangement == kArrangementMono) return kMonoChannels;
    return 0;
}

}  // namespace

tresult Processor::queryInterface(const char* iid, void** object) {
    return answerQuery<IComponent, IPluginBase, IAudioProcessor, IProcessContextRequirements, IConnectionPoint>(
        this, iid, object);
}

// The effect is made here rather than at construction, as hosts expect; it
// starts at the usual rate and block size until the host sets its own.
tresult Processor::initialize(FUnknown* context) {
    if (audio) return kResultFalse;
    host.query(context);
    try {
        audio.reset(new (std::nothrow) formats::AudioSide);
        if (!audio || !audio->valid()) {
            audio.reset();
            return kResultFalse;
        }
        announcedLatency = audio->latency();
        audio->configure(kDefaultRate, kDefaultBlock);
        return kResultOk;
    } catch (...) {
        audio.reset();
        return kOutOfMemory;
    }
}

tresult Processor::terminate() {
    audio.reset();
    peer.reset();
    host.reset();
    return kResultOk;
}

tresult Processor::getControllerClassId(uint8_t classId[16]) {
    if (classId == nullptr) return kInvalidArgument;
    std::copy(kControllerClassId.bytes, kControllerClassId.bytes + sizeof kControllerClassId.bytes, classId);
    return kResultOk;
}

int32_t Processor::getBusCount(MediaType type, BusDirection direction) {
    return type == kAudio && (direction == kInput || direction == kOutput) ? 1 : 0;
}

tresult Processor::getBusInfo(MediaType type, BusDirection direction, int32_t index, BusInfo* bus) {
    if (bus == nullptr || !audioMainBus(type, index) || (direction != kInput && direction != kOutput))
        return kInvalidArgument;
    bus->mediaType = kAudio;
    bus->direction = direction;
    bus->channelCount = channels;
    copyText(bus->name, kString128, direction == kInput ? kInputBusName : kOutputBusName);
    bus->busType = kMain;
    bus->flags = kDefaultActive;
    return kResultOk;
}

tresult Processor::activateBus(MediaType type, BusDirection direction, int32_t index, TBool) {
    return audioMainBus(type, index) && (direction == kInput || direction == kOutput) ? kResultOk : kInvalidArgument;
}

// Stereo, or mono on both sides; anything else is refused and the buses stay
// as they were.
tresult Processor::setBusArrangements(SpeakerArrangement* inputs, int32_t inputCount, SpeakerArrangement* outputs,
                                      int32_t outputCount) {
    if (!audio || audio->active() || inputs == nullptr || outputs == nullptr || inputCount != 1 || outputCount != 1) return kResultFalse;
    const int32_t wanted = channelsOf(inputs[0]);
    if (wanted == 0 || inputs[0] != outputs[0]) return kResultFalse;
    channels = wanted;
    return kResultTrue;
}

tresult Processor::getBusArrangement(BusDirection direction, int32_t index, SpeakerArrangement* arrangement) {
    if (arrangement == nullptr || index != 0 || (direction != kInput && direction != kOutput)) return kInvalidArgument;
    *arrangement = channels == kMonoChannels ? kArrangementMono : kArrangementStereo;
    return kResultOk;
}

tresult Processor::canProcessSampleSize(int32_t size) { return size == kSample32 ? kResultTrue : kResultFalse; }

uint32_t Processor::getLatencySamples() { return audio ? static_cast<uint32_t>(std::max(audio->latency(), 0)) : 0; }

// Rates outside what hosts run at and blocks of no length are refused; the
// set-up the processor had stays.
tresult Processor::setupProcessing(ProcessSetup* setup) {
    if (!audio || audio->active() || setup == nullptr || setup->symbolicSampleSize != kSample32) return kResultFalse;
    if (!(setup->sampleRate >= formats::kLowestRate && setup->sampleRate <= formats::kHighestRate) ||
        setup->maxSamplesPerBlock <= 0)
        return kResultFalse;
    try {
        audio->configure(setup->sampleRate, std::min(setup->maxSamplesPerBlock, formats::kLargestBlock));
        announceLatency();
        return kResultOk;
    } catch (...) {
        return kOutOfMemory;
    }
}


// Only the controller reaches the host's component handler, so a latency the
// host has not seen yet is announced to it through the host's messages.
void Processor::announceLatency() {
    const int32_t latency = audio->latency();
    if (latency == announcedLatency) return;
    announcedLatency = latency;
    if (!host || !peer) return;
    Uid messageId = IMessage::iid;
    void* created = nullptr;
    if (host->createInstance(messageId.bytes, messageId.bytes, &created) != kResultOk || created == nullptr) return;
    auto* message = static_cast<IMessage*>(created);
    message->setMessageID(kLatencyMessage);
    peer->notify(message);
    message->release();
}

tresult Processor::setActive(TBool state) {
    if (!audio) return kNotInitialized;
    if (state != 0) {
        audio->activate();
    } else {
        audio->deactivate();
    }
    return kResultOk;
}

tresult Processor::getState(IBStream* state) {
    if (!audio || state == nullptr) return kInvalidArgument;
    return writeStream(state, formats::encodeState(audio->state())) ? kResultOk : kResultFalse;
}

// Anything but a state (see readState) changes nothing.
tresult Processor::setState(IBStream* state) {
    if (!audio || state == nullptr) return kInvalidArgument;
    const auto restored = readState(state);
    if (!restored) return kResultFalse;
    audio->restore(*restored);
    announceLatency();
    return kResultOk;
}


}  // namespace vst3
