// The plug-in run in this process for files: the effect through the audio
// side every plug-in format shares, set up once for the file's rate, and the
// file's frames handed to it in the buffer layout a host uses.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/shared/audio_side.h"
#include "tools/limit/limiter_settings.h"

namespace limit_tool {

class HostedEffect {
public:
    // Creates the effect, sets rate, block size and parameters and switches it
    // on. Throws ToolError when the plug-in cannot be created or is not usable.
    HostedEffect(float sampleRate, int32_t blockSize, const std::array<float, kParameterCount>& parameters);
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    // The look-ahead delay the plug-in reports for the rate it runs at.
    int32_t latency() const { return latencyFrames; }
    int32_t blockSize() const { return maxFrames; }
    // One block of at most blockSize() frames; inputs and outputs hold two
    // buffer pointers each.
    void process(float** inputs, float** outputs, int32_t frames);

private:
    formats::AudioSide audio;
    int32_t maxFrames;
    int32_t latencyFrames = 0;
};

// Hands interleaved file frames to the hosted plug-in block by block in the
// buffer layout a host uses, and collects what the plug-in writes.
class BlockRunner {
public:
    // A mono file goes in as one buffer on both inputs, as a host feeds a mono
    // track; its output is the channel the plug-in writes.
    BlockRunner(HostedEffect& effect, int32_t fileChannels, ChannelMode mode);

    // Runs at most effect.blockSize() frames. `input` null means silence.
    // Outputs the plug-in leaves unwritten come out silent.
    void run(const float* input, int32_t frames, float* output);

private:
    HostedEffect& plugin;
    int32_t channels;
    int32_t monoSource;
    std::vector<float> inputBuffers[kEffectChannels];
    std::vector<float> outputBuffers[kEffectChannels];
    float* inputs[kEffectChannels];
    float* outputs[kEffectChannels];
};

// Input frames waiting for the output frames they line up with, which arrive
// the look-ahead delay later.
class FrameQueue {
public:
    explicit FrameQueue(int32_t channels) : width(channels) {}
    void push(const float* frames, int64_t count);
    const float* front() const { return samples.data() + start; }
    int64_t size() const { return static_cast<int64_t>(samples.size() - start) / width; }
    void pop(int64_t count);

private:
    int32_t width;
    std::vector<float> samples;
    std::size_t start = 0;
};

}  // namespace limit_tool
