// The command line of quillo-limit: options in the user's units, checked for
// range here so that nothing out of range reaches the plug-in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/limit/limiter_settings.h"

namespace limit_tool {

constexpr int32_t kDefaultBlockSize = 512;
constexpr int32_t kMinBlockSize = 1;
constexpr int32_t kMaxBlockSize = 65536;
constexpr double kLowestCeilingDb = -20.0;
constexpr double kHighestCeilingDb = 0.0;
constexpr double kLowestTargetLufs = -40.0;
constexpr double kHighestTargetLufs = 0.0;
constexpr int32_t kMaxJobs = 64;

struct Options {
    // The single-file form's INPUT and OUTPUT; in a batch, those of one file.
    std::string input;
    std::string output;
    // The batch form: INPUT... --output-dir DIR.
    std::vector<std::string> inputs;
    std::string outputDir;  // empty: the single-file form
    std::string report;     // empty: no report
    LimiterSettings limiter;
    int32_t blockSize = kDefaultBlockSize;
    bool keepLatency = false;
    bool quiet = false;
    bool floatOutput = false;
    bool help = false;
    bool version = false;
    // Delivery: the level no output sample (or, with truePeak, no true peak)
    // exceeds, and the integrated loudness to reach by choosing the gain.
    double ceilingDb = kHighestCeilingDb;
    bool ceilingGiven = false;
    bool truePeak = false;
    std::optional<double> targetLufs;
    bool gainGiven = false;
    bool album = false;
    int32_t jobs = 0;  // 0: one per core

    // Any delivery option asks for the verified passes instead of the plain run.
    bool delivery() const { return ceilingGiven || truePeak || targetLufs.has_value(); }
    bool batch() const { return !outputDir.empty(); }
};

// Throws UsageError naming the offending option or value.
Options parseOptions(const std::vector<std::string>& arguments);

const char* usageText();

}  // namespace limit_tool
