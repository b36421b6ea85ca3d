// What the user sees on the terminal: the progress line while a long file is
// processed and the summary at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/limit/cli_options.h"
#include "tools/limit/limit_job.h"

namespace limit_tool {

class ProgressBar {
public:
    // Shows nothing unless `enabled`.
    ProgressBar(bool enabled, int64_t totalFrames, int32_t sampleRate, std::FILE* stream);
    void update(int64_t framesDone);
    // Clears the line so that what follows starts on a clean one.
    void finish();

private:
    void draw(int64_t framesDone);

    bool shown;
    int64_t total;
    double rate;
    std::FILE* terminal;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
    bool drawn = false;
};

// Signed decibels with the unit, or "-inf" for silence.
std::string level(double decibels, const char* unit);
// The closing summary of a run, in the units a mastering engineer reads.
std::string formatSummary(const Options& options, const JobSummary& summary);
// The delay removed or kept, and the passes a delivery made, in words as the
// summary and the report give them.
std::string describeDelay(const JobSummary& summary);
std::string describePasses(const PassCount& passes);
// One file of a batch in one line: where it went and what it measures.
std::string formatFileLine(const Options& options, const JobSummary& summary);

}  // namespace limit_tool
