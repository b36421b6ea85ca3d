// The per-sample units of the two gain stages, one channel at a time, in single
// precision, evaluated left to right with no contraction. They are the
// reference the engine's vector path must match bit for bit, and the engine's
// generic path is built from them.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/limiter_constants.h"

namespace quillo {

// Magnitudes below the flush threshold become +0.0; zero itself (either sign)
// is left alone.
inline float flushTiny(float x) {
    if ((x > 0.0f && x < kTinyThreshold) || (x < 0.0f && x > -kTinyThreshold)) return 0.0f;
    return x;
}

inline float magnitude(float x) { return std::fabs(x); }

// One input sample times the input gain, as it enters the input ring. A result
// that is not a finite number (a NaN or infinite input, or a finite input that
// the gain carries past the float range) counts as silence: every later stage
// multiplies and compares it, and one NaN or infinity in the rings would reach
// the host's output through the clamp (infinity times a zero gain is NaN).
inline float admitInput(float x, float gain) {
    const float y = x * gain;
    if (!(magnitude(y) <= kLargestFinite)) return 0.0f;
    return flushTiny(y);
}

// 1/x for x above 1.0, else 1.0: the soft target and the brickwall need.
inline float reciprocalAboveOne(float x) { return x > 1.0f ? 1.0f / x : 1.0f; }

// ---- Soft stage: the gain follower -------------------------------------------

// The per-block values of the soft stage: k = Knee * knee scale, iq = trunc(Iq);
// the rates are scaled by rateInverse to keep their meaning in time at any rate.
struct SoftCoefficients {
    float k = 0.0f;
    float kc = 0.0f;            // knee cube scale * k cubed, the fixed rate factor
    float kcTail = 0.0f;        // (1 - k) * kc, the last term of the Iq rate factor
    float attack = 0.0f;        // attack rate * rateInverse
    float release = 0.0f;       // release rate * rateInverse
    float releaseFloor = 0.0f;  // release floor * rateInverse
    int32_t iq = 0;
};

inline SoftCoefficients softCoefficients(float knee, int32_t iq, float rateInverse) {
    SoftCoefficients c;
    c.k = knee * kKneeScale;
    c.kc = kKneeCubeScale * ((c.k * c.k) * c.k);
    c.kcTail = (1.0f - c.k) * c.kc;
    c.attack = kAttackRate * rateInverse;
    c.release = kReleaseRate * rateInverse;
    c.releaseFloor = kReleaseFloor * rateInverse;
    c.iq = iq;
    return c;
}

// Rate factor m for follower state s: fixed with Iq off; with Iq on it follows
// the state, so deeper reduction changes how fast the follower moves.
inline float softRateFactor(const SoftCoefficients& c, float s) {
    if (c.iq != 1) return c.kc;
    const float v = c.kc * s + (c.k * s) * (1.0f - s) + c.kcTail;
    float m = kIqRateScale * (v * v);
    if (m < 0.0f) m = 0.0f;
    if (m > 1.0f) m = 1.0f;
    return m;
}

// Release coefficient for rate factor m, never below the release floor.
inline float softReleaseRate(const SoftCoefficients& c, float m) {
    float rel = (kReleaseOffset - m) * c.release;
    if (rel < c.releaseFloor) rel = c.releaseFloor;
    return rel;
}

// One step of the follower: state s, ring sample x (the gained input). The
// state moves toward the gain that would bring x within 1.0: down at the attack
// rate, up at a release rate that slows in deep reduction. The release is the
// short form of its shape, equal to the long one for every state in [0, 1]
// and a third shorter as a chain of dependent operations; the engine's paths
// take it from here alone.
inline float softFollowerStep(const SoftCoefficients& c, float s, float x) {
    const float m = softRateFactor(c, s);
    const float rel = softReleaseRate(c, m);
    const float t = reciprocalAboveOne(magnitude(x));
    if (s > t) {
        s = s - (((s - t) * (s + 1.0f)) * c.attack) * m;
    } else {
        s = s + ((((t - s) * (1.0f - kReleaseBend * s)) * (kReleaseDepthFloor + kReleaseDepthScale * s)) * rel);
    }
    // A step that gives no number at all (only coefficients far outside the
    // parameters' ranges can) falls to 0 with the tiny ones: the state never
    // leaves [0, 1], so nothing downstream can become NaN.
    if (!(s >= kTinyThreshold)) s = 0.0f;
    if (s > 1.0f) s = 1.0f;
    return s;
}

// Clamp of a running sum into [0, windowLength] (NaN stays): bounds the drift
// of a sum that is never recomputed from its history.
inline float clampSum(float sum, float windowLength) {
    if (sum < 0.0f) sum = 0.0f;
    if (sum > windowLength) sum = windowLength;
    return sum;
}

// ---- Brickwall stage: segment minima and ramps ---------------------------------

inline float minimumOf(float a, float b) { return b < a ? b : a; }

// The segment state of both channels (index [..][channel]); the slots are
// shared by both channels and are always consecutive store indices, newest
// first, descending.
struct SegmentState {
    float runningMin[kChannels];
    float previousMin[kChannels];
    float minima[kSegmentStore][kChannels];
    int32_t counter = 0;
    int32_t slots[kSegmentSlots];

    SegmentState() {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            runningMin[ch] = 1.0f;
            previousMin[ch] = 1.0f;
            for (auto& entry : minima) entry[ch] = 1.0f;
        }
        for (int32_t i = 0; i < kSegmentSlots; ++i) slots[i] = kSegmentSlots - 1 - i;
    }
};

// The roles of the slots, newest first: the newest receives the segment's
// minimum, the next two take it in, the ramp start takes it in only when it is
// lower than the previous segment's, and the oldest is the ramp's end, then
// retired and reused.
enum SegmentSlot : int32_t { kNewestSlot, kSecondSlot, kThirdSlot, kRampStartSlot, kRampEndSlot };
static_assert(kRampEndSlot == kSegmentSlots - 1, "every slot has a role");

struct RampValues {
    float start;
    float step;
};

// The end of a segment for channel ch: its minimum enters the store, so that
// each stored minimum takes in several consecutive segments, and the ramp to
// write runs from the ramp start slot's minimum to the oldest one's, which is
// then retired.
inline RampValues endSegment(SegmentState& st, int32_t ch, float segmentLength) {
    const int32_t* slots = st.slots;
    const float m = st.runningMin[ch];
    float* newest = st.minima[slots[kNewestSlot]];
    float* second = st.minima[slots[kSecondSlot]];
    float* third = st.minima[slots[kThirdSlot]];
    float* rampStart = st.minima[slots[kRampStartSlot]];
    float* rampEnd = st.minima[slots[kRampEndSlot]];
    newest[ch] = m;
    second[ch] = minimumOf(second[ch], m);
    third[ch] = minimumOf(third[ch], m);
    if (m < st.previousMin[ch]) rampStart[ch] = minimumOf(rampStart[ch], m);
    RampValues ramp;
    ramp.start = rampStart[ch];
    ramp.step = (ramp.start - rampEnd[ch]) / segmentLength;
    rampEnd[ch] = 1.0f;
    st.previousMin[ch] = m;
    st.runningMin[ch] = 1.0f;
    return ramp;
}

// A ramp value as written: never below 0. When the ramp's ends lie many orders
// of magnitude apart (input some 140 dB over full scale), the running value's
// rounding can carry it below 0, and a negative gain would flip the sample,
// up to full scale.
inline float rampGain(float value) { return value > 0.0f ? value : 0.0f; }

// Writes count + 1 ramp values backward from ring position x (stride floats per
// position): a running value that loses step at each further position.
inline void fillRamp(float* ring, int32_t stride, int32_t ringLength, int32_t x, int32_t count,
                     RampValues ramp) {
    float value = ramp.start;
    for (int32_t j = 0; j <= count; ++j) {
        ring[x * stride] = rampGain(value);
        value = value - ramp.step;
        if (--x < 0) x += ringLength;
    }
}

// After a segment end: the counter restarts and each slot advances by one,
// wrapping around the store.
inline void finishSegment(SegmentState& st) {
    st.counter = 0;
    for (int32_t i = 0; i < kSegmentSlots; ++i) {
        if (++st.slots[i] >= kSegmentStore) st.slots[i] = 0;
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
// smoothed gain for here. It falls toward a lower gain ahead faster than a fall
// over one ramp length would, rises by a fraction of the distance, and never
// exceeds the curve here, so the curve's ceiling holds for its output.
inline float smootherStep(SmootherState& st, float ahead, float cur, float rampLength) {
    if (ahead < st.env && ahead < st.target) {
        st.slope = (st.env - ahead) / rampLength;
        st.falling = true;
        st.target = ahead;
    }
    if (st.env <= st.target) st.falling = false;
    if (st.falling) {
        st.env = st.env - kFallSpeedup * st.slope;
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
