#include "formats/shared/parameter_values.h"

#include <cmath>

#include "dsp/gain_table.h"

namespace formats {

namespace {

constexpr double kStepTolerance = 1e-6;
constexpr double kHalfStep = 0.5;
constexpr float kOn = 1.0f;
constexpr float kOff = 0.0f;
// Force Channels spans three choices; these normalised values sit at the start
// of the Left and Right ranges.
constexpr float kForceStereo = 0.0f;
constexpr float kForceLeft = 0.5f;
constexpr float kForceRight = 1.0f;

}  // namespace

std::optional<int32_t> gainStepFromDecibels(double decibels) {
    if (!std::isfinite(decibels)) return std::nullopt;
    const double tenths = decibels * kGainStepsPerDecibel;
    const double whole = std::round(tenths);
    if (std::fabs(tenths - whole) > kStepTolerance) return std::nullopt;
    const double step = whole + kUnityGainStep;
    if (step < kLowestGainStep || step > kHighestGainStep) return std::nullopt;
    return static_cast<int32_t>(step);
}

double gainStepDecibels(int32_t step) {
    return (step - kUnityGainStep) / kGainStepsPerDecibel;
}

float tableGain(int32_t step) {
    const double decibels = step / kGainStepsPerDecibel - kGainTableOffsetDb;
    return static_cast<float>(std::pow(quillo::kDecibelBase, decibels / quillo::kDecibelsPerDecade));
}

float normalisedGain(int32_t step) {
    if (step >= kHighestGainStep) return 1.0f;
    return static_cast<float>((step + kHalfStep) / kGainStepScale);
}

int32_t gainStepOf(float normalised) {
    const float stored = 1.0f * normalised;
    return gainTableIndex(stored);
}

int32_t kneeNaturalFromPercent(double percent) {
    return static_cast<int32_t>(std::lround(percent * kKneeNaturalMaximum / kPercent));
}

float normalisedKnee(int32_t natural) {
    const float maximum = static_cast<float>(kKneeNaturalMaximum);
    const float target = static_cast<float>(natural);
    float value = static_cast<float>(natural / kKneeNaturalMaximum);
    // The plug-in stores maximum * value in single precision; step to the
    // neighbouring float when the quotient does not multiply back exactly.
    if (maximum * value < target) value = std::nextafter(value, 1.0f);
    if (maximum * value > target) value = std::nextafter(value, 0.0f);
    return value;
}

double kneePercentOf(int32_t natural) {
    return natural * kPercent / kKneeNaturalMaximum;
}

const char* channelModeName(ChannelMode mode) {
    switch (mode) {
        case ChannelMode::Auto: return "auto";
        case ChannelMode::Stereo: return "stereo";
        case ChannelMode::Left: return "left";
        case ChannelMode::Right: return "right";
    }
    return "auto";
}

std::array<float, kParamCount> parameterValues(const LimiterSettings& settings) {
    std::array<float, kParamCount> values{};
    values[kParamInGain] = normalisedGain(settings.gainStep);
    values[kParamKnee] = normalisedKnee(kneeNaturalFromPercent(settings.kneePercent));
    values[kParamIq] = settings.iq ? kOn : kOff;
    values[kParamStereoLink] = settings.link ? kOn : kOff;
    values[kParamAutoSelect] = settings.channels == ChannelMode::Auto ? kOn : kOff;
    switch (settings.channels) {
        case ChannelMode::Left: values[kParamForceChannels] = kForceLeft; break;
        case ChannelMode::Right: values[kParamForceChannels] = kForceRight; break;
        default: values[kParamForceChannels] = kForceStereo; break;
    }
    return values;
}

}  // namespace formats
