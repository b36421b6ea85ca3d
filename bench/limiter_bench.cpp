// process() on loud stereo noise peaking near +10 dBFS at 44.1 kHz with the
// default parameters (Knee 89, Iq 0, Stereo Link on, gainTable[400]), in blocks of
// 32, 512 and 4096 frames: ns per stereo frame and times real time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"
#include "dsp/limiter_engine.h"

namespace {

constexpr int32_t kFrames = 1 << 16;  // the material cycles through 64k frames

std::vector<float> loudNoise(uint32_t seed) {
    std::vector<float> v(kFrames);
    uint32_t s = seed;
    for (auto& x : v) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        // Uniform in [-3.16, 3.16): peaks near +10 dBFS.
        x = (static_cast<float>(s >> 8) / 8388608.0f - 1.0f) * 3.16f;
    }
    return v;
}

void processBlocks(benchmark::State& state) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    buildGainTable();
    resetEngineTiming();
    applyEngineSampleRate(44100.0f);
    std::vector<float> inL = loudNoise(1u), inR = loudNoise(2u);
    std::vector<float> outL(kFrames), outR(kFrames);
    LimiterEngine engine;
    state.SetLabel(LimiterEngine::avxUsable() ? "AVX" : "SSE2");
    if (!engine.reset(block)) {
        state.SkipWithError("reset failed");
        return;
    }
    BlockParameters p;
    p.inputGain = gainTableAt(400);
    p.knee = 89.0f;
    p.iq = 0;
    p.link = true;
    const Routing r;
    int32_t pos = 0;
    for (auto _ : state) {
        float* ins[2] = {inL.data() + pos, inR.data() + pos};
        float* outs[2] = {outL.data() + pos, outR.data() + pos};
        engine.process(ins, outs, block, p, r, false);
        benchmark::ClobberMemory();
        pos += block;
        if (pos + block > kFrames) pos = 0;
    }
    const double frames = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    // Time per stereo frame (printed with its unit, e.g. "16.3ns"), and how many
    // times faster than real time at 44.1 kHz.
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(processBlocks)->Arg(32)->Arg(512)->Arg(4096)->MinTime(1.0);

BENCHMARK_MAIN();
