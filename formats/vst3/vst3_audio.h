// The VST 3 audio side as this adapter uses it: the component with its buses
// and state, the audio processor with its set-up and process records, and the
// parameter changes a host hands to a block. Declared from the interface's
// numbers and layouts; see vst3_base.h for the conventions.
#pragma once

#include "formats/vst3/vst3_base.h"

namespace vst3 {

using MediaType = int32_t;
using BusDirection = int32_t;
using BusType = int32_t;
using IoMode = int32_t;
using ParamID = uint32_t;
using ParamValue = double;
using SpeakerArrangement = uint64_t;
using Sample32 = float;
using String128 = char16[128];

constexpr size_t kString128 = 128;
constexpr FIDString kAudioEffectClass = "Audio Module Class";
constexpr FIDString kDynamicsSubCategory = "Fx|Dynamics";
constexpr uint32_t kDistributable = 1 << 0;

enum MediaTypes : MediaType { kAudio = 0, kEvent = 1 };
enum BusDirections : BusDirection { kInput = 0, kOutput = 1 };
enum BusTypes : BusType { kMain = 0, kAux = 1 };
enum BusFlags : uint32_t { kDefaultActive = 1 << 0 };
enum SymbolicSampleSizes : int32_t { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

constexpr SpeakerArrangement kSpeakerL = 1 << 0;
constexpr SpeakerArrangement kSpeakerR = 1 << 1;
constexpr SpeakerArrangement kSpeakerM = 1 << 19;
constexpr SpeakerArrangement kArrangementMono = kSpeakerM;
constexpr SpeakerArrangement kArrangementStereo = kSpeakerL | kSpeakerR;

struct BusInfo {
    MediaType mediaType;
    BusDirection direction;
    int32_t channelCount;
    String128 name;
    BusType busType;
    uint32_t flags;
};
static_assert(sizeof(BusInfo) == 276, "bus record");
static_assert(offsetof(BusInfo, busType) == 268, "bus type");

struct RoutingInfo {
    MediaType mediaType;
    int32_t busIndex;
    int32_t channel;
};
static_assert(sizeof(RoutingInfo) == 12, "routing record");

class IComponent : public IPluginBase {
public:
    virtual tresult VST3_CALL getControllerClassId(uint8_t classId[16]) = 0;
    virtual tresult VST3_CALL setIoMode(IoMode mode) = 0;
    virtual int32_t VST3_CALL getBusCount(MediaType type, BusDirection direction) = 0;
    virtual tresult VST3_CALL getBusInfo(MediaType type, BusDirection direction, int32_t index, BusInfo* bus) = 0;
    virtual tresult VST3_CALL getRoutingInfo(RoutingInfo* in, RoutingInfo* out) = 0;
    virtual tresult VST3_CALL activateBus(MediaType type, BusDirection direction, int32_t index, TBool state) = 0;
    virtual tresult VST3_CALL setActive(TBool state) = 0;
    virtual tresult VST3_CALL setState(IBStream* state) = 0;
    virtual tresult VST3_CALL getState(IBStream* state) = 0;
    static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID VST3_CALL getParameterId() = 0;
    virtual int32_t VST3_CALL getPointCount() = 0;
    virtual tresult VST3_CALL getPoint(int32_t index, int32_t* sampleOffset, ParamValue* value) = 0;
    virtual tresult VST3_CALL addPoint(int32_t sampleOffset, ParamValue value, int32_t* index) = 0;
    static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

class IParameterChanges : public FUnknown {
public:
    virtual int32_t VST3_CALL getParameterCount() = 0;
    virtual IParamValueQueue* VST3_CALL getParameterData(int32_t index) = 0;
    virtual IParamValueQueue* VST3_CALL addParameterData(const ParamID* id, int32_t* index) = 0;
    static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

struct ProcessSetup {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};
static_assert(sizeof(ProcessSetup) == 24, "set-up record");
static_assert(offsetof(ProcessSetup, sampleRate) == 16, "rate after a gap");

struct AudioBusBuffers {
    int32_t numChannels;
    uint64_t silenceFlags;
    union {
        Sample32** channelBuffers32;
        double** channelBuffers64;
    };
};
static_assert(sizeof(AudioBusBuffers) == 24, "bus buffers record");
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8, "silence flags");
static_assert(offsetof(AudioBusBuffers, channelBuffers32) == 16, "channel buffers");

class IEventList;
struct ProcessContext;

struct ProcessData {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t numSamples;
    int32_t numInputs;
    int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(ProcessData) == 80, "process record, 64-bit");
static_assert(offsetof(ProcessData, inputs) == 24, "input buses after a gap");
static_assert(offsetof(ProcessData, processContext) == 72, "process context");
#else
static_assert(sizeof(ProcessData) == 48, "process record, 32-bit");
static_assert(offsetof(ProcessData, inputs) == 20, "input buses");
static_assert(offsetof(ProcessData, processContext) == 44, "process context");
#endif

class IAudioProcessor : public FUnknown {
public:
    virtual tresult VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32_t inputCount,
                                                 SpeakerArrangement* outputs, int32_t outputCount) = 0;
    virtual tresult VST3_CALL getBusArrangement(BusDirection direction, int32_t index,
                                                SpeakerArrangement* arrangement) = 0;
    virtual tresult VST3_CALL canProcessSampleSize(int32_t symbolicSampleSize) = 0;
    virtual uint32_t VST3_CALL getLatencySamples() = 0;
    virtual tresult VST3_CALL setupProcessing(ProcessSetup* setup) = 0;
    virtual tresult VST3_CALL setProcessing(TBool state) = 0;
    virtual tresult VST3_CALL process(ProcessData* data) = 0;
    virtual uint32_t VST3_CALL getTailSamples() = 0;
    static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32_t VST3_CALL getProcessContextRequirements() = 0;
    static constexpr Uid iid = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

}  // namespace vst3
