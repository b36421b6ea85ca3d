#include "dsp/engine_timing.h"

#include "dsp/limiter_constants.h"

using quillo::kRampFactor;
using quillo::kSegmentFactor;
using quillo::kWindowFactor;

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
