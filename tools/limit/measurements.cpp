#include "tools/limit/measurements.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/limiter_constants.h"
#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr double kDecade = 10.0;

}  // namespace

double toDecibels(double linear) {
    if (linear <= 0.0) return -std::numeric_limits<double>::infinity();
    return quillo::kDecibelsPerDecade * std::log10(linear);
}

double fromDecibels(double decibels) { return std::pow(kDecade, decibels / quillo::kDecibelsPerDecade); }

LevelMeter::LevelMeter(int32_t channels, int32_t sampleRate, const Measures& measures)
    : truePeaks(channels, sampleRate),
      fineTruePeaks(channels, sampleRate, TruePeakFilter::Fine),
      channelCount(channels),
      measured(measures) {
    // True peak is measured here, not by the library: see TruePeakMeter.
    const bool shortTermCourse = measures.shortTermCourse;
    const int mode = shortTermCourse ? EBUR128_MODE_I | EBUR128_MODE_S : EBUR128_MODE_I;
    state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), mode);
    if (state == nullptr) throw ToolError("cannot set up the loudness measurement");
    if (shortTermCourse) {
        courseStep = std::max<int64_t>(1, std::llround(kShortTermEverySeconds * sampleRate));
        untilReading = courseStep;
    }
}

LevelMeter::~LevelMeter() { ebur128_destroy(&state); }

void LevelMeter::add(const float* interleaved, int64_t frames) {
    if (courseStep == 0) {
        addMeasured(interleaved, frames);
        return;
    }
    // Split at every reading so that each one covers the 3 s up to its time.
    while (frames > 0) {
        const int64_t taken = std::min(frames, untilReading);
        addMeasured(interleaved, taken);
        interleaved += taken * channelCount;
        frames -= taken;
        untilReading -= taken;
        if (untilReading == 0) {
            double value = -std::numeric_limits<double>::infinity();
            if (ebur128_loudness_shortterm(state, &value) != EBUR128_SUCCESS) {
                value = -std::numeric_limits<double>::infinity();
            }
            course.push_back(value);
            untilReading = courseStep;
        }
    }
}

void LevelMeter::addMeasured(const float* interleaved, int64_t frames) {
    if (frames <= 0) return;
    const int64_t samples = frames * channelCount;
    float highest = 0.0f;
    for (int64_t i = 0; i < samples; ++i) highest = std::max(highest, std::fabs(interleaved[i]));
    peak = std::max(peak, static_cast<double>(highest));
    if (measured.truePeak) truePeaks.add(interleaved, frames);
    if (measured.fineTruePeak) fineTruePeaks.add(interleaved, frames);
    if (ebur128_add_frames_float(state, interleaved, static_cast<std::size_t>(frames)) !=
        EBUR128_SUCCESS) {
        throw ToolError("the loudness measurement failed");
    }
}

void LevelMeter::finish() {
    if (measured.fineTruePeak) fineTruePeaks.finish();
}

double LevelMeter::loudness() const {
    double value = -std::numeric_limits<double>::infinity();
    if (ebur128_loudness_global(state, &value) != EBUR128_SUCCESS) {
        return -std::numeric_limits<double>::infinity();
    }
    return value;
}

double combinedLoudness(const std::vector<const LevelMeter*>& meters) {
    std::vector<ebur128_state*> states;
    for (const LevelMeter* meter : meters) states.push_back(meter->loudnessState());
    double value = -std::numeric_limits<double>::infinity();
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &value) != EBUR128_SUCCESS) {
        return -std::numeric_limits<double>::infinity();
    }
    return value;
}

namespace {

// Below this input level the output's rounding dominates the ratio.
constexpr float kMeasurableLevel = 1e-4f;
// Long enough to bridge the zero crossings of the lowest bass notes.
constexpr double kHoldSeconds = 0.02;
// Reduction shallower than this is too slight to count as limiting.
constexpr double kReductionThresholdDb = -0.1;

}  // namespace

GainReductionTracker::GainReductionTracker(const std::vector<bool>& limited, float inputGain,
                                           int32_t sampleRate)
    : limitedChannels(limited),
      gain(inputGain),
      holdFrames(static_cast<int64_t>(kHoldSeconds * sampleRate)),
      reducedBelow(static_cast<float>(fromDecibels(kReductionThresholdDb))),
      heldGain(limited.size(), 1.0f),
      framesSinceMeasured(limited.size(), 0) {}

void GainReductionTracker::add(const float* input, const float* output, int64_t frames,
                               float* gains) {
    const std::size_t channels = limitedChannels.size();
    for (int64_t frame = 0; frame < frames; ++frame) {
        bool reduced = false;
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const std::size_t at = static_cast<std::size_t>(frame) * channels + channel;
            if (!limitedChannels[channel]) {
                gains[at] = 1.0f;
                continue;
            }
            const float expected = std::fabs(input[at] * gain);
            if (expected >= kMeasurableLevel) {
                heldGain[channel] = std::min(1.0f, std::fabs(output[at]) / expected);
                framesSinceMeasured[channel] = 0;
            } else if (++framesSinceMeasured[channel] > holdFrames) {
                heldGain[channel] = 1.0f;
            }
            gains[at] = heldGain[channel];
            lowestGain = std::min(lowestGain, heldGain[channel]);
            reduced = reduced || heldGain[channel] < reducedBelow;
        }
        ++framesSeen;
        if (reduced) ++framesReduced;
    }
}

double GainReductionTracker::deepestDb() const { return toDecibels(lowestGain); }

double GainReductionTracker::shareUnderReduction() const {
    return framesSeen == 0 ? 0.0 : static_cast<double>(framesReduced) / framesSeen;
}

namespace {

// Buckets per column: a whole number, so that when the span is the true
// length each bucket lies within one column (with fewer frames than columns
// no bucket holds more than one frame).
constexpr int64_t kBucketsPerColumn = 4;
// Without a stated length the span starts at one frame per column: after the
// doublings it is less than twice the length, so each column still draws on
// at least two buckets. The largest first span taken from a header (some 290
// days at 44.1 kHz) keeps the bucket arithmetic well inside 64 bits.
constexpr int64_t kUnstatedSpan = kReportColumns;
constexpr int64_t kLargestStatedSpan = int64_t{1} << 40;

// Combines the bucket or column `from` into `to`.
void combine(ChannelTrace& to, std::size_t at, const ChannelTrace& from, std::size_t source) {
    to.inputPeak[at] = std::max(to.inputPeak[at], from.inputPeak[source]);
    to.outputPeak[at] = std::max(to.outputPeak[at], from.outputPeak[source]);
    to.lowestGain[at] = std::min(to.lowestGain[at], from.lowestGain[source]);
}

void clear(ChannelTrace& trace, std::size_t at) {
    trace.inputPeak[at] = 0.0f;
    trace.outputPeak[at] = 0.0f;
    trace.lowestGain[at] = 1.0f;
}

ChannelTrace emptyTrace(const std::string& name, bool limited, int64_t columns) {
    ChannelTrace trace;
    trace.name = name;
    trace.limited = limited;
    trace.inputPeak.assign(static_cast<std::size_t>(columns), 0.0f);
    trace.outputPeak.assign(static_cast<std::size_t>(columns), 0.0f);
    trace.lowestGain.assign(static_cast<std::size_t>(columns), 1.0f);
    return trace;
}

// First frame f with f * parts / whole >= index, for index 0..parts.
int64_t firstFrameOf(int64_t index, int64_t parts, int64_t whole) {
    return (index * whole + parts - 1) / parts;
}

}  // namespace

EnvelopeCollector::EnvelopeCollector(const std::vector<std::string>& names,
                                     const std::vector<bool>& limited, int64_t statedFrames,
                                     float inputGain)
    : span(statedFrames > 0 ? std::min(statedFrames, kLargestStatedSpan) : kUnstatedSpan),
      bucketCount(kBucketsPerColumn * kReportColumns),
      gain(inputGain) {
    for (std::size_t channel = 0; channel < names.size(); ++channel) {
        buckets.push_back(emptyTrace(names[channel], limited[channel], bucketCount));
    }
}

// Doubling the span halves every bucket index exactly, so pairs merge.
void EnvelopeCollector::doubleSpan() {
    const std::size_t half = static_cast<std::size_t>(bucketCount / 2);
    for (ChannelTrace& trace : buckets) {
        for (std::size_t bucket = 0; bucket < half; ++bucket) {
            const std::size_t left = 2 * bucket;
            if (bucket != left) {
                clear(trace, bucket);
                combine(trace, bucket, trace, left);
            }
            combine(trace, bucket, trace, left + 1);
        }
        for (std::size_t bucket = half; bucket < static_cast<std::size_t>(bucketCount); ++bucket) {
            clear(trace, bucket);
        }
    }
    span *= 2;
}

std::size_t EnvelopeCollector::bucketOf(int64_t frame) {
    while (frame >= span) doubleSpan();
    return static_cast<std::size_t>(frame * bucketCount / span);
}

void EnvelopeCollector::addInput(int64_t first, const float* input, int64_t frames) {
    const std::size_t channels = buckets.size();
    for (int64_t frame = 0; frame < frames; ++frame) {
        const std::size_t bucket = bucketOf(first + frame);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            float& peak = buckets[channel].inputPeak[bucket];
            const float level = std::fabs(input[frame * channels + channel] * gain);
            peak = std::max(peak, level);
        }
    }
}

void EnvelopeCollector::addOutput(int64_t first, const float* output, const float* gains,
                                  int64_t frames) {
    const std::size_t channels = buckets.size();
    for (int64_t frame = 0; frame < frames; ++frame) {
        const std::size_t bucket = bucketOf(first + frame);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            ChannelTrace& trace = buckets[channel];
            const std::size_t at = static_cast<std::size_t>(frame) * channels + channel;
            trace.outputPeak[bucket] = std::max(trace.outputPeak[bucket], std::fabs(output[at]));
            trace.lowestGain[bucket] = std::min(trace.lowestGain[bucket], gains[at]);
        }
    }
}

// Every column takes the buckets that hold any of its frames.
std::vector<ChannelTrace> EnvelopeCollector::traces(int64_t totalFrames) const {
    const int64_t total = std::max<int64_t>(totalFrames, 1);
    const int64_t columns = std::min(kReportColumns, total);
    std::vector<ChannelTrace> result;
    for (const ChannelTrace& trace : buckets) {
        result.push_back(emptyTrace(trace.name, trace.limited, columns));
    }
    for (int64_t bucket = 0; bucket < bucketCount; ++bucket) {
        const int64_t from = firstFrameOf(bucket, bucketCount, span);
        const int64_t to = std::min(firstFrameOf(bucket + 1, bucketCount, span), total);
        if (from >= to) continue;
        const int64_t firstColumn = from * columns / total;
        const int64_t lastColumn = (to - 1) * columns / total;
        for (int64_t column = firstColumn; column <= lastColumn; ++column) {
            for (std::size_t channel = 0; channel < buckets.size(); ++channel) {
                combine(result[channel], static_cast<std::size_t>(column), buckets[channel],
                        static_cast<std::size_t>(bucket));
            }
        }
    }
    return result;
}

}  // namespace limit_tool
