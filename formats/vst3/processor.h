// The VST 3 processor: the component a host runs audio through, over the
// audio side the formats share (one effect, its blocks, bypass, state and
// meters). Here: the buses, the set-up, the state in the host's streams, the
// host's parameter changes, and what the effect reports back (its channel
// choice, the meter values) as output parameters for the controller.
#pragma once

#include <memory>

#include "formats/shared/audio_side.h"
#include "formats/vst3/vst3_edit.h"
#include "formats/vst3/vst3_support.h"

namespace vst3 {

class Processor final : public IComponent,
                        public IAudioProcessor,
                        public IProcessContextRequirements,
                        public IConnectionPoint {
public:
    Processor() = default;
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    tresult VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t VST3_CALL addRef() override { return references.add(); }
    uint32_t VST3_CALL release() override { return references.release(this); }

    tresult VST3_CALL initialize(FUnknown* context) override;
    tresult VST3_CALL terminate() override;

    tresult VST3_CALL getControllerClassId(uint8_t classId[16]) override;
    tresult VST3_CALL setIoMode(IoMode) override { return kResultOk; }
    int32_t VST3_CALL getBusCount(MediaType type, BusDirection direction) override;
    tresult VST3_CALL getBusInfo(MediaType type, BusDirection direction, int32_t index, BusInfo* bus) override;
    tresult VST3_CALL getRoutingInfo(RoutingInfo*, RoutingInfo*) override { return kNotImplemented; }
    tresult VST3_CALL activateBus(MediaType type, BusDirection direction, int32_t index, TBool state) override;
    tresult VST3_CALL setActive(TBool state) override;
    tresult VST3_CALL setState(IBStream* state) override;
    tresult VST3_CALL getState(IBStream* state) override;

    tresult VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32_t inputCount, SpeakerArrangement* outputs,
                                         int32_t outputCount) override;
    tresult VST3_CALL getBusArrangement(BusDirection direction, int32_t index,
                                        SpeakerArrangement* arrangement) override;
    tresult VST3_CALL canProcessSampleSize(int32_t size) override;
    uint32_t VST3_CALL getLatencySamples() override;
    tresult VST3_CALL setupProcessing(ProcessSetup* setup) override;
    tresult VST3_CALL setProcessing(TBool) override { return kResultOk; }
    tresult VST3_CALL process(ProcessData* data) override;
    uint32_t VST3_CALL getTailSamples() override { return getLatencySamples(); }

    // The effect needs nothing of the host's transport.
    uint32_t VST3_CALL getProcessContextRequirements() override { return 0; }

    tresult VST3_CALL connect(IConnectionPoint* other) override { return peer.connect(other); }
    tresult VST3_CALL disconnect(IConnectionPoint* other) override { return peer.disconnect(other); }
    tresult VST3_CALL notify(IMessage*) override { return kResultFalse; }

private:
    friend class References;  // deletes it at the last release
    ~Processor() = default;

    void announceLatency();
    bool usableBuffers(const ProcessData& data, formats::BlockBuffers& buffers) const;
    void sendReports(IParameterChanges* output, int32_t lastFrame);

    References references;
    std::unique_ptr<formats::AudioSide> audio;
    HostPointer<IHostApplication> host;
    ConnectionPeer peer;
    int32_t channels = kStereoChannels;
    int32_t announcedLatency = 0;
};

}  // namespace vst3
