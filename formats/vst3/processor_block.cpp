// The processor's blocks: the host's buffers handed to the effect, parameter
// changes applied at their frames by cutting the block there, and what the
// effect reports sent back as output parameters. Nothing here allocates,
// locks or waits.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "formats/vst3/processor.h"
#include "formats/vst3/vst3_layout.h"

namespace vst3 {

namespace {

// A host sends one queue per parameter that changed; the processor takes
// eight parameters, and follows this many queues at most.
constexpr int32_t kMostQueues = 16;
constexpr int32_t kNoPoint = INT_MAX;
constexpr float kMeterRest = 1.0f;
// Within a thousandth of a decibel of no reduction, which no needle shows.
constexpr float kMeterAtRest = 0.99989f;

bool takenByProcessor(ParamID id) { return isEffectParameter(id) || id == kBypassId || id == kProgramId; }

// The points of a block's parameter changes in the order they fall.
class ChangePoints {
public:
    explicit ChangePoints(IParameterChanges* changes) {
        const int32_t count = changes != nullptr ? changes->getParameterCount() : 0;
        for (int32_t i = 0; i < count && used < kMostQueues; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            if (queue == nullptr || !takenByProcessor(queue->getParameterId())) continue;
            Cursor& cursor = cursors[used++];
            cursor.queue = queue;
            cursor.id = queue->getParameterId();
            cursor.count = queue->getPointCount();
            cursor.next = 0;
            read(cursor);
        }
    }

    // Every point at or before `frame`, each queue in its own order.
    template <typename Apply>
    void applyUpTo(int32_t frame, Apply apply) {
        for (int32_t i = 0; i < used; ++i) {
            Cursor& cursor = cursors[i];
            while (cursor.offset <= frame) {
                apply(cursor.id, cursor.value);
                ++cursor.next;
                read(cursor);
            }
        }
    }

    // The frame of the next point still to come.
    int32_t nextFrame() const {
        int32_t next = kNoPoint;
        for (int32_t i = 0; i < used; ++i) next = std::min(next, cursors[i].offset);
        return next;
    }

private:
    // Filled as a queue is taken: most blocks bring none.
    struct Cursor {
        IParamValueQueue* queue;
        ParamID id;
        int32_t count;
        int32_t next;
        int32_t offset;
        double value;
    };

    // A point that cannot be read ends its queue.
    static void read(Cursor& cursor) {
        int32_t offset = 0;
        double value = 0.0;
        if (cursor.next >= cursor.count || cursor.queue->getPoint(cursor.next, &offset, &value) != kResultOk) {
            cursor.offset = kNoPoint;
            return;
        }
        cursor.offset = std::max(offset, 0);
        cursor.value = value;
    }

    Cursor cursors[kMostQueues];
    int32_t used = 0;
};

void addPoint(IParameterChanges* output, ParamID id, int32_t offset, double value) {
    if (output == nullptr) return;
    int32_t index = 0;
    IParamValueQueue* queue = output->addParameterData(&id, &index);
    if (queue != nullptr) queue->addPoint(offset, value, &index);
}

// Zeros in whatever output buffers the host handed over, up to the channels
// of the buses.
void silence(const ProcessData& data, int32_t channels) {
    if (data.outputs == nullptr || data.numSamples <= 0 || data.symbolicSampleSize != kSample32) return;
    for (int32_t b = 0; b < std::min(data.numOutputs, 1); ++b) {
        const AudioBusBuffers& bus = data.outputs[b];
        if (bus.channelBuffers32 == nullptr) continue;
        for (int32_t c = 0; c < std::min(bus.numChannels, channels); ++c) {
            if (bus.channelBuffers32[c] != nullptr)
                std::memset(bus.channelBuffers32[c], 0, static_cast<size_t>(data.numSamples) * sizeof(float));
        }
    }
}

}  // namespace

tresult Processor::process(ProcessData* data) {
    if (data == nullptr) return kInvalidArgument;
    if (!effect || !active) {
        silence(*data, channels);
        return kResultOk;
    }
    if (data->symbolicSampleSize != kSample32 || data->numSamples < 0) return kInvalidArgument;
    Buffers buffers{};
    if (data->numSamples > 0 && !usableBuffers(*data, buffers)) {
        silence(*data, channels);
        runPieces(*data, buffers, 0);  // the changes still count
        return kInvalidArgument;
    }
    runPieces(*data, buffers, data->numSamples);
    return kResultOk;
}

bool Processor::usableBuffers(const ProcessData& data, Buffers& buffers) const {
    if (data.numInputs < 1 || data.numOutputs < 1 || data.inputs == nullptr || data.outputs == nullptr) return false;
    const AudioBusBuffers& in = data.inputs[0];
    const AudioBusBuffers& out = data.outputs[0];
    if (in.numChannels != channels || out.numChannels != channels || in.channelBuffers32 == nullptr ||
        out.channelBuffers32 == nullptr)
        return false;
    for (int32_t c = 0; c < channels; ++c) {
        if (in.channelBuffers32[c] == nullptr || out.channelBuffers32[c] == nullptr) return false;
    }
    // A mono bus is one buffer on both of the effect's inputs and outputs.
    for (int32_t c = 0; c < formats::kEffectChannels; ++c) {
        buffers.inputs[c] = in.channelBuffers32[std::min(c, channels - 1)];
        buffers.outputs[c] = out.channelBuffers32[std::min(c, channels - 1)];
    }
    return true;
}

// The block is cut where a parameter changes and where the effect's block
// size ends; the effect's output does not depend on where its blocks end.
void Processor::runPieces(const ProcessData& data, const Buffers& buffers, int32_t frames) {
    bypass.request(bypassed);
    ChangePoints points(data.inputParameterChanges);
    const auto apply = [this](ParamID id, double value) { applyChange(id, value); };
    int32_t done = 0;
    while (done < frames) {
        points.applyUpTo(done, apply);
        const int32_t end = std::min({frames, points.nextFrame(), done + maxBlock});
        runPiece(buffers, done, end - done, data.outputParameterChanges);
        done = end;
    }
    points.applyUpTo(kNoPoint - 1, apply);
    framesSinceMeters += frames;
    if (frames > 0 && framesSinceMeters >= meterInterval) {
        sendMeters(data.outputParameterChanges, frames - 1);
        framesSinceMeters = 0;
    }
}

void Processor::runPiece(const Buffers& buffers, int32_t offset, int32_t frames, IParameterChanges* output) {
    float* inputs[formats::kEffectChannels];
    float* outputs[formats::kEffectChannels];
    for (int32_t c = 0; c < formats::kEffectChannels; ++c) {
        inputs[c] = buffers.inputs[c] + offset;
        outputs[c] = buffers.outputs[c] + offset;
    }
    const formats::EffectHost::Routing routing = effect->routing();
    bypass.take(inputs, frames, channels);
    effect->process(inputs, outputs, frames);
    if (routing.automatic) {
        // The effect's own choice of channels changes Force Channels inside a
        // block; the change goes to the host.
        const float choice = effect->parameter(formats::kParamForceChannels);
        if (choice != routing.choice) addPoint(output, formats::kParamForceChannels, offset, choice);
    } else if (routing.untouched >= 0 && channels == kStereoChannels) {
        // A VST 3 host's output buffers hold anything (the input, where it
        // hands one buffer for both): an output the effect leaves alone is silenced.
        std::memset(outputs[routing.untouched], 0, static_cast<size_t>(frames) * sizeof(float));
    }
    bypass.mixInto(outputs, frames, channels);
}

// Values outside 0..1 are taken as the nearer end; others are not values.
void Processor::applyChange(ParamID id, double value) {
    if (!std::isfinite(value)) return;
    value = std::clamp(value, 0.0, 1.0);
    if (isEffectParameter(id)) {
        effect->setParameter(static_cast<int32_t>(id), static_cast<float>(value));
    } else if (id == kBypassId) {
        bypassed = bypassOf(value);
        bypass.request(bypassed);
    } else if (id == kProgramId) {
        effect->selectProgram(programOf(value));
    }
}

// Sent while the meters show a reduction, and once more on their return to
// rest; the controller's editor keeps the lowest until it has shown it. A gain
// whose release stalls a hair below 1 counts as rest. The effect keeps the
// lowest values between two sendings.
void Processor::sendMeters(IParameterChanges* output, int32_t offset) {
    if (output == nullptr) return;
    const formats::MeterValues meters = effect->takeMeters();
    const float values[kMeterCount] = {meters.gain[0], meters.gain[1], meters.kneeLamp};
    float* sent[kMeterCount] = {&sentMeters.gain[0], &sentMeters.gain[1], &sentMeters.kneeLamp};
    for (int32_t m = 0; m < kMeterCount; ++m) {
        const float shown = values[m] >= kMeterAtRest ? kMeterRest : values[m];
        if (shown == kMeterRest && *sent[m] == kMeterRest) continue;
        addPoint(output, kMeterIds[m], offset, shown);
        *sent[m] = shown;
    }
}

}  // namespace vst3
