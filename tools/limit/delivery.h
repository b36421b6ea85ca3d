// Delivery runs: a ceiling below full scale, held for samples or for the true
// peak, and a loudness target reached by choosing the effect's input gain, for
// one file or an album of files sharing one gain. Every figure promised is
// measured on the samples the output file holds before it is put in place.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/limit/limit_job.h"

namespace limit_tool {

// A target counts as reached within this many LU.
constexpr double kTargetTolerance = 0.1;

// One file of a delivery: its options (input and output), the sample ceiling
// its passes use, the passes made so far, and its last pass.
struct DeliveryFile {
    Options options;
    int32_t gridBits = 0;  // the output's integer sample grid, 0 for float
    float sampleCeiling = 1.0f;
    PassCount passes;
    std::unique_ptr<LevelMeter> inputMeter;  // loudness only
    PassResult last;
    bool written = false;
    // Set when this file failed: it takes no further part.
    std::string failure;
    int failureStatus = 0;
};

// A single file (the INPUT OUTPUT form, or one file of a batch without --album).
JobSummary runDelivery(const Options& options, const JobContext& context);

// The album: one gain for every file from their combined loudness. Files that
// fail are marked and left out; the others are written. Returns the album's
// loudness as written, minus infinity when no file was written.
double runAlbum(std::vector<DeliveryFile>& files, const Options& options, int32_t jobs,
                const JobContext& context, std::vector<JobSummary>& summaries);

}  // namespace limit_tool
