// The built .so and the 32-bit and 64-bit DLLs give the same output bits for the
// same input: a fixed signal, rendered through the plug-in's record with a few
// settings, hashed; every build must reach the same hashes.
#include <cstring>
#include <vector>

#include "support/black_box.h"

namespace {

struct Setting {
    float rate;
    int32_t block;
    float values[6];
    uint64_t hash;
};

// FNV-1a over the bytes of the samples.
uint64_t hashOf(const std::vector<float>& samples, uint64_t hash) {
    for (float s : samples) {
        uint32_t bits;
        std::memcpy(&bits, &s, sizeof bits);
        for (int byte = 0; byte < 4; ++byte) {
            hash ^= (bits >> (8 * byte)) & 0xFFu;
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

// Loud, irregular material from integer arithmetic only: noise bursts over a
// low tone, well above full scale.
std::vector<float> material(int32_t frames, uint32_t seed) {
    std::vector<float> samples(frames);
    for (int32_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(seed >> 9) - (1 << 22)) / (1 << 22);
        const float burst = (i / 2000) % 3 == 0 ? 3.0f : 0.4f;
        const float tone = static_cast<float>((i % 200) - 100) / 50.0f;
        samples[i] = burst * noise + tone;
    }
    return samples;
}

const Setting kSettings[] = {
    {44100.0f, 512, {0.5f, 89.0f / 127.0f, 0.0f, 1.0f, 1.0f, 0.0f}, 0x6e90633549e68760ull},
    {48000.0f, 100, {0.9f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}, 0x292856736d7d93f2ull},
    {96000.0f, 1024, {0.7f, 0.2f, 1.0f, 1.0f, 0.0f, 0.5f}, 0xacf59db36afa0201ull},
};

}  // namespace

TEST_F(BlackBox, RenderedBitsAreTheSameOnEveryBinary) {
    const int32_t frames = 20000;
    const std::vector<float> left = material(frames, 11u);
    const std::vector<float> right = material(frames, 29u);
    for (const Setting& setting : kSettings) {
        auto effect = create();
        ASSERT_TRUE(effect);
        AEffect* record = effect->record();
        for (int32_t i = 0; i < 6; ++i) record->setParameter(record, i, setting.values[i]);
        effect->dispatch(effSetSampleRate, 0, 0, nullptr, setting.rate);
        effect->dispatch(effSetBlockSize, 0, setting.block);
        effect->dispatch(effMainsChanged, 0, 1);
        std::vector<float> out[2] = {std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
        for (int32_t at = 0; at < frames; at += setting.block) {
            const int32_t n = std::min(setting.block, frames - at);
            float* in[2] = {const_cast<float*>(left.data()) + at, const_cast<float*>(right.data()) + at};
            float* o[2] = {out[0].data() + at, out[1].data() + at};
            record->processReplacing(record, in, o, n);
        }
        const uint64_t hash = hashOf(out[1], hashOf(out[0], 0xcbf29ce484222325ull));
        EXPECT_EQ(hash, setting.hash) << std::hex << "0x" << hash << " at " << setting.rate;
    }
}
