#include "formats/shared/bypass_fade.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace formats {

namespace {

// What the bypass passes on: the input, with non-finite samples as silence,
// as the effect takes them.
float clean(float sample) { return std::isfinite(sample) ? sample : 0.0f; }

}  // namespace

void BypassFade::prepare(int32_t latency, int32_t longestLatency, int32_t longestPiece, double rate) {
    kept = std::max({latency, longestLatency, 0});
    delay = std::max(latency, 0);
    const int32_t fadeFrames = std::max(1, static_cast<int32_t>(rate * kBypassFadeSeconds));
    step = 1.0f / static_cast<float>(fadeFrames);
    for (size_t c = 0; c < history.size(); ++c) {
        history[c].assign(static_cast<size_t>(kept), 0.0f);
        dry[c].assign(static_cast<size_t>(std::max(longestPiece, 0)), 0.0f);
    }
}

void BypassFade::reset(bool bypassed) {
    for (auto& channel : history) std::fill(channel.begin(), channel.end(), 0.0f);
    wanted = bypassed;
    amount = bypassed ? 1.0f : 0.0f;
    collected = bypassed ? kept : 0;
}

// Without a bypass in sight nothing is done: the effect's output goes out as it is.
void BypassFade::take(const float* const* inputs, int32_t frames, int32_t channels) {
    mixing = wanted || amount > 0.0f;
    if (!mixing) {
        collected = 0;
        return;
    }
    for (int32_t c = 0; c < channels; ++c) {
        std::transform(inputs[c], inputs[c] + frames, dry[static_cast<size_t>(c)].begin(), clean);
    }
}

void BypassFade::mixInto(float* const* outputs, int32_t frames, int32_t channels) {
    if (!mixing) return;
    const float from = amount;
    for (int32_t c = 0; c < channels; ++c) amount = mix(c, outputs[c], frames, from);
    keepHistory(frames, channels);
}

// The mix of one channel, stepping the fade frame by frame from `from` once
// the input one delay back is known; the ends of the fade are exact: the
// effect's own sample or the delayed input.
float BypassFade::mix(int32_t channel, float* output, int32_t frames, float from) const {
    const std::vector<float>& before = history[static_cast<size_t>(channel)];
    const std::vector<float>& now = dry[static_cast<size_t>(channel)];
    float a = from;
    for (int32_t i = 0; i < frames; ++i) {
        if (collected + i < delay) continue;
        a = wanted ? std::min(1.0f, a + step) : std::max(0.0f, a - step);
        const float delayed = i < delay ? before[static_cast<size_t>(kept - delay + i)] : now[static_cast<size_t>(i - delay)];
        if (a >= 1.0f) {
            output[i] = delayed;
        } else if (a > 0.0f) {
            output[i] = output[i] * (1.0f - a) + delayed * a;
        }
    }
    return a;
}

// The history holds the `kept` input samples before the next piece.
void BypassFade::keepHistory(int32_t frames, int32_t channels) {
    collected = std::min(kept, collected + frames);
    if (kept == 0) return;
    for (int32_t c = 0; c < channels; ++c) {
        float* held = history[static_cast<size_t>(c)].data();
        const float* input = dry[static_cast<size_t>(c)].data();
        if (frames >= kept) {
            std::memcpy(held, input + (frames - kept), static_cast<size_t>(kept) * sizeof(float));
        } else {
            std::memmove(held, held + frames, static_cast<size_t>(kept - frames) * sizeof(float));
            std::memcpy(held + (kept - frames), input, static_cast<size_t>(frames) * sizeof(float));
        }
    }
}

}  // namespace formats
