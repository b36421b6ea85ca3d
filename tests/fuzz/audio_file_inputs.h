// The extensions an input of the audio-file fuzz target can give its file,
// picked by the input's first byte; shared with the program that writes the
// seed and regression inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

constexpr const char* kFileExtensions[] = {"wav", "flac", "mp3", "ogg", "opus", "aiff",
                                           "caf", "au", "w64", "rf64", ""};
constexpr std::size_t kFileExtensionCount = sizeof kFileExtensions / sizeof kFileExtensions[0];

enum FileExtension : uint8_t { kWav, kFlac, kMp3, kOgg, kOpus, kAiff, kCaf, kAu, kW64, kRf64, kNoExtension };

}  // namespace fuzz
