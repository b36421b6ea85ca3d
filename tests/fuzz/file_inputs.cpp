// The audio-file target's inputs: a short file in each format the tool reads
// as seeds, and the damaged files that were once taken for good ones. Written
// with libsndfile at test time rather than kept as binaries.
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "audio_file_inputs.h"
#include "tests/support/damaged_audio.h"

namespace {

using fuzz::FileExtension;

constexpr int32_t kRate = 44100;
constexpr int32_t kOpusRate = 48000;
constexpr int32_t kStereo = 2;
constexpr int64_t kSeedFrames = 1000;
constexpr int64_t kDamagedFrames = 44100;
constexpr double kPeak = 0.5;
constexpr double kCycleFrames = 100.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr std::size_t kDamagedBytes = 64;
constexpr char kDamagePattern = 0x5a;
// The 36-bit total-samples field of a FLAC file's stream information sits in
// the 8 bytes from this offset, after the top 28 bits.
constexpr std::size_t kFlacLengthField = 18;
constexpr std::size_t kFlacLengthBytes = 8;
constexpr unsigned char kFlacLengthKeep[kFlacLengthBytes] = {0xff, 0xff, 0xff, 0xf0, 0, 0, 0, 0};

struct Seed {
    const char* name;
    FileExtension extension;
    int32_t format;
    int32_t rate;
};

constexpr Seed kSeeds[] = {
    {"wav-pcm16", fuzz::kWav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate},
    {"wav-float", fuzz::kWav, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate},
    {"aiff-pcm24", fuzz::kAiff, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, kRate},
    {"flac", fuzz::kFlac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate},
    {"ogg-vorbis", fuzz::kOgg, SF_FORMAT_OGG | SF_FORMAT_VORBIS, kRate},
    {"opus", fuzz::kOpus, SF_FORMAT_OGG | SF_FORMAT_OPUS, kOpusRate},
    {"mp3", fuzz::kMp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kRate},
    {"caf-alac", fuzz::kCaf, SF_FORMAT_CAF | SF_FORMAT_ALAC_16, kRate},
    {"au-ulaw", fuzz::kAu, SF_FORMAT_AU | SF_FORMAT_ULAW, kRate},
    {"w64-double", fuzz::kW64, SF_FORMAT_W64 | SF_FORMAT_DOUBLE, kRate},
    {"rf64-pcm32", fuzz::kRf64, SF_FORMAT_RF64 | SF_FORMAT_PCM_32, kRate},
};

std::string readAll(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// A stereo sine, the right channel an octave above the left.
std::vector<float> sine(int64_t frames) {
    std::vector<float> samples(static_cast<std::size_t>(frames * kStereo));
    for (int64_t n = 0; n < frames; ++n) {
        for (int32_t c = 0; c < kStereo; ++c) {
            samples[n * kStereo + c] = static_cast<float>(kPeak * std::sin(kTwoPi * n * (c + 1) / kCycleFrames));
        }
    }
    return samples;
}

// The bytes libsndfile writes for stereo samples in the given format.
std::string encoded(int32_t format, int32_t rate, const std::vector<float>& samples) {
    std::string name = (std::filesystem::temp_directory_path() / "quillo-fuzz-input-XXXXXX").string();
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) return {};
    close(descriptor);
    SF_INFO info{};
    info.format = format;
    info.channels = kStereo;
    info.samplerate = rate;
    SNDFILE* file = sf_open(name.c_str(), SFM_WRITE, &info);
    if (file != nullptr) {
        sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size() / kStereo));
        sf_close(file);
    }
    std::string bytes = readAll(name);
    std::filesystem::remove(name);
    return bytes;
}

// A float file of a sine with an infinite sample in the middle and NaN as the
// last: the true peak once stuck at NaN.
std::string nonFiniteSamples() {
    std::vector<float> samples = sine(kSeedFrames);
    samples[samples.size() / 2] = std::numeric_limits<float>::infinity();
    samples.back() = std::numeric_limits<float>::quiet_NaN();
    return encoded(SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, samples);
}

void save(const std::filesystem::path& file, FileExtension extension, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << static_cast<char>(extension) << bytes;
}


}  // namespace

void writeFileInputs(const std::filesystem::path& root) {
    const std::filesystem::path seeds = root / "files" / "seeds";
    const std::vector<float> tone = sine(kSeedFrames);
    for (const Seed& seed : kSeeds) save(seeds / seed.name, seed.extension, encoded(seed.format, seed.rate, tone));

    // Read errors and undecodable frames once passed for the end of the file,
    // and a length the header does not state for one of 2e14 seconds.
    const std::filesystem::path regressions = root / "files" / "regressions";
    const std::string flac = encoded(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, sine(kDamagedFrames));
    std::string corrupted = flac;
    for (std::size_t i = flac.size() / 2; i < flac.size() / 2 + kDamagedBytes; ++i) corrupted[i] ^= kDamagePattern;
    save(regressions / "flac-corrupted-in-the-middle", fuzz::kFlac, corrupted);
    save(regressions / "flac-cut-off", fuzz::kFlac, flac.substr(0, flac.size() / 2));
    std::string unstated = flac;
    for (std::size_t i = 0; i < kFlacLengthBytes; ++i) {
        unstated[kFlacLengthField + i] = static_cast<char>(unstated[kFlacLengthField + i] & kFlacLengthKeep[i]);
    }
    save(regressions / "flac-length-not-stated", fuzz::kFlac, unstated);
    save(regressions / "garbage-named-mp3", fuzz::kMp3, damaged_audio::mpegLikeGarbage());
    save(regressions / "float-samples-not-finite", fuzz::kWav, nonFiniteSamples());
}
