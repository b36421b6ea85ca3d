// Helpers for running quillo-limit on files a test writes: a scratch directory,
// audio files with known samples, and the tool's exit status and messages.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tool_test {

constexpr int32_t kRate44k = 44100;
constexpr int32_t kRate48k = 48000;
constexpr int32_t kStereo = 2;
constexpr int32_t kMono = 1;
constexpr int32_t kLatency44k = 40;
constexpr int32_t kLatency48k = 43;

struct Audio {
    int32_t format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    int32_t rate = kRate44k;
    int32_t channels = kStereo;
    std::vector<float> samples;   // interleaved; float files
    std::vector<int32_t> pcm;     // interleaved, left-justified; integer files
    int64_t frames() const;
};

struct RunResult {
    int status = 0;
    std::string out;
    std::string err;
};

// A fresh directory per test, removed afterwards.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& name) const { return directory + "/" + name; }
    RunResult runTool(const std::vector<std::string>& arguments) const;
    // Names in the scratch directory, sorted; the run's own logs excluded.
    std::vector<std::string> listing() const;

    std::string directory;
};

void writeAudio(const std::string& path, const Audio& audio);
// Reads floats from float files and left-justified integers from PCM files.
Audio readAudio(const std::string& path);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
// The bytes of a one-second 16-bit FLAC file of the test signal.
std::string flacFile(int32_t channels, int32_t rate);

// Test signals, interleaved: a sine per channel at different frequencies with
// a little deterministic noise, peaking near `peak`.
std::vector<float> testSignal(int32_t channels, int64_t frames, int32_t rate, double peak);

// Material made to peak between its samples, stereo, peaking near `peak`: a
// sine at a quarter of the rate at 45 degrees (samples 3 dB under its peak),
// a sine clipped into a square, and dense noise with a beat, like loud music.
enum class Material { QuarterRateSine, ClippedSquare, DenseNoise };
std::vector<float> interSamplePeaks(Material material, int64_t frames, int32_t rate, double peak);
std::string materialName(Material material);

// A file's figures as libebur128 measures them (dBTP, LUFS).
struct LibraryFigures {
    double truePeakDb;
    double loudness;
};
LibraryFigures libraryFigures(const std::string& path);
// The integrated loudness of several files taken together (an album).
double libraryLoudness(const std::vector<std::string>& paths);

}  // namespace tool_test
