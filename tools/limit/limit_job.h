// One run of the tool: read the input, limit it through the hosted plug-in,
// write the output (and the report) beside their targets, measure both sides,
// and put the files in place only when everything succeeded.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "tools/limit/audio_file.h"
#include "tools/limit/cli_options.h"
#include "tools/limit/hosted_effect.h"

namespace limit_tool {

constexpr int32_t kMinSampleRate = 8000;
constexpr int32_t kMaxSampleRate = 384000;
// Files shorter than this finish before a progress bar would be of use.
constexpr double kProgressMinSeconds = 5.0;

struct JobSummary {
    AudioFormat input;
    int32_t outputFormat = 0;
    int64_t framesRead = 0;
    int64_t framesWritten = 0;
    int32_t latency = 0;
    double inputPeak = 0.0;  // linear
    double outputPeak = 0.0;
    double inputTruePeak = 0.0;
    double outputTruePeak = 0.0;
    double inputLoudness = 0.0;  // LUFS
    double outputLoudness = 0.0;
    double deepestReductionDb = 0.0;
    double shareReduced = 0.0;  // 0 to 1
    double processingSeconds = 0.0;
};

struct JobContext {
    EffectEntry entry;
    bool progressWanted;                              // stderr is a terminal
    const volatile std::sig_atomic_t* interrupted;    // set by a signal handler
};

// Throws ToolError on any failure; no output file exists afterwards then.
JobSummary runLimitJob(const Options& options, const JobContext& context);

// Throws ToolError unless the tool can limit a file of this format.
void checkInput(const std::string& path, const AudioFormat& format);

// The settings in words, as the summary and the report show them.
std::string describeSettings(const Options& options);

}  // namespace limit_tool
