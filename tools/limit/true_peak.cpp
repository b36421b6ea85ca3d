#include "tools/limit/true_peak.h"

#include <algorithm>
#include <cmath>

namespace limit_tool {

namespace {

// The library's interpolator: its length, window and the rates where it
// oversamples less or not at all.
constexpr int32_t kTaps = 49;
constexpr int32_t kFourTimesBelow = 96000;
constexpr int32_t kTwiceBelow = 192000;
constexpr int32_t kFourTimes = 4;
constexpr int32_t kTwice = 2;
// Coefficients this small are left out, as the library leaves them out.
constexpr double kNegligible = 1e-6;
constexpr double kPi = 3.14159265358979323846;
constexpr double kHalf = 0.5;
// Frames filtered per step: a whole number of vectors, small enough to stay
// in the first-level cache with the line it reads.
constexpr int64_t kStep = 256;

int32_t oversampling(int32_t sampleRate) {
    if (sampleRate < kFourTimesBelow) return kFourTimes;
    if (sampleRate < kTwiceBelow) return kTwice;
    return 1;
}

}  // namespace

TruePeakMeter::TruePeakMeter(int32_t channels, int32_t sampleRate)
    : channelCount(channels), lines(static_cast<std::size_t>(channels)), sums(kStep) {
    const int32_t factor = oversampling(sampleRate);
    // Delays reach (kTaps - 1) / factor samples back.
    history = (kTaps - 1) / factor;
    phases.resize(static_cast<std::size_t>(factor));
    for (int32_t tap = 0; tap < kTaps; ++tap) {
        const double offset = tap - (kTaps - 1) * kHalf;
        double c = 1.0;
        if (std::fabs(offset) > kNegligible) c = std::sin(offset * kPi / factor) / (offset * kPi / factor);
        c *= kHalf * (1.0 - std::cos(2.0 * kPi * tap / (kTaps - 1)));
        if (std::fabs(c) <= kNegligible) continue;
        Phase& phase = phases[static_cast<std::size_t>(tap % factor)];
        phase.coefficients.push_back(static_cast<float>(c));
        phase.delays.push_back(tap / factor);
    }
    for (auto& line : lines) line.assign(static_cast<std::size_t>(history + kStep), 0.0f);
}

void TruePeakMeter::add(const float* interleaved, int64_t frames) {
    for (int64_t first = 0; first < frames; first += kStep) {
        const int64_t count = std::min(kStep, frames - first);
        for (int32_t channel = 0; channel < channelCount; ++channel) {
            addChannel(channel, interleaved, first, count);
        }
    }
    framesSeen += frames;
}

// The filter's output for input sample n and a phase is the sum over its taps
// of coefficient times the sample `delay` before n; the line holds the last
// `history` samples ahead of the block's, so every delay reads within it.
void TruePeakMeter::addChannel(int32_t channel, const float* interleaved, int64_t first,
                               int64_t count) {
    std::vector<float>& line = lines[static_cast<std::size_t>(channel)];
    float* block = line.data() + history;
    for (int64_t n = 0; n < count; ++n) block[n] = interleaved[(first + n) * channelCount + channel];
    float* sum = sums.data();
    for (const Phase& phase : phases) {
        std::fill(sum, sum + kStep, 0.0f);
        for (std::size_t tap = 0; tap < phase.coefficients.size(); ++tap) {
            const float c = phase.coefficients[tap];
            const float* source = block - phase.delays[tap];
            for (int64_t n = 0; n < kStep; ++n) sum[n] += c * source[n];
        }
        // Past `count` the line holds stale samples: those sums are not outputs.
        float blockPeak = 0.0f;
        for (int64_t n = 0; n < count; ++n) blockPeak = std::max(blockPeak, std::fabs(sum[n]));
        if (blockPeak > highest) {
            highest = blockPeak;
            const int64_t at = std::max_element(sum, sum + count, [](float a, float b) {
                                   return std::fabs(a) < std::fabs(b);
                               }) - sum;
            // The filter's output lags its input by half its length.
            highestFrame = std::max<int64_t>(0, framesSeen + first + at - history / 2);
            highestChannel = channel;
        }
    }
    // Sample peak too: the library reports the higher of the two.
    for (int64_t n = 0; n < count; ++n) {
        if (std::fabs(block[n]) > highest) {
            highest = std::fabs(block[n]);
            highestFrame = framesSeen + first + n;
            highestChannel = channel;
        }
    }
    // The last `history` samples of history and block together lead the next block.
    std::copy(line.data() + count, line.data() + count + history, line.data());
}

}  // namespace limit_tool
