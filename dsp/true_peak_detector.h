// What the true-peak stage reads between samples. Meters of true peak
// (BS.1770-4) oversample each interval between two samples with an
// interpolating filter and take the highest magnitude on their grid; longer
// interpolations, as delivery checks use, read the waveform nearly where it
// peaks. The detector computes both readings for every interval: the
// standard's 49-tap interpolator, and a Kaiser-windowed sinc of 32 taps per
// phase whose grid maxima are raised by a bound on how far a parabola through
// three grid points can rise between them. The result per interval is the
// reduction it needs, in integer units.
//
// The work runs in two passes over a stretch of intervals: the interpolated
// grid points per channel (pass 1), then the peaks of both channels and their
// reduction units (pass 2). Each pass has a generic form, one interval at a
// time, and vector forms that take several consecutive intervals per register
// with the same single-precision operations in the same order, so all give the
// same bits.
#pragma once

#include <cstdint>

#include "dsp/limiter_constants.h"

namespace quillo {

// ---- Grid ------------------------------------------------------------------------

// The meters oversample four times below 96 kHz, twice below 192 kHz and not
// above: the grid points per interval, its first point being the sample.
constexpr float kFourTimesBelow = 96000.0f;
constexpr float kTwiceBelow = 192000.0f;
constexpr int32_t kFourTimes = 4;
constexpr int32_t kTwice = 2;
constexpr int32_t kLargestFactor = kFourTimes;
// Interpolated points per interval at most (all but the sample).
constexpr int32_t kLargestPhases = kLargestFactor - 1;

// ---- Interpolators ------------------------------------------------------------------

// The long interpolator reaches this many samples to either side: 32 taps per
// phase, the Kaiser window's shape of common resamplers.
constexpr double kFineReach = 16.0;
constexpr double kKaiserBeta = 9.0;
// The standard's interpolator: 49 taps at the oversampled rate, Hann-windowed.
constexpr double kLibraryTapSpan = 48.0;
// Each symmetric filter is applied to tap pairs: the samples j before and
// j + 1 after an interval's first sample. The long one always needs 16 pairs,
// the standard's 6 at four times and 12 at twice.
constexpr int32_t kLargestPairs = 16;
// Samples an interval's reading needs before its first sample and after it.
constexpr int32_t kReadBehind = kLargestPairs - 1;
constexpr int32_t kReadAhead = kLargestPairs;

// ---- Peak to reduction -------------------------------------------------------------

// A parabola through three grid points peaks at most an eighth of the
// difference of the outer two above the middle one when the middle one is the
// highest; a point within this share of its neighbours' height may become the
// highest once the gain is applied, and is raised too.
constexpr float kVertexRise = 0.125f;
constexpr float kNearHighest = 1.0f - 1.0f / 256.0f;
// Each peak is taken this much higher (0.03 dB). The meters sum their taps
// unfolded, in another order or in double precision, and the gain is rounded
// once more after its reduction, each moving a reading by some 1e-7; and
// meters that resample to 192 kHz at any rate (ffmpeg's, with its own filter
// and interpolated phases) read up to 0.02 dB above the long interpolator at
// 44.1 kHz on dense material.
constexpr float kPeakMargin = 1.0035f;
// Reductions are counted in whole units, this many to a full reduction (each
// 1.5e-5 of the gain, 0.0001 dB near unity): sums of them over two boxes of
// up to the longest box stay exact in int32_t.
constexpr float kFullUnits = 65536.0f;
// Each reduction is made this much deeper (1 %): where the gain slopes into or
// out of a dip, the interpolators' outer taps weigh samples whose gain differs
// from the gain at the peak, and the meters read up to 0.25 % of the reduction
// above the gain at the peak times the peak.
constexpr float kDeeperBy = 1.01f;
constexpr float kUnitScale = kFullUnits * kDeeperBy;

// Half the sum and half the difference of the two mirror phases' sums are
// the quarter and three-quarter points.
constexpr float kMirrorHalf = 0.5f;

// The filters of one rate: coefficients of the folded pairs, j = 0 nearest.
// At four times the quarter and three-quarter points are mirror images: their
// sum and difference come from the pair sums and differences, the half point
// from the pair sums alone; at twice only the half point exists.
struct DetectorDesign {
    int32_t factor = 1;      // grid points per interval
    int32_t finePairs = 0;   // 0 where nothing is interpolated
    int32_t libraryPairs = 0;
    float fineSum[kLargestPairs] = {};
    float fineDifference[kLargestPairs] = {};
    float fineHalf[kLargestPairs] = {};
    float librarySum[kLargestPairs] = {};
    float libraryDifference[kLargestPairs] = {};
    float libraryHalf[kLargestPairs] = {};
};

// The design for a rate; deterministic on every build (basic double operations only).
DetectorDesign designDetector(float rate);

// Pass 1 for one channel and `count` intervals: x[i] is interval i's first
// sample, x[i - kReadBehind .. i + kReadAhead] are read. points[p][i] receives
// the long interpolator's point p + 1 of interval i, library[i] the standard
// interpolator's highest magnitude within interval i.
struct GridLines {
    float* points[kLargestPhases];
    float* library;
};
void interpolateGeneric(const DetectorDesign& d, const float* x, int32_t count, const GridLines& out);

// Pass 2: reduction units (whole numbers) for `count` intervals from both
// channels. The grid's point lines hold entry -1 too (the last interval before
// the stretch); samples are read from x[i - 1] to x[i + 1].
struct PeakInputs {
    const float* samples[kChannels];
    GridLines grid[kChannels];
    float ceiling;
};
void reductionGeneric(const DetectorDesign& d, const PeakInputs& in, int32_t count, float* units);
// The units of reduction that bring a peak (times the margin) to the ceiling:
// none at or below it, rounded up to a whole number, at most full scale.
float reductionUnits(float peak, float ceiling);

// The vector forms: they take the intervals in whole registers and return how
// many they took; the caller runs the rest through the generic forms.
int32_t interpolateSse2(const DetectorDesign& d, const float* x, int32_t count, const GridLines& out);
int32_t interpolateAvx(const DetectorDesign& d, const float* x, int32_t count, const GridLines& out);
int32_t reductionSse2(const DetectorDesign& d, const PeakInputs& in, int32_t count, float* units);
int32_t reductionAvx(const DetectorDesign& d, const PeakInputs& in, int32_t count, float* units);

}  // namespace quillo
