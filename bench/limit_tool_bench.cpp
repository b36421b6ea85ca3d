// quillo-limit's whole run, as the command line starts it, on a generated
// minute of stereo 16-bit material at 44.1 kHz: taken 6 dB into the limiter
// (reading, limiting, measuring both sides and writing), and delivered at
// -14 LUFS under a -1 dBTP ceiling (the gain search and the written pass, the
// true-peak stage in each, the written one measured), in milliseconds per run.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/vst_abi.h"
#include "tools/limit/cli_options.h"
#include "tools/limit/limit_job.h"


namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kChannels = 2;
constexpr int64_t kFrames = 60 * kRate;
constexpr double kTwoPi = 6.283185307179586;
// A kick every half second over two tones and some noise, close to full scale.
constexpr double kKickHz = 55.0;
constexpr double kKickDecay = 8.0;
constexpr double kBeatSeconds = 0.5;
constexpr double kToneHz[kChannels] = {220.0, 277.0};
constexpr double kKickLevel = 0.45;
constexpr double kToneLevel = 0.35;
constexpr double kNoiseLevel = 0.15;
constexpr double kPcm16Peak = 32000.0;
constexpr int32_t kLeftJustify = 1 << 16;
constexpr uint32_t kLcgMultiplier = 1664525u;
constexpr uint32_t kLcgIncrement = 1013904223u;
constexpr double kLcgScale = 2.0 / 4294967296.0;

std::string scratchFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

// Written once per process.
const std::string& minuteOfMaterial() {
    static const std::string path = [] {
        const std::string file = scratchFile("quillo-tool-bench-in.wav");
        SF_INFO info{};
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        info.channels = kChannels;
        info.samplerate = kRate;
        SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
        std::vector<int32_t> samples(static_cast<std::size_t>(kFrames * kChannels));
        uint32_t noise = 1u;
        for (int64_t n = 0; n < kFrames; ++n) {
            const double t = static_cast<double>(n) / kRate;
            const double beat = std::fmod(t, kBeatSeconds) / kBeatSeconds;
            const double kick = kKickLevel * std::exp(-beat * kKickDecay) * std::sin(kTwoPi * kKickHz * t);
            for (int32_t c = 0; c < kChannels; ++c) {
                noise = noise * kLcgMultiplier + kLcgIncrement;
                const double x = kick + kToneLevel * std::sin(kTwoPi * kToneHz[c] * t) +
                                 kNoiseLevel * (noise * kLcgScale - 1.0);
                samples[n * kChannels + c] = static_cast<int32_t>(std::lround(x * kPcm16Peak)) * kLeftJustify;
            }
        }
        sf_writef_int(out, samples.data(), kFrames);
        sf_close(out);
        return file;
    }();
    return path;
}

void runJob(benchmark::State& state, std::vector<std::string> arguments) {
    const std::string output = scratchFile("quillo-tool-bench-out.wav");
    arguments.insert(arguments.end(), {minuteOfMaterial(), output});
    const limit_tool::Options options = limit_tool::parseOptions(arguments);
    const limit_tool::JobContext context{false, nullptr};
    for (auto _ : state) benchmark::DoNotOptimize(limit_tool::runLimitJob(options, context));
    std::filesystem::remove(output);
    state.counters["x_real_time"] = benchmark::Counter(
        static_cast<double>(kFrames) / kRate * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void WholeRun(benchmark::State& state) { runJob(state, {"--quiet", "--gain", "6"}); }
BENCHMARK(WholeRun)->Unit(benchmark::kMillisecond)->UseRealTime();

void DeliveryRun(benchmark::State& state) {
    runJob(state, {"--quiet", "--target", "-14", "--true-peak", "--ceiling", "-1"});
}
BENCHMARK(DeliveryRun)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
