#include "tools/limit/measurements.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr double kDecibelsPerDecade = 20.0;
constexpr double kDecade = 10.0;

}  // namespace

double toDecibels(double linear) {
    if (linear <= 0.0) return -std::numeric_limits<double>::infinity();
    return kDecibelsPerDecade * std::log10(linear);
}

double fromDecibels(double decibels) { return std::pow(kDecade, decibels / kDecibelsPerDecade); }

LevelMeter::LevelMeter(int32_t channels, int32_t sampleRate) : channelCount(channels) {
    state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                         EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (state == nullptr) throw ToolError("cannot set up the loudness measurement");
}

LevelMeter::~LevelMeter() { ebur128_destroy(&state); }

void LevelMeter::add(const float* interleaved, int64_t frames) {
    const int64_t samples = frames * channelCount;
    for (int64_t i = 0; i < samples; ++i) {
        peak = std::max(peak, static_cast<double>(std::fabs(interleaved[i])));
    }
    if (frames > 0 &&
        ebur128_add_frames_float(state, interleaved, static_cast<std::size_t>(frames)) !=
            EBUR128_SUCCESS) {
        throw ToolError("the loudness measurement failed");
    }
}

double LevelMeter::truePeak() const {
    double highest = 0.0;
    for (int32_t channel = 0; channel < channelCount; ++channel) {
        double value = 0.0;
        if (ebur128_true_peak(state, static_cast<unsigned>(channel), &value) == EBUR128_SUCCESS) {
            highest = std::max(highest, value);
        }
    }
    return highest;
}

double LevelMeter::loudness() const {
    double value = -std::numeric_limits<double>::infinity();
    if (ebur128_loudness_global(state, &value) != EBUR128_SUCCESS) {
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

EnvelopeCollector::EnvelopeCollector(const std::vector<std::string>& names,
                                     const std::vector<bool>& limited, int64_t expectedFrames,
                                     float inputGain)
    : totalFrames(std::max<int64_t>(expectedFrames, 1)),
      columns(std::min(kReportColumns, totalFrames)),
      gain(inputGain) {
    for (std::size_t channel = 0; channel < names.size(); ++channel) {
        ChannelTrace trace;
        trace.name = names[channel];
        trace.limited = limited[channel];
        trace.inputPeak.assign(static_cast<std::size_t>(columns), 0.0f);
        trace.outputPeak.assign(static_cast<std::size_t>(columns), 0.0f);
        trace.lowestGain.assign(static_cast<std::size_t>(columns), 1.0f);
        channelTraces.push_back(trace);
    }
}

std::size_t EnvelopeCollector::columnOf(int64_t frame) const {
    const int64_t column = frame * columns / totalFrames;
    return static_cast<std::size_t>(std::min(column, columns - 1));
}

void EnvelopeCollector::addInput(int64_t first, const float* input, int64_t frames) {
    const std::size_t channels = channelTraces.size();
    for (int64_t frame = 0; frame < frames; ++frame) {
        const std::size_t column = columnOf(first + frame);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            float& peak = channelTraces[channel].inputPeak[column];
            const float level = std::fabs(input[frame * channels + channel] * gain);
            peak = std::max(peak, level);
        }
    }
}

void EnvelopeCollector::addOutput(int64_t first, const float* output, const float* gains,
                                  int64_t frames) {
    const std::size_t channels = channelTraces.size();
    for (int64_t frame = 0; frame < frames; ++frame) {
        const std::size_t column = columnOf(first + frame);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            ChannelTrace& trace = channelTraces[channel];
            const std::size_t at = static_cast<std::size_t>(frame) * channels + channel;
            trace.outputPeak[column] = std::max(trace.outputPeak[column], std::fabs(output[at]));
            trace.lowestGain[column] = std::min(trace.lowestGain[column], gains[at]);
        }
    }
}

}  // namespace limit_tool
