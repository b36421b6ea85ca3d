#include "formats/shared/delivery.h"

#include <algorithm>
#include <cstring>

#include "plugin/parameters.h"

namespace formats {

bool Delivery::prepare(double rate, int32_t longestPiece) {
    if (!stage.prepare(static_cast<float>(rate), longestPiece)) return false;
    const auto frames = static_cast<size_t>(longestPiece);
    for (auto& channel : scaled) channel.assign(frames, 0.0f);
    for (auto& channel : direct) channel.assign(frames, 0.0f);
    silentRight.assign(frames, 0.0f);
    step = 1.0f / static_cast<float>(std::max(1.0, rate * kTruePeakFadeSeconds));
    reset();
    return true;
}

void Delivery::reset() {
    stage.reset();
    amount = truePeakWanted ? 1.0f : 0.0f;
    delivered = false;
}

void Delivery::setCeiling(float normalised) {
    ceilingValue = normalised;
    level = ceilingLevel(normalised);
    inverse = 1.0f / level;
}

// Hosts hand over a session's values with its first block: before anything has
// been delivered there is nothing to fade from, and a fade would let the
// effect's own peaks between samples through.
void Delivery::setTruePeak(bool on) {
    truePeakWanted = on;
    if (!delivered) amount = on ? 1.0f : 0.0f;
}

void Delivery::scaleInputs(float* const* inputs, float** effectInputs, int32_t frames) {
    for (int32_t c = 0; c < kEffectChannels; ++c) effectInputs[c] = inputs[c];
    if (level == 1.0f) return;
    for (int32_t c = 0; c < kEffectChannels; ++c) {
        if (c > 0 && inputs[c] == inputs[0]) {
            effectInputs[c] = effectInputs[0];
            continue;
        }
        float* to = scaled[static_cast<size_t>(c)].data();
        for (int32_t i = 0; i < frames; ++i) to[i] = inputs[c][i] * inverse;
        effectInputs[c] = to;
    }
}

void Delivery::deliver(float* const* outputs, int32_t frames) {
    const bool shared = outputs[0] == outputs[1];
    if (level != 1.0f) {
        for (int32_t c = 0; c < (shared ? 1 : kEffectChannels); ++c) {
            for (int32_t i = 0; i < frames; ++i) outputs[c][i] *= level;
        }
    }
    delivered = delivered || frames > 0;
    const bool wanted = truePeakWanted;
    if (!wanted && amount == 0.0f) return;
    // Each time it is switched on, the stage starts from silence.
    if (amount == 0.0f) stage.reset();
    float* right = outputs[1];
    if (shared) {
        right = silentRight.data();
        std::fill(right, right + frames, 0.0f);
    }
    const bool fading = !(wanted && amount == 1.0f);
    if (fading) {
        std::memcpy(direct[0].data(), outputs[0], static_cast<size_t>(frames) * sizeof(float));
        std::memcpy(direct[1].data(), right, static_cast<size_t>(frames) * sizeof(float));
    }
    stage.process(outputs[0], right, frames, level);
    if (fading) mix(outputs, frames);
}

// Both outputs keep to the ceiling, so does every mix of them; the bound
// catches the last rounding of the sum.
void Delivery::mix(float* const* outputs, int32_t frames) {
    const float target = truePeakWanted ? 1.0f : 0.0f;
    const float from = amount;
    const int32_t channels = outputs[0] == outputs[1] ? 1 : kEffectChannels;
    for (int32_t c = 0; c < channels; ++c) {
        float a = from;
        const float* before = direct[static_cast<size_t>(c)].data();
        for (int32_t i = 0; i < frames; ++i) {
            a = target > a ? std::min(target, a + step) : std::max(target, a - step);
            const float mixed = before[i] * (1.0f - a) + outputs[c][i] * a;
            outputs[c][i] = std::clamp(mixed, -level, level);
        }
        amount = a;
    }
}

}  // namespace formats
