// The limiter's parameters as the tool's options name them, and the
// normalised values they give the effect.
#pragma once

#include <array>
#include <cstdint>

#include "plugin/parameters.h"

namespace limit_tool {

constexpr double kDefaultKneePercent = 70.0;

enum class ChannelMode { Auto, Stereo, Left, Right };

struct LimiterSettings {
    int32_t gainStep = kUnityGainStep;
    double kneePercent = kDefaultKneePercent;
    bool iq = false;
    bool link = true;
    ChannelMode channels = ChannelMode::Auto;
};

const char* channelModeName(ChannelMode mode);

std::array<float, kParameterCount> parameterValues(const LimiterSettings& settings);

}  // namespace limit_tool
