#include "tools/limit/true_peak.h"

#include <algorithm>
#include <cmath>

#include "dsp/true_peak_detector.h"

namespace limit_tool {

namespace {

// The library's interpolator: its length. The rates where it oversamples less
// or not at all, and the fine filter's window, are those the true-peak stage
// reads by, so that the meter measures on the stage's grid.
constexpr int32_t kLibraryTaps = 49;
using quillo::kFourTimes;
using quillo::kFourTimesBelow;
using quillo::kKaiserBeta;
using quillo::kTwice;
using quillo::kTwiceBelow;
// The fine filter's taps per phase (as ffmpeg's resampler has by default), at
// the library's oversampling.
constexpr int32_t kFineTapsPerPhase = 32;
// Coefficients this small are left out, as the library leaves them out.
constexpr double kNegligible = 1e-6;
constexpr double kPi = 3.14159265358979323846;
constexpr double kHalf = 0.5;
constexpr double kParabolaScale = 8.0;
// Refinement adds at most this share to a point (a peak between points of a
// fourfold grid lies within 7 % of them, even at 20 kHz and 44.1 kHz), so
// lower blocks need none.
constexpr float kRefinableShare = 1.07f;
// Frames filtered per step: a whole number of vectors, small enough to stay
// in the first-level cache with the line it reads.
constexpr int64_t kStep = 256;

int32_t libraryOversampling(int32_t sampleRate) {
    if (sampleRate < kFourTimesBelow) return kFourTimes;
    if (sampleRate < kTwiceBelow) return kTwice;
    return 1;
}

double sinc(double x) { return std::fabs(x) > kNegligible ? std::sin(kPi * x) / (kPi * x) : 1.0; }

double hann(int32_t tap, int32_t taps) { return kHalf * (1.0 - std::cos(2.0 * kPi * tap / (taps - 1))); }

// The modified Bessel function of order 0 by its series, which converges to
// double precision within kBesselTerms for the window's arguments (up to
// kKaiserBeta). The library's std::cyl_bessel_i goes through lgamma, which
// writes a global and so races when meters are made on several threads.
constexpr int32_t kBesselTerms = 40;

double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int32_t k = 1; k < kBesselTerms; ++k) {
        term *= (x * kHalf / k) * (x * kHalf / k);
        sum += term;
    }
    return sum;
}

double kaiser(int32_t tap, int32_t taps) {
    const double x = 2.0 * tap / (taps - 1) - 1.0;
    return besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - x * x))) / besselI0(kKaiserBeta);
}

}  // namespace

TruePeakMeter::TruePeakMeter(int32_t channels, int32_t sampleRate, TruePeakFilter filter)
    : channelCount(channels), refine(filter == TruePeakFilter::Fine),
      lines(static_cast<std::size_t>(channels)),
      heads(static_cast<std::size_t>(channels)) {
    const int32_t factor = libraryOversampling(sampleRate);
    const int32_t taps = refine ? factor * kFineTapsPerPhase + 1 : kLibraryTaps;
    history = (taps - 1) / factor;  // the longest delay
    phases.resize(static_cast<std::size_t>(factor));
    for (int32_t tap = 0; tap < taps; ++tap) {
        const double offset = (tap - (taps - 1) * kHalf) / factor;
        const double c = sinc(offset) * (refine ? kaiser(tap, taps) : hann(tap, taps));
        if (std::fabs(c) <= kNegligible) continue;
        Phase& phase = phases[static_cast<std::size_t>(tap % factor)];
        phase.coefficients.push_back(static_cast<float>(c));
        phase.delays.push_back(tap / factor);
    }
    sums.assign(static_cast<std::size_t>(factor * kStep), 0.0f);
    for (auto& line : lines) line.assign(static_cast<std::size_t>(history + kStep), 0.0f);
}

void TruePeakMeter::add(const float* interleaved, int64_t frames) {
    for (int64_t first = 0; first < frames; first += kStep) {
        const int64_t count = std::min(kStep, frames - first);
        for (int32_t channel = 0; channel < channelCount; ++channel) {
            addChannel(channel, interleaved, first, count);
        }
        framesSeen += count;
    }
}

void TruePeakMeter::finish() {
    if (!refine || framesSeen < history) return;
    // Each end mirrored, with and without its last sample repeated: the
    // history ahead of the block is the stream's last `history` samples.
    for (int32_t channel = 0; channel < channelCount; ++channel) {
        const std::vector<float>& head = heads[static_cast<std::size_t>(channel)];
        const float* tail = lines[static_cast<std::size_t>(channel)].data();
        for (const int32_t repeat : {0, 1}) {
            std::vector<float> start(head.rbegin(), head.rend() - 1 + repeat);
            start.insert(start.end(), head.begin(), head.end());
            measureMirrored(start, channel, 0);
            std::vector<float> end(tail, tail + history);
            end.insert(end.end(), end.rbegin() + 1 - repeat, end.rend());
            measureMirrored(end, channel, framesSeen);
        }
    }
    // Silence after the end: its sample peaks are 0 and change nothing.
    const std::vector<float> silence(static_cast<std::size_t>(history * channelCount), 0.0f);
    add(silence.data(), history);
}

// Every output of the filter over an extended piece of signal where all its
// taps lie within the piece.
void TruePeakMeter::measureMirrored(const std::vector<float>& extended, int32_t channel, int64_t frame) {
    for (std::size_t n = static_cast<std::size_t>(history); n < extended.size(); ++n) {
        for (const Phase& phase : phases) {
            float sum = 0.0f;
            for (std::size_t tap = 0; tap < phase.coefficients.size(); ++tap) {
                sum += phase.coefficients[tap] * extended[n - static_cast<std::size_t>(phase.delays[tap])];
            }
            note(std::fabs(sum), frame, channel);
        }
    }
}

void TruePeakMeter::note(double level, int64_t frame, int32_t channel) {
    // Not `level <= highest`: a sum that overflowed to NaN must not stick.
    if (!(level > highest)) return;
    highest = level;
    highestFrame = std::max<int64_t>(0, frame);
    highestChannel = channel;
}

// The filter's output for input sample n and a phase is the sum over its taps
// of coefficient times the sample `delay` before n; the line holds the last
// `history` samples ahead of the block's, so every delay reads within it.
void TruePeakMeter::addChannel(int32_t channel, const float* interleaved, int64_t first,
                               int64_t count) {
    std::vector<float>& line = lines[static_cast<std::size_t>(channel)];
    float* block = line.data() + history;
    for (int64_t n = 0; n < count; ++n) block[n] = interleaved[(first + n) * channelCount + channel];
    std::vector<float>& head = heads[static_cast<std::size_t>(channel)];
    for (int64_t n = 0; n < count && refine && head.size() < static_cast<std::size_t>(history); ++n) {
        head.push_back(block[n]);
    }
    for (std::size_t p = 0; p < phases.size(); ++p) {
        const Phase& phase = phases[p];
        float* sum = sums.data() + p * kStep;
        std::fill(sum, sum + kStep, 0.0f);
        for (std::size_t tap = 0; tap < phase.coefficients.size(); ++tap) {
            const float c = phase.coefficients[tap];
            const float* source = block - phase.delays[tap];
            for (int64_t n = 0; n < kStep; ++n) sum[n] += c * source[n];
        }
    }
    const int64_t start = framesSeen - history / 2;  // the filter lags by half its length
    for (std::size_t p = 0; p < phases.size(); ++p) {
        const float* sum = sums.data() + p * kStep;
        // Past `count` the line holds stale samples: those sums are not outputs.
        float blockPeak = 0.0f;
        for (int64_t n = 0; n < count; ++n) blockPeak = std::max(blockPeak, std::fabs(sum[n]));
        if (blockPeak > highest || (refine && blockPeak * kRefinableShare > highest)) {
            const int64_t at = std::max_element(sum, sum + count, [](float a, float b) {
                                   return std::fabs(a) < std::fabs(b);
                               }) - sum;
            const double level = refine ? refined(static_cast<int32_t>(p), at, count) : blockPeak;
            note(level, start + at, channel);
        }
    }
    // Sample peak too: the library reports the higher of the two.
    for (int64_t n = 0; n < count; ++n) note(std::fabs(block[n]), framesSeen + n, channel);
    // The last `history` samples of history and block together lead the next block.
    std::copy(line.data() + count, line.data() + count + history, line.data());
}

// The vertex of the parabola through the grid's local maximum that a phase's
// output belongs to and its neighbours in time (the phases before and after
// it), where they lie within the block. A phase's highest output can lie on
// the flank of a peak that another phase holds: three points on a flank have
// almost no curvature, and their parabola's vertex lies far beyond them (on a
// flat-topped peak of limited drums, 3 dB above the waveform), so the point
// first climbs to the top of its peak.
double TruePeakMeter::refined(int32_t phase, int64_t frame, int64_t count) const {
    const int32_t factor = static_cast<int32_t>(phases.size());
    const int64_t last = count * factor - 1;
    const auto at = [&](int64_t t) { return sums[static_cast<std::size_t>((t % factor) * kStep + t / factor)]; };
    int64_t time = frame * factor + phase;
    for (;;) {
        if (time > 0 && std::fabs(at(time - 1)) > std::fabs(at(time))) {
            --time;
        } else if (time < last && std::fabs(at(time + 1)) > std::fabs(at(time))) {
            ++time;
        } else {
            break;
        }
    }
    const float middle = at(time);
    if (time == 0 || time == last) return std::fabs(middle);
    const double sign = middle < 0.0f ? -1.0 : 1.0;
    const double before = sign * at(time - 1);
    const double centre = sign * middle;
    const double after = sign * at(time + 1);
    const double curvature = before - 2.0 * centre + after;
    if (!(curvature < 0.0)) return centre;
    const double vertex = centre - (before - after) * (before - after) / (kParabolaScale * curvature);
    return std::isfinite(vertex) ? vertex : centre;
}

}  // namespace limit_tool
