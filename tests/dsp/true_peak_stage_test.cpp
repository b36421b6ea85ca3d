// The true-peak stage through its public interface on every build: what needs
// no reduction leaves untouched one latency later, peaks leave within the
// ceiling, a reduction's shape, and the same bits for every block size, path
// and build. What the meters read of its output: true_peak_meters_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "test_signals.h"

using namespace quillo_test;

namespace {

constexpr float kCeiling = 0.8912509f;  // -1 dB
constexpr int32_t kPlusTwelveDb = 520;  // the input gain table's entry

struct Rate {
    float rate;
    int32_t latency;
    uint64_t golden;  // the stage's output bits on the limited program
};
// One rate for each oversampling of the meters: four times, twice, none.
const Rate kRates[] = {
    {44100.0f, 33, 0x7f4aa31715657fdcull},
    {48000.0f, 35, 0x1e6a21c2e400b888ull},
    {96000.0f, 53, 0xde85d1e63eed7ff2ull},
    {192000.0f, 91, 0xe7faf110ae8e4c20ull},
};

void expectSameBits(const Stereo& a, const Stereo& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(bitsOf(a.left[i]), bitsOf(b.left[i])) << "left " << i;
        ASSERT_EQ(bitsOf(a.right[i]), bitsOf(b.right[i])) << "right " << i;
    }
}

Stereo limitedProgram(float rate) { return limitedAtCeiling(program(12000, 3u), rate, kPlusTwelveDb, kCeiling); }

TEST(TruePeakStage, WhatNeedsNoReductionLeavesUntouchedOneLatencyLater) {
    // Silence, then the program far under the ceiling even between samples,
    // with zeros of both signs.
    Stereo in(2000);
    const Stereo quiet = program(6000, 9u);
    for (size_t i = 0; i < quiet.size(); ++i) {
        in.left.push_back(quiet.left[i] * 0.02f);
        in.right.push_back(i % 97 == 0 ? -0.0f : quiet.right[i] * 0.02f);
    }
    for (const Rate& r : kRates) {
        EXPECT_EQ(quillo::TruePeakStage::latencyFor(r.rate), r.latency);
        const Stereo out = throughStage(in, r.rate, kCeiling, 256);
        ASSERT_EQ(out.size(), in.size() + static_cast<size_t>(r.latency));
        for (size_t k = 0; k < out.size(); ++k) {
            const size_t lat = static_cast<size_t>(r.latency);
            ASSERT_EQ(bitsOf(out.left[k]), k < lat ? 0u : bitsOf(in.left[k - lat])) << r.rate << " " << k;
            ASSERT_EQ(bitsOf(out.right[k]), k < lat ? 0u : bitsOf(in.right[k - lat])) << r.rate << " " << k;
        }
    }
}

TEST(TruePeakStage, SamplesLeaveWithinTheCeilingWhateverComesIn) {
    Stereo in = program(20000, 5u);  // peaks up to 12, far beyond any limiter's output
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), 1.0e31f, -3.0e38f};
    for (size_t i = 0; i < std::size(hostile); ++i) in.left[5000 + 777 * i] = in.right[9000 + 555 * i] = hostile[i];
    const Stereo out = throughStage(in, 48000.0f, kCeiling, 480);
    for (size_t k = 0; k < out.size(); ++k) {
        ASSERT_LE(std::fabs(out.left[k]), kCeiling) << k;
        ASSERT_LE(std::fabs(out.right[k]), kCeiling) << k;
    }
}

// A steady level with one pair of samples at the ceiling, whose waveform
// rises above it between them: the gain (one for both channels) falls ahead of
// the pair in an S, holds under the pair, and rises again in an S.
TEST(TruePeakStage, AReductionFallsAheadOfThePeakAndRisesSmoothly) {
    constexpr size_t kPeak = 2000;
    Stereo in(4000);
    std::fill(in.left.begin(), in.left.end(), 0.5f);
    std::fill(in.right.begin(), in.right.end(), -0.25f);
    in.left[kPeak] = in.left[kPeak + 1] = kCeiling;
    for (const Rate& r : kRates) {
        const Stereo out = throughStage(in, r.rate, kCeiling, 64);
        const size_t lat = static_cast<size_t>(r.latency);
        std::vector<float> gain(in.size());
        for (size_t k = 0; k < in.size(); ++k) {
            gain[k] = out.right[k + lat] / in.right[k];  // exact: a power of two
            ASSERT_EQ(out.left[k + lat], in.left[k] * gain[k]) << r.rate << " " << k;
        }
        const size_t lowest = static_cast<size_t>(std::min_element(gain.begin(), gain.end()) - gain.begin());
        const float depth = 1.0f - gain[lowest];
        EXPECT_GT(depth, 0.0f) << r.rate;
        EXPECT_EQ(gain[kPeak - lat], 1.0f);
        EXPECT_EQ(gain[kPeak + lat], 1.0f);
        EXPECT_LT(gain[kPeak - 2], 1.0f) << r.rate;  // already falling ahead of the pair
        EXPECT_EQ(gain[kPeak], gain[lowest]);
        EXPECT_EQ(gain[kPeak + 1], gain[lowest]);
        float steepest = 0.0f;
        for (size_t k = kPeak - lat; k < kPeak + lat; ++k) {
            const float step = gain[k + 1] - gain[k];
            EXPECT_TRUE(k < lowest ? step <= 0.0f : step >= 0.0f) << r.rate << " " << k;
            steepest = std::max(steepest, std::fabs(step));
        }
        EXPECT_LT(steepest, depth / 4.0f) << r.rate;
        // An S: the first step of the fall is gentler than the steepest.
        const auto falling = std::find_if(gain.begin(), gain.end(), [](float g) { return g < 1.0f; });
        EXPECT_LT(1.0f - *falling, steepest / 2.0f) << r.rate;
    }
}

TEST(TruePeakStage, SameBitsForEveryBlockSizePathAndBuild) {
    struct Run {
        int32_t block, prepared;
        StagePath path;
    };
    const Run runs[] = {{1, 512, StagePath::automatic},   {7, 512, StagePath::automatic},
                        {32, 32, StagePath::automatic},   {333, 512, StagePath::sse2},
                        {4096, 512, StagePath::automatic}, {100, 100, StagePath::generic},
                        {512, 512, StagePath::generic},   {2000, 1500, StagePath::sse2}};
    for (const Rate& r : kRates) {
        const Stereo in = limitedProgram(r.rate);
        const Stereo reference = throughStage(in, r.rate, kCeiling, 512);
        const uint64_t hash = fnv(reference.right, fnv(reference.left));
        EXPECT_EQ(hash, r.golden) << std::hex << "0x" << hash << " at " << r.rate;
        for (const Run& run : runs) {
            SCOPED_TRACE(testing::Message() << r.rate << " Hz, blocks of " << run.block);
            expectSameBits(throughStage(in, r.rate, kCeiling, run.block, run.prepared, run.path), reference);
        }
    }
}

TEST(TruePeakStage, ResetStartsAfreshAndRefusedSetupsLeaveBuffersAlone) {
    const Stereo in = limitedProgram(44100.0f);
    quillo::TruePeakStage stage;
    ASSERT_TRUE(stage.prepare(44100.0f, 512));
    Stereo first = in;
    stage.process(first.left.data(), first.right.data(), 3000, kCeiling);
    stage.reset();
    Stereo second = in;
    stage.process(second.left.data(), second.right.data(), 3000, kCeiling);
    expectSameBits(first, second);
    for (const float rate : {0.0f, 4000.0f, 1.0e6f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_FALSE(stage.prepare(rate, 512)) << rate;
        EXPECT_EQ(quillo::TruePeakStage::latencyFor(rate), 0);
    }
    EXPECT_FALSE(stage.prepare(44100.0f, 0));
    Stereo untouched = in;
    stage.process(untouched.left.data(), untouched.right.data(), 512, kCeiling);
    expectSameBits(untouched, in);
}

}  // namespace
