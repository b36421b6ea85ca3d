#include "formats/lv2/lv2_ports.h"

#include <algorithm>
#include <cmath>

#include "dsp/engine_timing.h"

namespace formats::lv2 {

namespace {

constexpr float kOff = 0.0f;
constexpr float kOn = 1.0f;
constexpr float kLowestPercent = 0.0f;
constexpr float kHighestPercent = 100.0f;
// Force Channels' normalised value per choice: the effect counts 2 x value.
constexpr float kChoiceScale = 2.0f;
// Neighbouring floats tried on either side of a percentage for a Knee value.
constexpr int32_t kKneeNeighbours = 2;

float clampedTo(float value, PortRange range) { return std::clamp(value, range.minimum, range.maximum); }

float gainValue(float decibels) {
    const double tenths = std::round(static_cast<double>(decibels) * kGainStepsPerDecibel);
    return normalisedGain(static_cast<int32_t>(tenths) + kUnityGainStep);
}

float kneeValue(float percent) {
    const double knee = percent * kKneeNaturalMaximum / kPercent;
    const double whole = std::round(knee);
    if (std::fabs(knee - whole) <= kKneeStepTolerance) return normalisedKnee(static_cast<int32_t>(whole));
    return static_cast<float>(percent / kPercent);
}

// The Knee the effect stores for a VST 2 value, in its own arithmetic.
float storedKnee(float value) { return static_cast<float>(kKneeNaturalMaximum) * value; }

float kneePercent(float value) {
    const float knee = storedKnee(value);
    if (knee == std::floor(knee)) return static_cast<float>(knee * kPercent / kKneeNaturalMaximum);
    const auto first = static_cast<float>(value * kPercent);
    float best = first;
    float bestDistance = INFINITY;
    // The nearest percentage first, then its neighbours outwards.
    for (int32_t distance = 0; distance <= kKneeNeighbours; ++distance) {
        float up = first;
        float down = first;
        for (int32_t i = 0; i < distance; ++i) {
            up = std::nextafter(up, INFINITY);
            down = std::nextafter(down, -INFINITY);
        }
        for (float candidate : {up, down}) {
            const float carried = kneeValue(clampedTo(candidate, {kLowestPercent, kHighestPercent}));
            if (carried == value) return candidate;
            const float missed = std::fabs(storedKnee(carried) - knee);
            if (missed < bestDistance) {
                best = candidate;
                bestDistance = missed;
            }
        }
    }
    return best;
}

}  // namespace

PortRange portRange(int32_t parameter) {
    switch (kParameterPorts[parameter].kind) {
        case PortKind::Decibels: return {static_cast<float>(kLowestGainDb), static_cast<float>(kHighestGainDb)};
        case PortKind::Percent: return {kLowestPercent, kHighestPercent};
        case PortKind::Switch: return {kOff, kOn};
        case PortKind::Choice: return {0.0f, static_cast<float>(kLastChannelChoice)};
    }
    return {kOff, kOn};
}

std::optional<float> vst2Value(int32_t parameter, float portValue) {
    if (parameter < 0 || parameter >= kParamCount || std::isnan(portValue)) return std::nullopt;
    const float value = clampedTo(portValue, portRange(parameter));
    switch (kParameterPorts[parameter].kind) {
        case PortKind::Decibels: return gainValue(value);
        case PortKind::Percent: return kneeValue(value);
        case PortKind::Switch: return value > 0.0f ? kOn : kOff;
        case PortKind::Choice: return std::round(value) / kChoiceScale;
    }
    return std::nullopt;
}

float portValue(int32_t parameter, float vst2Value) {
    if (parameter < 0 || parameter >= kParamCount) return 0.0f;
    const float value = std::isnan(vst2Value) ? 0.0f : std::clamp(vst2Value, 0.0f, 1.0f);
    switch (kParameterPorts[parameter].kind) {
        case PortKind::Decibels: return static_cast<float>(gainStepDecibels(gainStepOf(value)));
        case PortKind::Percent: return kneePercent(value);
        case PortKind::Switch: return truncateToInt(value) == 1 ? kOn : kOff;
        case PortKind::Choice: return static_cast<float>(std::min(truncateToInt(kChoiceScale * value), kLastChannelChoice));
    }
    return 0.0f;
}

}  // namespace formats::lv2
