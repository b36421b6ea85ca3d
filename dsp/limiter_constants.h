// The numbers that define the limiter's behaviour, each named once. Changing
// any of them changes the rendered bits: the float spellings are part of the
// design, as is every single-precision rounding they go through.
#pragma once

#include <cstdint>
#include <limits>

namespace quillo {

// Stereo: left is channel 0, right is channel 1.
constexpr int32_t kChannels = 2;

// ---- Timing ---------------------------------------------------------------------

// The rate that every length and coefficient refers to.
constexpr float kReferenceRate = 44100.0f;
// One over the reference rate, as the single-precision constant the rate ratio
// is computed with (a rate times it, not a rate over the reference rate).
constexpr float kRateConstant = 2.2675736e-05f;
// Lengths at the reference rate, in samples: a brickwall segment, the smoother's
// look-ahead and rise, and the moving-average windows.
constexpr float kSegmentFactor = 7.0f;
constexpr float kRampFactor = 19.0f;
constexpr float kWindowFactor = 32.0f;
// The look-ahead is this many segments plus one ramp.
constexpr float kLatencySegments = 3.0f;

// The largest float that is still an int32_t: a float strictly between minus
// and plus this limit converts without overflow.
constexpr float kTruncationLimit = 2147483520.0f;

// ---- Rings and histories ----------------------------------------------------------

// Ring positions beyond the block size: room for the look-ahead and the ramps.
constexpr int32_t kRingMargin = 2048;
// Floats at the end of each ring that no position addresses.
constexpr int32_t kSpareFloats = 10;
// Entries in each moving-average history, and the entries a window must leave
// free in it: a window W fits when W plus the spare is at most the size.
constexpr int32_t kHistorySize = 512;
constexpr int32_t kHistorySpare = 10;

// ---- Input gain table -------------------------------------------------------------

constexpr int32_t kGainTableSize = 802;
constexpr int32_t kLastGainIndex = kGainTableSize - 1;
// The parameter value 0..1 scaled to the table: trunc(scale * value).
constexpr float kGainIndexScale = static_cast<float>(kLastGainIndex);
// Entry c is c / steps-per-dB minus the offset, in dB; an amplitude in dB is
// decibels-per-decade times the logarithm to the decibel base.
constexpr double kGainStepsPerDecibel = 10.0;
constexpr double kGainTableOffsetDb = 40.00001;
constexpr double kDecibelsPerDecade = 20.0;
constexpr double kDecibelBase = 10.0;

// The flush-to-zero bound: smaller magnitudes become zero so that no denormal
// numbers circulate.
constexpr float kTinyThreshold = 1.0f / 4294967296.0f;

// The largest finite float; a sample beyond it is not a usable value.
constexpr float kLargestFinite = std::numeric_limits<float>::max();

// ---- Soft stage: the gain follower ------------------------------------------------

// The Knee parameter's natural value scaled to k in [0, 1] (the reciprocal of
// its top value, as a single-precision constant).
constexpr float kKneeScale = 0.007874016f;
// kc = scale * k^3: the follower's rate factor when Iq is off.
constexpr float kKneeCubeScale = 0.8f;
// With Iq on the rate factor is this factor times v^2, clamped into [0, 1].
constexpr float kIqRateScale = 2.0f;
// Attack and release coefficients and the lowest release, per sample at the
// reference rate.
constexpr float kAttackRate = 0.03f;
constexpr float kReleaseRate = 0.0009f;
constexpr float kReleaseFloor = 0.0001f;
// The release coefficient is (offset - m) * release rate.
constexpr float kReleaseOffset = 1.01f;
// The release step's shape, in its short form: the step toward the target is
// shortened by (1 - bend * s) and slowed in deep reduction by (floor + depth * s).
constexpr float kReleaseBend = 0.63f;
constexpr float kReleaseDepthFloor = 0.2f;
constexpr float kReleaseDepthScale = 0.8f;

// ---- Brickwall stage ----------------------------------------------------------------

// The rotating slots (newest first) into the circular store of segment minima.
constexpr int32_t kSegmentSlots = 5;
constexpr int32_t kSegmentStore = 10;
// A segment's ramp ends this many segments behind the delayed write position.
constexpr int32_t kRampSegmentsBack = 2;
// The smoother falls this many times faster than a fall over one ramp length.
constexpr float kFallSpeedup = 4.0f;

// ---- Stereo link --------------------------------------------------------------------

// Gains below the link floor are raised to it before the channels are compared.
constexpr float kLinkFloor = 0.000001f;

}  // namespace quillo
