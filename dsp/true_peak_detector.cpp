// The detector's filters and its generic passes, one interval at a time: the
// reference the vector passes (true_peak_detector.inc) match bit for bit.
#include "dsp/true_peak_detector.h"

#include <algorithm>
#include <cmath>

namespace quillo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalf = 0.5;
// The cosine's and the Bessel function's series converge to double precision
// within these many terms for the arguments used (up to pi and kKaiserBeta).
constexpr int32_t kCosineTerms = 24;
constexpr int32_t kBesselTerms = 40;
// The mirror points of the four-times grid, in samples from the interval's start.
constexpr double kQuarter = 0.25;
constexpr double kThreeQuarters = 0.75;

// The library's trigonometric functions may round differently from one C
// library to the next; these series use only operations that IEEE arithmetic
// rounds the same everywhere, so every build gets the same coefficients.
double cosine(double x) {
    double term = 1.0;
    double sum = 1.0;
    for (int32_t k = 1; k < kCosineTerms; ++k) {
        term *= -(x * x) / static_cast<double>((2 * k - 1) * (2 * k));
        sum += term;
    }
    return sum;
}

double besselI0(double x) {
    double term = 1.0;
    double sum = 1.0;
    for (int32_t k = 1; k < kBesselTerms; ++k) {
        term *= (x * kHalf / k) * (x * kHalf / k);
        sum += term;
    }
    return sum;
}

// sin(pi t) / (pi t) for t > 0: the whole periods taken off first, so that
// the series sees arguments within a quarter period.
double sinc(double t) {
    const double whole = std::floor(t);
    const double sine = cosine(kPi * (t - whole - kHalf));
    return (std::fmod(whole, 2.0) == 0.0 ? sine : -sine) / (kPi * t);
}

double fineTap(double t) {
    if (t >= kFineReach) return 0.0;
    const double x = t / kFineReach;
    return sinc(t) * besselI0(kKaiserBeta * std::sqrt(1.0 - x * x)) / besselI0(kKaiserBeta);
}

// The standard's 49 taps span kLibraryTapSpan / factor samples; the Hann
// window falls to zero at half of it.
double libraryTap(double t, int32_t factor) {
    const double reach = kLibraryTapSpan * kHalf / factor;
    if (t >= reach) return 0.0;
    return sinc(t) * kHalf * (1.0 + cosine(kPi * t / reach));
}

template <typename Tap>
void foldTaps(int32_t factor, int32_t pairs, Tap tap, float* sum, float* difference, float* half) {
    for (int32_t j = 0; j < pairs; ++j) {
        half[j] = static_cast<float>(tap(kHalf + j));
        if (factor != kFourTimes) continue;
        const double near = tap(kQuarter + j);
        const double far = tap(kThreeQuarters + j);
        sum[j] = static_cast<float>(near + far);
        difference[j] = static_cast<float>(near - far);
    }
}

// The parabola bound of one grid point from its neighbours (see kVertexRise).
float raisedPoint(float before, float point, float after) {
    const float size = std::fabs(point);
    const bool near = size >= std::max(std::fabs(before), std::fabs(after)) * kNearHighest;
    return size + (near ? std::fabs(after - before) * kVertexRise : 0.0f);
}

}  // namespace

DetectorDesign designDetector(float rate) {
    DetectorDesign d;
    d.factor = rate < kFourTimesBelow ? kFourTimes : rate < kTwiceBelow ? kTwice : 1;
    if (d.factor == 1) return d;
    d.finePairs = static_cast<int32_t>(kFineReach);
    d.libraryPairs = static_cast<int32_t>(kLibraryTapSpan * kHalf) / d.factor;
    const int32_t factor = d.factor;
    foldTaps(factor, d.finePairs, fineTap, d.fineSum, d.fineDifference, d.fineHalf);
    foldTaps(factor, d.libraryPairs, [factor](double t) { return libraryTap(t, factor); }, d.librarySum,
             d.libraryDifference, d.libraryHalf);
    return d;
}

// One filter's running sums over the pairs: the mirror phases' sum and
// difference (four times only) and the half point. Sums run from the nearest
// pair outward, each product added to the running sum, as the vector passes
// run them.
struct PairSums {
    float sum = 0.0f, difference = 0.0f, half = 0.0f;

    void take(const float* sums, const float* differences, const float* halves, int32_t j, bool mirrored,
              float s, float m) {
        if (mirrored) {
            sum = sum + sums[j] * s;
            difference = difference + differences[j] * m;
        }
        half = half + halves[j] * s;
    }
};

void interpolateGeneric(const DetectorDesign& d, const float* x, int32_t count, const GridLines& out) {
    if (d.factor == 1) return;
    const bool mirrored = d.factor == kFourTimes;
    for (int32_t i = 0; i < count; ++i) {
        PairSums fine, library;
        for (int32_t j = 0; j < d.finePairs; ++j) {
            const float s = x[i - j] + x[i + 1 + j];
            const float m = x[i - j] - x[i + 1 + j];
            fine.take(d.fineSum, d.fineDifference, d.fineHalf, j, mirrored, s, m);
            if (j < d.libraryPairs) library.take(d.librarySum, d.libraryDifference, d.libraryHalf, j, mirrored, s, m);
        }
        if (!mirrored) {
            out.points[0][i] = fine.half;
            out.library[i] = std::fabs(library.half);
            continue;
        }
        out.points[0][i] = (fine.sum + fine.difference) * kMirrorHalf;
        out.points[1][i] = fine.half;
        out.points[2][i] = (fine.sum - fine.difference) * kMirrorHalf;
        // The larger of |sum + difference| and |sum - difference|, halved.
        const float either = (std::fabs(library.sum) + std::fabs(library.difference)) * kMirrorHalf;
        out.library[i] = std::max(either, std::fabs(library.half));
    }
}

void reductionGeneric(const DetectorDesign& d, const PeakInputs& in, int32_t count, float* units) {
    const int32_t phases = d.factor - 1;
    for (int32_t i = 0; i < count; ++i) {
        float peak = 0.0f;
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const float* x = in.samples[ch];
            // The interval's grid with the last point before it and the first after it.
            float g[kLargestFactor + 2];
            g[0] = phases == 0 ? x[i - 1] : in.grid[ch].points[phases - 1][i - 1];
            g[1] = x[i];
            for (int32_t p = 0; p < phases; ++p) g[2 + p] = in.grid[ch].points[p][i];
            g[d.factor + 1] = x[i + 1];
            for (int32_t k = 1; k <= d.factor; ++k) peak = std::max(peak, raisedPoint(g[k - 1], g[k], g[k + 1]));
            if (phases > 0) peak = std::max(peak, in.grid[ch].library[i]);
        }
        units[i] = reductionUnits(peak, in.ceiling);
    }
}

float reductionUnits(float peak, float ceiling) {
    const float ratio = ceiling / std::max(peak * kPeakMargin, ceiling);
    const float t = std::min((1.0f - ratio) * kUnitScale, kFullUnits);
    const float whole = static_cast<float>(static_cast<int32_t>(t));
    return whole < t ? whole + 1.0f : whole;
}

}  // namespace quillo
