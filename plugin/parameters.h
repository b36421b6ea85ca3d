// The limiter's parameters as every way of running it in process presents
// them: what each one is (its descriptor), the units a user reads it in, and
// the effect's own text for any value, with the way back from a text. The
// effect's six keep their VST 2 indexes as IDs and their normalised values
// are the VST 2 values, so projects and their automation carry over; the
// bypass is the formats' own, beside them. This is the one place where kinds,
// ranges and conversions are written down.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dsp/limiter_constants.h"
#include "plugin/limiter_effect.h"

enum class ParameterKind : uint8_t { Decibels, Percent, Switch, Choice };

struct ParameterDescriptor {
    uint32_t id;
    const char* name;
    const char* unit;            // as the effect labels it ("db", "%"), empty for none
    const char* symbol;          // a name for machines: lower case, digits and underscores
    ParameterKind kind;
    int32_t steps;               // discrete steps after the first; 0 for a continuous value
    float minimum;               // the user's units at normalised 0 and 1
    float maximum;
    float start;                 // normalised
    const char* const* choices;  // a switch's or a choice's text for each step, else null
    bool bypass;                 // passes the input on, delayed by the latency, instead of the effect
};

// IDs beside the effect's six. Hosts store them in projects: never change them.
constexpr uint32_t kBypassId = 100;
constexpr uint32_t kCeilingId = 102;
constexpr uint32_t kTruePeakId = 103;

// The effect's six, then the bypass and the two that deliver a master: the
// level no output sample exceeds, and whether the true peak keeps to it too.
constexpr int32_t kDescribedParameters = kParameterCount + 3;
const ParameterDescriptor& parameterAt(int32_t position);
// Null for an ID that names no parameter.
const ParameterDescriptor* parameterOfId(uint32_t id);
inline bool isEffectParameter(uint32_t id) { return id < static_cast<uint32_t>(kParameterCount); }

// ---- IN Gain: steps of the gain table, a tenth of a decibel apart ---------------

constexpr int32_t kLowestGainStep = 0;
constexpr int32_t kUnityGainStep = 400;
constexpr int32_t kHighestGainStep = quillo::kLastGainIndex;
constexpr double kLowestGainDb = (kLowestGainStep - kUnityGainStep) / quillo::kGainStepsPerDecibel;
constexpr double kHighestGainDb = (kHighestGainStep - kUnityGainStep) / quillo::kGainStepsPerDecibel;

// The table step of a gain in decibels, or nothing when the value is outside
// the table or not a whole tenth of a decibel.
std::optional<int32_t> gainStepFromDecibels(double decibels);
double gainStepDecibels(int32_t step);
// The linear gain the table holds for a step.
float tableGain(int32_t step);
// A normalised value whose truncated product lands on the step with room to
// spare on both sides, so rounding on either precision cannot miss it.
float normalisedGain(int32_t step);
// The step the effect derives from a normalised value.
int32_t gainStepOf(float normalised);

// ---- Knee: 0 to 127, shown in per cent --------------------------------------------

constexpr double kKneeNaturalMaximum = kParameterMaximum[kKnee];
constexpr double kPercent = 100.0;
// A Knee percentage this close (in Knee units) to one of the editor's whole
// steps means exactly that step: single-precision percentages cannot name
// every Knee the effect holds, but this way every whole step crosses a
// user's units without a change of a bit. Twice the largest rounding error of
// a percentage in single precision (half a float step below 100, times 1.27).
constexpr double kKneeStepTolerance = 1e-5;

// The whole Knee value nearest a percentage, and a normalised value that the
// effect turns back into exactly that whole number.
int32_t kneeNaturalFromPercent(double percent);
float normalisedKnee(int32_t natural);
double kneePercentOf(int32_t natural);

// ---- Ceiling: -20 to 0 dB in tenths ------------------------------------------------

constexpr float kLowestCeilingDb = -20.0f;
constexpr float kHighestCeilingDb = 0.0f;
constexpr int32_t kCeilingSteps = 200;

// The linear level of a normalised Ceiling: the float nearest its decibels
// that is not above them, so that a sample held to it is held to the ceiling.
float ceilingLevel(float normalised);

// ---- Every parameter in the user's units ------------------------------------------

// The normalised value a value in the user's units stands for; out of range
// counts as the nearer end, and a value that is not a number stands for
// nothing.
//   decibels: to the nearest step; per cent: p / 100 in double rounded to
//   single precision, except near a whole Knee step; switches: on above 0;
//   choices: the nearest.
std::optional<float> normalisedFromUser(uint32_t id, float user);
// The value in the user's units that stands for a normalised value: exactly
// it where one can, otherwise the one whose Knee is nearest.
float userFromNormalised(uint32_t id, float normalised);

// The effect's texts of its switches and of its channel choice.
extern const char* const kSwitchTexts[2];
extern const char* const kChannelTexts[3];
// The effect's display text of parameter `index` at a natural value (as the
// effect stores it: IN Gain 0..1, Knee 0..127, switches and the channel
// choice as their numbers); "error" for an unknown parameter. At most eight
// characters.
void parameterDisplayText(int32_t index, float natural, char* text);
// IN Gain's text for a linear gain.
void gainDisplayText(float gain, char* text);

// The display text for a normalised value; empty for an unknown ID.
std::string displayOf(uint32_t id, float normalised);
// A normalised value whose display reads as `text`: what displayOf prints
// parses back to a value with the same display. Numbers a user types go to the
// nearest value the parameter holds; anything else is refused.
std::optional<float> parseDisplay(uint32_t id, const std::string& text);

// A name or unit without the padding the effect hands over with it.
std::string trimmed(const std::string& text);
