#include "tools/limit/hosted_effect.h"

#include <algorithm>
#include <string>

#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr intptr_t kPinConnected = 0;
constexpr intptr_t kNothingOffered = 0;
constexpr intptr_t kMainsOn = 1;
constexpr intptr_t kMainsOff = 0;

}  // namespace

intptr_t answerPlugin(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return kHostVersion;
        case audioMasterPinConnected: return kPinConnected;
        default: return kNothingOffered;
    }
}

HostedEffect::HostedEffect(EffectEntry entry, float sampleRate, int32_t blockSize,
                           const std::array<float, kParamCount>& parameters)
    : maxFrames(blockSize) {
    effect = entry(answerPlugin);
    if (effect == nullptr) throw ToolError("the limiter plug-in could not be created");
    if (effect->magic != kEffectMagic || effect->processReplacing == nullptr ||
        effect->setParameter == nullptr || effect->numParams < kParamCount ||
        effect->numInputs < kEffectChannels || effect->numOutputs < kEffectChannels) {
        dispatch(effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
        throw ToolError("the limiter plug-in does not offer what this tool needs");
    }
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    // Parameters go in before the resume so that the very first block, and the
    // channel choice made at resume, already follow them.
    for (int32_t index = 0; index < kParamCount; ++index) {
        effect->setParameter(effect, index, parameters[index]);
    }
    dispatch(effMainsChanged, 0, kMainsOn, nullptr, 0.0f);
    // The delay follows the rate; read it once the effect runs at that rate.
    latencyFrames = effect->initialDelay;
    if (latencyFrames < 0) {
        dispatch(effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
        throw ToolError("the limiter reports a negative delay of " +
                        std::to_string(latencyFrames) + " frames");
    }
}

HostedEffect::~HostedEffect() {
    if (effect == nullptr) return;
    dispatch(effMainsChanged, 0, kMainsOff, nullptr, 0.0f);
    dispatch(effClose, 0, 0, nullptr, 0.0f);
}

void HostedEffect::process(float** inputs, float** outputs, int32_t frames) {
    effect->processReplacing(effect, inputs, outputs, frames);
}

intptr_t HostedEffect::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
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
