// The fixed material and settings every build and every format renders, and
// the hashes their output bits must reach: one set of constants for all.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace render_material {

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

}  // namespace render_material
