// The built .so and the 32-bit and 64-bit DLLs give the same output bits for the
// same input: a fixed signal, rendered through the plug-in's record with a few
// settings, hashed; every build must reach the same hashes.
#include "support/black_box.h"
#include "support/render_material.h"

using namespace render_material;

TEST_F(BlackBox, RenderedBitsAreTheSameOnEveryBinary) {
    const std::vector<float> left = material(kFrames, kLeftSeed);
    const std::vector<float> right = material(kFrames, kRightSeed);
    for (const Setting& setting : kSettings) {
        auto effect = create();
        ASSERT_TRUE(effect);
        AEffect* record = effect->record();
        for (int32_t i = 0; i < 6; ++i) record->setParameter(record, i, setting.values[i]);
        effect->dispatch(effSetSampleRate, 0, 0, nullptr, setting.rate);
        effect->dispatch(effSetBlockSize, 0, setting.block);
        effect->dispatch(effMainsChanged, 0, 1);
        std::vector<float> out[2] = {std::vector<float>(kFrames, 0.0f), std::vector<float>(kFrames, 0.0f)};
        for (int32_t at = 0; at < kFrames; at += setting.block) {
            const int32_t n = std::min(setting.block, kFrames - at);
            float* in[2] = {const_cast<float*>(left.data()) + at, const_cast<float*>(right.data()) + at};
            float* o[2] = {out[0].data() + at, out[1].data() + at};
            record->processReplacing(record, in, o, n);
        }
        const uint64_t hash = hashOf(out[1], hashOf(out[0], kHashStart));
        EXPECT_EQ(hash, setting.hash) << std::hex << "0x" << hash << " at " << setting.rate;
    }
}
