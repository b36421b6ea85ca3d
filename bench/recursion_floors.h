// The two serial recursions of the engine's vector path, each alone in a loop
// of its own, with the pipeline's own operations: the floor that the whole
// engine's time per frame is measured against. Each is compiled for SSE2 and
// with the AVX encoding, as the pipeline is.
#pragma once

#include <cstdint>

#include "dsp/gain_stages.h"

namespace quillo_bench {

// The soft follower over pairs frame pairs of targets ([L R L' R'] per pair);
// returns the last state of the left channel.
float followerSse2(const float* targets, int32_t pairs, const quillo::SoftCoefficients& c);
float followerAvx(const float* targets, int32_t pairs, const quillo::SoftCoefficients& c);

// The look-ahead smoother over frames frames of a brickwall curve ([L R] per
// position, ramp frames of look-ahead beyond the last); returns the last
// left value.
float smootherSse2(const float* curve, int32_t frames, int32_t ramp, float rampLength);
float smootherAvx(const float* curve, int32_t frames, int32_t ramp, float rampLength);

}  // namespace quillo_bench
