// The processor's blocks: the host's buffers and parameter changes handed to
// the audio side, and what the effect reports sent back as output
// parameters. Nothing here allocates, locks or waits.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "formats/vst3/processor.h"
#include "formats/vst3/vst3_layout.h"

namespace vst3 {

namespace {

// A host sends one queue per parameter that changed; the processor takes
// nine parameters, and follows this many queues at most.
constexpr int32_t kMostQueues = 16;

bool takenByProcessor(ParamID id) { return parameterOfId(id) != nullptr || id == kProgramId; }

// The points of a block's parameter changes, each queue in its own order; the
// program change is the processor's own, the others go to the audio side.
class ChangePoints final : public formats::BlockChanges {
public:
    ChangePoints(IParameterChanges* changes, formats::AudioSide& audio) : audio(audio) {
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

    int32_t takeUpTo(int32_t frame, formats::ChangeSink& sink) override {
        int32_t next = formats::kNoChange;
        for (int32_t i = 0; i < used; ++i) {
            Cursor& cursor = cursors[i];
            while (cursor.offset <= frame) {
                if (cursor.id == kProgramId) {
                    if (std::isfinite(cursor.value)) audio.selectProgram(programOf(std::clamp(cursor.value, 0.0, 1.0)));
                } else {
                    sink.change(cursor.id, cursor.value);
                }
                ++cursor.next;
                read(cursor);
            }
            next = std::min(next, cursor.offset);
        }
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
            cursor.offset = formats::kNoChange;
            return;
        }
        cursor.offset = std::max(offset, 0);
        cursor.value = value;
    }

    formats::AudioSide& audio;
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
    if (!audio || !audio->active()) {
        silence(*data, channels);
        return kResultOk;
    }
    if (data->symbolicSampleSize != kSample32 || data->numSamples < 0) return kInvalidArgument;
    ChangePoints points(data->inputParameterChanges, *audio);
    formats::BlockBuffers buffers{};
    if (data->numSamples > 0 && !usableBuffers(*data, buffers)) {
        silence(*data, channels);
        audio->process(nullptr, 0, &points);  // the changes still count
        return kInvalidArgument;
    }
    audio->process(&buffers, data->numSamples, &points);
    sendReports(data->outputParameterChanges, std::max(data->numSamples - 1, 0));
    return kResultOk;
}

bool Processor::usableBuffers(const ProcessData& data, formats::BlockBuffers& buffers) const {
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
    for (int32_t c = 0; c < kEffectChannels; ++c) {
        buffers.inputs[c] = in.channelBuffers32[std::min(c, channels - 1)];
        buffers.outputs[c] = out.channelBuffers32[std::min(c, channels - 1)];
    }
    buffers.channels = channels;
    return true;
}

// The effect's own channel choice, and the meter values when they are due,
// which the controller's editor keeps until it has shown them.
void Processor::sendReports(IParameterChanges* output, int32_t lastFrame) {
    for (int32_t i = 0; i < audio->reportCount(); ++i) {
        const formats::EffectReport& report = audio->report(i);
        addPoint(output, static_cast<ParamID>(report.index), report.frame, report.value);
    }
    MeterValues meters;
    if (!audio->metersDue(meters)) return;
    const float values[kMeterCount] = {meters.gain[0], meters.gain[1], meters.kneeLamp};
    for (int32_t m = 0; m < kMeterCount; ++m) addPoint(output, kMeterIds[m], lastFrame, values[m]);
}

}  // namespace vst3
