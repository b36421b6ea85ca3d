// The stereo link (Part 3.2): couples two gain rings so that the channel with
// less reduction follows the one with more, smoothed over W samples.
#pragma once

#include <cstdint>

namespace quillo {

constexpr int32_t kHistorySize = 512;

struct StereoLinkState {
    float sumLeft;
    float sumRight;
    int32_t position;
    // The last W link factors: history[i][0] left, history[i][1] right (the
    // text's historyLeft and historyRight, side by side for the vector path).
    float history[kHistorySize][2];
};

// Link reset (Part 3.2 step 3): histories 1.0, sums windowLength, position 0.
void resetStereoLink(StereoLinkState& state, float windowLength);

// The lengths the link runs with: W = trunc(windowLength), at most
// kHistorySize - 10 (the caller guarantees it).
struct LinkLengths {
    int32_t window;      // W
    float windowLength;  // the float divisor and clamp bound
};

// linkChannelGains(state, left, right, start, n): the gain of position P is
// left[P * stride] and right[P * stride]; positions wrap at ringLength.
void linkChannelGains(StereoLinkState& state, float* left, float* right, int32_t stride,
                      int32_t start, int32_t n, int32_t ringLength, LinkLengths lengths);

}  // namespace quillo
