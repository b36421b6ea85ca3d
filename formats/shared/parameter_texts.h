// The parameters' texts for hosts that ask about a value without setting it
// (a VST 3 controller's "string by value", a format's scale points), and the
// way back from such a text to a value. The texts are the effect's own: a
// private instance of the effect, never switched on, renders them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "formats/shared/effect_host.h"

namespace formats {

class ParameterTexts {
public:
    explicit ParameterTexts(EffectEntry entry);
    ParameterTexts(const ParameterTexts&) = delete;
    ParameterTexts& operator=(const ParameterTexts&) = delete;

    bool valid() const { return scratch.valid(); }
    // The display text the effect shows for a normalised value; empty for an
    // unknown parameter. On one thread at a time (the user-interface thread).
    std::string display(int32_t index, float value);
    std::string name(int32_t index) const { return trimmed(scratch.parameterName(index)); }
    std::string unit(int32_t index) const { return trimmed(scratch.parameterUnit(index)); }

    // A normalised value whose display reads as `text`: what display() prints
    // parses back to a value with the same display. Numbers typed by a user are
    // taken to the nearest value the parameter holds; anything else is refused.
    std::optional<float> parse(int32_t index, const std::string& text);

private:
    float gainValue(double decibels);
    float kneeValue(double percent);

    EffectHost scratch;
};

}  // namespace formats
