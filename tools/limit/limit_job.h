// One run of the tool on one file: read the input, limit it through the hosted
// plug-in, write the output (and the report) beside their targets, measure both
// sides, and put the files in place only when everything succeeded. Delivery
// runs (a ceiling, true peak, a loudness target) may make several such passes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/limit/audio_file.h"
#include "tools/limit/background_meter.h"
#include "tools/limit/cli_options.h"
#include "tools/limit/hosted_effect.h"

namespace limit_tool {

constexpr int32_t kMinSampleRate = 8000;
constexpr int32_t kMaxSampleRate = 384000;
// Files shorter than this finish before a progress bar would be of use.
constexpr double kProgressMinSeconds = 5.0;

// The passes a delivery made before the one that wrote the file, by what
// they were for.
struct PassCount {
    int32_t search = 0;   // loudness only, finding the gain for a target
    int32_t checked = 0;  // true peak measured and within, nothing written
    int32_t lowered = 0;  // true peak measured and above: the ceiling came down
    int32_t total() const { return search + checked + lowered + 1; }
};

struct JobSummary {
    AudioFormat input;
    int32_t outputFormat = 0;
    int64_t framesRead = 0;
    int64_t framesWritten = 0;
    int32_t latency = 0;  // the delay removed (or kept), the true-peak stage's included
    int32_t truePeakLatency = 0;  // of it, the true-peak stage's
    double inputPeak = 0.0;  // linear
    double outputPeak = 0.0;
    double inputTruePeak = 0.0;
    double outputTruePeak = 0.0;
    double outputFineTruePeak = 0.0;  // when measured (TruePeakFilter::Fine)
    double inputLoudness = 0.0;  // LUFS
    double outputLoudness = 0.0;
    double deepestReductionDb = 0.0;
    double shareReduced = 0.0;  // 0 to 1
    double processingSeconds = 0.0;
    // The gain the effect ran at (chosen when a target is given), the level
    // its output was scaled back to (linear, 1 for none), and the passes made.
    int32_t gainStep = kUnityGainStep;
    float sampleCeiling = 1.0f;
    PassCount passes;
    // Where the output's true peak was highest.
    int64_t truePeakFrame = 0;
    int32_t truePeakChannel = 0;
};

struct JobContext {
    bool progressWanted;                              // stderr is a terminal
    // Set by a signal handler and read by every thread of a batch: lock-free
    // atomics are both safe in a handler and free of races between threads.
    const std::atomic<bool>* interrupted;
};

// How one pass runs the effect and what it does with the result.
struct PassPlan {
    int32_t gainStep = kUnityGainStep;
    // The input is scaled by the inverse of this level before the effect and
    // its output by the level after it, so the limiter holds the output
    // there with its own character. 1: no scaling at all (the plain run).
    float ceiling = 1.0f;
    // The level the true-peak stage holds the output's true peak to after
    // that scaling (linear); 0: no stage.
    float truePeakCeiling = 0.0f;
    // Measure the samples on the output's integer grid, as the file holds them.
    bool onFileGrid = false;
    // False: a search pass that measures only the output and writes nothing.
    bool write = true;
    // A search pass may leave the output's true peak unmeasured (it reads 0);
    // the fine true peak is measured only where a ceiling is held for it.
    bool measureTruePeak = true;
    bool measureFineTruePeak = false;
    // Called with the figures before the files are put in place; throws
    // (ToolError, or what its caller catches) to refuse them: nothing is
    // written then.
    std::function<void(const JobSummary&)> accept;
    // The passes made before this one, for the summary and the report.
    PassCount before;
};

// A pass's figures, and its output meter kept for loudness across files.
struct PassResult {
    JobSummary summary;
    std::unique_ptr<BackgroundMeter> outputMeter;
};

// Throws ToolError on any failure; no output file exists afterwards then.
JobSummary runLimitJob(const Options& options, const JobContext& context);

// One pass over one file (options.input to options.output). Throws ToolError.
PassResult runPass(const Options& options, const PassPlan& plan, const JobContext& context);

// Throws ToolError unless the tool can limit a file of this format.
void checkInput(const std::string& path, const AudioFormat& format);
// Throws ToolError when the output would replace the input or cannot be one.
void checkPaths(const Options& options);
// Throws ToolError with status kExitInterrupted once an interrupt arrived.
void checkInterrupted(const JobContext& context);

// The settings in words, as the summary and the report show them.
std::string describeSettings(const Options& options);

}  // namespace limit_tool
