// Fuzz target: each input is a host session (see host_session.h) played
// through the plug-in's entry point, as hostile as a host can be while still
// handing over only valid buffers. After every action the plug-in's promises
// are checked: outputs finite, within the ceiling and never louder than the
// gained input one delay earlier; parameter values finite and normalised;
// texts terminated within their fields; the reported delay that of the rate.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp/limiter_constants.h"
#include "host/vst_abi.h"
#include "host_promises.h"
#include "host_session.h"
#include "session_signals.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback callback);

namespace fuzz {
namespace {

constexpr std::size_t kMaxInstances = 4;
constexpr int32_t kParameterCount = 6;
constexpr int32_t kProgramCount = 10;
constexpr intptr_t kHostVersion = 2400;
constexpr int32_t kStartBlockSize = 1024;
constexpr float kStartRate = 44100.0f;
// Block sizes a host could mean are folded below this; larger ones the engine
// allocates for are not what any host sends, and the engine refuses the rest.
constexpr int32_t kLargestEngineBlock = 1 << 26;
constexpr int32_t kLargestHostBlock = 8192;
constexpr uint8_t kNegativeOpcodes = 0xc0;
constexpr int32_t kOpcodeSpan = 64;
constexpr std::size_t kTextBytes = 256;
constexpr char kMarker = 0x7f;
constexpr std::size_t kStructureBytes = 1 << 16;
constexpr intptr_t kLargestArrayCount = 4;
constexpr int kOutputPinOffset = 2;
constexpr int32_t kForceChannels = 5;
constexpr float kChannelChoices = 2.0f;  // the largest choice, the parameter's natural top
constexpr int32_t kLeftOnly = 1;
constexpr int32_t kRightOnly = 2;

// Field lengths of the texts, terminator included.
constexpr std::size_t kProgramNameField = 24;
constexpr std::size_t kShortTextField = 8;
constexpr std::size_t kParameterNameField = 23;
constexpr std::size_t kEffectNameField = 32;
constexpr std::size_t kVendorTextField = 64;

uint8_t unconnectedPins = 0;
// QUILLO_FUZZ_TRACE set in the environment lists the actions as they run.
bool tracing = false;
constexpr const char* kActionNames[kHostActionCount] = {
    "create", "close", "dispatch", "setParameter", "getParameter", "process", "setRate", "switch", "setBlockSize", "pins",
};

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float opt) {
    switch (opcode) {
        case audioMasterVersion: return kHostVersion;
        case audioMasterAutomate:
            PROMISE(index >= 0 && index < kParameterCount, "automation of parameter %d", index);
            PROMISE(opt >= 0.0f && opt <= 1.0f, "automation of parameter %d with %g", index, opt);
            return 0;
        case audioMasterPinConnected: {
            if (index < 0 || index > 1) return 1;
            const int pin = index + (value != 0 ? kOutputPinOffset : 0);
            return (unconnectedPins >> pin) & 1;
        }
        default: return 0;
    }
}

struct Instance {
    AEffect* effect = nullptr;
    float rate = kStartRate;
    int32_t blockSize = kStartBlockSize;
    bool running = false;
    int32_t expectedDelay = 0;
    int32_t delay = 0;
    int64_t framesDone = 0;
    int64_t ringLength = 0;
    // The input ring's content per channel and frame since the resume (the
    // admitted input, or for a channel not processed in that block what the
    // ring held from one lap before); entry 0 is frame historyStart.
    std::vector<float> history[2];
    int64_t historyStart = 0;

    void resumed() {
        expectedDelay = expectedLatency(rate);
        running = blockSize > 0 && blockSize <= kLargestEngineBlock && engineRunsAt(rate);
        ringLength = static_cast<int64_t>(blockSize) + quillo::kRingMargin;
        delay = expectedDelay;
        framesDone = 0;
        historyStart = 0;
        for (auto& channel : history) channel.clear();
    }
    // The ring's content of channel c at a frame since the resume (silence before it).
    float ringAt(int c, int64_t frame) const {
        const int64_t at = frame - historyStart;
        return at < 0 ? 0.0f : history[c][static_cast<std::size_t>(at)];
    }
    void gainedAt(int64_t frame, float gained[2]) const {
        for (int c = 0; c < 2; ++c) gained[c] = ringAt(c, frame);
    }
    void record(int c, float admittedInput, bool processed) {
        const int64_t frame = historyStart + static_cast<int64_t>(history[c].size());
        history[c].push_back(processed ? admittedInput : ringAt(c, frame - ringLength));
    }
    void dropHistoryBefore(int64_t frame) {
        const int64_t drop = frame - historyStart;
        if (drop < kLargestHostBlock) return;
        for (auto& channel : history) channel.erase(channel.begin(), channel.begin() + drop);
        historyStart = frame;
    }
};

bool usableRate(float rate) { return std::isfinite(rate) && rate > 0.0f; }

int32_t hostBlockSize(int32_t size) {
    return size > 0 && size <= kLargestEngineBlock ? 1 + (size - 1) % kLargestHostBlock : size;
}

std::size_t textField(int32_t opcode) {
    switch (opcode) {
        case effGetProgramName: case effGetProgramNameIndexed: return kProgramNameField;
        case effGetParamLabel: case effGetParamDisplay: return kShortTextField;
        case effGetParamName: return kParameterNameField;
        case effGetEffectName: return kEffectNameField;
        case effGetErrorText: return kTextBytes;
        case effGetVendorString: case effGetProductString: return kVendorTextField;
        default: return 0;
    }
}

bool takesText(int32_t opcode) {
    return opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo;
}

class Session {
public:
    Session() : structures(kStructureBytes) {}
    ~Session() {
        for (Instance& instance : instances) instance.effect->dispatcher(instance.effect, effClose, 0, 0, nullptr, 0.0f);
    }

    void play(ByteReader& in) {
        while (!in.empty()) {
            step(in);
            checkAll();
        }
    }

private:
    void step(ByteReader& in) {
        const uint8_t action = in.byte() % kHostActionCount;
        if (tracing) std::fprintf(stderr, "action %s\n", kActionNames[action]);
        switch (action) {
            case kCreate: create(); return;
            case kClose: if (Instance* i = pick(in)) dispatchModelled(*i, effClose, 0, 0, nullptr, 0.0f); return;
            case kDispatch: dispatch(in); return;
            case kSetParameter: setParameter(in); return;
            case kGetParameter: getParameter(in); return;
            case kProcess: process(in); return;
            case kSetRate: shorthand(in, effSetSampleRate); return;
            case kSwitch: shorthand(in, effMainsChanged); return;
            case kSetBlockSize: shorthand(in, effSetBlockSize); return;
            default: unconnectedPins = in.byte(); return;
        }
    }

    // Opcodes 10, 12 and 11 with their one argument.
    void shorthand(ByteReader& in, int32_t opcode) {
        Instance* instance = pick(in);
        float opt = 0.0f;
        intptr_t value = 0;
        if (opcode == effSetSampleRate) opt = readFloat(in);
        if (opcode == effMainsChanged) value = in.byte();
        if (opcode == effSetBlockSize) value = readInteger(in);
        if (tracing) std::fprintf(stderr, "  value %ld opt %g\n", static_cast<long>(value), opt);
        if (instance != nullptr) dispatchModelled(*instance, opcode, 0, value, nullptr, opt);
    }

    Instance* pick(ByteReader& in) {
        const uint8_t choice = in.byte();
        return instances.empty() ? nullptr : &instances[choice % instances.size()];
    }

    // Each instance has timing of its own: a new one reports the delay of the
    // rate it starts at, whatever rates others run at.
    void create() {
        if (instances.size() >= kMaxInstances) return;
        AEffect* effect = VSTPluginMain(hostCallback);
        PROMISE(effect != nullptr && effect->magic == kEffectMagic, "no effect record");
        Instance instance;
        instance.effect = effect;
        instance.expectedDelay = expectedLatency(kStartRate);
        instances.push_back(instance);
    }

    void dispatch(ByteReader& in) {
        Instance* instance = pick(in);
        const uint8_t code = in.byte();
        const int32_t opcode = code >= kNegativeOpcodes ? static_cast<int8_t>(code) : code % kOpcodeSpan;
        const int32_t index = readInteger(in);
        intptr_t value = readInteger(in);
        const bool pointer = in.byte() != 0;
        const float opt = readFloat(in);
        std::string given;
        if (takesText(opcode)) given = in.bytes(in.byte());
        if (tracing) {
            std::fprintf(stderr, "  opcode %d index %d value %ld ptr %d opt %g\n", opcode, index,
                         static_cast<long>(value), pointer, opt);
        }
        if (instance == nullptr) return;
        void* ptr = pointer ? pointerFor(opcode, &value, given) : nullptr;
        const intptr_t result = dispatchModelled(*instance, opcode, index, value, ptr, opt);
        if (ptr != nullptr) checkAnswer(opcode, result);
    }

    // Prepares the buffer the opcode's contract names, and fixes the value
    // where the contract ties it to the buffer.
    void* pointerFor(int32_t opcode, intptr_t* value, const std::string& given) {
        std::fill(text.begin(), text.end(), kMarker);
        std::fill(structures.begin(), structures.end(), 0);
        if (textField(opcode) != 0) return text.data();
        if (takesText(opcode)) {
            std::memcpy(text.data(), given.data(), given.size());
            text[given.size()] = '\0';
            return text.data();
        }
        switch (opcode) {
            case effEditGetRect: rect = nullptr; return &rect;
            case effGetChunk: chunk = nullptr; return &chunk;
            case effSetChunk: *value = std::clamp<intptr_t>(*value, 0, kStructureBytes); return structures.data();
            case effGetInputProperties: case effGetOutputProperties:
                std::memset(&pin, 0, sizeof pin);
                std::memset(pin.label, kMarker, sizeof pin.label);
                return &pin;
            case effOfflineNotify: case effOfflinePrepare: case effOfflineRun:
                *value = std::clamp<intptr_t>(*value, 0, kLargestArrayCount);
                return structures.data();
            case effSetSpeakerArrangement:
                *value = reinterpret_cast<intptr_t>(structures.data());
                return structures.data() + kStructureBytes / 2;
            default: return structures.data();
        }
    }

    void checkAnswer(int32_t opcode, intptr_t result) {
        if (const std::size_t field = textField(opcode)) {
            const bool alwaysWrites = opcode >= effGetProgramName && opcode <= effGetParamName;
            checkText(text.data(), text.size(), field, kMarker, alwaysWrites || result != 0, opcode);
        }
        if ((opcode == effGetInputProperties || opcode == effGetOutputProperties) && result != 0) {
            checkText(pin.label, sizeof pin.label, sizeof pin.label, kMarker, true, opcode);
        }
        if (opcode == effEditGetRect && result != 0) {
            PROMISE(rect != nullptr && rect->bottom > rect->top && rect->right > rect->left, "editor rectangle");
        }
        if (opcode == effGetChunk && result > 0) {
            PROMISE(chunk != nullptr, "chunk of %ld bytes without data", static_cast<long>(result));
            volatile unsigned char sum = 0;
            for (intptr_t i = 0; i < result; ++i) sum = sum + static_cast<unsigned char*>(chunk)[i];
        }
        if (opcode == effGetProgram) PROMISE(result >= 0 && result < kProgramCount, "program %ld", static_cast<long>(result));
    }

    // Dispatches and follows what the opcode does to the instance's rate,
    // block size, running state and reported delay.
    intptr_t dispatchModelled(Instance& instance, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        if (opcode == effSetBlockSize || opcode == effSetBlockSizeAndSampleRate) {
            value = hostBlockSize(static_cast<int32_t>(value));
        }
        const intptr_t result = instance.effect->dispatcher(instance.effect, opcode, index, value, ptr, opt);
        const int32_t frames = static_cast<int32_t>(value);
        switch (opcode) {
            case effClose: instances.erase(instances.begin() + (&instance - instances.data())); break;
            case effSetSampleRate:
                if (usableRate(opt)) applyRate(instance, opt);
                break;
            case effSetBlockSize:
                if (frames > 0) instance.blockSize = frames;
                break;
            case effSetBlockSizeAndSampleRate:
                if (frames > 0) instance.blockSize = frames;
                if (usableRate(opt)) instance.rate = opt;
                break;
            case effMainsChanged:
                if (value == 0) {
                    instance.running = false;
                } else {
                    applyRate(instance, instance.rate);
                    instance.resumed();
                }
                break;
            default: break;
        }
        return result;
    }

    void applyRate(Instance& instance, float rate) {
        instance.rate = rate;
        instance.expectedDelay = expectedLatency(rate);
    }

    void setParameter(ByteReader& in) {
        Instance* instance = pick(in);
        const int32_t index = readInteger(in);
        const float value = readFloat(in);
        if (tracing) std::fprintf(stderr, "  parameter %d value %g\n", index, value);
        if (instance != nullptr) instance->effect->setParameter(instance->effect, index, value);
    }

    void getParameter(ByteReader& in) {
        Instance* instance = pick(in);
        const int32_t index = readInteger(in);
        if (instance == nullptr) return;
        const float value = instance->effect->getParameter(instance->effect, index);
        PROMISE(std::isfinite(value), "parameter %d reads %g", index, value);
    }

    void process(ByteReader& in);

    void checkAll() const {
        for (const Instance& instance : instances) {
            AEffect* effect = instance.effect;
            for (int32_t index = 0; index < kParameterCount; ++index) {
                const float value = effect->getParameter(effect, index);
                PROMISE(value >= 0.0f && value <= 1.0f, "parameter %d reads %g", index, value);
            }
            PROMISE(effect->initialDelay == instance.expectedDelay, "delay %d reported, %d expected at %g Hz",
                    effect->initialDelay, instance.expectedDelay, instance.rate);
        }
    }

    std::vector<Instance> instances;
    std::array<char, kTextBytes> text{};
    std::vector<unsigned char> structures;
    VstPinProperties pin{};
    ERect* rect = nullptr;
    void* chunk = nullptr;
    Blocks blocks;
};

void Session::process(ByteReader& in) {
    Instance* instance = pick(in);
    const uint8_t layoutByte = in.byte();
    const bool accumulate = (layoutByte & kAccumulateBit) != 0;
    const auto layout = static_cast<BufferLayout>((layoutByte >> 1) % kLayoutCount);
    const int32_t frames = blockFrames(in.u16());
    blocks.fill(in, std::max(frames, 0), layout, accumulate);
    if (tracing) {
        std::fprintf(stderr, "  %s layout %d frames %d", accumulate ? "adding" : "replacing", layout, frames);
        for (int32_t f = 0; f < std::min(frames, 4); ++f) {
            std::fprintf(stderr, " (%g %g)", blocks.inputBefore(0, f), blocks.inputBefore(1, f));
        }
        std::fputc('\n', stderr);
    }
    if (instance == nullptr) return;
    AEffect* effect = instance->effect;
    const float gain = inputGainOf(effect->getParameter(effect, 0));
    (accumulate ? effect->process : effect->processReplacing)(effect, blocks.inputs, blocks.outputs, frames);
    if (!instance->running || frames <= 0) {
        blocks.expectUntouched();
        return;
    }
    blocks.expectUntouchedBeyond(frames);
    // The block's channel choice, which "Force Channels" holds afterwards
    // (chosen by the plug-in when it selects channels itself): Left leaves
    // the right channel out, Right the left one.
    const int32_t choice = static_cast<int32_t>(effect->getParameter(effect, kForceChannels) * kChannelChoices);
    const bool processed[2] = {choice != kRightOnly, choice != kLeftOnly};
    for (int c = 0; c < 2; ++c) {
        for (int32_t f = 0; f < frames; ++f) instance->record(c, admitted(blocks.inputBefore(c, f), gain), processed[c]);
    }
    const bool shared = blocks.outputs[0] == blocks.outputs[1];
    for (int c = 0; c < (shared ? 1 : 2); ++c) {
        for (int32_t f = 0; f < frames; ++f) {
            const int64_t frame = instance->framesDone + f;
            float gained[2];
            instance->gainedAt(frame - instance->delay, gained);
            const float before = blocks.outputBefore(c, f);
            const float after = blocks.outputs[c][f];
            if (accumulate) checkAccumulated(before, after, gained, shared, frame);
            else checkReplaced(before, after, gained, frame);
        }
    }
    instance->framesDone += frames;
    instance->dropHistoryBefore(instance->framesDone - instance->delay - instance->ringLength);
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // An editor must never reach a real display from here.
    unsetenv("DISPLAY");
    fuzz::tracing = std::getenv("QUILLO_FUZZ_TRACE") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::unconnectedPins = 0;
    fuzz::ByteReader in(data, size);
    fuzz::Session session;
    session.play(in);
    return 0;
}
