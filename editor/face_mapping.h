// From values to pictures: needle frames and ballistics, lamp and knob frames,
// the values shown by the read-outs. Plain arithmetic, no drawing.
#pragma once

#include <cstdint>

// Truncates toward zero like a plain conversion and limits the result to
// lowest..highest; NaN gives lowest. Keeps frame numbers inside their strips
// whatever a host stores into a parameter.
int32_t truncateWithin(float value, int32_t lowest, int32_t highest);

// A switch parameter is on only when its value truncates to exactly one.
bool switchIsOn(float value);
// The link button stands pressed when its value truncates to anything but zero.
bool truncatesToNonZero(float value);

// The meter scale: gain factors and the needle frames printed at them.
struct MeterBreakpoint {
    float gain;
    float frame;
};
constexpr int32_t kMeterBreakpointCount = 11;
constexpr MeterBreakpoint kMeterBreakpoints[kMeterBreakpointCount] = {
    {0.01f, 0.0f},   {0.0312f, 12.0f}, {0.1f, 23.0f},    {0.3162f, 33.0f},
    {0.5012f, 43.0f}, {0.5623f, 49.0f}, {0.6309f, 56.0f}, {0.7079f, 62.0f},
    {0.7943f, 69.0f}, {0.8912f, 75.0f}, {1.0f, 81.0f},
};
// The reduction in dB printed at each breakpoint, deepest first.
constexpr int32_t kMeterScaleDecibels[kMeterBreakpointCount] = {40, 30, 20, 10, 6, 5, 4, 3, 2, 1, 0};
constexpr float kMeterFrameStretch = 1.01f;
constexpr float kNeedleSpeedStep = 0.5f;
constexpr float kNeedleTopSpeed = 6.0f;

// The needle frame that a gain factor points at.
int32_t needleTargetFrame(float gain);

struct NeedleState {
    float position;  // frame position, 0 at the deepest reduction
    float speed;     // return speed in frames per tick
};
// One tick of the needle: it falls at once and returns with growing speed.
void advanceNeedle(NeedleState& needle, int32_t target);
// The slice shown for a needle position.
int32_t needleSlice(float position);
// Where a slice stands on the face.
int32_t needleSliceX(int32_t slice);

constexpr float kIqLampStep = 0.09f;
constexpr float kKneeLampStep = 0.1f;
constexpr float kLampLevels = 14.0f;

// The Iq lamp brightens while Iq is on and dims while it is off.
float nextIqLampLevel(float level, bool iqOn);
// Frame 1 (dimmest, never an empty disc) to the brightest frame for a level 0..1.
int32_t lampFrame(float level);
// The knee lamp lights with the soft stage's reduction.
int32_t kneeLampFrame(float kneeLamp);
float raisedKneeLamp(float kneeLamp);

constexpr float kKnobDecibelScale = 0.025f;
constexpr float kKnobFramesPerUnit = 32.0f;
constexpr float kKnobCentreFrame = 40.0f;
constexpr float kKneeKnobSweep = 63.0f;
constexpr float kKneeKnobFirstFrame = 9.0f;
constexpr float kKneeReciprocal = 0.00787401572f;
constexpr float kPercent = 100.0f;
constexpr float kUnityNudge = 0.00001f;

int32_t gainKnobFrame(float inputGainLinear);
int32_t kneeKnobFrame(float knee);
// The gain the Gain read-out turns into decibels: unity and above are nudged
// up so that the text does not fall just below a tenth.
double gainReadoutValue(float inputGainLinear);
double kneeReadoutValue(float knee);
