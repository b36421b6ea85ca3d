// The true-peak stage's block driver and its gain curve. Per piece: the new
// samples join each channel's line behind its history, the detector reads
// the intervals that now have their whole interpolation support, the gain
// curve turns their reductions into gains for the samples one look-ahead
// back, and those samples leave with their gain. The curve's vector form uses
// SSE2 only: its work is a few operations per frame, and every target has it.
#include "dsp/true_peak_stage.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "dsp/limiter_engine.h"

namespace quillo {

namespace {

// Each box of the gain curve lasts this long, so the S of the two boxes falls
// in some 0.4 ms and rises in as long. Longer falls and rises keep the gain
// down between close peaks and cost loudness (a dense drum loop at 96 kHz lost
// 0.53 LU to the stage with boxes of 0.3 ms, 0.47 LU with these); shorter ones
// move the gain faster than a peak of the upper midrange lasts.
constexpr float kBoxSeconds = 0.0002f;
// The box is the nearest whole number of samples.
constexpr float kRounding = 0.5f;
// Rates below this are refused: no host runs there, and the box would shrink
// to a sample or two.
constexpr float kLowestRate = 8000.0f;
// Input beyond this magnitude enters as silence: no limiter's output comes
// near it, and the interpolators' sums of it stay far inside the float range.
constexpr float kLargestAdmitted = 1.0e30f;
// Ceilings below this (-200 dB) count as this: the reduction's division needs
// a positive ceiling.
constexpr float kLowestCeiling = 1.0e-10f;
// Integers in one SSE2 register.
constexpr int32_t kLanes = 4;

float admitted(float x) { return std::fabs(x) <= kLargestAdmitted ? x : 0.0f; }

// The detection look-ahead plus the curve's: the gain for an interval's
// first sample is known once the interval kSupportHold + 2 (box - 1) later is
// read, and that needs kReadAhead samples after it.
int32_t delayFor(int32_t box) { return kReadAhead + kSupportHold + kBoxes * (box - 1); }

__m128i loadInts(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void storeInts(int32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// out[i] = out[i - 1] + line[box + i] - line[i], from carry; returns the last.
int32_t runningBoxGeneric(const int32_t* line, int32_t box, int32_t n, int32_t carry, int32_t* out) {
    for (int32_t i = 0; i < n; ++i) {
        carry += line[box + i] - line[i];
        out[i] = carry;
    }
    return carry;
}

// The same sums as prefix sums of four differences at a time (exact integer
// additions in another order).
int32_t runningBoxVector(const int32_t* line, int32_t box, int32_t n, int32_t carry, int32_t* out) {
    __m128i sum = _mm_set1_epi32(carry);
    int32_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        __m128i d = _mm_sub_epi32(loadInts(line + box + i), loadInts(line + i));
        d = _mm_add_epi32(d, _mm_slli_si128(d, sizeof(int32_t)));
        d = _mm_add_epi32(d, _mm_slli_si128(d, 2 * sizeof(int32_t)));
        sum = _mm_add_epi32(d, sum);
        storeInts(out + i, sum);
        sum = _mm_shuffle_epi32(sum, _MM_SHUFFLE(3, 3, 3, 3));
    }
    return runningBoxGeneric(line + i, box, n - i, _mm_cvtsi128_si32(sum), out + i);
}

}  // namespace

// ---- Gain curve ----------------------------------------------------------------------

void GainCurve::setup(int32_t boxLength) {
    box = boxLength;
    window = kBoxes * (boxLength + kSupportHold);
    scale = static_cast<float>(1.0 / (static_cast<double>(boxLength) * boxLength * kFullUnits));
    clear();
}

void GainCurve::clear() {
    second = 0;
    std::fill(std::begin(units), std::end(units), 0.0f);
    std::fill(std::begin(held), std::end(held), 0);
    std::fill(std::begin(firsts), std::end(firsts), 0);
}

void GainCurve::run(float* gains, int32_t n, bool generic) {
    const int32_t kept = window - 1;
    std::memcpy(rawTail, units + n, sizeof(float) * static_cast<std::size_t>(kept));
    if (generic) {
        heldGeneric(n);
        boxesGeneric(n);
    } else {
        heldVector(n);
        boxesVector(n);
    }
    int32_t i = 0;
    if (!generic) {
        const __m128 scaled = _mm_set1_ps(scale);
        for (; i + kLanes <= n; i += kLanes) {
            const __m128 reduction = _mm_mul_ps(_mm_cvtepi32_ps(loadInts(seconds + i)), scaled);
            _mm_storeu_ps(gains + i, _mm_max_ps(_mm_sub_ps(_mm_set1_ps(1.0f), reduction), _mm_setzero_ps()));
        }
    }
    // The product may round a hair above one at full reduction.
    for (; i < n; ++i) gains[i] = std::max(0.0f, 1.0f - static_cast<float>(seconds[i]) * scale);
    std::memcpy(units, rawTail, sizeof(float) * static_cast<std::size_t>(kept));
    std::memmove(held, held + n, sizeof(int32_t) * static_cast<std::size_t>(box));
    std::memmove(firsts, firsts + n, sizeof(int32_t) * static_cast<std::size_t>(box));
}

// Interval i's window is units[i] to units[i + window - 1].
void GainCurve::heldGeneric(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const float* first = units + i;
        held[box + i] = static_cast<int32_t>(*std::max_element(first, first + window));
    }
}

// Each level doubles the span every entry covers, in place from the top down,
// so that each entry reads the level below; the window is then the larger of
// two spans that overlap.
void GainCurve::heldVector(int32_t n) {
    const int32_t count = window - 1 + n;
    int32_t span = 1;
    for (; 2 * span <= window; span *= 2) {
        int32_t top = count;
        while (top - kLanes >= span) {
            top -= kLanes;
            _mm_storeu_ps(units + top, _mm_max_ps(_mm_loadu_ps(units + top), _mm_loadu_ps(units + top - span)));
        }
        for (int32_t i = top - 1; i >= span; --i) units[i] = std::max(units[i], units[i - span]);
    }
    const int32_t rest = window - span;
    const float* last = units + window - 1;
    int32_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        storeInts(held + box + i, _mm_cvttps_epi32(_mm_max_ps(_mm_loadu_ps(last + i), _mm_loadu_ps(last + i - rest))));
    }
    for (; i < n; ++i) held[box + i] = static_cast<int32_t>(std::max(last[i], last[i - rest]));
}

void GainCurve::boxesGeneric(int32_t n) {
    runningBoxGeneric(held, box, n, firsts[box - 1], firsts + box);
    second = runningBoxGeneric(firsts, box, n, second, seconds);
}

void GainCurve::boxesVector(int32_t n) {
    runningBoxVector(held, box, n, firsts[box - 1], firsts + box);
    second = runningBoxVector(firsts, box, n, second, seconds);
}

// ---- Stage ---------------------------------------------------------------------------

TruePeakStage::TruePeakStage() = default;
TruePeakStage::~TruePeakStage() = default;

int32_t TruePeakStage::boxLengthFor(float rate) {
    if (!(rate >= kLowestRate)) return 0;
    const float length = rate * kBoxSeconds + kRounding;
    if (!(length < static_cast<float>(kLongestBox + 1))) return 0;
    return static_cast<int32_t>(length);
}

int32_t TruePeakStage::latencyFor(float rate) {
    const int32_t box = boxLengthFor(rate);
    return box == 0 ? 0 : delayFor(box);
}

bool TruePeakStage::prepare(float rate, int32_t maxBlock) {
    isReady = false;
    const int32_t box = boxLengthFor(rate);
    if (box == 0 || maxBlock < 1) return false;
    const int32_t piece = std::min(maxBlock, kLongestPiece);
    const int32_t newDelay = delayFor(box);
    const int32_t newHistory = std::max(newDelay, kReadAhead + kReadBehind);
    const std::size_t lineFloats = static_cast<std::size_t>(newHistory + piece);
    const std::size_t gridFloats = static_cast<std::size_t>(piece + 1);
    const std::size_t perChannel = lineFloats + kLargestPhases * gridFloats + static_cast<std::size_t>(piece);
    memory.reset(new (std::nothrow) float[kChannels * perChannel + static_cast<std::size_t>(piece)]);
    if (!memory) return false;
    float* at = memory.get();
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        lines[ch] = at;
        at += lineFloats;
        for (float*& points : grids[ch].points) {
            points = at + 1;
            at += gridFloats;
        }
        grids[ch].library = at;
        at += piece;
    }
    gains = at;
    design = designDetector(rate);
    curve.setup(box);
    history = newHistory;
    pieceLength = piece;
    delay = newDelay;
    isReady = true;
    reset();
    return true;
}

void TruePeakStage::reset() {
    if (!isReady) return;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        std::fill(lines[ch], lines[ch] + history + pieceLength, 0.0f);
        for (float* points : grids[ch].points) points[-1] = 0.0f;
    }
    curve.clear();
}

void TruePeakStage::process(float* left, float* right, int32_t frames, float ceiling) {
    if (!isReady || left == nullptr || right == nullptr) return;
    float* const io[kChannels] = {left, right};
    const float usable = ceiling >= kLowestCeiling ? ceiling : kLowestCeiling;
    for (int32_t offset = 0; offset < frames; offset += pieceLength) {
        runPiece(io, offset, std::min(pieceLength, frames - offset), usable);
    }
}

void TruePeakStage::runPiece(float* const* io, int32_t offset, int32_t n, float ceiling) {
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        float* fresh = lines[ch] + history;
        for (int32_t k = 0; k < n; ++k) fresh[k] = admitted(io[ch][offset + k]);
    }
    detect(n, ceiling);
    curve.run(gains, n, forceGeneric);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        const float* delayed = lines[ch] + history - delay;
        float* out = io[ch] + offset;
        for (int32_t k = 0; k < n; ++k) out[k] = delayed[k] * gains[k];
        std::memmove(lines[ch], lines[ch] + n, sizeof(float) * static_cast<std::size_t>(history));
        for (float* points : grids[ch].points) points[-1] = points[n - 1];
    }
}

// The intervals whose first samples are the piece's frames kReadAhead back:
// their last interpolation taps are the piece's newest samples.
void TruePeakStage::detect(int32_t n, float ceiling) {
    const bool avx = !forceSse2 && LimiterEngine::avxUsable();
    const auto interpolate = avx ? interpolateAvx : interpolateSse2;
    const auto reduce = avx ? reductionAvx : reductionSse2;
    PeakInputs in;
    in.ceiling = ceiling;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        const float* x = lines[ch] + history - kReadAhead;
        in.samples[ch] = x;
        in.grid[ch] = grids[ch];
        const int32_t done = forceGeneric || design.factor == 1 ? 0 : interpolate(design, x, n, grids[ch]);
        GridLines rest = grids[ch];
        for (float*& points : rest.points) points += done;
        rest.library += done;
        interpolateGeneric(design, x + done, n - done, rest);
    }
    float* units = curve.incoming();
    const int32_t done = forceGeneric ? 0 : reduce(design, in, n, units);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        in.samples[ch] += done;
        for (float*& points : in.grid[ch].points) points += done;
        in.grid[ch].library += done;
    }
    reductionGeneric(design, in, n - done, units + done);
}

}  // namespace quillo
