// Process-wide timing values of the limiter engine: one set for every instance
// loaded in the process. Any instance's changeSampleRate may rewrite them from
// its own thread, so each value is a single shared 32-bit float.
#pragma once

#include <cstdint>

struct EngineTiming {
    float rateRatio;      // r = rate * the rate constant, rounded to single precision
    float rateInverse;    // reference rate / rate: scales the follower's coefficients
    float segmentLength;  // segment factor * r;  S = trunc(segmentLength)
    float rampLength;     // ramp factor * r;     R = trunc(rampLength)
    float windowLength;   // window factor * r;   W = trunc(windowLength)
};

// The values at the reference rate (r exactly 1).
void resetEngineTiming();

// The exact single-precision recomputation for a new rate. The caller has
// validated the rate (finite, above 0).
void applyEngineSampleRate(float rate);

// A copy of the current values.
EngineTiming engineTiming();

// The look-ahead of the current values: trunc(latency segments * segmentLength
// + rampLength), in single precision from the stored values, so that the latency
// reported to the host is the delay the engine sets up.
int32_t engineLatency();

// The same figures for a given set of values (used by the engine for its snapshot).
EngineTiming timingForRate(float rate);
int32_t latencyOf(const EngineTiming& timing);

// Float to integer, truncating toward zero; 0 for NaN and for values outside
// the int32_t range, so that the conversion is defined for any input.
int32_t truncateToInt(float value);
