// The VST 3 processor: the component a host runs audio through. It owns one
// instance of the effect, created through the effect's entry point and
// driven through its record as a VST 2 host drives it, so that every sample
// is the VST 2 build's. Around it: the buses, the set-up, the state, the
// bypass, parameter changes applied where they fall in a block, and what the
// effect reports back (its channel choice, the meter values) as output
// parameters for the controller.
#pragma once

#include <memory>

#include "dsp/shared_value.h"
#include "formats/shared/effect_host.h"
#include "formats/vst3/bypass_fade.h"
#include "formats/vst3/vst3_edit.h"
#include "formats/vst3/vst3_support.h"

namespace vst3 {

// The editor looks at the meters every 50 ms: two or three values per look,
// each the lowest since the one before, keep its needle as the effect's own.
constexpr double kMeterSendSeconds = 0.02;

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
    // One block's buffers as the effect takes them: two each way, the same
    // buffer twice for a mono bus.
    struct Buffers {
        float* inputs[formats::kEffectChannels];
        float* outputs[formats::kEffectChannels];
    };

    friend class References;  // deletes it at the last release
    ~Processor() = default;

    void configure(double rate, int32_t maxBlock);
    void announceLatency();
    bool usableBuffers(const ProcessData& data, Buffers& buffers) const;
    void applyChange(ParamID id, double value);
    void runPieces(const ProcessData& data, const Buffers& buffers, int32_t frames);
    void runPiece(const Buffers& buffers, int32_t offset, int32_t frames, IParameterChanges* output);
    void sendMeters(IParameterChanges* output, int32_t offset);

    References references;
    std::unique_ptr<formats::EffectHost> effect;
    HostPointer<IHostApplication> host;
    ConnectionPeer peer;
    int32_t channels = 2;
    double rate = 0.0;
    int32_t maxBlock = 0;
    bool active = false;
    int32_t announcedLatency = 0;
    BypassFade bypass;
    SharedValue<bool> bypassed{false};
    // Audio thread only: the meter values last sent.
    formats::MeterValues sentMeters;
    int32_t meterInterval = 1;
    int32_t framesSinceMeters = 0;
};

}  // namespace vst3
