#include "dsp/stereo_link.h"

#include "dsp/gain_stages.h"

namespace quillo {

void resetStereoLink(StereoLinkState& state, float windowLength) {
    for (int32_t i = 0; i < kHistorySize; ++i) {
        state.history[i][0] = 1.0f;
        state.history[i][1] = 1.0f;
    }
    state.sumLeft = windowLength;
    state.sumRight = windowLength;
    state.position = 0;
}

namespace {

// 1 - (1 - min(1, ratio))^2, flushed below 2^-32.
float linkFactor(float ratio) {
    const float capped = ratio < 1.0f ? ratio : 1.0f;
    const float d = 1.0f - capped;
    const float f = 1.0f - d * d;
    return f < kTinyThreshold ? 0.0f : f;
}

}  // namespace

void linkChannelGains(StereoLinkState& state, float* left, float* right, int32_t stride,
                      int32_t start, int32_t n, int32_t ringLength, LinkLengths lengths) {
    int32_t p = start;
    for (int32_t i = 0; i < n; ++i) {
        float* l = left + p * stride;
        float* r = right + p * stride;
        float gL = *l;
        float gR = *r;
        if (gL < 0.000001f) *l = gL = 0.000001f;
        if (gR < 0.000001f) *r = gR = 0.000001f;
        const float fL = linkFactor(gR / gL);
        const float fR = linkFactor(gL / gR);
        if (++state.position >= lengths.window) state.position = 0;
        const int32_t h = state.position;
        state.sumLeft -= state.history[h][0];
        state.history[h][0] = fL;
        state.sumLeft += fL;
        state.sumRight -= state.history[h][1];
        state.history[h][1] = fR;
        state.sumRight += fR;
        state.sumLeft = clampSum(state.sumLeft, lengths.windowLength);
        state.sumRight = clampSum(state.sumRight, lengths.windowLength);
        const float aL = state.sumLeft / lengths.windowLength;
        const float aR = state.sumRight / lengths.windowLength;
        *l = (aL * aL) * gL;
        *r = (aR * aR) * gR;
        if (++p >= ringLength) p = 0;
    }
}

}  // namespace quillo
