// Deterministic test material built from integer arithmetic and basic float
// operations only, so that the native and the 32-bit Windows builds see the very
// same input bits (no library sin or pow).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dsp/gain_table.h"
#include "dsp/limiter_engine.h"
#include "dsp/true_peak_stage.h"

namespace quillo_test {

// xorshift32: a fixed stream of 32-bit values.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in [-1, 1): 24 random bits, exact in single precision.
    float uniform() { return static_cast<float>(static_cast<int32_t>(next() >> 8) - 8388608) / 8388608.0f; }

private:
    uint32_t state;
};

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t n = 0) : left(n, 0.0f), right(n, 0.0f) {}
    size_t size() const { return left.size(); }
};

inline Stereo noise(size_t n, float peak, uint32_t seed) {
    Noise rng(seed);
    Stereo s(n);
    for (size_t i = 0; i < n; ++i) {
        s.left[i] = rng.uniform() * peak;
        s.right[i] = rng.uniform() * peak;
    }
    return s;
}

// Noise whose level swells and fades (loud bursts, quiet passages and silence),
// so that every branch of the gain stages is taken.
inline Stereo program(size_t n, uint32_t seed) {
    Noise rng(seed);
    Stereo s(n);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t phase = static_cast<uint32_t>(i % 9000);
        float level = 0.0f;
        if (phase < 3000) level = 4.0f * static_cast<float>(phase) / 3000.0f;
        else if (phase < 5000) level = 0.3f;
        else if (phase < 5200) level = 12.0f;
        else if (phase < 8000) level = 0.9f * static_cast<float>(8000 - phase) / 2800.0f;
        const float tone = (i % 40) < 20 ? 0.7f : -0.7f;
        s.left[i] = level * (0.5f * tone + 0.5f * rng.uniform());
        s.right[i] = level * (0.3f * tone + 0.7f * rng.uniform()) * ((i / 700) % 3 == 0 ? 0.25f : 1.0f);
    }
    return s;
}

inline uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// FNV-1a over the bits of a sequence of floats.
inline uint64_t fnv(const std::vector<float>& values, uint64_t hash = 1469598103934665603ull) {
    for (float v : values) {
        uint32_t b = bitsOf(v);
        for (int i = 0; i < 4; ++i) {
            hash ^= (b >> (8 * i)) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// Runs a signal through an engine in blocks of the given size (the last one
// shorter), replacing, with the given parameters and routing.
inline Stereo render(LimiterEngine& engine, const Stereo& in, int32_t block, const BlockParameters& p,
                     const Routing& r = Routing(), bool accumulate = false, float prefill = 0.0f) {
    Stereo out(in.size());
    std::fill(out.left.begin(), out.left.end(), prefill);
    std::fill(out.right.begin(), out.right.end(), prefill);
    for (size_t pos = 0; pos < in.size(); pos += static_cast<size_t>(block)) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(block), in.size() - pos));
        float* ins[2] = {const_cast<float*>(in.left.data() + pos), const_cast<float*>(in.right.data() + pos)};
        float* outs[2] = {out.left.data() + pos, out.right.data() + pos};
        engine.process(ins, outs, n, p, r, accumulate);
    }
    return out;
}

inline BlockParameters defaults(float gain) {
    BlockParameters p;
    p.inputGain = gain;
    p.knee = 89.0f;
    p.iq = 0;
    p.link = true;
    return p;
}

// The limiter's output as the true-peak stage receives it: the engine at the
// rate with default parameters and the input gain table's entry, its output
// (flushed with one look-ahead of silence) scaled by the ceiling.
inline Stereo limitedAtCeiling(const Stereo& in, float rate, int32_t gainIndex, float ceiling) {
    LimiterEngine engine;
    engine.reset(512, timingForRate(rate));
    Stereo padded = in;
    padded.left.resize(in.size() + static_cast<size_t>(engine.latency()), 0.0f);
    padded.right.resize(padded.left.size(), 0.0f);
    Stereo out = render(engine, padded, 512, defaults(gainTableAt(gainIndex)));
    for (float& v : out.left) v *= ceiling;
    for (float& v : out.right) v *= ceiling;
    return out;
}

enum class StagePath { automatic, sse2, generic };

// A signal through a true-peak stage prepared for the rate and blocks of
// `prepared` frames, in place in blocks of `block`, followed by one latency of
// silence so that all of it comes out.
inline Stereo throughStage(const Stereo& in, float rate, float ceiling, int32_t block, int32_t prepared = 512,
                           StagePath path = StagePath::automatic) {
    quillo::TruePeakStage stage;
    stage.useGenericPathForTesting(path == StagePath::generic);
    stage.useSse2ForTesting(path == StagePath::sse2);
    if (!stage.prepare(rate, prepared)) return Stereo();
    Stereo out = in;
    out.left.resize(in.size() + static_cast<size_t>(stage.latency()), 0.0f);
    out.right.resize(out.left.size(), 0.0f);
    for (size_t pos = 0; pos < out.size(); pos += static_cast<size_t>(block)) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(block), out.size() - pos));
        stage.process(out.left.data() + pos, out.right.data() + pos, n, ceiling);
    }
    return out;
}

}  // namespace quillo_test
