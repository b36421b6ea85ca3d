// True peak (dBTP, ITU-R BS.1770-4) as libebur128 measures it, at a fraction of
// its cost: the same interpolating filter (49 taps, Hann-windowed sinc, four
// times the rate below 96 kHz, twice below 192 kHz, none above), run in single
// precision over blocks of frames that the compiler vectorises instead of one
// sample at a time in double precision. The figures agree with the library's
// to far better than 0.01 dB; the tool measures two streams per pass, and the
// library's filter was most of its time.
#pragma once

#include <cstdint>
#include <vector>

namespace limit_tool {

class TruePeakMeter {
public:
    TruePeakMeter(int32_t channels, int32_t sampleRate);

    void add(const float* interleaved, int64_t frames);
    // The highest magnitude over all channels between and on the samples
    // (linear), and the frame nearest to where it lies.
    double peak() const { return highest; }
    int64_t peakFrame() const { return highestFrame; }
    int32_t peakChannel() const { return highestChannel; }

private:
    struct Phase {
        std::vector<float> coefficients;
        std::vector<int32_t> delays;  // in input samples, 0 to kTaps / factor
    };
    void addChannel(int32_t channel, const float* interleaved, int64_t first, int64_t frames);

    int32_t channelCount;
    int32_t history;  // samples kept from the previous block, per channel
    std::vector<Phase> phases;
    std::vector<std::vector<float>> lines;  // per channel: history, then the block
    std::vector<float> sums;
    int64_t framesSeen = 0;
    double highest = 0.0;
    int64_t highestFrame = 0;
    int32_t highestChannel = 0;
};

}  // namespace limit_tool
