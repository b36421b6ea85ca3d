// The limiter engine's timing values for a sample rate. Each effect instance
// keeps its own set: a rate set on one instance changes nothing of another.
#pragma once

#include <cstdint>

struct EngineTiming {
    float rateRatio;      // r = rate * the rate constant, rounded to single precision
    float rateInverse;    // reference rate / rate: scales the follower's coefficients
    float segmentLength;  // segment factor * r;  S = trunc(segmentLength)
    float rampLength;     // ramp factor * r;     R = trunc(rampLength)
    float windowLength;   // window factor * r;   W = trunc(windowLength)
};

// The exact single-precision values for a rate. The caller has validated the
// rate (finite, above 0).
EngineTiming timingForRate(float rate);

// The look-ahead: trunc(latency segments * segmentLength + rampLength), in
// single precision from the stored values, so that the latency reported to the
// host is the delay the engine sets up.
int32_t latencyOf(const EngineTiming& timing);

// Float to integer, truncating toward zero; 0 for NaN and for values outside
// the int32_t range, so that the conversion is defined for any input.
int32_t truncateToInt(float value);
