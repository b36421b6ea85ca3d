#include "formats/shared/parameter_texts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "formats/shared/parameter_values.h"

namespace formats {

namespace {

constexpr const char* kSwitchWords[] = {"off", "on"};
constexpr const char* kChannelWords[] = {"stereo", "left", "right"};
// The normalised values that select each Force Channels choice.
constexpr float kChannelValues[] = {0.0f, 0.5f, 1.0f};
constexpr float kSwitchValues[] = {0.0f, 1.0f};
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

template <size_t N>
std::optional<float> choice(const std::string& text, const char* const (&words)[N], const float (&values)[N]) {
    const std::string word = lowered(text);
    for (size_t i = 0; i < N; ++i) {
        if (word == words[i]) return values[i];
    }
    return std::nullopt;
}

}  // namespace

ParameterTexts::ParameterTexts(EffectEntry entry) : scratch(entry) {}

std::string ParameterTexts::display(int32_t index, float value) {
    if (index < 0 || index >= kEffectParameters) return std::string();
    scratch.setParameter(index, value);
    return scratch.parameterDisplay(index);
}

// The display truncates the table's decibels, which sit a hair below each
// tenth: the text names the nearest step or one of its neighbours.
float ParameterTexts::gainValue(double decibels) {
    const double nearest = std::round(decibels * kGainStepsPerDecibel) + kUnityGainStep;
    const auto step = static_cast<int32_t>(
        std::clamp(nearest, static_cast<double>(kLowestGainStep), static_cast<double>(kHighestGainStep)));
    for (int32_t candidate : {step, step + 1, step - 1}) {
        if (candidate < kLowestGainStep || candidate > kHighestGainStep) continue;
        const auto shown = number(display(kParamInGain, normalisedGain(candidate)));
        if (shown && *shown == decibels) return normalisedGain(candidate);
    }
    return normalisedGain(step);
}

// The display truncates its digits: the smallest value whose display reaches
// the percentage shows exactly it, where the display can show it at all.
float ParameterTexts::kneeValue(double percent) {
    float value = static_cast<float>(std::clamp(percent / kPercent, 0.0, 1.0));
    for (int32_t step = 0; step < kKneeNudges && value < 1.0f; ++step) {
        const auto shown = number(display(kParamKnee, value));
        if (shown && *shown >= percent) break;
        value = std::nextafter(value, 1.0f);
    }
    return value;
}

std::optional<float> ParameterTexts::parse(int32_t index, const std::string& text) {
    switch (index) {
        case kParamInGain: {
            const auto decibels = number(text);
            return decibels ? std::optional<float>(gainValue(*decibels)) : std::nullopt;
        }
        case kParamKnee: {
            const auto percent = number(text);
            return percent ? std::optional<float>(kneeValue(*percent)) : std::nullopt;
        }
        case kParamIq:
        case kParamStereoLink:
        case kParamAutoSelect: return choice(text, kSwitchWords, kSwitchValues);
        case kParamForceChannels: return choice(text, kChannelWords, kChannelValues);
        default: return std::nullopt;
    }
}

}  // namespace formats
