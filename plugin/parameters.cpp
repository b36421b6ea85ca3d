// What each parameter is, and its values in the user's units.
#include "plugin/parameters.h"

#include <algorithm>
#include <cmath>

#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"

namespace {

constexpr int32_t kSwitchSteps = 1;
constexpr int32_t kChannelSteps = 2;
constexpr float kOff = 0.0f;
constexpr float kOn = 1.0f;
constexpr float kLowestPercent = 0.0f;
constexpr float kHighestPercent = 100.0f;
constexpr float kHalfRange = 0.5f;

constexpr float startOf(int32_t index) { return kParameterStart[index] / kParameterMaximum[index]; }

// Names, units and start values are the effect's own (a test compares them
// with what the effect hands a VST 2 host).
const ParameterDescriptor kDescriptors[kDescribedParameters] = {
    {kInGain, "IN Gain", "db", "gain", ParameterKind::Decibels, 0, static_cast<float>(kLowestGainDb),
     static_cast<float>(kHighestGainDb), startOf(kInGain), nullptr, false},
    {kKnee, "Knee", "%", "knee", ParameterKind::Percent, 0, kLowestPercent, kHighestPercent, startOf(kKnee), nullptr,
     false},
    {kIq, "Iq", "", "iq", ParameterKind::Switch, kSwitchSteps, kOff, kOn, startOf(kIq), kSwitchTexts, false},
    {kStereoLink, "Stereo Link", "", "link", ParameterKind::Switch, kSwitchSteps, kOff, kOn, startOf(kStereoLink),
     kSwitchTexts, false},
    {kAutoSelectChannels, "Auto Select Channels", "", "auto_select", ParameterKind::Switch, kSwitchSteps, kOff, kOn,
     startOf(kAutoSelectChannels), kSwitchTexts, false},
    {kForceChannels, "Force Channels", "", "force_channels", ParameterKind::Choice, kChannelSteps, 0.0f,
     static_cast<float>(kChannelSteps), startOf(kForceChannels), kChannelTexts, false},
    {kBypassId, "Bypass", "", "bypass", ParameterKind::Switch, kSwitchSteps, kOff, kOn, kOff, kSwitchTexts, true},
    {kCeilingId, "Ceiling", "dB", "ceiling", ParameterKind::Decibels, kCeilingSteps, kLowestCeilingDb,
     kHighestCeilingDb, kOn, nullptr, false},
    {kTruePeakId, "True Peak", "", "true_peak", ParameterKind::Switch, kSwitchSteps, kOff, kOn, kOff, kSwitchTexts,
     false},
};

float clampedTo(float value, const ParameterDescriptor& p) { return std::clamp(value, p.minimum, p.maximum); }

// The formats' stepped values: the range cut into equal steps, the nearest.
int32_t nearestStep(double fraction, int32_t steps) {
    return static_cast<int32_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * steps));
}

float steppedUser(const ParameterDescriptor& p, float normalised) {
    const double span = static_cast<double>(p.maximum) - p.minimum;
    return static_cast<float>(p.minimum + span * nearestStep(normalised, p.steps) / p.steps);
}

float steppedNormalised(const ParameterDescriptor& p, float user) {
    const double span = static_cast<double>(p.maximum) - p.minimum;
    return static_cast<float>(nearestStep((user - p.minimum) / span, p.steps)) / static_cast<float>(p.steps);
}

float gainFromDecibels(float decibels) {
    const double tenths = std::round(static_cast<double>(decibels) * quillo::kGainStepsPerDecibel);
    return normalisedGain(static_cast<int32_t>(tenths) + kUnityGainStep);
}

float kneeFromPercent(float percent) {
    const double knee = percent * kKneeNaturalMaximum / kPercent;
    const double whole = std::round(knee);
    if (std::fabs(knee - whole) <= kKneeStepTolerance) return normalisedKnee(static_cast<int32_t>(whole));
    return static_cast<float>(percent / kPercent);
}

// The Knee the effect stores for a normalised value, in its own arithmetic.
float storedKnee(float value) { return static_cast<float>(kKneeNaturalMaximum) * value; }

// Neighbouring floats tried on either side of a percentage for a Knee value.
constexpr int32_t kKneeNeighbours = 2;

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
            const float carried = kneeFromPercent(std::clamp(candidate, kLowestPercent, kHighestPercent));
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

const ParameterDescriptor& parameterAt(int32_t position) {
    return kDescriptors[std::clamp(position, 0, kDescribedParameters - 1)];
}

const ParameterDescriptor* parameterOfId(uint32_t id) {
    for (const ParameterDescriptor& p : kDescriptors) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

std::optional<int32_t> gainStepFromDecibels(double decibels) {
    constexpr double kStepTolerance = 1e-6;
    if (!std::isfinite(decibels)) return std::nullopt;
    const double tenths = decibels * quillo::kGainStepsPerDecibel;
    const double whole = std::round(tenths);
    if (std::fabs(tenths - whole) > kStepTolerance) return std::nullopt;
    const double step = whole + kUnityGainStep;
    if (step < kLowestGainStep || step > kHighestGainStep) return std::nullopt;
    return static_cast<int32_t>(step);
}

double gainStepDecibels(int32_t step) { return (step - kUnityGainStep) / quillo::kGainStepsPerDecibel; }

float tableGain(int32_t step) { return gainTableAt(step); }

float normalisedGain(int32_t step) {
    constexpr double kHalfStep = 0.5;
    if (step >= kHighestGainStep) return 1.0f;
    return static_cast<float>((step + kHalfStep) / kHighestGainStep);
}

// The effect stores 1.0 times the value (IN Gain's top) and indexes by it.
int32_t gainStepOf(float normalised) { return gainTableIndex(kParameterMaximum[kInGain] * normalised); }

int32_t kneeNaturalFromPercent(double percent) {
    return static_cast<int32_t>(std::lround(percent * kKneeNaturalMaximum / kPercent));
}

float normalisedKnee(int32_t natural) {
    const float maximum = static_cast<float>(kKneeNaturalMaximum);
    const float target = static_cast<float>(natural);
    float value = static_cast<float>(natural / kKneeNaturalMaximum);
    // The effect stores maximum * value in single precision; step to the
    // neighbouring float when the quotient does not multiply back exactly.
    if (maximum * value < target) value = std::nextafter(value, 1.0f);
    if (maximum * value > target) value = std::nextafter(value, 0.0f);
    return value;
}

double kneePercentOf(int32_t natural) { return natural * kPercent / kKneeNaturalMaximum; }

std::optional<float> normalisedFromUser(uint32_t id, float user) {
    const ParameterDescriptor* p = parameterOfId(id);
    if (p == nullptr || std::isnan(user)) return std::nullopt;
    const float value = clampedTo(user, *p);
    switch (p->kind) {
        case ParameterKind::Decibels: return isEffectParameter(id) ? gainFromDecibels(value) : steppedNormalised(*p, value);
        case ParameterKind::Percent: return kneeFromPercent(value);
        case ParameterKind::Switch: return value > 0.0f ? kOn : kOff;
        case ParameterKind::Choice: return std::round(value) / static_cast<float>(p->steps);
    }
    return std::nullopt;
}

float userFromNormalised(uint32_t id, float normalised) {
    const ParameterDescriptor* p = parameterOfId(id);
    if (p == nullptr) return 0.0f;
    const float value = std::isnan(normalised) ? 0.0f : std::clamp(normalised, 0.0f, 1.0f);
    switch (p->kind) {
        case ParameterKind::Decibels:
            return isEffectParameter(id) ? static_cast<float>(gainStepDecibels(gainStepOf(value))) : steppedUser(*p, value);
        case ParameterKind::Percent: return kneePercent(value);
        // The effect's own switches are on only at the top, as it reads them;
        // the formats' from the middle.
        case ParameterKind::Switch:
            return (isEffectParameter(id) ? truncateToInt(value) == 1 : value >= kHalfRange) ? kOn : kOff;
        case ParameterKind::Choice:
            return static_cast<float>(std::min(truncateToInt(static_cast<float>(p->steps) * value), p->steps));
    }
    return 0.0f;
}

float ceilingLevel(float normalised) {
    const double decibels = steppedUser(*parameterOfId(kCeilingId), normalised);
    const double exact = std::pow(quillo::kDecibelBase, decibels / quillo::kDecibelsPerDecade);
    auto level = static_cast<float>(exact);
    if (level > exact) level = std::nextafter(level, 0.0f);
    return level;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
