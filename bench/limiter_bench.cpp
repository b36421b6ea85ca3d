// process() on loud stereo noise at the reference rate with the plug-in's
// default parameters, in blocks of a few host block sizes: ns per stereo frame
// and times real time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"
#include "dsp/limiter_engine.h"

namespace {

constexpr int32_t kFrames = 1 << 16;  // the material cycles through this many frames

// The plug-in's defaults: IN Gain at the middle of its range (just below unity
// gain), the default Knee, Iq off, Stereo Link on.
constexpr float kDefaultInGain = 0.5f;
constexpr float kDefaultKnee = 89.0f;

// Uniform noise with peaks well above full scale, so that both gain stages
// work all the time: xorshift32, its kept top bits scaled into [-peak, peak).
constexpr float kNoisePeak = 3.16f;
constexpr uint32_t kShiftA = 13, kShiftB = 17, kShiftC = 5;
constexpr int kDroppedBits = 8;
constexpr float kHalfRange = 8388608.0f;  // half the range of the kept bits

std::vector<float> loudNoise(uint32_t seed) {
    std::vector<float> v(kFrames);
    uint32_t s = seed;
    for (auto& x : v) {
        s ^= s << kShiftA;
        s ^= s >> kShiftB;
        s ^= s << kShiftC;
        x = (static_cast<float>(s >> kDroppedBits) / kHalfRange - 1.0f) * kNoisePeak;
    }
    return v;
}

void processBlocks(benchmark::State& state) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    buildGainTable();
    resetEngineTiming();
    applyEngineSampleRate(quillo::kReferenceRate);
    std::vector<float> inL = loudNoise(1u), inR = loudNoise(2u);
    std::vector<float> outL(kFrames), outR(kFrames);
    LimiterEngine engine;
    state.SetLabel(LimiterEngine::avxUsable() ? "AVX" : "SSE2");
    if (!engine.reset(block)) {
        state.SkipWithError("reset failed");
        return;
    }
    BlockParameters p;
    p.inputGain = gainTableAt(gainTableIndex(kDefaultInGain));
    p.knee = kDefaultKnee;
    p.iq = 0;
    p.link = true;
    const Routing r;
    int32_t pos = 0;
    for (auto _ : state) {
        float* ins[quillo::kChannels] = {inL.data() + pos, inR.data() + pos};
        float* outs[quillo::kChannels] = {outL.data() + pos, outR.data() + pos};
        engine.process(ins, outs, block, p, r, false);
        benchmark::ClobberMemory();
        pos += block;
        if (pos + block > kFrames) pos = 0;
    }
    const double frames = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    // Time per stereo frame (printed with its unit), and how many times faster
    // than real time at the reference rate.
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(frames / quillo::kReferenceRate, benchmark::Counter::kIsRate);
}

}  // namespace

// Block sizes: a small one, a common one and a large one.
BENCHMARK(processBlocks)->Arg(32)->Arg(512)->Arg(4096)->MinTime(1.0);

BENCHMARK_MAIN();
