// The benchmarks' material: uniform noise with peaks well above full scale,
// so that both gain stages work all the time.
#pragma once

#include <cstdint>
#include <vector>

namespace quillo_bench {

// The material cycles through this many frames.
constexpr int32_t kNoiseFrames = 1 << 16;
// xorshift32, its kept top bits scaled into [-peak, peak).
constexpr float kNoisePeak = 3.16f;
constexpr uint32_t kShiftA = 13, kShiftB = 17, kShiftC = 5;
constexpr int kDroppedBits = 8;
constexpr float kHalfRange = 8388608.0f;  // half the range of the kept bits

inline std::vector<float> loudNoise(uint32_t seed) {
    std::vector<float> v(kNoiseFrames);
    uint32_t s = seed;
    for (auto& x : v) {
        s ^= s << kShiftA;
        s ^= s >> kShiftB;
        s ^= s << kShiftC;
        x = (static_cast<float>(s >> kDroppedBits) / kHalfRange - 1.0f) * kNoisePeak;
    }
    return v;
}

}  // namespace quillo_bench
