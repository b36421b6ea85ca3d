// The vector path (SSE2 and, where usable, AVX) against the generic path (the
// reference units step by step): the same bits for every parameter setting,
// rate, routing, block size and awkward input value, and across switches
// between the paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "dsp/gain_table.h"
#include "dsp/vector_pipeline.h"
#include "test_signals.h"

using namespace quillo_test;

namespace {

void expectSameBits(const Stereo& a, const Stereo& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(bitsOf(a.left[i]), bitsOf(b.left[i])) << "left " << i << " " << a.left[i] << " " << b.left[i];
        ASSERT_EQ(bitsOf(a.right[i]), bitsOf(b.right[i])) << "right " << i << " " << a.right[i] << " " << b.right[i];
    }
}

void expectSameMeters(const LimiterEngine& a, const LimiterEngine& b) {
    EXPECT_EQ(a.meterLeft.load(), b.meterLeft.load());
    EXPECT_EQ(a.meterRight.load(), b.meterRight.load());
    EXPECT_EQ(a.kneeLamp.load(), b.kneeLamp.load());
}

const char* variantName(bool sse2) { return sse2 || !LimiterEngine::avxUsable() ? "SSE2" : "AVX"; }

// Both encodings of the vector path give the generic path's bits and meters
// for the signal in blocks of the given size.
void expectEncodingsMatchGeneric(const Stereo& in, int32_t block, const BlockParameters& p, float rate = 44100.0f) {
    LimiterEngine generic;
    generic.useGenericPathForTesting(true);
    ASSERT_TRUE(generic.reset(block, timingForRate(rate)));
    const Stereo reference = render(generic, in, block, p);
    for (bool sse2 : {false, true}) {
        SCOPED_TRACE(variantName(sse2));
        LimiterEngine fast;
        fast.useSse2ForTesting(sse2);
        ASSERT_TRUE(fast.reset(block, timingForRate(rate)));
        expectSameBits(render(fast, in, block, p), reference);
        expectSameMeters(fast, generic);
    }
}

struct Case {
    float knee;
    int32_t iq;
    bool link;
    int32_t gainIndex;
    float rate;
};

class VectorPath : public ::testing::TestWithParam<Case> {};

TEST_P(VectorPath, SameBitsAsGenericPath) {
    const Case c = GetParam();
    const Stereo in = program(30000, 7u + static_cast<uint32_t>(c.knee));
    BlockParameters p;
    p.inputGain = gainTableAt(c.gainIndex);
    p.knee = c.knee;
    p.iq = c.iq;
    p.link = c.link;
    expectEncodingsMatchGeneric(in, 512, p, c.rate);
}

INSTANTIATE_TEST_SUITE_P(Settings, VectorPath,
                         ::testing::Values(Case{89.0f, 0, true, 400, 44100.0f}, Case{89.0f, 0, false, 600, 44100.0f},
                                           Case{127.0f, 1, true, 700, 44100.0f}, Case{0.0f, 0, true, 801, 44100.0f},
                                           Case{50.0f, 1, false, 801, 48000.0f}, Case{89.0f, 0, true, 650, 96000.0f},
                                           Case{100.0f, 1, true, 500, 22050.0f}, Case{30.0f, 0, true, 790, 192000.0f},
                                           Case{89.0f, 1, true, 760, 8000.0f}, Case{89.0f, 0, true, 760, 6301.0f}));

TEST(VectorPathRouting, SameBitsForEveryRoutingAndBlock) {
    Stereo in = program(12000, 31u);
    // Awkward values: huge, infinite, denormal, negative zero.
    in.left[5000] = 1e30f;
    in.right[5001] = -std::numeric_limits<float>::infinity();
    in.left[5002] = 1e-40f;
    in.right[5003] = -0.0f;
    in.left[7000] = std::numeric_limits<float>::denorm_min();
    struct Route {
        int32_t leftActive, rightActive;
        bool writeLeft, writeRight;
        int32_t copyMode;
    };
    const Route routes[] = {{1, 1, true, true, 0}, {1, 0, true, false, 1}, {0, 1, false, true, 2},
                            {1, 0, false, true, 1}, {0, 1, true, false, 2}, {1, 1, true, false, 0}};
    for (const Route& route : routes) {
        Routing r;
        r.leftActive = route.leftActive;
        r.rightActive = route.rightActive;
        r.writeLeft = route.writeLeft;
        r.writeRight = route.writeRight;
        r.copyMode = route.copyMode;
        r.singleChannel = route.leftActive != route.rightActive;
        for (int32_t block : {1, 2, 3, 31, 256, 1024}) {
            BlockParameters p;
            p.inputGain = gainTableAt(720);
            p.knee = 110.0f;
            p.iq = block & 1;
            p.link = !r.singleChannel;
            const bool accumulate = (block & 2) != 0;
            LimiterEngine generic;
            generic.useGenericPathForTesting(true);
            ASSERT_TRUE(generic.reset(256, timingForRate(44100.0f)));
            const Stereo reference = render(generic, in, block, p, r, accumulate, 0.125f);
            for (bool sse2 : {false, true}) {
                SCOPED_TRACE(variantName(sse2));
                LimiterEngine fast;
                fast.useSse2ForTesting(sse2);
                ASSERT_TRUE(fast.reset(256, timingForRate(44100.0f)));
                expectSameBits(render(fast, in, block, p, r, accumulate, 0.125f), reference);
                expectSameMeters(fast, generic);
            }
        }
    }
}

// Blocks the vector path runs through its pipeline, frame by frame, and
// through both (pairs and an odd last frame).
constexpr int32_t kPathBlocks[] = {256, 5, 7};

// Knee values far outside the parameter's range drive the follower into its
// flush and clamp (states tiny, negative, above 1.0 or not a number), which the
// vector path tests once per frame pair and then takes frame by frame: the
// bits of the generic path all the same.
TEST(VectorPathRouting, FollowerFlushAndClampAsInTheGenericPath) {
    const Stereo in = program(12000, 41u);
    for (float knee : {-1e20f, 1e20f, 400.0f}) {
        for (int32_t iq : {0, 1}) {
            BlockParameters p = defaults(gainTableAt(760));
            p.knee = knee;
            p.iq = iq;
            for (int32_t block : kPathBlocks) expectEncodingsMatchGeneric(in, block, p);
        }
    }
}

// Bursts loud enough to drive the follower's state to 0, between quiet
// passages: the running sums drift below 0 as the states fall away and their
// clamps act, which the vector path tests once per frame pair and then takes
// again with the clamps: the bits of the generic path all the same.
TEST(VectorPathRouting, RunningSumClampsAsInTheGenericPath) {
    for (float peak : {1e6f, 1e12f}) {
        Stereo in = noise(24000, 1.0f, 9u);
        for (size_t i = 0; i < in.size(); ++i) {
            const float level = (i / 4000) % 2 == 0 ? peak : 0.5f;
            in.left[i] *= level;
            in.right[i] *= (i / 1000) % 2 != 0 ? level : 0.001f * level;
        }
        BlockParameters p = defaults(gainTableAt(quillo::kLastGainIndex));
        p.knee = 127.0f;
        for (int32_t block : kPathBlocks) expectEncodingsMatchGeneric(in, block, p);
    }
}

// The input stage's vector unit gives the bits of the reference unit for
// every kind of value in every lane and at every place of the interleaved
// ring: awkward values and random bit patterns (NaNs with payloads,
// infinities, denormals) at several gains, in runs of every length that ends
// in a partial register.
TEST(InputGate, SameBitsAsTheReferenceUnit) {
    std::vector<float> values = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                 quillo::kLargestFinite, -quillo::kLargestFinite, 1e38f, -1e38f, 1e-10f, -3e-11f,
                                 0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), quillo::kTinyThreshold,
                                 -quillo::kTinyThreshold, 0.5f, -0.75f, 3.0e5f};
    Noise rng(5u);
    for (int i = 0; i < 4000; ++i) {
        const uint32_t bits = rng.next();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(v);
    }
    const size_t n = values.size() - 1;
    std::vector<float> ring(quillo::kChannels * n + 1);
    for (bool sse2 : {false, true}) {
        SCOPED_TRACE(variantName(sse2));
        const auto admit = sse2 || !LimiterEngine::avxUsable() ? quillo::admitFramesSse2 : quillo::admitFramesAvx;
        for (float gain : {gainTableAt(0), gainTableAt(400), gainTableAt(quillo::kLastGainIndex), 1.0f}) {
            for (size_t frames : {n, n - 1, n - 3, n - 7, size_t{5}}) {
                const float sentinel = 42.0f;
                ring[quillo::kChannels * frames] = sentinel;
                admit(values.data(), values.data() + 1, ring.data(), static_cast<int32_t>(frames), gain);
                for (size_t f = 0; f < frames; ++f) {
                    for (int32_t ch = 0; ch < quillo::kChannels; ++ch) {
                        const float x = values[f + static_cast<size_t>(ch)];
                        ASSERT_EQ(bitsOf(ring[quillo::kChannels * f + ch]), bitsOf(quillo::admitInput(x, gain)))
                            << x << " * " << gain << " frame " << f;
                    }
                }
                ASSERT_EQ(ring[quillo::kChannels * frames], sentinel) << "written past the last frame";
            }
        }
    }
}

// Knee, Iq, link and routing changing from block to block: each block runs
// with its own parameters on the vector path as on the generic path.
TEST(VectorPathRouting, ParametersChangingBetweenBlocks) {
    const Stereo in = program(20000, 53u);
    const float knees[] = {89.0f, 89.0f, 127.0f, 0.0f, 40.0f};
    Routing single;
    single.rightActive = 0;
    single.writeRight = false;
    single.copyMode = kCopyLeftToRight;
    single.singleChannel = true;
    for (bool sse2 : {false, true}) {
        SCOPED_TRACE(variantName(sse2));
        LimiterEngine fast;
        LimiterEngine generic;
        fast.useSse2ForTesting(sse2);
        generic.useGenericPathForTesting(true);
        ASSERT_TRUE(fast.reset(256, timingForRate(44100.0f)));
        ASSERT_TRUE(generic.reset(256, timingForRate(44100.0f)));
        Stereo a(in.size());
        Stereo b(in.size());
        int32_t blockIndex = 0;
        for (size_t pos = 0; pos < in.size(); pos += 256, ++blockIndex) {
            BlockParameters p = defaults(gainTableAt(740));
            p.knee = knees[blockIndex % 5];
            p.iq = (blockIndex / 2) % 2;
            const bool mono = blockIndex % 7 == 3;
            p.link = !mono && blockIndex % 3 != 1;
            const int32_t n = static_cast<int32_t>(std::min<size_t>(256, in.size() - pos));
            float* ins[2] = {const_cast<float*>(in.left.data() + pos), const_cast<float*>(in.right.data() + pos)};
            float* outsA[2] = {a.left.data() + pos, a.right.data() + pos};
            float* outsB[2] = {b.left.data() + pos, b.right.data() + pos};
            fast.process(ins, outsA, n, p, mono ? single : Routing(), false);
            generic.process(ins, outsB, n, p, mono ? single : Routing(), false);
        }
        expectSameBits(a, b);
        expectSameMeters(fast, generic);
    }
}

// Switching between the paths from block to block (as a timing change by
// another instance would) carries every state across exactly.
TEST(VectorPathRouting, SwitchingPathsBetweenBlocks) {
    const Stereo in = program(20000, 77u);
    BlockParameters p;
    p.inputGain = gainTableAt(700);
    p.knee = 95.0f;
    p.iq = 1;
    LimiterEngine mixed;
    LimiterEngine generic;
    generic.useGenericPathForTesting(true);
    ASSERT_TRUE(mixed.reset(300, timingForRate(44100.0f)));
    ASSERT_TRUE(generic.reset(300, timingForRate(44100.0f)));
    Stereo out(in.size());
    Stereo expected(in.size());
    int32_t blockIndex = 0;
    for (size_t pos = 0; pos < in.size(); pos += 300, ++blockIndex) {
        mixed.useGenericPathForTesting(blockIndex % 3 == 1);
        p.link = blockIndex % 5 != 2;
        const int32_t n = static_cast<int32_t>(std::min<size_t>(300, in.size() - pos));
        float* ins[2] = {const_cast<float*>(in.left.data() + pos), const_cast<float*>(in.right.data() + pos)};
        float* outs[2] = {out.left.data() + pos, out.right.data() + pos};
        mixed.process(ins, outs, n, p, Routing(), false);
        float* expectedOuts[2] = {expected.left.data() + pos, expected.right.data() + pos};
        generic.process(ins, expectedOuts, n, p, Routing(), false);
    }
    expectSameBits(out, expected);
}

}  // namespace

