// The fixed material and settings every build and every format renders, and
// the hashes their output bits must reach: one set of constants for all. Also
// the loud noise and the comparisons the format tests share.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace render_material {

using Channels = std::vector<std::vector<float>>;

struct Setting {
    float rate;
    int32_t block;
    float values[6];
    uint64_t hash;
};

constexpr int32_t kFrames = 20000;
constexpr uint32_t kLeftSeed = 11u;
constexpr uint32_t kRightSeed = 29u;
constexpr uint64_t kHashStart = 0xcbf29ce484222325ull;

// FNV-1a over the bytes of the samples.
inline uint64_t hashOf(const std::vector<float>& samples, uint64_t hash) {
    for (float s : samples) {
        uint32_t bits;
        std::memcpy(&bits, &s, sizeof bits);
        for (int byte = 0; byte < 4; ++byte) {
            hash ^= (bits >> (8 * byte)) & 0xFFu;
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

// Loud, irregular material from integer arithmetic only: noise bursts over a
// low tone, well above full scale.
inline std::vector<float> material(int32_t frames, uint32_t seed) {
    std::vector<float> samples(static_cast<size_t>(frames));
    for (int32_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(seed >> 9) - (1 << 22)) / (1 << 22);
        const float burst = (i / 2000) % 3 == 0 ? 3.0f : 0.4f;
        const float tone = static_cast<float>((i % 200) - 100) / 50.0f;
        samples[static_cast<size_t>(i)] = burst * noise + tone;
    }
    return samples;
}

inline const Setting kSettings[] = {
    {44100.0f, 512, {0.5f, 89.0f / 127.0f, 0.0f, 1.0f, 1.0f, 0.0f}, 0x6e90633549e68760ull},
    {48000.0f, 100, {0.9f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}, 0x292856736d7d93f2ull},
    {96000.0f, 1024, {0.7f, 0.2f, 1.0f, 1.0f, 0.0f, 0.5f}, 0xacf59db36afa0201ull},
};

// Loud noise from a small linear congruential generator, peaking near `peak`.
// Fills `samples` and answers the generator's state, so that another buffer
// can continue the same sequence.
inline uint32_t fillNoise(std::vector<float>& samples, float peak, uint32_t seed) {
    for (float& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        s = peak * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return seed;
}

// Two channels of that noise, the right continuing the left's sequence.
inline std::vector<std::vector<float>> stereoNoise(int32_t frames, float peak, uint32_t seed) {
    std::vector<std::vector<float>> signal(2, std::vector<float>(static_cast<size_t>(frames)));
    fillNoise(signal[1], peak, fillNoise(signal[0], peak, seed));
    return signal;
}

// The largest magnitude, or NaN where a sample is not a number (so that a
// check against full scale fails on it).
inline float loudest(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float s : samples) {
        if (std::isnan(s)) return s;
        peak = std::fmax(peak, std::fabs(s));
    }
    return peak;
}

inline float loudest(const std::vector<std::vector<float>>& channels) {
    float peak = 0.0f;
    for (const auto& channel : channels) {
        const float channelPeak = loudest(channel);
        if (std::isnan(channelPeak)) return channelPeak;
        peak = std::fmax(peak, channelPeak);
    }
    return peak;
}

// Equal bits, not merely equal values (0 and -0 differ, NaNs compare).
inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

inline bool sameBits(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
    if (a.size() != b.size()) return false;
    for (size_t c = 0; c < a.size(); ++c) {
        if (!sameBits(a[c], b[c])) return false;
    }
    return true;
}

struct NoChanges {
    void operator()(int32_t, int32_t) const {}
};

// Renders a whole input in blocks of `block` frames through anything that
// processes stereo blocks (an instance, a test host's plug-in), calling
// changes(at, frames) before each block. The output starts at `unwritten`:
// silence, as hosts clear their buffers, or a value no limiter gives where a
// sample left unwritten must show. Each block has buffers of its own, exactly
// its length, so that the address sanitizer sees a read or write past one.
template <typename Processor, typename Changes = NoChanges>
Channels renderThrough(Processor& processor, const Channels& input, int32_t block, Changes changes = {},
                       float unwritten = 0.0f) {
    const auto frames = static_cast<int32_t>(input[0].size());
    Channels output(2, std::vector<float>(static_cast<size_t>(frames), unwritten));
    for (int32_t at = 0; at < frames; at += block) {
        const auto n = static_cast<size_t>(std::min(block, frames - at));
        changes(at, static_cast<int32_t>(n));
        Channels in(2), out(2);
        for (size_t c = 0; c < 2; ++c) {
            in[c].assign(input[c].begin() + at, input[c].begin() + at + static_cast<std::ptrdiff_t>(n));
            out[c].assign(n, unwritten);
        }
        float* ins[2] = {in[0].data(), in[1].data()};
        float* outs[2] = {out[0].data(), out[1].data()};
        processor.process(ins, outs, static_cast<int32_t>(n));
        for (size_t c = 0; c < 2; ++c) std::copy(out[c].begin(), out[c].end(), output[c].begin() + at);
    }
    return output;
}

}  // namespace render_material
