// The report a mastering engineer looks at: for each channel the peak envelopes
// of input and output against the 0 dBFS ceiling, and the gain reduction below
// them, over time in seconds.
#pragma once

#include <string>
#include <vector>

#include "tools/limit/measurements.h"

namespace limit_tool {

struct ReportData {
    std::string title;
    std::string settings;
    double seconds = 0.0;
    std::vector<ChannelTrace> channels;
};

std::string renderSvgReport(const ReportData& data);

// Text safe inside XML character data and attribute values.
std::string escapeXml(const std::string& text);

}  // namespace limit_tool
