// The parameters' texts for any value, and the way back from a text.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "dsp/engine_timing.h"
#include "dsp/gain_table.h"
#include "host/number_format.h"
#include "plugin/parameters.h"

const char* const kSwitchTexts[2] = {"Off", "On"};
const char* const kChannelTexts[3] = {"Stereo", "Left", "Right"};

namespace {

// Room for any of the effect's display texts.
constexpr int32_t kTextRoom = 32;
// Unity sits just below 1.0: nudged up, its decibels show as zero.
constexpr float kUnityGuard = 0.00001f;
constexpr int8_t kDisplayOffset = 4;
constexpr char kErrorText[] = "error";

const char* choiceText(int32_t choice, const char* const* texts, int32_t count) {
    return choice >= 0 && choice < count ? texts[choice] : kErrorText;
}
// Steps of one float a percentage may need before its display reaches it.
constexpr int32_t kKneeNudges = 256;

std::string lowered(const std::string& text) {
    std::string result = trimmed(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::optional<double> number(const std::string& text) {
    const std::string clean = trimmed(text);
    if (clean.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(clean.c_str(), &end);
    if (end != clean.c_str() + clean.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The step a normalised value selects where the formats own the parameter:
// the range cut into steps + 1 equal parts.
int32_t discreteStep(float value, int32_t steps) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return steps;
    return std::min(static_cast<int32_t>(value * static_cast<float>(steps + 1)), steps);
}

// The display truncates the table's decibels, which sit a hair below each
// tenth: the text names the nearest step or one of its neighbours.
float gainValue(double decibels) {
    const double nearest = std::round(decibels * quillo::kGainStepsPerDecibel) + kUnityGainStep;
    const auto step = static_cast<int32_t>(
        std::clamp(nearest, static_cast<double>(kLowestGainStep), static_cast<double>(kHighestGainStep)));
    for (int32_t candidate : {step, step + 1, step - 1}) {
        if (candidate < kLowestGainStep || candidate > kHighestGainStep) continue;
        const auto shown = number(displayOf(kInGain, normalisedGain(candidate)));
        if (shown && *shown == decibels) return normalisedGain(candidate);
    }
    return normalisedGain(step);
}

// The display truncates its digits: the smallest value whose display reaches
// the percentage shows exactly it, where the display can show it at all.
float kneeValue(double percent) {
    float value = static_cast<float>(std::clamp(percent / kPercent, 0.0, 1.0));
    for (int32_t step = 0; step < kKneeNudges && value < 1.0f; ++step) {
        const auto shown = number(displayOf(kKnee, value));
        if (shown && *shown >= percent) break;
        value = std::nextafter(value, 1.0f);
    }
    return value;
}

}  // namespace

// Its tiny negative value at unity is shown without the sign.
void gainDisplayText(float gain, char* text) {
    if (gain >= 1.0f) gain += kUnityGuard;
    char scratch[kTextRoom];
    formatNumberText(static_cast<float>(quillo::kDecibelsPerDecade * std::log10(static_cast<double>(gain))), scratch,
                     kDisplayOffset);
    dropNegativeZero(scratch);
    std::strcpy(text, scratch);
}

void parameterDisplayText(int32_t index, float natural, char* text) {
    constexpr auto kSwitchCount = static_cast<int32_t>(std::size(kSwitchTexts));
    constexpr auto kChannelCount = static_cast<int32_t>(std::size(kChannelTexts));
    switch (index) {
        case kInGain: gainDisplayText(gainTableAt(gainTableIndex(natural)), text); return;
        case kKnee: formatNumberText(natural * quillo::kKneeScale * static_cast<float>(kPercent), text, kDisplayOffset); return;
        case kIq: case kStereoLink: case kAutoSelectChannels:
            std::strcpy(text, choiceText(truncateToInt(natural), kSwitchTexts, kSwitchCount)); return;
        case kForceChannels: std::strcpy(text, choiceText(truncateToInt(natural), kChannelTexts, kChannelCount)); return;
        default: std::strcpy(text, kErrorText); return;
    }
}

// The effect's six show the effect's own text for the value it would store.
std::string displayOf(uint32_t id, float normalised) {
    const ParameterDescriptor* p = parameterOfId(id);
    if (p == nullptr) return std::string();
    const float value = std::isnan(normalised) ? 0.0f : std::clamp(normalised, 0.0f, 1.0f);
    if (isEffectParameter(id)) {
        char text[kTextRoom];
        const auto index = static_cast<int32_t>(id);
        parameterDisplayText(index, kParameterMaximum[index] * value, text);
        return text;
    }
    if (p->choices == nullptr) {
        char text[kTextRoom];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(userFromNormalised(id, value)));
        return text;
    }
    return p->choices[discreteStep(value, p->steps)];
}

std::optional<float> parseDisplay(uint32_t id, const std::string& text) {
    const ParameterDescriptor* p = parameterOfId(id);
    if (p == nullptr) return std::nullopt;
    switch (p->kind) {
        case ParameterKind::Decibels: {
            const auto decibels = number(text);
            if (!decibels) return std::nullopt;
            if (!isEffectParameter(id)) return normalisedFromUser(id, static_cast<float>(*decibels));
            return gainValue(*decibels);
        }
        case ParameterKind::Percent: {
            const auto percent = number(text);
            return percent ? std::optional<float>(kneeValue(*percent)) : std::nullopt;
        }
        case ParameterKind::Switch:
        case ParameterKind::Choice: {
            const std::string word = lowered(text);
            for (int32_t step = 0; step <= p->steps; ++step) {
                if (word == lowered(p->choices[step])) return static_cast<float>(step) / static_cast<float>(p->steps);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}
