#include "dsp/engine_timing.h"

#include "dsp/shared_value.h"

namespace {

SharedValue<float> rateRatio{1.0f};
SharedValue<float> rateInverse{1.0f};
SharedValue<float> segmentLength{7.0f};
SharedValue<float> rampLength{19.0f};
SharedValue<float> windowLength{32.0f};

// Float-to-integer conversion that truncates toward zero and stays defined for
// any value (the lengths of a validated rate are always far inside the range).
int32_t truncated(float value) {
    if (!(value > -2147483520.0f && value < 2147483520.0f)) return 0;
    return static_cast<int32_t>(value);
}

}  // namespace

EngineTiming timingForRate(float rate) {
    EngineTiming t;
    t.rateInverse = 44100.0f / rate;
    const float r = rate * 2.2675736e-05f;
    t.rateRatio = r;
    t.segmentLength = 7.0f * r;
    t.rampLength = 19.0f * r;
    t.windowLength = 32.0f * r;
    return t;
}

int32_t latencyOf(const EngineTiming& timing) {
    const float lookAhead = timing.segmentLength * 3.0f + timing.rampLength;
    return truncated(lookAhead);
}

void resetEngineTiming() {
    rateRatio = 1.0f;
    rateInverse = 1.0f;
    segmentLength = 7.0f;
    rampLength = 19.0f;
    windowLength = 32.0f;
}

void applyEngineSampleRate(float rate) {
    const EngineTiming t = timingForRate(rate);
    rateInverse = t.rateInverse;
    rateRatio = t.rateRatio;
    segmentLength = t.segmentLength;
    rampLength = t.rampLength;
    windowLength = t.windowLength;
}

EngineTiming engineTiming() {
    EngineTiming t;
    t.rateRatio = rateRatio;
    t.rateInverse = rateInverse;
    t.segmentLength = segmentLength;
    t.rampLength = rampLength;
    t.windowLength = windowLength;
    return t;
}

int32_t engineLatency() { return latencyOf(engineTiming()); }
