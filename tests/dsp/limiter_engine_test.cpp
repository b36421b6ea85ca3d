// The engine through its public interface, on both paths: facts, invariants,
// routing, buffers, meters, and input that is not a usable number.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/gain_table.h"
#include "test_signals.h"

using namespace quillo_test;

namespace {

class Engine : public ::testing::TestWithParam<bool> {  // parameter: generic path
protected:
    void prepare(LimiterEngine& e, int32_t block, float rate = 44100.0f) {
        e.useGenericPathForTesting(GetParam());
        ASSERT_TRUE(e.reset(block, timingForRate(rate)));
    }
};

void expectSameBits(const Stereo& a, const Stereo& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(bitsOf(a.left[i]), bitsOf(b.left[i])) << "left " << i;
        ASSERT_EQ(bitsOf(a.right[i]), bitsOf(b.right[i])) << "right " << i;
    }
}

Stereo sine(size_t n, float peak, double cycles) {
    Stereo s(n);
    for (size_t i = 0; i < n; ++i) {
        s.left[i] = peak * static_cast<float>(std::sin(6.283185307179586 * cycles * static_cast<double>(i)));
        s.right[i] = peak * static_cast<float>(std::cos(6.283185307179586 * cycles * 1.3 * static_cast<double>(i)));
    }
    return s;
}

TEST_P(Engine, SilenceStaysSilence) {
    LimiterEngine e;
    prepare(e, 256);
    const Stereo out = render(e, Stereo(5000), 256, defaults(gainTableAt(801)), Routing(), false, 7.0f);
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(bitsOf(out.left[i]), 0u);
        ASSERT_EQ(bitsOf(out.right[i]), 0u);
    }
    EXPECT_EQ(e.meterLeft.load(), 1.0f);
    EXPECT_EQ(e.meterRight.load(), 1.0f);
    EXPECT_EQ(e.kneeLamp.load(), 1.0f);
}

TEST_P(Engine, QuietSineIsDelayedAndScaledExactly) {
    struct Rate {
        float rate;
        int32_t latency;
    };
    for (const Rate rate : {Rate{44100.0f, 40}, Rate{48000.0f, 43}, Rate{96000.0f, 87}}) {
        LimiterEngine e;
        prepare(e, 512, rate.rate);
        EXPECT_EQ(e.latency(), rate.latency);
        Stereo in = sine(6000, 0.5f, 0.0123);
        in.left[100] = 1e-10f;  // flushed on the way in
        in.right[101] = -3e-11f;
        const float g = gainTableAt(400);
        EXPECT_EQ(g, 0.99999887f);
        const Stereo out = render(e, in, 512, defaults(g));
        for (size_t k = 0; k < out.size(); ++k) {
            const float l = k < static_cast<size_t>(rate.latency) ? 0.0f : quillo::flushTiny(in.left[k - rate.latency] * g);
            const float r = k < static_cast<size_t>(rate.latency) ? 0.0f : quillo::flushTiny(in.right[k - rate.latency] * g);
            ASSERT_EQ(bitsOf(out.left[k]), bitsOf(l)) << rate.rate << " " << k;
            ASSERT_EQ(bitsOf(out.right[k]), bitsOf(r)) << rate.rate << " " << k;
        }
        EXPECT_EQ(e.meterLeft.load(), 1.0f);
        EXPECT_EQ(e.kneeLamp.load(), 1.0f);
    }
}

TEST_P(Engine, LonePeakLeavesWithinTheCeilingAndTheGainFallsBeforeIt) {
    LimiterEngine e;
    prepare(e, 512);
    Stereo in(3000);
    for (size_t i = 0; i < in.size(); ++i) in.left[i] = in.right[i] = 0.25f;
    const size_t peak = 1500;
    in.left[peak] = 4.0f;
    BlockParameters p = defaults(1.0f);
    p.link = false;
    const Stereo out = render(e, in, 512, p);
    const size_t lat = static_cast<size_t>(e.latency());
    EXPECT_LE(std::fabs(out.left[peak + lat]), 1.0f);
    EXPECT_GT(out.left[peak + lat], 0.9f);
    // The gain (output over the delayed input) already falls over the samples
    // before the peak, through intermediate values, instead of stepping at it.
    int between = 0;
    for (size_t j = 1; j <= 40; ++j) {
        const float gain = out.left[peak + lat - j] / 0.25f;
        EXPECT_LE(gain, 1.0f);
        if (gain > 0.3f && gain < 0.99f) ++between;
    }
    EXPECT_GE(between, 5);
    EXPECT_LT(out.left[peak + lat - 1] / 0.25f, 0.3f);
    EXPECT_EQ(out.left[peak + lat - 60], 0.25f);
    EXPECT_EQ(out.right[peak + lat], 0.25f);  // the other channel is not linked
    EXPECT_LT(e.meterLeft.load(), 0.26f);
    EXPECT_EQ(e.meterRight.load(), 1.0f);
}

TEST_P(Engine, LoudNoiseNeverLeavesTheCeiling) {
    for (int setting = 0; setting < 4; ++setting) {
        LimiterEngine e;
        prepare(e, 512);
        BlockParameters p = defaults(gainTableAt(801));
        p.knee = setting == 0 ? 0.0f : 40.0f * static_cast<float>(setting);
        p.iq = setting & 1;
        p.link = setting < 2;
        const Stereo out = render(e, noise(40000, 1.0f, 99u + static_cast<uint32_t>(setting)), 512, p);
        float peak = 0.0f;
        for (size_t i = 0; i < out.size(); ++i) peak = std::max(peak, std::max(std::fabs(out.left[i]), std::fabs(out.right[i])));
        EXPECT_LE(peak, 1.0f);
        EXPECT_GT(peak, 0.5f);
    }
}

TEST_P(Engine, BlockSizeDoesNotMatter) {
    const Stereo in = program(20000, 5u);
    for (int setting = 0; setting < 3; ++setting) {
        BlockParameters p = defaults(gainTableAt(650));
        p.iq = setting == 1;
        p.link = setting != 2;
        LimiterEngine whole;
        prepare(whole, 512);
        const Stereo reference = render(whole, in, 512, p);
        for (int32_t block : {1, 7, 64, 333}) {
            LimiterEngine e;
            prepare(e, 512);
            expectSameBits(render(e, in, block, p), reference);
        }
    }
}

TEST_P(Engine, OversizeBlocksAreCutAsTheHostWould) {
    const Stereo in = program(9000, 11u);
    LimiterEngine cut;
    prepare(cut, 64);
    const Stereo reference = render(cut, in, 64, defaults(gainTableAt(700)));
    LimiterEngine big;
    prepare(big, 64);
    expectSameBits(render(big, in, 1000, defaults(gainTableAt(700))), reference);
}

TEST_P(Engine, AccumulateAddsReplaceOverwrites) {
    const Stereo in = program(4000, 3u);
    LimiterEngine a;
    prepare(a, 256);
    const Stereo replaced = render(a, in, 256, defaults(gainTableAt(600)), Routing(), false, 0.25f);
    LimiterEngine b;
    prepare(b, 256);
    const Stereo added = render(b, in, 256, defaults(gainTableAt(600)), Routing(), true, 0.25f);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(bitsOf(added.left[i]), bitsOf(0.25f + replaced.left[i]));
        ASSERT_EQ(bitsOf(added.right[i]), bitsOf(0.25f + replaced.right[i]));
    }
}

TEST_P(Engine, InPlaceProcessingGivesTheSameResult) {
    const Stereo in = program(5000, 21u);
    LimiterEngine a;
    prepare(a, 480);
    const Stereo reference = render(a, in, 480, defaults(gainTableAt(640)));
    LimiterEngine b;
    prepare(b, 480);
    Stereo buffers = in;
    for (size_t pos = 0; pos < in.size(); pos += 480) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(480, in.size() - pos));
        float* io[2] = {buffers.left.data() + pos, buffers.right.data() + pos};
        b.process(io, io, n, defaults(gainTableAt(640)), Routing(), false);
    }
    expectSameBits(buffers, reference);
    // Inputs crossed over to the other outputs.
    LimiterEngine c;
    prepare(c, 480);
    Stereo crossed = in;
    for (size_t pos = 0; pos < in.size(); pos += 480) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(480, in.size() - pos));
        float* ins[2] = {crossed.left.data() + pos, crossed.right.data() + pos};
        float* outs[2] = {crossed.right.data() + pos, crossed.left.data() + pos};
        c.process(ins, outs, n, defaults(gainTableAt(640)), Routing(), false);
    }
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(bitsOf(crossed.right[i]), bitsOf(reference.left[i]));
        ASSERT_EQ(bitsOf(crossed.left[i]), bitsOf(reference.right[i]));
    }
}

TEST_P(Engine, OneBufferForBothOutputs) {
    const Stereo in = program(3000, 8u);
    LimiterEngine a;
    prepare(a, 300);
    const Stereo separate = render(a, in, 300, defaults(gainTableAt(620)));
    for (bool accumulate : {false, true}) {
        LimiterEngine b;
        prepare(b, 300);
        std::vector<float> shared(in.size(), 0.5f);
        for (size_t pos = 0; pos < in.size(); pos += 300) {
            float* ins[2] = {const_cast<float*>(in.left.data() + pos), const_cast<float*>(in.right.data() + pos)};
            float* outs[2] = {shared.data() + pos, shared.data() + pos};
            b.process(ins, outs, 300, defaults(gainTableAt(620)), Routing(), accumulate);
        }
        for (size_t i = 0; i < in.size(); ++i) {
            // Left written first, then right.
            const float expected = accumulate ? (0.5f + separate.left[i]) + separate.right[i] : separate.right[i];
            ASSERT_EQ(bitsOf(shared[i]), bitsOf(expected)) << i;
        }
    }
}

TEST_P(Engine, ForcedLeftLeavesTheRightOutputAlone) {
    const Stereo in = program(3000, 4u);
    Routing left;
    left.rightActive = 0;
    left.copyMode = 1;
    left.writeRight = false;
    left.singleChannel = true;
    BlockParameters p = defaults(gainTableAt(700));
    p.link = false;
    for (bool accumulate : {false, true}) {
        LimiterEngine e;
        prepare(e, 512);
        const Stereo out = render(e, in, 512, p, left, accumulate, -3.0f);
        for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out.right[i], -3.0f);
        EXPECT_EQ(e.meterRight.load(), 1.0f);
        EXPECT_LT(e.meterLeft.load(), 1.0f);
    }
}

TEST_P(Engine, CopyModes) {
    const Stereo in = program(3000, 6u);
    BlockParameters p = defaults(gainTableAt(700));
    p.link = false;
    LimiterEngine plain;
    prepare(plain, 512);
    const Stereo reference = render(plain, in, 512, p);

    Routing copyLeft;  // left result also on the right
    copyLeft.copyMode = 1;
    LimiterEngine a;
    prepare(a, 512);
    const Stereo outA = render(a, in, 512, p, copyLeft);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(bitsOf(outA.left[i]), bitsOf(reference.left[i]));
        ASSERT_EQ(bitsOf(outA.right[i]), bitsOf(reference.left[i]));
    }
    Routing copyRight;
    copyRight.copyMode = 2;
    LimiterEngine b;
    prepare(b, 512);
    const Stereo outB = render(b, in, 512, p, copyRight);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(bitsOf(outB.left[i]), bitsOf(reference.right[i]));

    // The copy source's own output is not written: it is computed all the same,
    // so the copy is the current sample.
    Routing sourceUnwritten;
    sourceUnwritten.copyMode = 1;
    sourceUnwritten.writeLeft = false;
    LimiterEngine c;
    prepare(c, 512);
    const Stereo outC = render(c, in, 512, p, sourceUnwritten, false, 9.0f);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(outC.left[i], 9.0f);
        ASSERT_EQ(bitsOf(outC.right[i]), bitsOf(reference.left[i])) << i;
    }
    EXPECT_EQ(c.meterLeft.load(), 1.0f);  // an unwritten output does not lower its meter
}

TEST_P(Engine, MetersFollowTheWrittenOutputs) {
    LimiterEngine e;
    prepare(e, 512);
    Stereo in(4000);
    for (size_t i = 1000; i < 1100; ++i) in.left[i] = 4.0f;
    BlockParameters p = defaults(1.0f);
    p.link = false;
    render(e, in, 512, p);
    EXPECT_LE(e.meterLeft.load(), 0.25f);
    EXPECT_GT(e.meterLeft.load(), 0.0f);
    EXPECT_EQ(e.meterRight.load(), 1.0f);
    EXPECT_LT(e.kneeLamp.load(), 1.0f);
    const float lamp = e.kneeLamp.load();
    e.resetNeedles();
    EXPECT_EQ(e.meterLeft.load(), 1.0f);
    EXPECT_EQ(e.kneeLamp.load(), lamp);
    e.resetMeters();
    EXPECT_EQ(e.kneeLamp.load(), 1.0f);

    // The lamp takes only processed channels: a right-only burst with the right
    // channel not read leaves it alone.
    LimiterEngine f;
    prepare(f, 512);
    Stereo right(4000);
    for (size_t i = 1000; i < 1100; ++i) right.right[i] = 4.0f;
    Routing leftOnly;
    leftOnly.rightActive = 0;
    leftOnly.singleChannel = true;
    render(f, right, 512, p, leftOnly);
    EXPECT_EQ(f.kneeLamp.load(), 1.0f);
    EXPECT_EQ(f.meterRight.load(), 1.0f);

    // A block of 0 frames changes nothing.
    float* none[2] = {nullptr, nullptr};
    f.process(none, none, 0, p, Routing(), false);
    EXPECT_EQ(f.meterLeft.load(), 1.0f);
}

TEST_P(Engine, NotReadyLeavesBuffersUntouched) {
    LimiterEngine e;
    e.useGenericPathForTesting(GetParam());
    Stereo in = noise(64, 2.0f, 1u);
    Stereo out(64);
    std::fill(out.left.begin(), out.left.end(), 5.0f);
    float* ins[2] = {in.left.data(), in.right.data()};
    float* outs[2] = {out.left.data(), out.right.data()};
    e.process(ins, outs, 64, defaults(1.0f), Routing(), false);  // before any reset
    EXPECT_FALSE(e.ready());
    EXPECT_FALSE(e.reset(0, timingForRate(44100.0f)));
    EXPECT_FALSE(e.reset(-5, timingForRate(44100.0f)));
    e.process(ins, outs, 64, defaults(1.0f), Routing(), false);
    // W + 10 above 512, also where W itself is too large for an int32_t; and
    // segments shorter than one frame, whose ramps once reached behind the
    // read position and gave gains far outside [0, 1].
    for (float rate : {800000.0f, 3e12f, 1e20f, std::numeric_limits<float>::max(), 6300.0f, 4000.0f, 100.0f, 1.0f}) {
        EXPECT_FALSE(e.reset(64, timingForRate(rate))) << rate;
        e.process(ins, outs, 64, defaults(1.0f), Routing(), false);
    }
    for (float v : out.left) EXPECT_EQ(v, 5.0f);
    EXPECT_TRUE(e.reset(64, timingForRate(44100.0f)));
    EXPECT_TRUE(e.ready());
}

TEST_P(Engine, LowestRateThatFitsNeverRaisesTheSignal) {
    LimiterEngine e;
    prepare(e, 128, 6301.0f);  // S = 1, latency 5
    const Stereo in = noise(3000, 4.0f, 9u);
    const Stereo out = render(e, in, 128, defaults(1.0f));
    const size_t delay = static_cast<size_t>(e.latency());
    for (size_t i = delay; i < out.size(); ++i) {
        ASSERT_LE(std::fabs(out.left[i]), std::fabs(in.left[i - delay])) << i;
        ASSERT_LE(std::fabs(out.right[i]), std::fabs(in.right[i - delay])) << i;
    }
}

// Samples near the top of the float range among ordinary ones put ramp ends
// some 2^120 apart; the ramp's rounding once made gains below 0 there, and
// such samples came out at full scale with the other sign.
TEST_P(Engine, HugeSamplesNeverComeOutWithTheOtherSign) {
    constexpr float kHuge[] = {3.4e38f, -3.4e38f, 1e30f, -1e30f};
    constexpr uint32_t kHugeOneIn = 10;
    Noise rng(1u);
    Stereo in = noise(8192, 0.5f, 2u);
    for (std::vector<float>* channel : {&in.left, &in.right}) {
        for (float& x : *channel) {
            const uint32_t pick = rng.next();
            if (pick % kHugeOneIn == 0) x = kHuge[(pick / kHugeOneIn) % 4];
        }
    }
    BlockParameters p = defaults(1.0f);
    p.link = false;
    LimiterEngine e;
    prepare(e, 512);
    const Stereo out = render(e, in, 512, p);
    const size_t delay = static_cast<size_t>(e.latency());
    for (size_t i = delay; i < out.size(); ++i) {
        for (const auto& [o, x] : {std::pair{out.left[i], in.left[i - delay]}, std::pair{out.right[i], in.right[i - delay]}}) {
            ASSERT_TRUE(o == 0.0f || std::signbit(o) == std::signbit(x)) << i << " " << o << " " << x;
        }
    }
}

TEST_P(Engine, HighestRatesThatFit) {
    LimiterEngine e;
    prepare(e, 128, 680000.0f);  // W = 493
    const Stereo out = render(e, noise(3000, 20.0f, 5u), 128, defaults(1.0f));
    for (size_t i = 0; i < out.size(); ++i) ASSERT_LE(std::fabs(out.left[i]), 1.0f);
}

TEST_P(Engine, SecondResetStartsOver) {
    const Stereo in = program(6000, 13u);
    LimiterEngine a;
    prepare(a, 400);
    const Stereo first = render(a, in, 400, defaults(gainTableAt(700)));
    ASSERT_TRUE(a.reset(400, timingForRate(44100.0f)));
    expectSameBits(render(a, in, 400, defaults(gainTableAt(700))), first);
}

// Input that is not a usable number: NaN, either infinity, and finite samples
// that the full input gain carries past the float range.
const float kUnusable[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), 1e38f, -1e38f,
                           -std::numeric_limits<float>::quiet_NaN()};
constexpr size_t kUnusableKinds = sizeof kUnusable / sizeof kUnusable[0];

// Spoils a signal with unusable samples: a burst on both channels, then single
// samples at spacings that land in every lane of a register and in block
// tails. Returns the signal with zeros in their place.
Stereo spoil(Stereo& s, size_t from) {
    Stereo zeroed = s;
    auto put = [&](bool right, size_t at, size_t kind) {
        (right ? s.right : s.left)[at] = kUnusable[kind % kUnusableKinds];
        (right ? zeroed.right : zeroed.left)[at] = 0.0f;
    };
    for (size_t i = 0; i < 40; ++i) {
        put(false, from + i, i);
        put(true, from + i, i + 1);
    }
    for (size_t i = 0; i < 48; ++i) put(i % 3 == 0, from + 200 + 53 * i, i);
    return zeroed;
}

// Unusable samples count as silence: under heavy limiting the output is, bit
// for bit, that of the same signal with zeros there, within full scale, on the
// register-wide and the per-sample input paths (stereo and one channel) and
// for any block size.
TEST_P(Engine, UnusableInputCountsAsSilence) {
    Stereo spoiled = program(9000, 41u);
    const Stereo zeroed = spoil(spoiled, 2500);
    Routing leftOnly;
    leftOnly.rightActive = 0;
    leftOnly.copyMode = kCopyLeftToRight;
    leftOnly.singleChannel = true;
    for (const Routing& r : {Routing(), leftOnly}) {
        BlockParameters p = defaults(gainTableAt(quillo::kLastGainIndex));
        p.link = !r.singleChannel;
        for (int32_t block : {1, 7, 256}) {
            LimiterEngine a;
            prepare(a, 256);
            const Stereo out = render(a, spoiled, block, p, r);
            for (size_t i = 0; i < out.size(); ++i) {
                ASSERT_TRUE(std::fabs(out.left[i]) <= 1.0f) << "left " << i << " " << out.left[i];
                ASSERT_TRUE(std::fabs(out.right[i]) <= 1.0f) << "right " << i << " " << out.right[i];
            }
            LimiterEngine b;
            prepare(b, 256);
            expectSameBits(out, render(b, zeroed, block, p, r));
        }
    }
}

// Unusable samples inside a quiet signal leave every gain at unity: the signal
// around them passes exactly, delayed and scaled, and they leave as silence.
TEST_P(Engine, QuietSignalPassesExactlyAroundUnusableInput) {
    LimiterEngine e;
    prepare(e, 512);
    const float g = gainTableAt(quillo::kLastGainIndex);
    Stereo in = sine(8000, 0.009f, 0.0123);  // below full scale even at the full gain
    const Stereo zeroed = spoil(in, 1000);
    const Stereo out = render(e, in, 512, defaults(g));
    const size_t lat = static_cast<size_t>(e.latency());
    for (size_t k = lat; k < out.size(); ++k) {
        ASSERT_EQ(bitsOf(out.left[k]), bitsOf(quillo::flushTiny(zeroed.left[k - lat] * g))) << k;
        ASSERT_EQ(bitsOf(out.right[k]), bitsOf(quillo::flushTiny(zeroed.right[k - lat] * g))) << k;
    }
    EXPECT_EQ(e.meterLeft.load(), 1.0f);
    EXPECT_EQ(e.meterRight.load(), 1.0f);
    EXPECT_EQ(e.kneeLamp.load(), 1.0f);
}

// Knee far outside its range (only a host that bypasses the parameters can
// hand it over) once turned every output sample into NaN, silence included,
// and poisoned the follower until the next reset.
TEST_P(Engine, KneeFarOutOfRangeNeverGivesNonFiniteOutput) {
    struct Case {
        float knee;
        int32_t iq;
        float rate;
    };
    const Stereo in = program(6000, 23u);
    for (const Case c : {Case{-1e20f, 0, 44100.0f}, Case{1e20f, 1, 44100.0f}, Case{-3e38f, 1, 6301.0f}}) {
        LimiterEngine e;
        prepare(e, 256, c.rate);
        BlockParameters wild = defaults(gainTableAt(700));
        wild.knee = c.knee;
        wild.iq = c.iq;
        const Stereo loud = render(e, in, 256, wild);
        const Stereo quiet = render(e, Stereo(2000), 256, defaults(1.0f));
        for (const Stereo* out : {&loud, &quiet}) {
            for (size_t i = 0; i < out->size(); ++i) {
                ASSERT_TRUE(std::fabs(out->left[i]) <= 1.0f) << c.knee << " " << i;
                ASSERT_TRUE(std::fabs(out->right[i]) <= 1.0f) << c.knee << " " << i;
            }
        }
        EXPECT_EQ(quiet.left.back(), 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Engine, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Generic" : "Vector"; });

}  // namespace
