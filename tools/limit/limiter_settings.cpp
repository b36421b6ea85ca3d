#include "tools/limit/limiter_settings.h"

namespace limit_tool {

namespace {

constexpr float kOn = 1.0f;
constexpr float kOff = 0.0f;
// Force Channels spans three choices; these normalised values sit at the start
// of the Left and Right ranges.
constexpr float kForceStereo = 0.0f;
constexpr float kForceLeft = 0.5f;
constexpr float kForceRight = 1.0f;

}  // namespace

const char* channelModeName(ChannelMode mode) {
    switch (mode) {
        case ChannelMode::Auto: return "auto";
        case ChannelMode::Stereo: return "stereo";
        case ChannelMode::Left: return "left";
        case ChannelMode::Right: return "right";
    }
    return "auto";
}

std::array<float, kParameterCount> parameterValues(const LimiterSettings& settings) {
    std::array<float, kParameterCount> values{};
    values[kInGain] = normalisedGain(settings.gainStep);
    values[kKnee] = normalisedKnee(kneeNaturalFromPercent(settings.kneePercent));
    values[kIq] = settings.iq ? kOn : kOff;
    values[kStereoLink] = settings.link ? kOn : kOff;
    values[kAutoSelectChannels] = settings.channels == ChannelMode::Auto ? kOn : kOff;
    switch (settings.channels) {
        case ChannelMode::Left: values[kForceChannels] = kForceLeft; break;
        case ChannelMode::Right: values[kForceChannels] = kForceRight; break;
        default: values[kForceChannels] = kForceStereo; break;
    }
    return values;
}

}  // namespace limit_tool
