// What the tool measures on both sides of the limiter: sample peak, true peak
// and integrated loudness (the last two with libebur128), the gain reduction as
// heard, and the traces over time that the report draws.
#pragma once

#include <ebur128.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/limit/true_peak.h"

namespace limit_tool {

// Short-term loudness is read this often when its course is recorded.
constexpr double kShortTermEverySeconds = 0.1;

// What a LevelMeter measures beside loudness and sample peak.
struct Measures {
    // The short-term loudness (3 s windows) every kShortTermEverySeconds.
    bool shortTermCourse = false;
    // The true peak as libebur128 reads it (else it reads 0).
    bool truePeak = true;
    // The fine true peak (TruePeakFilter::Fine; else it reads 0).
    bool fineTruePeak = false;
};

class LevelMeter {
public:
    LevelMeter(int32_t channels, int32_t sampleRate, const Measures& measures = Measures{});
    ~LevelMeter();
    LevelMeter(const LevelMeter&) = delete;
    LevelMeter& operator=(const LevelMeter&) = delete;

    void add(const float* interleaved, int64_t frames);
    // After the last add(): completes what needs the end (the fine true peak).
    void finish();
    // Linear magnitudes over all channels; 0 for silence.
    double samplePeak() const { return peak; }
    double truePeak() const { return truePeaks.peak(); }
    // The frame nearest to the highest true peak.
    int64_t truePeakFrame() const { return truePeaks.peakFrame(); }
    int32_t truePeakChannel() const { return truePeaks.peakChannel(); }
    double fineTruePeak() const { return fineTruePeaks.peak(); }
    // LUFS; minus infinity when the stream is silent or too short to gate.
    double loudness() const;
    // Short-term loudness in LUFS at every kShortTermEverySeconds (minus
    // infinity for silence), when recorded.
    const std::vector<double>& shortTermCourse() const { return course; }
    // The library's state, for loudness over several streams (an album).
    ebur128_state* loudnessState() const { return state; }

private:
    void addMeasured(const float* interleaved, int64_t frames);

    ebur128_state* state = nullptr;
    TruePeakMeter truePeaks;
    TruePeakMeter fineTruePeaks;
    int32_t channelCount;
    double peak = 0.0;
    Measures measured;
    int64_t courseStep = 0;  // frames between short-term readings, 0: none
    int64_t untilReading = 0;
    std::vector<double> course;
};

// Integrated loudness of several streams taken together (LUFS).
double combinedLoudness(const std::vector<const LevelMeter*>& meters);

// Decibels of a linear magnitude; minus infinity for 0.
double toDecibels(double linear);
double fromDecibels(double decibels);

// Gain reduction as heard: the ratio of each output sample to its input sample
// times the input gain, both aligned in time. The limiter's gains are smooth, so
// the ratio at any sample loud enough to measure is the gain it applied there;
// across near-silent samples the last measured gain is held for a short while.
class GainReductionTracker {
public:
    // `limited` names the channels the limiter writes; the others are skipped.
    GainReductionTracker(const std::vector<bool>& limited, float inputGain, int32_t sampleRate);

    // Measures aligned interleaved frames; writes each frame's gain per channel
    // (1 for no reduction) into `gains`, interleaved like the audio.
    void add(const float* input, const float* output, int64_t frames, float* gains);

    // Lowest gain seen over all limited channels, in dB (0 when none).
    double deepestDb() const;
    // Share of frames, 0 to 1, in which a limited channel was reduced by more
    // than the tracker counts as limiting.
    double shareUnderReduction() const;

private:
    std::vector<bool> limitedChannels;
    float gain;
    int64_t holdFrames;
    float reducedBelow;
    std::vector<float> heldGain;
    std::vector<int64_t> framesSinceMeasured;
    float lowestGain = 1.0f;
    int64_t framesSeen = 0;
    int64_t framesReduced = 0;
};

// Per-channel traces over time for the report: the peak of the input (after the
// input gain) and of the output, and the lowest gain, in a fixed number of
// columns spread over the whole file.
constexpr int64_t kReportColumns = 1200;

struct ChannelTrace {
    std::string name;
    bool limited = true;
    std::vector<float> inputPeak;   // linear, after the input gain
    std::vector<float> outputPeak;  // linear
    std::vector<float> lowestGain;  // linear, 1 for no reduction
};

// The file's length is known only once it has been read, so the traces are
// collected in buckets over a span that starts at the length the header
// states (or a guess) and doubles whenever a frame lies beyond it. When the
// stated length is the true one, every column is exactly the frames that
// fall into it.
class EnvelopeCollector {
public:
    // `statedFrames` is the header's length, 0 or less when it states none.
    EnvelopeCollector(const std::vector<std::string>& names, const std::vector<bool>& limited,
                      int64_t statedFrames, float inputGain);

    // Interleaved frames starting at file frame `first`.
    void addInput(int64_t first, const float* input, int64_t frames);
    void addOutput(int64_t first, const float* output, const float* gains, int64_t frames);

    // The traces over the frames actually read, in min(kReportColumns,
    // totalFrames) columns (at least one).
    std::vector<ChannelTrace> traces(int64_t totalFrames) const;

private:
    std::size_t bucketOf(int64_t frame);
    void doubleSpan();

    std::vector<ChannelTrace> buckets;
    int64_t span;
    int64_t bucketCount;
    float gain;
};

}  // namespace limit_tool
