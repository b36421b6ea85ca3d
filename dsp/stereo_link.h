// The stereo link: couples the two channels of a gain ring so that the channel
// with less reduction follows the one with more, smoothed over W samples.
#pragma once

#include <cstdint>

#include "dsp/limiter_constants.h"

namespace quillo {

struct StereoLinkState {
    float sum[kChannels];  // running sum of each channel's history
    int32_t position;      // the last written history entry
    // The last W link factors, [entry][channel]: both channels of an entry side
    // by side, as the vector path reads them.
    float history[kHistorySize][kChannels];
};

// Every history entry 1.0 (no coupling), each sum windowLength, position 0.
void resetStereoLink(StereoLinkState& state, float windowLength);

// The lengths the link runs with: W = trunc(windowLength), at most
// kHistorySize - kHistorySpare (the caller guarantees it).
struct LinkLengths {
    int32_t window;      // W
    float windowLength;  // the float divisor and clamp bound
};

// The link factor of a channel whose gain is ratio times the other's:
// 1 - (1 - min(1, ratio))^2, flushed below the tiny threshold. The channel with
// the lower gain gets 1; the other a factor that shrinks as they move apart.
float linkFactor(float ratio);

// Couples the gains of ring positions start .. start + n - 1 (wrapping at
// ringLength); gains holds position P's channel ch at [kChannels * P + ch].
void linkChannelGains(StereoLinkState& state, float* gains, int32_t start, int32_t n, int32_t ringLength,
                      LinkLengths lengths);

}  // namespace quillo
