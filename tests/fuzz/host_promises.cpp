#include "host_promises.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "dsp/limiter_constants.h"

namespace fuzz {

namespace {

// The engine multiplies by a gain of at most 1 after the input stage; the
// model's gain may differ from the engine's by a rounding step.
constexpr double kGainSlack = 1e-6;
// The rounding of one float addition relative to its larger operand.
constexpr double kAdditionSlack = std::numeric_limits<float>::epsilon();

bool positiveFinite(float value) { return value > 0.0f && value <= std::numeric_limits<float>::max(); }

int32_t truncated(float value) {
    if (!(value > -quillo::kTruncationLimit && value < quillo::kTruncationLimit)) return 0;
    return static_cast<int32_t>(value);
}

float ratio(float rate) { return rate * quillo::kRateConstant; }

// Some channel whose admitted input has the sample's sign and at least its size.
bool withinSomeChannel(float sample, const float gained[2]) {
    if (sample == 0.0f) return true;
    for (int channel = 0; channel < quillo::kChannels; ++channel) {
        const float source = gained[channel];
        if (source != 0.0f && std::signbit(source) == std::signbit(sample) &&
            std::fabs(sample) <= std::fabs(source) * (1.0 + kGainSlack)) {
            return true;
        }
    }
    return false;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

int32_t expectedLatency(float rate) {
    const float r = ratio(rate);
    return truncated(quillo::kSegmentFactor * r * quillo::kLatencySegments + quillo::kRampFactor * r);
}

bool engineRunsAt(float rate) {
    const float r = ratio(rate);
    const float window = quillo::kWindowFactor * r;
    return positiveFinite(quillo::kReferenceRate / rate) && quillo::kSegmentFactor * r >= 1.0f &&
           positiveFinite(quillo::kSegmentFactor * r) && positiveFinite(quillo::kRampFactor * r) &&
           positiveFinite(window) && window < static_cast<float>(quillo::kHistorySize - quillo::kHistorySpare + 1);
}

float inputGainOf(float normalised) {
    const float scaled = quillo::kGainIndexScale * normalised;
    int32_t index = 0;
    if (scaled >= quillo::kGainIndexScale) {
        index = quillo::kLastGainIndex;
    } else if (scaled > 0.0f) {
        index = static_cast<int32_t>(scaled);
    }
    const double decibels = static_cast<double>(index) / quillo::kGainStepsPerDecibel - quillo::kGainTableOffsetDb;
    return static_cast<float>(std::pow(quillo::kDecibelBase, decibels / quillo::kDecibelsPerDecade));
}

float admitted(float sample, float gain) {
    const float y = sample * gain;
    if (!(std::fabs(y) <= quillo::kLargestFinite)) return 0.0f;
    return std::fabs(y) < quillo::kTinyThreshold ? 0.0f : y;
}

void checkReplaced(float before, float after, const float gained[2], int64_t frame) {
    if (sameBits(before, after)) return;  // a channel the routing leaves alone
    PROMISE(std::isfinite(after) && std::fabs(after) <= 1.0f, "output %g at frame %lld", after,
            static_cast<long long>(frame));
    PROMISE(withinSomeChannel(after, gained), "output %.9g at frame %lld, delayed inputs %.9g and %.9g", after,
            static_cast<long long>(frame), gained[0], gained[1]);
}

void checkAccumulated(float before, float after, const float gained[2], bool shared, int64_t frame) {
    if (sameBits(before, after)) return;
    if (!std::isfinite(before)) {
        PROMISE(!std::isfinite(after), "a sum onto %g became %g at frame %lld", before, after,
                static_cast<long long>(frame));
        return;
    }
    PROMISE(std::isfinite(after), "a sum onto %g became %g at frame %lld", before, after,
            static_cast<long long>(frame));
    double bound = 0.0;
    for (int channel = 0; channel < quillo::kChannels; ++channel) {
        const double level = std::fmin(1.0, std::fabs(gained[channel]) * (1.0 + kGainSlack));
        bound = shared ? bound + level : std::fmax(bound, level);
    }
    const double added = static_cast<double>(after) - static_cast<double>(before);
    const double slack = (std::fabs(static_cast<double>(before)) + bound) * kAdditionSlack;
    PROMISE(std::fabs(added) <= bound + slack, "added %.9g onto %g at frame %lld, delayed inputs %.9g and %.9g",
            added, before, static_cast<long long>(frame), gained[0], gained[1]);
}

void checkText(const char* text, std::size_t size, std::size_t field, char marker, bool mustWrite, int32_t opcode) {
    for (std::size_t i = field; i < size; ++i) {
        PROMISE(text[i] == marker, "opcode %d wrote byte %zu, beyond its field of %zu", opcode, i, field);
    }
    if (!mustWrite) return;
    PROMISE(memchr(text, '\0', field) != nullptr, "opcode %d left its text unterminated within %zu bytes", opcode,
            field);
}

}  // namespace fuzz
