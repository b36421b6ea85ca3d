// The true-peak stage: runs after the limiter on its stereo output and keeps
// the output's true peak at or under a ceiling, as meters of the standard's
// four-times-oversampled kind read it and as longer interpolations read it
// (see true_peak_detector.h). It lowers one gain for both channels, only
// around the intervals that peak above the ceiling: the gain falls ahead of
// each such interval in a smooth S, holds the interval's reduction over every
// sample the interpolators weigh heavily, and rises again in the same S.
// Standard library only; nothing is allocated, locked or logged outside
// prepare().
#pragma once

#include <cstdint>
#include <memory>

#include "dsp/true_peak_detector.h"

namespace quillo {

// The gain curve's two boxes, and the longest box (samples).
constexpr int32_t kBoxes = 2;
constexpr int32_t kLongestBox = 160;
// The longest piece of intervals one run takes: a piece's lines and grids
// stay in the first cache level.
constexpr int32_t kLongestPiece = 1024;
// Samples the gain holds each interval's reduction to either side of it,
// beyond the interval's own two: the interpolators' main lobe, where the
// meters weigh the samples most. Gains that change across it would read above
// the gain at the peak times the peak by more than kDeeperBy allows.
constexpr int32_t kSupportHold = 1;
// The window of the highest units: both boxes and the hold on either side.
constexpr int32_t kLongestWindow = kBoxes * (kLongestBox + kSupportHold);
static_assert(static_cast<double>(kLongestBox) * kLongestBox * kFullUnits + kLongestBox * kFullUnits <
                  2147483648.0,
              "the boxes' running sums of full-scale units stay inside int32_t");

// The gain curve: from the reduction units of consecutive intervals, the
// highest units over a window, then two running boxes whose sum is the
// reduction, one box's length apart. The window covers both boxes
// and the samples the gain holds to either side of an interval, so the
// reduction at each sample is at least that of every interval within the hold:
// the boxes average only values that high, and the two boxes turn the
// window's steps into an S that falls and rises over two box lengths.
//
// Every step is exact: maxima of whole numbers held in floats, sums of them
// in int32_t. So the generic form (a maximum over the whole window and running
// sums, frame by frame) and the vector form (the window as doubling maxima, the
// boxes as prefix sums) give the same gains however the intervals are grouped.
class GainCurve {
public:
    // A box of 1 to kLongestBox samples; clears the curve.
    void setup(int32_t boxLength);
    void clear();
    // Where the caller writes the units of the next run's intervals.
    float* incoming() { return units + window - 1; }
    // The gains for the samples that lie kSupportHold + 2 (box - 1) frames
    // before the starts of the n (up to kLongestPiece) intervals given.
    void run(float* gains, int32_t n, bool generic);

private:
    void heldGeneric(int32_t n);
    void heldVector(int32_t n);
    void boxesGeneric(int32_t n);
    void boxesVector(int32_t n);

    int32_t box = 1;
    int32_t window = 2;
    float scale = 0.0f;   // one over the boxes' full-scale sum
    int32_t second = 0;   // the second box's running sum
    // Lines: the entries before a run, then one per interval of the run.
    float units[kLongestWindow - 1 + kLongestPiece] = {};  // window - 1 before
    float rawTail[kLongestWindow] = {};                    // the units the next run keeps
    int32_t held[kLongestBox + kLongestPiece] = {};        // box before
    int32_t firsts[kLongestBox + kLongestPiece] = {};      // box before: the first box's sums
    int32_t seconds[kLongestPiece] = {};
};

class TruePeakStage {
public:
    TruePeakStage();
    ~TruePeakStage();
    TruePeakStage(const TruePeakStage&) = delete;
    TruePeakStage& operator=(const TruePeakStage&) = delete;

    // Sets the stage up for a rate and blocks of up to maxBlock frames
    // (longer ones run in pieces), allocating without throwing, and resets
    // it. Returns false, and leaves the stage not ready, for a rate it does
    // not support (below 8 kHz, above some 800 kHz, not finite), maxBlock < 1,
    // or when the memory cannot be had.
    bool prepare(float rate, int32_t maxBlock);
    // Silence in the look-ahead and no reduction; keeps the setup.
    void reset();

    // One block in place, both channels delayed by latency() frames. The
    // ceiling is linear; one that is not a positive number counts as the
    // lowest ceiling. A new ceiling applies to the samples that arrive with
    // it. Samples that are not finite, or beyond any limiter's output,
    // enter as silence. A stage that is not ready leaves the buffers alone.
    void process(float* left, float* right, int32_t frames, float ceiling);

    bool ready() const { return isReady; }
    int32_t latency() const { return delay; }
    // The latency prepare() sets up for a rate; 0 for a rate it refuses.
    static int32_t latencyFor(float rate);

    // Tests only: every interval through the generic passes, or the vector
    // passes with SSE2 instructions where AVX is usable (all give the same bits).
    void useGenericPathForTesting(bool on) { forceGeneric = on; }
    void useSse2ForTesting(bool on) { forceSse2 = on; }

private:
    static int32_t boxLengthFor(float rate);
    void runPiece(float* const* io, int32_t offset, int32_t n, float ceiling);
    void detect(int32_t n, float ceiling);

    DetectorDesign design;
    GainCurve curve;
    std::unique_ptr<float[]> memory;
    float* lines[kChannels] = {};  // history, then the piece
    GridLines grids[kChannels] = {};  // each point line holds entry -1 too
    float* gains = nullptr;
    int32_t history = 0;
    int32_t pieceLength = 0;
    int32_t delay = 0;
    bool isReady = false;
    bool forceGeneric = false;
    bool forceSse2 = false;
};

}  // namespace quillo
