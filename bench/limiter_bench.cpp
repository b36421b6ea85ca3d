// process() on loud stereo noise at the reference rate with the plug-in's
// default parameters, in blocks of a few host block sizes, and the two serial
// recursions of the vector path alone, as the floor: ns per stereo frame
// (medians over repeated runs), times real time, the engine's time over the
// slower recursion's, and what a block costs beyond its frames, summed up at
// the end; then the true-peak stage on the engine's output.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/loud_noise.h"
#include "bench/median_reporter.h"
#include "bench/recursion_floors.h"
#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"
#include "dsp/limiter_engine.h"
#include "dsp/true_peak_stage.h"

namespace {

using quillo::kChannels;

using quillo_bench::loudNoise;
constexpr int32_t kFrames = quillo_bench::kNoiseFrames;

// The plug-in's defaults: IN Gain at the middle of its range (just below unity
// gain), the default Knee, Iq off, Stereo Link on.
constexpr float kDefaultInGain = 0.5f;
constexpr float kDefaultKnee = 89.0f;

// Block sizes: a small one, a common one and a large one; each figure is the
// median of this many runs.
constexpr int64_t kSmallBlock = 32, kCommonBlock = 512, kLargeBlock = 4096;
// The sizes the cost of a block is fitted over, a + b x frames: from a pair of
// frames to the large block, four times longer each (2 and 8 weigh the fixed
// part, 512 and 4096 the part per frame).
constexpr int64_t kFitBlocks[] = {2, 8, kSmallBlock, 128, kCommonBlock, kLargeBlock};
constexpr int kRepetitions = 5;
constexpr double kMinTime = 0.5;

float defaultGain() { return gainTableAt(gainTableIndex(kDefaultInGain)); }

// The noise of both channels, gained, interleaved [L R] per frame.
std::vector<float> gainedFrames() {
    const std::vector<float> channels[kChannels] = {loudNoise(1u), loudNoise(2u)};
    std::vector<float> frames(kChannels * static_cast<size_t>(kFrames));
    for (int32_t f = 0; f < kFrames; ++f) {
        for (int32_t ch = 0; ch < kChannels; ++ch) frames[kChannels * f + ch] = channels[ch][f] * defaultGain();
    }
    return frames;
}

void perFrame(benchmark::State& state, double framesPerIteration) {
    const double frames = static_cast<double>(state.iterations()) * framesPerIteration;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(frames / quillo::kReferenceRate, benchmark::Counter::kIsRate);
}

const char* encoding() { return LimiterEngine::avxUsable() ? "AVX" : "SSE2"; }

void processBlocks(benchmark::State& state) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    std::vector<float> inL = loudNoise(1u), inR = loudNoise(2u);
    std::vector<float> outL(kFrames), outR(kFrames);
    LimiterEngine engine;
    state.SetLabel(encoding());
    if (!engine.reset(block, timingForRate(quillo::kReferenceRate))) {
        state.SkipWithError("reset failed");
        return;
    }
    BlockParameters p;
    p.inputGain = defaultGain();
    p.knee = kDefaultKnee;
    p.iq = 0;
    p.link = true;
    const Routing r;
    int32_t pos = 0;
    for (auto _ : state) {
        float* ins[kChannels] = {inL.data() + pos, inR.data() + pos};
        float* outs[kChannels] = {outL.data() + pos, outR.data() + pos};
        engine.process(ins, outs, block, p, r, false);
        benchmark::ClobberMemory();
        pos += block;
        if (pos + block > kFrames) pos = 0;
    }
    perFrame(state, block);
}

// The follower alone, Iq off, on the targets of the gained noise.
void followerAlone(benchmark::State& state) {
    const std::vector<float> frames = gainedFrames();
    std::vector<float> targets(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        targets[i] = quillo::reciprocalAboveOne(quillo::magnitude(frames[i]));
    }
    const quillo::SoftCoefficients c = quillo::softCoefficients(kDefaultKnee, 0, 1.0f);
    const auto run = LimiterEngine::avxUsable() ? quillo_bench::followerAvx : quillo_bench::followerSse2;
    state.SetLabel(encoding());
    for (auto _ : state) benchmark::DoNotOptimize(run(targets.data(), kFrames / 2, c));
    perFrame(state, kFrames);
}

// The smoother alone, on the brickwall curve that the gained noise gives
// (segment minima of its needs, joined by ramps, built by the reference units).
void smootherAlone(benchmark::State& state) {
    const std::vector<float> frames = gainedFrames();
    const EngineTiming timing = timingForRate(quillo::kReferenceRate);
    const int32_t S = truncateToInt(timing.segmentLength);
    const int32_t R = truncateToInt(timing.rampLength);
    const int32_t latency = latencyOf(timing);
    const int32_t positions = kFrames + latency + R;
    std::vector<float> curve(kChannels * static_cast<size_t>(positions), 1.0f);
    quillo::SegmentState segment;
    for (int32_t P = 0; P + latency < positions; ++P) {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const float need = quillo::reciprocalAboveOne(quillo::magnitude(frames[kChannels * (P % kFrames) + ch]));
            segment.runningMin[ch] = quillo::minimumOf(segment.runningMin[ch], need);
        }
        if (++segment.counter < S) continue;
        const int32_t X = P + latency - quillo::kRampSegmentsBack * S;
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const quillo::RampValues ramp = quillo::endSegment(segment, ch, timing.segmentLength);
            quillo::fillRamp(curve.data() + ch, kChannels, positions, X, segment.counter, ramp);
        }
        quillo::finishSegment(segment);
    }
    const auto run = LimiterEngine::avxUsable() ? quillo_bench::smootherAvx : quillo_bench::smootherSse2;
    state.SetLabel(encoding());
    for (auto _ : state) benchmark::DoNotOptimize(run(curve.data(), kFrames, R, timing.rampLength));
    perFrame(state, kFrames);
}

// The engine's output of the loud noise at the benchmarks' settings, scaled to
// the ceiling the true-peak stage holds (-1 dB): its peaks between samples
// keep the stage reducing.
constexpr float kBenchCeiling = 0.8912509f;

std::vector<std::vector<float>> limitedNoise() {
    std::vector<float> in[kChannels] = {loudNoise(1u), loudNoise(2u)};
    std::vector<std::vector<float>> out(kChannels, std::vector<float>(kFrames));
    LimiterEngine engine;
    engine.reset(kFrames, timingForRate(quillo::kReferenceRate));
    BlockParameters p;
    p.inputGain = defaultGain();
    p.knee = kDefaultKnee;
    p.link = true;
    float* ins[kChannels] = {in[0].data(), in[1].data()};
    float* outs[kChannels] = {out[0].data(), out[1].data()};
    engine.process(ins, outs, kFrames, p, Routing(), false);
    for (std::vector<float>& channel : out) {
        for (float& v : channel) v *= kBenchCeiling;
    }
    return out;
}

// The stage in place on the limited noise, block after block; the material is
// put back (untimed) when the blocks have gone through all of it.
void truePeakStage(benchmark::State& state) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    const std::vector<std::vector<float>> material = limitedNoise();
    std::vector<std::vector<float>> work = material;
    quillo::TruePeakStage stage;
    state.SetLabel(encoding());
    if (!stage.prepare(quillo::kReferenceRate, block)) {
        state.SkipWithError("prepare failed");
        return;
    }
    int32_t pos = 0;
    for (auto _ : state) {
        stage.process(work[0].data() + pos, work[1].data() + pos, block, kBenchCeiling);
        benchmark::ClobberMemory();
        pos += block;
        if (pos + block > kFrames) {
            state.PauseTiming();
            pos = 0;
            work = material;
            state.ResumeTiming();
        }
    }
    perFrame(state, block);
}

double timesRealTime(double ns) { return ns > 0.0 ? 1e9 / (ns * quillo::kReferenceRate) : 0.0; }

struct BlockCost {
    double perBlock;  // a, ns
    double perFrame;  // b, ns
};

// a + b x frames through the medians' ns per block, by least squares on the
// relative error (each block size counts alike, not the longest most).
BlockCost fitBlockCost(const quillo_bench::MedianReporter& r) {
    double sw = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (const int64_t block : kFitBlocks) {
        const double perFrame = r.median("processBlocks/" + std::to_string(block));
        if (perFrame <= 0.0) return {0.0, 0.0};
        const double x = static_cast<double>(block);
        const double y = perFrame * x;
        const double w = 1.0 / (y * y);
        sw += w;
        sx += w * x;
        sy += w * y;
        sxx += w * x * x;
        sxy += w * x * y;
    }
    const double b = (sw * sxy - sx * sy) / (sw * sxx - sx * sx);
    return {(sy - b * sx) / sw, b};
}

void printSummary(const quillo_bench::MedianReporter& r) {
    const double small = r.median("processBlocks/" + std::to_string(kSmallBlock));
    const double common = r.median("processBlocks/" + std::to_string(kCommonBlock));
    const double large = r.median("processBlocks/" + std::to_string(kLargeBlock));
    const double follower = r.median("followerAlone/");
    const double smoother = r.median("smootherAlone/");
    const double floor = std::max(follower, smoother);
    std::printf("\nMedians of %d runs, ns per stereo frame (%s; loud noise, 44.1 kHz, default parameters):\n",
                kRepetitions, encoding());
    std::printf("  engine, %4lld-frame blocks  %6.2f ns  %6.0f x real time  (%.2f x the 512-frame figure)\n",
                static_cast<long long>(kSmallBlock), small, timesRealTime(small), common > 0.0 ? small / common : 0.0);
    std::printf("  engine, %4lld-frame blocks  %6.2f ns  %6.0f x real time\n", static_cast<long long>(kCommonBlock),
                common, timesRealTime(common));
    std::printf("  engine, %4lld-frame blocks  %6.2f ns  %6.0f x real time\n", static_cast<long long>(kLargeBlock),
                large, timesRealTime(large));
    std::printf("  follower alone (floor)     %6.2f ns\n", follower);
    std::printf("  smoother alone (floor)     %6.2f ns\n", smoother);
    std::printf("  engine at 512 / slower recursion: %.2f\n", floor > 0.0 ? common / floor : 0.0);
    const double stageSmall = r.median("truePeakStage/" + std::to_string(kSmallBlock));
    const double stageCommon = r.median("truePeakStage/" + std::to_string(kCommonBlock));
    std::printf("  true-peak stage, %4lld-frame blocks  %6.2f ns  (%.2f x the engine's)\n",
                static_cast<long long>(kSmallBlock), stageSmall, small > 0.0 ? stageSmall / small : 0.0);
    std::printf("  true-peak stage, %4lld-frame blocks  %6.2f ns  (%.2f x the engine's)\n",
                static_cast<long long>(kCommonBlock), stageCommon, common > 0.0 ? stageCommon / common : 0.0);
    const BlockCost cost = fitBlockCost(r);
    std::printf("  engine per block, fitted over %lld to %lld frames: %.0f ns + %.2f ns per frame\n",
                static_cast<long long>(kFitBlocks[0]), static_cast<long long>(kLargeBlock), cost.perBlock,
                cost.perFrame);
}

}  // namespace

BENCHMARK(processBlocks)
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (const int64_t block : kFitBlocks) b->Arg(block);
    })
    ->MinTime(kMinTime)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(truePeakStage)
    ->Arg(kSmallBlock)
    ->Arg(kCommonBlock)
    ->MinTime(kMinTime)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(followerAlone)->MinTime(kMinTime)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(smootherAlone)->MinTime(kMinTime)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

int main(int argc, char** argv) { return quillo_bench::runBenchmarks(argc, argv, printSummary); }
