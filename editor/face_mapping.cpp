#include "editor/face_mapping.h"

#include <algorithm>
#include <cmath>

#include "dsp/limiter_constants.h"
#include "editor/skin_layout.h"

namespace {


// Truncation happens on the double; rounding it to float first could lift a
// value just below a whole frame onto it.
double frameBelow(double frame) {
    return std::trunc(frame);
}

}  // namespace

int32_t truncateWithin(float value, int32_t lowest, int32_t highest) {
    if (std::isnan(value) || value <= static_cast<float>(lowest)) {
        return lowest;
    }
    if (value >= static_cast<float>(highest)) {
        return highest;
    }
    return static_cast<int32_t>(value);
}

bool switchIsOn(float value) {
    return std::trunc(value) == 1.0f;
}

bool truncatesToNonZero(float value) {
    return std::trunc(value) != 0.0f;
}

int32_t needleTargetFrame(float gain) {
    float g = 1.0f;
    if (gain < g) {
        g = gain;
    }
    g = std::max(g, kMeterBreakpoints[0].gain);
    float position = kMeterBreakpoints[kMeterBreakpointCount - 1].frame;
    for (int32_t i = 1; i < kMeterBreakpointCount; ++i) {
        const MeterBreakpoint& low = kMeterBreakpoints[i - 1];
        const MeterBreakpoint& high = kMeterBreakpoints[i];
        if (g <= high.gain) {
            position = low.frame + (g - low.gain) / (high.gain - low.gain) * (high.frame - low.frame);
            break;
        }
    }
    return truncateWithin(kMeterFrameStretch * position, 0, kNeedleRestFrame);
}

void advanceNeedle(NeedleState& needle, int32_t target) {
    const float t = static_cast<float>(target);
    if (t < needle.position) {
        needle.position = t;
        needle.speed = 0.0f;
        return;
    }
    needle.position += needle.speed;
    needle.speed = std::min(kNeedleTopSpeed, needle.speed + kNeedleSpeedStep);
    needle.position = std::min(static_cast<float>(kNeedleRestFrame), needle.position);
}

int32_t needleSlice(float position) {
    return truncateWithin(position, 0, kNeedleRestFrame);
}

int32_t needleSliceX(int32_t slice) {
    return kNeedleOrigin.x + slice + (slice >= kNeedleStepFrame ? 1 : 0);
}

float nextIqLampLevel(float level, bool iqOn) {
    return iqOn ? std::min(1.0f, level + kIqLampStep) : std::max(0.0f, level - kIqLampStep);
}

int32_t lampFrame(float level) {
    return 1 + truncateWithin(kLampLevels * level, 0, kLampFrames - 1);
}

int32_t kneeLampFrame(float kneeLamp) {
    return lampFrame(1.0f - kneeLamp);
}

float raisedKneeLamp(float kneeLamp) {
    return std::min(1.0f, kneeLamp + kKneeLampStep);
}

// The knob and read-out arithmetic runs in double precision on the
// single-precision constants: Knee at its maximum then lands just below the
// last frame instead of on it.
int32_t gainKnobFrame(float inputGainLinear) {
    const double decibels = quillo::kDecibelsPerDecade * std::log10(static_cast<double>(inputGainLinear) + kUnityNudge);
    const double scale = static_cast<double>(kKnobDecibelScale) * kKnobFramesPerUnit;
    return truncateWithin(static_cast<float>(frameBelow(scale * decibels + kKnobCentreFrame)), 0, kKnobFrames - 1);
}

int32_t kneeKnobFrame(float knee) {
    const double frame = static_cast<double>(knee) * kKneeReciprocal * kKneeKnobSweep + kKneeKnobFirstFrame;
    return truncateWithin(static_cast<float>(frameBelow(frame)), 0, kKnobFrames - 1);
}

double gainReadoutValue(float inputGainLinear) {
    const double gain = inputGainLinear;
    return inputGainLinear >= 1.0f ? gain + kUnityNudge : gain;
}

double kneeReadoutValue(float knee) {
    return static_cast<double>(knee) * kKneeReciprocal * kPercent;
}
