// The vector path's pipeline (see vector_pipeline.inc), compiled twice from the
// same source: once for SSE2 (every x86 target of the project) and once with the
// AVX encoding of the same 128-bit operations, chosen at run time. Both give the
// same bits: the same IEEE single-precision operations in the same order.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "dsp/gain_stages.h"

namespace quillo {

// Floats in one 128-bit register.
constexpr int32_t kLanes = 4;
// The pipeline steps over pairs of frames: both channels of both frames fill
// one register, [L R L' R'].
constexpr int32_t kPairFrames = 2;
constexpr int32_t kPairFloats = kPairFrames * kChannels;
static_assert(kPairFloats == kLanes, "a frame pair fills one register");

// Longest stretch of frame pairs one pipeline run takes (longer stretches run
// as several).
constexpr int32_t kPipelinePairs = 256;
// The output stage runs this many pairs behind the follower.
constexpr int32_t kPipelineDepth = 5;

// Room of a history laid out in a line for one run: the W entries before the
// run, then one entry per frame of the run.
constexpr int32_t kLinearHistory = kHistorySize + kPairFrames * kPipelinePairs;

// Streams that the pipeline reads and writes at the same frame positions must
// not lie a multiple of 4 KiB apart: the processor would take a load for one
// as depending on a store to the other. Each array of the scratch is set off
// from the one before by a few cache lines.
constexpr int32_t kStreamStagger = 112;

// Values handed from stage to stage, one entry per frame pair, and the three
// running-sum histories laid out in a line: the value that leaves the sum at
// the run's frame i is entry i, the value that enters it is written to entry
// i + W.
struct alignas(sizeof(__m128)) PipelineScratch {
    float softLine[kLinearHistory][kChannels];
    float gap0[kStreamStagger];
    float softLinkLine[kLinearHistory][kChannels];
    float gap1[kStreamStagger];
    float brickLinkLine[kLinearHistory][kChannels];
    float gap2[kStreamStagger];
    float softSum[kPipelinePairs][kPairFloats];      // running soft sums after each frame of a pair
    float gap3[kStreamStagger];
    float softGain[kPipelinePairs][kPairFloats];     // soft gain (raised to the link floor when linked)
    float gap4[kStreamStagger];
    float softFactor[kPipelinePairs][kPairFloats];   // soft link factors
    float gap5[kStreamStagger];
    float magnitude[kPipelinePairs][kPairFloats];    // magnitude of the delayed signal
    float gap6[kStreamStagger];
    float smoothed[kPipelinePairs][kPairFloats];     // smoother output (raised to the link floor when linked)
    float gap7[kStreamStagger];
    float brickFactor[kPipelinePairs][kPairFloats];  // brickwall link factors
};

struct LinkLanes {
    __m128 sum;
    float* line;  // the history laid out in a line (see PipelineScratch)
};

// Everything one run needs: the block's constants, this stretch's ring
// pointers (positions do not wrap within a stretch) and the state carried from
// frame to frame, which the run updates.
struct PipelineState {
    // Block constants (each value in every lane).
    __m128 attack, fixedRel, k, kc, kcTail, release, releaseFloor;
    __m128 windowLength, rampLength, computeMask;
    __m128 windowReciprocal;  // 1 / windowLength, used only when that is exact
    bool windowPowerOfTwo;
    float segmentLength;
    int32_t W, S, L;
    bool iq, link;

    // This stretch: frames 0 .. kPairFrames * pairs - 1.
    int32_t pairs;
    int32_t D0;                 // delayed write position of frame 0
    const float* in;            // inputRing at frame 0
    float* delayedWrite;        // delayedSignal at D0
    const float* delayedRead;   // delayedSignal at frame 0
    float* brickHere;           // brickGain at frame 0
    const float* brickAhead;    // brickGain at frame 0 + R
    float* brickRing;           // brickGain at position 0 (ramps)
    float* out;                 // the results of frame 0, [frame][channel]
    PipelineScratch* scratch;

    // Carried state ([L R] in lanes 0 and 1 unless noted).
    __m128 s, softSum;
    float* softLine;
    LinkLanes softLink, brickLink;
    __m128 run;  // the current segment's lowest need
    int32_t counter;
    SegmentState* segment;
    __m128 env, target, slope, falling;
    __m128 minSoft, needle;  // over both frames of each pair, [L R L' R']
};

void runPipelineSse2(PipelineState& state);
void runPipelineAvx(PipelineState& state);

}  // namespace quillo
