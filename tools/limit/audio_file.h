// Audio files through libsndfile, as float samples in [-1, 1] full scale.
// Integer PCM is converted here, symmetrically (full scale is 2^(bits-1) both
// ways) and with clipping on the way out, so a sample survives a read and a
// write unchanged and a full-scale float never wraps around.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/limit/decoder_messages.h"

namespace limit_tool {

struct AudioFormat {
    int32_t format = 0;  // libsndfile major format, subtype and byte order
    int32_t channels = 0;
    int32_t sampleRate = 0;
    // The length the header states, which may be missing, an estimate or
    // wrong: a guess for sizing only, never the length of the audio.
    int64_t frames = 0;
    bool lengthStated() const { return frames > 0 && frames != SF_COUNT_MAX; }
};

class AudioReader {
public:
    // Throws ToolError naming the problem: missing, unreadable, not audio.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    const AudioFormat& format() const { return info; }
    // Reads up to `frames` interleaved frames; returns how many, 0 at the end.
    // Throws ToolError when the file cannot be read or decoded any further:
    // damage is never taken for the end of the file.
    int64_t read(float* interleaved, int64_t frames);
    // The frames read so far.
    int64_t framesRead() const { return framesSoFar; }

private:
    [[noreturn]] void failAfterRead(const std::string& reason) const;

    std::string path;
    DecoderMessages decoderMessages;
    SNDFILE* file = nullptr;
    AudioFormat info;
    int32_t pcmBits = 0;
    int64_t framesSoFar = 0;
    std::vector<int32_t> scratch;
};

class AudioWriter {
public:
    // Takes ownership of an open descriptor of an empty file.
    AudioWriter(int descriptor, const AudioFormat& format, const std::string& nameForMessages);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    void write(const float* interleaved, int64_t frames);
    // Completes the file; throws ToolError when it could not be finished.
    void close();

private:
    std::string name;
    SNDFILE* file = nullptr;
    int32_t channels;
    int32_t pcmBits = 0;
    std::vector<int32_t> scratch;
};

// The format of the output: the input's, unless the output's extension names
// another container (then the nearest sample type it holds) or 32-bit float is
// asked for. Throws ToolError when that format cannot be written.
int32_t chooseOutputFormat(const AudioFormat& input, const std::string& outputPath,
                           bool floatSamples);
// A short human description, such as "WAV, 24-bit PCM".
std::string describeFormat(int32_t format);
// Bits of an integer PCM sample type, 0 for every other type.
int32_t pcmBitsOf(int32_t format);
// True for sample types that hold exactly the samples written (integer PCM,
// float, and the lossless codecs), false for lossy codecs.
bool keepsSamples(int32_t format);
// Rounds samples to the grid of `bits`-bit integers as AudioWriter writes
// them (clipped at full scale), so that they are the file's own.
void snapToPcmGrid(float* samples, int64_t count, int32_t bits);

}  // namespace limit_tool
