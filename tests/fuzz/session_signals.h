// The audio buffers of one processing call in the host-session fuzz target:
// four buffers laid out as a host may hand them over (separate, shared, in
// place, crossed), filled with the input's signals, and kept as they were
// before the call so that every sample can be compared afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "byte_stream.h"
#include "host_session.h"

namespace fuzz {

constexpr int32_t kMaxFrames = 4096;
constexpr int kBufferCount = 4;

// Frames of a call from the input's 16 bits: up to kMaxFrames, and -1 for the
// all-ones pattern.
int32_t blockFrames(uint16_t bits);

class Blocks {
public:
    Blocks();
    // Reads a signal per channel, lays the buffers out and fills them; outputs
    // that are not also inputs start at a value no call may write when
    // replacing, and at 0 when adding.
    void fill(ByteReader& in, int32_t frames, BufferLayout layout, bool accumulate);

    float inputBefore(int channel, int32_t frame) const { return before[inputOf[channel]][frame]; }
    float outputBefore(int channel, int32_t frame) const { return before[outputOf[channel]][frame]; }
    // Every buffer as it was, or as it was from `frames` on.
    void expectUntouched() const { expectUntouchedBeyond(0); }
    void expectUntouchedBeyond(int32_t frames) const;

    float* inputs[2] = {};
    float* outputs[2] = {};

private:
    std::array<std::vector<float>, kBufferCount> storage;
    std::array<std::vector<float>, kBufferCount> before;
    int inputOf[2] = {};
    int outputOf[2] = {};
    std::vector<float> signal[2];
};

}  // namespace fuzz
