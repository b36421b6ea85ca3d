// Process-wide timing values of the limiter engine (Part 3.1): one set for every
// instance loaded in the process. Any instance's changeSampleRate may rewrite
// them from its own thread, so each value is a single shared 32-bit float.
#pragma once

#include <cstdint>

struct EngineTiming {
    float rateRatio;      // r = rate * 2.2675736e-05, rounded to single precision
    float rateInverse;    // 44100 / rate
    float segmentLength;  // 7 * r;  S = trunc(segmentLength)
    float rampLength;     // 19 * r; R = trunc(rampLength)
    float windowLength;   // 32 * r; W = trunc(windowLength)
};

// The 44.1 kHz defaults: 1, 1, 7, 19, 32.
void resetEngineTiming();

// The exact single-precision recomputation for a new rate. The caller has
// validated the rate (finite, above 0).
void applyEngineSampleRate(float rate);

// A copy of the current values.
EngineTiming engineTiming();

// trunc(3 * segmentLength + rampLength), in single precision from the stored values.
int32_t engineLatency();

// The same figures for a given set of values (used by the engine for its snapshot).
EngineTiming timingForRate(float rate);
int32_t latencyOf(const EngineTiming& timing);
