// The per-sample units of the two gain stages (Part 3.4), one channel at a time,
// computed exactly as the text writes them: single precision, left to right,
// no contraction. They are the reference the engine's vector path must match
// bit for bit, and the engine's generic path is built from them.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/gain_table.h"

namespace quillo {

// Magnitudes below 2^-32 become +0.0; zero itself (either sign) is left alone.
inline float flushTiny(float x) {
    if ((x > 0.0f && x < kTinyThreshold) || (x < 0.0f && x > -kTinyThreshold)) return 0.0f;
    return x;
}

inline float magnitude(float x) { return std::fabs(x); }

// 1/x for x above 1.0, else 1.0: the soft target and the brickwall need.
inline float reciprocalAboveOne(float x) { return x > 1.0f ? 1.0f / x : 1.0f; }

// ---- Soft stage: the gain follower -------------------------------------------

// The per-call values of runSoftStage: k = Knee * 0.007874016, iq = trunc(Iq).
struct SoftCoefficients {
    float k = 0.0f;
    float kc = 0.0f;          // 0.8 * ((k * k) * k)
    float kcTail = 0.0f;      // (1 - k) * kc, the last term of the Iq sum
    float attack = 0.0f;      // 0.03 * rateInverse
    float release = 0.0f;     // 0.0009 * rateInverse
    float releaseFloor = 0.0f;  // 0.0001 * rateInverse
    int32_t iq = 0;
};

inline SoftCoefficients softCoefficients(float knee, int32_t iq, float rateInverse) {
    SoftCoefficients c;
    c.k = knee * 0.007874016f;
    c.kc = 0.8f * ((c.k * c.k) * c.k);
    c.kcTail = (1.0f - c.k) * c.kc;
    c.attack = 0.03f * rateInverse;
    c.release = 0.0009f * rateInverse;
    c.releaseFloor = 0.0001f * rateInverse;
    c.iq = iq;
    return c;
}

// Rate factor m for follower state s.
inline float softRateFactor(const SoftCoefficients& c, float s) {
    if (c.iq != 1) return c.kc;
    const float v = c.kc * s + (c.k * s) * (1.0f - s) + c.kcTail;
    float m = 2.0f * (v * v);
    if (m < 0.0f) m = 0.0f;
    if (m > 1.0f) m = 1.0f;
    return m;
}

// Release coefficient for rate factor m.
inline float softReleaseRate(const SoftCoefficients& c, float m) {
    float rel = (1.01f - m) * c.release;
    if (rel < c.releaseFloor) rel = c.releaseFloor;
    return rel;
}

// One step of the follower: state s, ring sample x (the gained input).
inline float softFollowerStep(const SoftCoefficients& c, float s, float x) {
    const float m = softRateFactor(c, s);
    const float rel = softReleaseRate(c, m);
    const float t = reciprocalAboveOne(magnitude(x));
    if (s > t) {
        s = s - (((s - t) * (s + 1.0f)) * c.attack) * m;
    } else {
        float b = 1.0f - ((1.0f - s) + 0.3f * s);
        if (b < 0.0f) b = 0.0f;
        const float d = t - s;
        s = s + (((d - (0.9f * b) * d) * (1.0f - 0.8f * (1.0f - s))) * rel);
    }
    if (s < kTinyThreshold) s = 0.0f;
    if (s > 1.0f) s = 1.0f;
    return s;
}

// Clamp of a running sum into [0, windowLength] (NaN stays).
inline float clampSum(float sum, float windowLength) {
    if (sum < 0.0f) sum = 0.0f;
    if (sum > windowLength) sum = windowLength;
    return sum;
}

// ---- Brickwall stage: segment minima and ramps ---------------------------------

inline float minimumOf(float a, float b) { return b < a ? b : a; }

// The segment state of both channels (index [..][0] left, [..][1] right); the
// slots are shared by both channels.
struct SegmentState {
    float runningMin[2] = {1.0f, 1.0f};
    float previousMin[2] = {1.0f, 1.0f};
    float minima[10][2] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}};
    int32_t counter = 0;
    int32_t slots[5] = {4, 3, 2, 1, 0};
};

struct RampValues {
    float start;  // a
    float step;
};

// Segment end for channel ch (Part 3.4 step 2.2 a, b and the channel's part of
// d): updates the store and returns the ramp to write.
inline RampValues endSegment(SegmentState& st, int32_t ch, float segmentLength) {
    const int32_t* slots = st.slots;
    const float m = st.runningMin[ch];
    st.minima[slots[0]][ch] = m;
    st.minima[slots[1]][ch] = minimumOf(st.minima[slots[1]][ch], m);
    st.minima[slots[2]][ch] = minimumOf(st.minima[slots[2]][ch], m);
    if (m < st.previousMin[ch]) st.minima[slots[3]][ch] = minimumOf(st.minima[slots[3]][ch], m);
    RampValues ramp;
    ramp.start = st.minima[slots[3]][ch];
    const float end = st.minima[slots[4]][ch];
    ramp.step = (ramp.start - end) / segmentLength;
    st.minima[slots[4]][ch] = 1.0f;
    st.previousMin[ch] = m;
    st.runningMin[ch] = 1.0f;
    return ramp;
}

// Writes count + 1 ramp values backward from ring position x (stride floats per
// position): a running value that loses step at each further position.
inline void fillRamp(float* ring, int32_t stride, int32_t ringLength, int32_t x, int32_t count,
                     RampValues ramp) {
    float value = ramp.start;
    for (int32_t j = 0; j <= count; ++j) {
        ring[x * stride] = value;
        value = value - ramp.step;
        if (--x < 0) x += ringLength;
    }
}

// Step d: the counter restarts and each slot advances by one, 9 wrapping to 0.
inline void finishSegment(SegmentState& st) {
    st.counter = 0;
    for (int32_t i = 0; i < 5; ++i) {
        if (++st.slots[i] >= 10) st.slots[i] = 0;
    }
}

// ---- Brickwall stage: the look-ahead smoother -----------------------------------

struct SmootherState {
    float env = 1.0f;
    bool falling = false;
    float slope = 0.0f;
    float target = 1.0f;
};

// One step: ahead is the curve R positions ahead, cur the curve here; returns the
// smoothed gain for here.
inline float smootherStep(SmootherState& st, float ahead, float cur, float rampLength) {
    if (ahead < st.env && ahead < st.target) {
        st.slope = (st.env - ahead) / rampLength;
        st.falling = true;
        st.target = ahead;
    }
    if (st.env <= st.target) st.falling = false;
    if (st.falling) {
        st.env = st.env - 4.0f * st.slope;
        if (st.env < 0.0f) st.env = 0.0f;
    } else {
        const float a = minimumOf(ahead, cur);
        const float rise = a - st.env;
        st.env = st.env + (rise > 0.0f ? rise : 0.0f) / rampLength;
        if (st.env >= cur) st.env = cur;
        st.target = st.env;
    }
    if (st.env > cur) st.env = cur;
    return st.env;
}

}  // namespace quillo
