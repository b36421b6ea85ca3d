// Bytes that look like audio to a decoder but are none, shared by the tool's
// tests and the fuzz inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace damaged_audio {

constexpr char kMpegSync[] = "\xff\xfb\x90\x64";  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz
constexpr std::size_t kMpegFrameBytes = 417;
constexpr int kGarbageFrames = 5;
constexpr uint32_t kLcgMultiplier = 1664525u;
constexpr uint32_t kLcgIncrement = 1013904223u;
constexpr int kTopByteShift = 24;

// Frame headers an MPEG decoder syncs to, each followed by bytes that are no
// valid frame.
inline std::string mpegLikeGarbage() {
    std::string bytes;
    uint32_t noise = 1u;
    for (int frame = 0; frame < kGarbageFrames; ++frame) {
        bytes += std::string(kMpegSync, sizeof kMpegSync - 1);
        while (bytes.size() % kMpegFrameBytes != 0) {
            noise = noise * kLcgMultiplier + kLcgIncrement;
            bytes += static_cast<char>(noise >> kTopByteShift);
        }
    }
    return bytes;
}

}  // namespace damaged_audio
