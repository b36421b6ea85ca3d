// The same input gives the same output bits on every build (native x86-64, and
// the 32-bit and 64-bit Windows builds under Wine): a fixed loud signal,
// rendered through a few settings, hashed. The signal is made from integer
// arithmetic only.
#include <gtest/gtest.h>

#include "dsp/gain_table.h"
#include "test_signals.h"

using namespace quillo_test;

namespace {

struct Golden {
    float rate;
    float knee;
    int32_t iq;
    bool link;
    int32_t gainIndex;
    int32_t block;
    uint64_t hash;
};

enum class Path { automatic, sse2, generic };

uint64_t renderHash(const Golden& g, Path path) {
    LimiterEngine e;
    e.useGenericPathForTesting(path == Path::generic);
    e.useSse2ForTesting(path == Path::sse2);
    EXPECT_TRUE(e.reset(g.block, timingForRate(g.rate)));
    BlockParameters p;
    p.inputGain = gainTableAt(g.gainIndex);
    p.knee = g.knee;
    p.iq = g.iq;
    p.link = g.link;
    const Stereo out = render(e, program(48000, 2024u), g.block, p);
    return fnv(out.right, fnv(out.left));
}

const Golden kGolden[] = {
    {44100.0f, 89.0f, 0, true, 400, 512, 0x7dbf69474e0129b1ull},
    {44100.0f, 127.0f, 1, true, 801, 64, 0xb7d8432cbc91737bull},
    {48000.0f, 60.0f, 1, false, 700, 500, 0x2d14f7038caf7703ull},
    {96000.0f, 20.0f, 0, true, 760, 1024, 0xdf6f8e07e876e422ull},
};

TEST(Golden, RenderedBitsAreTheSameOnEveryBuild) {
    for (const Golden& g : kGolden) {
        const uint64_t fast = renderHash(g, Path::automatic);
        EXPECT_EQ(fast, g.hash) << std::hex << "0x" << fast << " for rate " << g.rate << " knee " << g.knee;
        EXPECT_EQ(renderHash(g, Path::sse2), g.hash);
        EXPECT_EQ(renderHash(g, Path::generic), g.hash);
    }
}

}  // namespace
