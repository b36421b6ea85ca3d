#include "dsp/stereo_link.h"

#include "dsp/gain_stages.h"

namespace quillo {

void resetStereoLink(StereoLinkState& state, float windowLength) {
    for (auto& entry : state.history) {
        for (float& factor : entry) factor = 1.0f;
    }
    for (float& sum : state.sum) sum = windowLength;
    state.position = 0;
}

float linkFactor(float ratio) {
    const float capped = ratio < 1.0f ? ratio : 1.0f;
    const float d = 1.0f - capped;
    const float f = 1.0f - d * d;
    return f < kTinyThreshold ? 0.0f : f;
}

void linkChannelGains(StereoLinkState& state, float* gains, int32_t start, int32_t n, int32_t ringLength,
                      LinkLengths lengths) {
    int32_t p = start;
    for (int32_t i = 0; i < n; ++i) {
        float* ring = gains + kChannels * p;
        float g[kChannels];
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            g[ch] = ring[ch];
            if (g[ch] < kLinkFloor) ring[ch] = g[ch] = kLinkFloor;
        }
        if (++state.position >= lengths.window) state.position = 0;
        float* entry = state.history[state.position];
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const float f = linkFactor(g[kChannels - 1 - ch] / g[ch]);
            float& sum = state.sum[ch];
            sum -= entry[ch];
            entry[ch] = f;
            sum += f;
            sum = clampSum(sum, lengths.windowLength);
            const float a = sum / lengths.windowLength;
            ring[ch] = (a * a) * g[ch];
        }
        if (++p >= ringLength) p = 0;
    }
}

}  // namespace quillo
