// The report a mastering engineer looks at: for each channel the peak envelopes
// of input and output against the 0 dBFS ceiling, and the gain reduction below
// them, over time in seconds.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tools/limit/measurements.h"

namespace limit_tool {

struct ReportData {
    std::string title;
    std::string settings;
    double seconds = 0.0;
    std::vector<ChannelTrace> channels;
    double ceilingDb = 0.0;
    bool truePeakCeiling = false;
    std::optional<double> targetLufs;
    // Short-term loudness (LUFS) every kShortTermEverySeconds; empty: no panel.
    std::vector<double> inputCourse;
    std::vector<double> outputCourse;
    // Where the output's true peak was highest.
    std::size_t truePeakChannel = 0;
    double truePeakSeconds = 0.0;
    double truePeakDb = 0.0;
};

std::string renderSvgReport(const ReportData& data);

// Text safe inside XML character data and attribute values.
std::string escapeXml(const std::string& text);

}  // namespace limit_tool
