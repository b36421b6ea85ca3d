// The limiter's six parameters in the user's units (decibels, percent, named
// channel modes) and the normalised values that a host sends for them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "dsp/limiter_constants.h"
#include "plugin/limiter_effect.h"

namespace formats {

// The plug-in's parameter indices, as a host addresses them through the record.
constexpr int32_t kParamInGain = kInGain;
constexpr int32_t kParamKnee = kKnee;
constexpr int32_t kParamIq = kIq;
constexpr int32_t kParamStereoLink = kStereoLink;
constexpr int32_t kParamAutoSelect = kAutoSelectChannels;
constexpr int32_t kParamForceChannels = kForceChannels;
constexpr int32_t kParamCount = kParameterCount;

// IN Gain picks an entry of the plug-in's gain table in tenth-decibel steps:
// step = trunc(kGainStepScale * normalised value).
constexpr int32_t kGainStepScale = quillo::kLastGainIndex;
constexpr int32_t kLowestGainStep = 0;
constexpr int32_t kUnityGainStep = 400;
constexpr int32_t kHighestGainStep = kGainStepScale;
constexpr double kGainStepsPerDecibel = quillo::kGainStepsPerDecibel;
constexpr double kGainTableOffsetDb = quillo::kGainTableOffsetDb;
constexpr double kLowestGainDb = (kLowestGainStep - kUnityGainStep) / kGainStepsPerDecibel;
constexpr double kHighestGainDb = (kHighestGainStep - kUnityGainStep) / kGainStepsPerDecibel;

constexpr double kKneeNaturalMaximum = 127.0;
constexpr double kPercent = 100.0;
constexpr double kDefaultKneePercent = 70.0;

enum class ChannelMode { Auto, Stereo, Left, Right };

struct LimiterSettings {
    int32_t gainStep = kUnityGainStep;
    double kneePercent = kDefaultKneePercent;
    bool iq = false;
    bool link = true;
    ChannelMode channels = ChannelMode::Auto;
};

// The table step of a gain in decibels, or nothing when the value is outside
// the table or not a whole tenth of a decibel.
std::optional<int32_t> gainStepFromDecibels(double decibels);
double gainStepDecibels(int32_t step);
// The linear gain the plug-in's table holds for a step, in single precision.
float tableGain(int32_t step);
// A normalised value whose truncated product lands on the step with room to
// spare on both sides, so rounding on either precision cannot miss it.
float normalisedGain(int32_t step);
// The step the plug-in derives from a normalised value.
int32_t gainStepOf(float normalised);

// The whole Knee value nearest a percentage, and a normalised value that the
// plug-in turns back into exactly that whole number.
int32_t kneeNaturalFromPercent(double percent);
float normalisedKnee(int32_t natural);
double kneePercentOf(int32_t natural);

const char* channelModeName(ChannelMode mode);

std::array<float, kParamCount> parameterValues(const LimiterSettings& settings);

}  // namespace formats
