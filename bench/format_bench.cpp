// What the VST 3 adapter costs: the VST 3 process call against the VST 2
// build's processReplacing, the same effect in process, at 32 and 512-frame
// blocks, on loud stereo noise at 44.1 kHz with the default parameters; and
// what the true-peak stage adds to it. The VST
// 3 side runs as a host drives it: empty incoming changes and an outgoing list
// the host empties every block (the meters travel in it). Medians of repeated
// runs taken in random order, ns per stereo frame, and the VST 3 figure over
// the VST 2 one at the end.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/loud_noise.h"
#include "bench/median_reporter.h"
#include "formats/vst3/factory.h"
#include "formats/vst3/vst3_layout.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);

namespace {

using namespace vst3;

using quillo_bench::loudNoise;
constexpr int32_t kFrames = quillo_bench::kNoiseFrames;
constexpr double kRate = 44100.0;
constexpr int64_t kSmallBlock = 32, kCommonBlock = 512;
constexpr int kRepetitions = 9;
constexpr double kMinTime = 0.5;
constexpr intptr_t kHostVersion = 2400;
constexpr intptr_t kMainsOn = 1;
// Room in the host's outgoing list: a few parameters, a few points each.
constexpr int32_t kQueues = 8;
constexpr int32_t kPoints = 16;

// A host's parameter list without allocation: fixed room, emptied per block.
class Queue final : public IParamValueQueue {
public:
    tresult VST3_CALL queryInterface(const char*, void**) override { return kNoInterface; }
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }
    ParamID VST3_CALL getParameterId() override { return id; }
    int32_t VST3_CALL getPointCount() override { return count; }
    tresult VST3_CALL getPoint(int32_t index, int32_t* offset, ParamValue* value) override {
        if (index < 0 || index >= count) return kResultFalse;
        *offset = offsets[index];
        *value = values[index];
        return kResultOk;
    }
    tresult VST3_CALL addPoint(int32_t offset, ParamValue value, int32_t* index) override {
        if (count == kPoints) return kResultFalse;
        offsets[count] = offset;
        values[count] = value;
        *index = count++;
        return kResultOk;
    }
    ParamID id = 0;
    int32_t count = 0;
    int32_t offsets[kPoints] = {};
    ParamValue values[kPoints] = {};
};

class Changes final : public IParameterChanges {
public:
    tresult VST3_CALL queryInterface(const char*, void**) override { return kNoInterface; }
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }
    int32_t VST3_CALL getParameterCount() override { return used; }
    IParamValueQueue* VST3_CALL getParameterData(int32_t index) override { return &queues[index]; }
    IParamValueQueue* VST3_CALL addParameterData(const ParamID* id, int32_t* index) override {
        for (int32_t i = 0; i < used; ++i) {
            if (queues[i].id != *id) continue;
            *index = i;
            return &queues[i];
        }
        if (used == kQueues) return nullptr;
        queues[used].id = *id;
        queues[used].count = 0;
        *index = used;
        return &queues[used++];
    }
    void clear() { used = 0; }

private:
    Queue queues[kQueues];
    int32_t used = 0;
};

intptr_t plainHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? kHostVersion : 0;
}

struct Material {
    std::vector<float> in[2] = {loudNoise(1u), loudNoise(2u)};
    std::vector<float> out[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
};

void perFrame(benchmark::State& state, int64_t block) {
    const double frames = static_cast<double>(state.iterations()) * static_cast<double>(block);
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void vst2ProcessReplacing(benchmark::State& state) {
    const auto block = static_cast<int32_t>(state.range(0));
    Material m;
    AEffect* effect = quilloEntry(plainHost);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, block, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, kMainsOn, nullptr, 0.0f);
    int32_t pos = 0;
    for (auto _ : state) {
        float* ins[2] = {m.in[0].data() + pos, m.in[1].data() + pos};
        float* outs[2] = {m.out[0].data() + pos, m.out[1].data() + pos};
        effect->processReplacing(effect, ins, outs, block);
        benchmark::ClobberMemory();
        pos = pos + 2 * block > kFrames ? 0 : pos + block;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    perFrame(state, block);
}

// With the true-peak stage switched on in the first block, or without it.
void vst3Blocks(benchmark::State& state, bool truePeak) {
    const auto block = static_cast<int32_t>(state.range(0));
    Material m;
    void* made = nullptr;
    moduleFactory()->createInstance(reinterpret_cast<const char*>(kProcessorClassId.bytes),
                                    reinterpret_cast<const char*>(IAudioProcessor::iid.bytes), &made);
    auto* processor = static_cast<IAudioProcessor*>(made);
    IComponent* component = nullptr;
    processor->queryInterface(reinterpret_cast<const char*>(IComponent::iid.bytes),
                              reinterpret_cast<void**>(&component));
    component->initialize(nullptr);
    ProcessSetup setup{kRealtime, kSample32, block, kRate};
    processor->setupProcessing(&setup);
    component->setActive(1);
    processor->setProcessing(1);
    Changes incoming, outgoing;
    AudioBusBuffers in{}, out{};
    in.numChannels = out.numChannels = 2;
    ProcessData data{};
    data.symbolicSampleSize = kSample32;
    data.numSamples = block;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &in;
    data.outputs = &out;
    data.inputParameterChanges = &incoming;
    data.outputParameterChanges = &outgoing;
    int32_t pos = 0;
    if (truePeak) {
        int32_t index = 0;
        const ParamID id = kTruePeakId;
        incoming.addParameterData(&id, &index)->addPoint(0, 1.0, &index);
    }
    for (auto _ : state) {
        float* ins[2] = {m.in[0].data() + pos, m.in[1].data() + pos};
        float* outs[2] = {m.out[0].data() + pos, m.out[1].data() + pos};
        in.channelBuffers32 = ins;
        out.channelBuffers32 = outs;
        outgoing.clear();
        processor->process(&data);
        incoming.clear();
        benchmark::ClobberMemory();
        pos = pos + 2 * block > kFrames ? 0 : pos + block;
    }
    component->setActive(0);
    component->terminate();
    component->release();
    processor->release();
    perFrame(state, block);
}

void vst3Process(benchmark::State& state) { vst3Blocks(state, false); }
void vst3ProcessTruePeak(benchmark::State& state) { vst3Blocks(state, true); }

void printSummary(const quillo_bench::MedianReporter& r) {
    std::printf("\nMedians of %d runs in random order, ns per stereo frame "
                "(loud noise, 44.1 kHz, default parameters):\n",
                kRepetitions);
    for (int64_t block : {kSmallBlock, kCommonBlock}) {
        const double vst2 = r.median("vst2ProcessReplacing/" + std::to_string(block));
        const double vst3 = r.median("vst3Process/" + std::to_string(block));
        const double truePeak = r.median("vst3ProcessTruePeak/" + std::to_string(block));
        std::printf("  %3lld-frame blocks: VST 2 processReplacing %6.2f ns, VST 3 process %6.2f ns, "
                    "VST 3 / VST 2 %.3f; with True Peak %6.2f ns, on / off %.2f\n",
                    static_cast<long long>(block), vst2, vst3, vst2 > 0.0 ? vst3 / vst2 : 0.0, truePeak,
                    vst3 > 0.0 ? truePeak / vst3 : 0.0);
    }
}

}  // namespace

BENCHMARK(vst2ProcessReplacing)->Arg(kSmallBlock)->Arg(kCommonBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(vst3Process)->Arg(kSmallBlock)->Arg(kCommonBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(vst3ProcessTruePeak)->Arg(kSmallBlock)->Arg(kCommonBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

// Runs in random order, so that a machine that slows down or speeds up on the
// way does not favour one side.
int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    return quillo_bench::runBenchmarks(static_cast<int>(arguments.size()), arguments.data(), printSummary);
}
