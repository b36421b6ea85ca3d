// The audio thread and the user-interface thread share parameter, gain, routing
// and meter values without locks. Run under ThreadSanitizer this shows every
// shared value is declared as one; in any build it checks the ceiling holds
// while the other thread edits.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "editor/limiter_editor.h"
#include "plugin/limiter_effect.h"
#include "support/recording_host.h"

namespace {

constexpr int32_t kBlock = 256;
constexpr int32_t kBlocks = 400;

class NullTarget : public BlitTarget {
public:
    bool beginFrame() override { return true; }
    void blit(SkinBitmap, int32_t, int32_t, int32_t, int32_t, SkinBitmap, int32_t, int32_t, RasterOp) override {}
    void endFrame() override {}
};

intptr_t quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? RecordingHost::kHostVersion : 0;
}

}  // namespace

TEST(Concurrency, EditingWhileAudioRunsKeepsTheCeiling) {
    LimiterPlugin effect(quietHost);
    effect.dispatch(effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect.dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
    std::atomic<bool> done{false};
    std::atomic<float> loudest{0.0f};

    std::thread audio([&] {
        std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
        std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
        uint32_t seed = 1;
        float peak = 0.0f;
        for (int32_t b = 0; b < kBlocks; ++b) {
            for (auto& channel : in) {
                for (float& s : channel) {
                    seed = seed * 1664525u + 1013904223u;
                    s = 4.0f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
                }
            }
            float* inputs[2] = {in[0].data(), in[1].data()};
            float* outputs[2] = {out[0].data(), out[1].data()};
            if (b % 2 == 0) effect.processReplace(inputs, outputs, kBlock);
            else effect.processAccumulate(inputs, outputs, kBlock);
            for (auto& channel : out)
                for (float s : channel) peak = std::max(peak, std::fabs(s) / (b % 2 == 0 ? 1.0f : 2.0f));
            effect.setParameterValue(kInGain, 0.5f + 0.001f * static_cast<float>(b % 100));
        }
        loudest = peak;
        done = true;
    });

    NullTarget target;
    effect.limiterEditor->isOpen = 1;  // draw frames as an open window would, without one
    int32_t step = 0;
    while (!done) {
        effect.setParameterValue(kKnee, static_cast<float>(step % 128) / 127.0f);
        effect.setParameterValue(kStereoLink, static_cast<float>(step % 2));
        if (step % 50 == 0) effect.dispatch(effSetProgram, 0, step % 10, nullptr, 0.0f);
        effect.limiterEditor->onTimerTick(target);
        effect.getParameterValue(kForceChannels);
        ++step;
    }
    audio.join();
    effect.limiterEditor->isOpen = 0;
    EXPECT_LE(loudest.load(), 1.0f);
}
