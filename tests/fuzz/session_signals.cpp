#include "session_signals.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host_promises.h"

namespace fuzz {

namespace {

constexpr uint16_t kNegativeFrames = 0xffff;
constexpr float kUnwritable = 7.0f;  // above the ceiling: no replacing call writes it
constexpr float kTwoPi = 6.2831853f;
constexpr int32_t kShortestPeriod = 8;
constexpr int32_t kPeriodSpread = 200;
constexpr int32_t kClickSpread = 64;
constexpr int32_t kSpecialSpread = 16;
constexpr std::size_t kMaxRawSamples = 64;
constexpr uint32_t kLcgMultiplier = 1664525u;
constexpr uint32_t kLcgIncrement = 1013904223u;
constexpr float kLcgScale = 2.0f / 4294967296.0f;

constexpr float kSpecialSamples[] = {
    std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
    -std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(), -0.0f, 1e-40f, 1e30f,
};
constexpr std::size_t kSpecialCount = sizeof kSpecialSamples / sizeof kSpecialSamples[0];

struct Layout {
    int inputs[2];
    int outputs[2];
};

// Buffers 0 and 1 carry the input; 2 and 3 are outputs only.
constexpr Layout kLayouts[kLayoutCount] = {
    {{0, 1}, {2, 3}}, {{0, 0}, {2, 3}}, {{0, 1}, {2, 2}},
    {{0, 1}, {0, 1}}, {{0, 0}, {0, 0}}, {{0, 1}, {1, 0}},
};

void makeSignal(ByteReader& in, std::vector<float>& out, int32_t frames) {
    const auto kind = static_cast<SignalKind>(in.byte() % kSignalKindCount);
    const float amplitude = readFloat(in);
    const uint8_t seed = in.byte();
    std::vector<float> raw;
    if (kind == kRawSamples) {
        const std::size_t count = 1 + in.byte() % kMaxRawSamples;
        for (std::size_t i = 0; i < count; ++i) raw.push_back(in.f32());
    }
    uint32_t noise = seed;
    out.assign(static_cast<std::size_t>(frames), 0.0f);
    const int32_t period = kShortestPeriod + seed % kPeriodSpread;
    for (int32_t n = 0; n < frames; ++n) {
        noise = noise * kLcgMultiplier + kLcgIncrement;
        const float uniform = static_cast<float>(noise) * kLcgScale - 1.0f;
        float& sample = out[static_cast<std::size_t>(n)];
        switch (kind) {
            case kSine: sample = amplitude * std::sin(kTwoPi * static_cast<float>(n % period) / period); break;
            case kNoise: sample = amplitude * uniform; break;
            case kClicks: sample = n % (1 + seed % kClickSpread) == 0 ? (uniform < 0 ? -amplitude : amplitude) : 0.0f; break;
            case kSpecials:
                sample = n % (1 + seed % kSpecialSpread) == 0 ? kSpecialSamples[noise % kSpecialCount] : amplitude * uniform;
                break;
            case kRawSamples: sample = raw[static_cast<std::size_t>(n) % raw.size()]; break;
            default: break;
        }
    }
}

}  // namespace

int32_t blockFrames(uint16_t bits) { return bits == kNegativeFrames ? -1 : bits % (kMaxFrames + 1); }

Blocks::Blocks() {
    for (auto& buffer : storage) buffer.assign(kMaxFrames, 0.0f);
}

void Blocks::fill(ByteReader& in, int32_t frames, BufferLayout layout, bool accumulate) {
    for (auto& channel : signal) makeSignal(in, channel, frames);
    const Layout& chosen = kLayouts[layout];
    for (auto& buffer : storage) std::fill(buffer.begin(), buffer.end(), accumulate ? 0.0f : kUnwritable);
    for (int c = 0; c < 2; ++c) {
        inputOf[c] = chosen.inputs[c];
        outputOf[c] = chosen.outputs[c];
    }
    // With one buffer on both inputs it carries the left signal.
    for (int c = 1; c >= 0; --c) std::copy(signal[c].begin(), signal[c].end(), storage[inputOf[c]].begin());
    for (int c = 0; c < 2; ++c) {
        inputs[c] = storage[inputOf[c]].data();
        outputs[c] = storage[outputOf[c]].data();
    }
    before = storage;
}

void Blocks::expectUntouchedBeyond(int32_t frames) const {
    for (int b = 0; b < kBufferCount; ++b) {
        const std::size_t from = static_cast<std::size_t>(frames);
        const bool same = std::memcmp(storage[b].data() + from, before[b].data() + from,
                                      (storage[b].size() - from) * sizeof(float)) == 0;
        PROMISE(same, "buffer %d changed where no frame of the call lies (from frame %d)", b, frames);
    }
}

}  // namespace fuzz
