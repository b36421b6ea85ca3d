// The vector path's pipeline (see vector_pipeline.inc) and input stage, compiled
// twice from the same source: once for SSE2 (every x86 target of the project)
// and once with the AVX encoding, chosen at run time. Both give the
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
// as several, each filling and draining the pipeline): room for the blocks
// hosts use, whose runs then end only where a ring position wraps.
constexpr int32_t kPipelinePairs = 2048;
// The output stage runs this many pairs behind the follower.
constexpr int32_t kPipelineDepth = 6;

// Room of a history laid out in a line: the W entries before a run and one
// entry per frame of the run. Runs follow each other along the line; its W
// last entries move back to the front only when the next run might not fit.
constexpr int32_t kLinearHistory = kHistorySize + kPairFrames * kPipelinePairs;

// Streams that the pipeline reads and writes at the same frame positions must
// not lie a multiple of 4 KiB apart: the processor would take a load for one
// as depending on a store to the other. Each line of the scratch is set off
// from the one before by a few cache lines.
constexpr int32_t kStreamStagger = 112;

// The state the pipeline carries from frame to frame, kept in its lane form
// from run to run and block to block; the generic path takes it over only
// when it runs (LimiterEngine converts, see limiter_engine_vector.cpp). Lanes
// 0 and 1 hold [L R] unless noted.
struct PipelineCarry {
    __m128 s, softSum;
    __m128 linkSums;           // [soft L R | brickwall L R]
    // The current segment's lowest need: the lowest need carried into it and
    // the highest magnitude since (see the pipeline's segment stage).
    __m128 carriedMin, peak;
    // The segment store. Only the four slots after the newest hold minima that
    // a later segment end reads: the newest slot's entry is assigned at the
    // next end before it is read, and every entry outside the five slots is
    // 1.0 (retired as the oldest slot, or never used). So the lanes hold the
    // [second third] and [rampStart rampEnd] slots, and the previous
    // segment's minimum.
    __m128 early, late, previous;
    __m128 env, slope;
    __m128 fallTarget;         // the target of a falling smoother, infinity for one not falling
    int32_t counter;
    int32_t ends;              // segment ends since the lanes took the store over
    // Where the W history entries begin in the soft line and in the two link
    // lines, and the frames each has taken in since the lanes took them over.
    int32_t softBase, linkBase;
    int32_t softFrames, linkFrames;
};

struct PipelineScratch;

// Everything one run needs: the block's constants, this stretch's ring
// pointers (positions do not wrap within a stretch) and the carried state,
// which the run updates.
struct PipelineState {
    // Block constants (each value in every lane), and the parameters they
    // were made for.
    __m128 attack, fixedRel, k, kc, kcTail, release, releaseFloor;
    __m128 windowLength, rampLength;
    __m128 windowReciprocal;  // 1 / windowLength, used only when that is exact
    bool windowPowerOfTwo;
    float segmentLength;
    int32_t W, S, L;
    bool iq, link;
    float knee;

    // This stretch: frames 0 .. kPairFrames * pairs - 1, and one more frame
    // after them where oddFrame holds.
    int32_t pairs;
    bool oddFrame;
    int32_t D0;                 // delayed write position of frame 0
    const float* in;            // inputRing at frame 0
    float* delayedWrite;        // delayedSignal at D0
    const float* delayedRead;   // delayedSignal at frame 0
    float* brickHere;           // brickGain at frame 0
    const float* brickAhead;    // brickGain at frame 0 + R
    float* brickRing;           // brickGain at position 0 (ramps)
    float* out[kChannels];      // each channel's result of frame 0
    PipelineScratch* scratch;

    PipelineCarry* carry;
    __m128 minSoft, needle;  // over both frames of each pair, [L R L' R']
};

// The three running-sum histories laid out in lines (for a run whose
// history begins at entry base, the value that leaves the sum at the run's
// frame i is entry base + i, the value that enters it is written to entry
// base + i + W), and the carried state. The stages hand their other values
// on in registers.
struct alignas(sizeof(__m128)) PipelineScratch {
    float softLine[kLinearHistory][kChannels];
    float gap0[kStreamStagger];
    float softLinkLine[kLinearHistory][kChannels];
    float gap1[kStreamStagger];
    float brickLinkLine[kLinearHistory][kChannels];
    PipelineCarry carry;
    PipelineState state;
};

void runPipelineSse2(PipelineState& state);
void runPipelineAvx(PipelineState& state);

// The input stage for frames frames of both channels: each sample times the
// gain, admitted as admitInput does, into the ring from ring ([L R] per frame).
void admitFramesSse2(const float* left, const float* right, float* ring, int32_t frames, float gain);
void admitFramesAvx(const float* left, const float* right, float* ring, int32_t frames, float gain);

}  // namespace quillo
