// The formats' bypass: the input delayed by the effect's latency, so that
// switching does not shift the track against the others, reached through a
// short crossfade with the effect's output, so that switching does not click.
// The effect keeps running while bypassed: when the bypass ends, its output is
// the one it would have had all along, and after the fade every sample is
// again the effect's own. Nothing of the input is kept while the bypass is
// off: a request first collects one latency of input, then the fade begins.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "plugin/limiter_model.h"

namespace formats {

// The crossfade's length.
constexpr double kBypassFadeSeconds = 0.01;

class BypassFade {
public:
    // Outside the audio thread: room for the longest delay and for the
    // longest piece, the delay at `latency`.
    void prepare(int32_t latency, int32_t longestLatency, int32_t longestPiece, double rate);
    // The delay of a latency that changed (up to the longest prepared), from
    // any piece on: the history kept covers it.
    void setDelay(int32_t latency) { delay = std::clamp(latency, 0, kept); }
    // The given state without a fade (a bypass that starts on has silence
    // for its first latency, as the effect has).
    void reset(bool bypassed);
    // The state to fade to, from any piece on.
    void request(bool bypassed) { wanted = bypassed; }

    // One piece of at most the prepared length, in two steps around the
    // effect: its input taken before the effect may overwrite it (the host may
    // hand one buffer for both), then the delayed input mixed into the effect's
    // output as far as the fade has come. `channels` is 1 where one buffer
    // serves both of the effect's inputs and both of its outputs.
    void take(const float* const* inputs, int32_t frames, int32_t channels);
    void mixInto(float* const* outputs, int32_t frames, int32_t channels);

private:
    float mix(int32_t channel, float* output, int32_t frames, float from) const;
    void keepHistory(int32_t frames, int32_t channels);

    int32_t delay = 0;
    int32_t kept = 0;  // input samples the history holds: the longest delay
    float step = 1.0f;
    float amount = 0.0f;    // of the delayed input: 0 is the effect's output alone, 1 the bypass
    int32_t collected = 0;  // input samples seen since the bypass was first wanted, up to `kept`
    bool wanted = false;
    bool mixing = false;    // the piece taken is mixed
    // Per channel: the last `kept` input samples before the piece (the last
    // `collected` of them are known), and a copy of the piece's input.
    std::array<std::vector<float>, kEffectChannels> history;
    std::array<std::vector<float>, kEffectChannels> dry;
};

}  // namespace formats
