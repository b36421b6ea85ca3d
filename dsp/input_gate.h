// The input stage's vector unit: admitInput (gain_stages.h) for the four
// samples of one register, with the same bits for every input, finite or not.
// Included only by code compiled for the SSE2 baseline: an AVX-compiled copy of
// these inline functions could be picked by the linker for every caller.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "dsp/limiter_constants.h"

namespace quillo {

class InputGate {
public:
    explicit InputGate(float gain)
        : gain(_mm_set1_ps(gain)),
          sign(_mm_set1_ps(-0.0f)),
          zero(_mm_setzero_ps()),
          shift(_mm_set1_epi32(static_cast<int32_t>(kLowestInt - bitsOf(kTinyThreshold)))),
          limit(_mm_set1_epi32(static_cast<int32_t>(kLowestInt + (bitsOf(kInfinity) - bitsOf(kTinyThreshold))))) {}

    // x times the gain; a result of magnitude below the flush threshold
    // becomes +0.0 and one that is not finite +0.0 too, while either zero
    // keeps its sign.
    __m128 admit(__m128 x) const {
        const __m128 y = _mm_mul_ps(x, gain);
        // The magnitude's bits order like the magnitudes, infinity and NaN
        // above every finite value. Shifted so that the flush threshold's bits
        // are the lowest int32_t, a finite magnitude at or above the threshold
        // is exactly one that stays below the limit in a signed comparison.
        const __m128i size = _mm_castps_si128(_mm_andnot_ps(sign, y));
        const __m128 usable = _mm_castsi128_ps(_mm_cmplt_epi32(_mm_add_epi32(size, shift), limit));
        return _mm_and_ps(_mm_or_ps(usable, _mm_cmpeq_ps(y, zero)), y);
    }

private:
    static constexpr uint32_t kLowestInt = static_cast<uint32_t>(std::numeric_limits<int32_t>::min());
    static constexpr float kInfinity = std::numeric_limits<float>::infinity();
    static uint32_t bitsOf(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return bits;
    }

    __m128 gain, sign, zero;
    __m128i shift, limit;
};

}  // namespace quillo
