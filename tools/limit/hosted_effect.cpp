#include "tools/limit/hosted_effect.h"

#include <algorithm>
#include <string>

#include "tools/limit/tool_error.h"

namespace limit_tool {

HostedEffect::HostedEffect(float sampleRate, int32_t blockSize, const std::array<float, kParameterCount>& parameters)
    : maxFrames(blockSize) {
    if (!audio.valid()) throw ToolError("the limiter plug-in could not be created");
    if (!audio.configure(sampleRate, blockSize))
        throw ToolError("the limiter cannot run at " + std::to_string(static_cast<int64_t>(sampleRate)) + " Hz");
    // Parameters go in before the effect is switched on so that the very first
    // block, and the channel choice made at the start, already follow them.
    for (int32_t index = 0; index < kParameterCount; ++index) audio.change(static_cast<uint32_t>(index), parameters[index]);
    if (!audio.activate()) throw ToolError("the limiter cannot run at " + std::to_string(static_cast<int64_t>(sampleRate)) + " Hz");
    // The delay follows the rate; read it once the effect runs at that rate.
    latencyFrames = audio.latency();
}

// One buffer on both inputs stands for a mono track, as the host hands it.
void HostedEffect::process(float** inputs, float** outputs, int32_t frames) {
    const formats::BlockBuffers buffers{{inputs[0], inputs[1]}, {outputs[0], outputs[1]}, kEffectChannels};
    audio.process(&buffers, frames, nullptr);
}

namespace {

constexpr int32_t kLeft = 0;
constexpr int32_t kRight = 1;

}  // namespace

BlockRunner::BlockRunner(HostedEffect& effect, int32_t fileChannels, ChannelMode mode)
    : plugin(effect),
      channels(fileChannels),
      monoSource(mode == ChannelMode::Right ? kRight : kLeft) {
    const std::size_t frames = static_cast<std::size_t>(effect.blockSize());
    for (int32_t channel = 0; channel < kEffectChannels; ++channel) {
        inputBuffers[channel].assign(frames, 0.0f);
        outputBuffers[channel].assign(frames, 0.0f);
        inputs[channel] = inputBuffers[channel].data();
        outputs[channel] = outputBuffers[channel].data();
    }
    if (channels == 1) inputs[kRight] = inputs[kLeft];
}

void BlockRunner::run(const float* input, int32_t frames, float* output) {
    for (int32_t channel = 0; channel < channels; ++channel) {
        float* buffer = inputs[channel];
        for (int32_t frame = 0; frame < frames; ++frame) {
            buffer[frame] = input != nullptr ? input[frame * channels + channel] : 0.0f;
        }
    }
    for (auto& buffer : outputBuffers) std::fill(buffer.begin(), buffer.begin() + frames, 0.0f);
    plugin.process(inputs, outputs, frames);
    if (channels == 1) {
        std::copy(outputs[monoSource], outputs[monoSource] + frames, output);
        return;
    }
    for (int32_t frame = 0; frame < frames; ++frame) {
        for (int32_t channel = 0; channel < channels; ++channel) {
            output[frame * channels + channel] = outputs[channel][frame];
        }
    }
}

void FrameQueue::push(const float* frames, int64_t count) {
    // Drop what has been consumed before growing, so the queue stays as small
    // as the delay plus one block.
    if (start > 0) {
        samples.erase(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(start));
        start = 0;
    }
    samples.insert(samples.end(), frames, frames + count * width);
}

void FrameQueue::pop(int64_t count) {
    start = std::min(samples.size(), start + static_cast<std::size_t>(count * width));
}

}  // namespace limit_tool
