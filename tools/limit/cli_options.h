// The command line of quillo-limit: options in the user's units, checked for
// range here so that nothing out of range reaches the plug-in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/shared/parameter_values.h"

namespace limit_tool {

// The tool names parameters and their units as every host of the effect does.
using namespace formats;

constexpr int32_t kDefaultBlockSize = 512;
constexpr int32_t kMinBlockSize = 1;
constexpr int32_t kMaxBlockSize = 65536;

struct Options {
    std::string input;
    std::string output;
    std::string report;  // empty: no report
    LimiterSettings limiter;
    int32_t blockSize = kDefaultBlockSize;
    bool keepLatency = false;
    bool quiet = false;
    bool floatOutput = false;
    bool help = false;
    bool version = false;
};

// Throws UsageError naming the offending option or value.
Options parseOptions(const std::vector<std::string>& arguments);

const char* usageText();

}  // namespace limit_tool
