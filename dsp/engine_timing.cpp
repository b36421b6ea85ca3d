#include "dsp/engine_timing.h"

#include "dsp/limiter_constants.h"
#include "dsp/shared_value.h"

using quillo::kRampFactor;
using quillo::kSegmentFactor;
using quillo::kWindowFactor;

namespace {

// At the reference rate r is 1, so each length is its factor.
SharedValue<float> rateRatio{1.0f};
SharedValue<float> rateInverse{1.0f};
SharedValue<float> segmentLength{kSegmentFactor};
SharedValue<float> rampLength{kRampFactor};
SharedValue<float> windowLength{kWindowFactor};

}  // namespace

int32_t truncateToInt(float value) {
    if (!(value > -quillo::kTruncationLimit && value < quillo::kTruncationLimit)) return 0;
    return static_cast<int32_t>(value);
}

EngineTiming timingForRate(float rate) {
    EngineTiming t;
    t.rateInverse = quillo::kReferenceRate / rate;
    const float r = rate * quillo::kRateConstant;
    t.rateRatio = r;
    t.segmentLength = kSegmentFactor * r;
    t.rampLength = kRampFactor * r;
    t.windowLength = kWindowFactor * r;
    return t;
}

int32_t latencyOf(const EngineTiming& timing) {
    const float lookAhead = timing.segmentLength * quillo::kLatencySegments + timing.rampLength;
    return truncateToInt(lookAhead);
}

void resetEngineTiming() {
    rateRatio = 1.0f;
    rateInverse = 1.0f;
    segmentLength = kSegmentFactor;
    rampLength = kRampFactor;
    windowLength = kWindowFactor;
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
