#include "tool_fixture.h"

#include <ebur128.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace tool_test {

namespace {

constexpr char kOutLog[] = ".run-stdout";
constexpr char kErrLog[] = ".run-stderr";
constexpr double kTwoPi = 6.283185307179586;
constexpr double kBaseHz = 441.0;
constexpr double kNoiseShare = 0.1;
constexpr uint32_t kNoiseSeed = 12345u;
constexpr uint32_t kLcgMultiplier = 1664525u;
constexpr uint32_t kLcgIncrement = 1013904223u;
constexpr double kLcgScale = 2.0 / 4294967296.0;

std::string shellQuoted(const std::string& text) {
    std::string quotedText = "'";
    for (const char c : text) quotedText += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quotedText + "'";
}

}  // namespace

int64_t Audio::frames() const {
    const std::size_t count = std::max(samples.size(), pcm.size());
    return static_cast<int64_t>(count) / channels;
}

void ToolTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillo-limit-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory = pattern;
}

void ToolTest::TearDown() { std::filesystem::remove_all(directory); }

RunResult ToolTest::runTool(const std::vector<std::string>& arguments) const {
    std::string command = shellQuoted(QUILLO_LIMIT_TOOL);
    for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
    command += " >" + shellQuoted(path(kOutLog)) + " 2>" + shellQuoted(path(kErrLog)) + " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readBytes(path(kOutLog));
    result.err = readBytes(path(kErrLog));
    std::filesystem::remove(path(kOutLog));
    std::filesystem::remove(path(kErrLog));
    return result;
}

std::vector<std::string> ToolTest::listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name != kOutLog && name != kErrLog) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void writeAudio(const std::string& path, const Audio& audio) {
    SF_INFO info{};
    info.format = audio.format;
    info.channels = audio.channels;
    info.samplerate = audio.rate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    if (audio.pcm.empty()) {
        sf_writef_float(file, audio.samples.data(), audio.frames());
    } else {
        sf_writef_int(file, audio.pcm.data(), audio.frames());
    }
    sf_close(file);
}

Audio readAudio(const std::string& path) {
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot read " << path;
        return audio;
    }
    audio.format = info.format;
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    const std::size_t count = static_cast<std::size_t>(info.frames * info.channels);
    const int32_t subtype = info.format & SF_FORMAT_SUBMASK;
    if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
        audio.samples.resize(count);
        sf_readf_float(file, audio.samples.data(), info.frames);
    } else {
        audio.pcm.resize(count);
        sf_readf_int(file, audio.pcm.data(), info.frames);
    }
    sf_close(file);
    return audio;
}

std::string readBytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string flacFile(int32_t channels, int32_t rate) {
    constexpr double kPeak = 0.5;
    constexpr double kPcm16Scale = 32767.0;
    constexpr int32_t kLeftJustify = 1 << 16;
    Audio audio;
    audio.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    audio.channels = channels;
    audio.rate = rate;
    for (const float sample : testSignal(channels, rate, rate, kPeak)) {
        audio.pcm.push_back(static_cast<int32_t>(std::lround(sample * kPcm16Scale)) * kLeftJustify);
    }
    const std::string scratch = (std::filesystem::temp_directory_path() / "quillo-flac-XXXXXX").string();
    std::string name = scratch;
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) return {};
    close(descriptor);
    writeAudio(name, audio);
    const std::string bytes = readBytes(name);
    std::filesystem::remove(name);
    return bytes;
}

std::vector<float> testSignal(int32_t channels, int64_t frames, int32_t rate, double peak) {
    std::vector<float> samples(static_cast<std::size_t>(frames * channels));
    uint32_t noise = kNoiseSeed;
    for (int64_t frame = 0; frame < frames; ++frame) {
        for (int32_t channel = 0; channel < channels; ++channel) {
            noise = noise * kLcgMultiplier + kLcgIncrement;
            const double hz = kBaseHz * (channel + 1);
            const double tone = std::sin(kTwoPi * hz * frame / rate);
            const double grain = noise * kLcgScale - 1;
            samples[frame * channels + channel] =
                static_cast<float>(peak * ((1 - kNoiseShare) * tone + kNoiseShare * grain));
        }
    }
    return samples;
}

namespace {

constexpr double kQuarterRatePhase = 0.7853981633974483;  // 45 degrees
constexpr double kSquareHz = 997.0;
constexpr double kSquareDrive = 8.0;
constexpr double kBeatHz = 2.0;
constexpr double kKickHz = 50.0;
constexpr double kKickDecay = 12.0;
constexpr double kNoiseSmoothing = 0.35;  // one-pole low-pass: less hiss, more body
constexpr double kNoiseShareDense = 0.7;
constexpr int64_t kReadChunk = 4096;

}  // namespace

std::vector<float> interSamplePeaks(Material material, int64_t frames, int32_t rate, double peak) {
    std::vector<float> samples(static_cast<std::size_t>(frames * kStereo));
    uint32_t noise = kNoiseSeed;
    double smooth[kStereo] = {0.0, 0.0};
    for (int64_t frame = 0; frame < frames; ++frame) {
        const double t = static_cast<double>(frame) / rate;
        for (int32_t channel = 0; channel < kStereo; ++channel) {
            double value = 0.0;
            if (material == Material::QuarterRateSine) {
                value = std::sin(kTwoPi * frame / 4.0 + kQuarterRatePhase);
            } else if (material == Material::ClippedSquare) {
                value = std::max(-1.0, std::min(1.0, kSquareDrive * std::sin(kTwoPi * kSquareHz * t)));
            } else {
                noise = noise * kLcgMultiplier + kLcgIncrement;
                smooth[channel] += kNoiseSmoothing * (noise * kLcgScale - 1 - smooth[channel]);
                const double beat = std::fmod(t * kBeatHz, 1.0);
                const double kick = std::exp(-beat * kKickDecay) * std::sin(kTwoPi * kKickHz * t);
                value = kNoiseShareDense * 2 * smooth[channel] + (1 - kNoiseShareDense) * kick;
            }
            samples[frame * kStereo + channel] = static_cast<float>(peak * value);
        }
    }
    return samples;
}

std::string materialName(Material material) {
    switch (material) {
        case Material::QuarterRateSine: return "quarter-rate sine";
        case Material::ClippedSquare: return "clipped square";
        default: return "dense noise";
    }
}

namespace {

// libebur128's state after a whole file; null when the file cannot be read.
ebur128_state* measuredState(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot read " << path;
        return nullptr;
    }
    ebur128_state* state = ebur128_init(static_cast<unsigned>(info.channels),
                                        static_cast<unsigned long>(info.samplerate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    std::vector<float> chunk(static_cast<std::size_t>(kReadChunk * info.channels));
    for (sf_count_t got; (got = sf_readf_float(file, chunk.data(), kReadChunk)) > 0;) {
        ebur128_add_frames_float(state, chunk.data(), static_cast<std::size_t>(got));
    }
    sf_close(file);
    return state;
}

}  // namespace

LibraryFigures libraryFigures(const std::string& path) {
    ebur128_state* state = measuredState(path);
    LibraryFigures figures{-std::numeric_limits<double>::infinity(), 0.0};
    if (state == nullptr) return figures;
    for (unsigned channel = 0; channel < state->channels; ++channel) {
        double value = 0.0;
        ebur128_true_peak(state, channel, &value);
        figures.truePeakDb = std::max(figures.truePeakDb, 20.0 * std::log10(value));
    }
    ebur128_loudness_global(state, &figures.loudness);
    ebur128_destroy(&state);
    return figures;
}

double libraryLoudness(const std::vector<std::string>& paths) {
    std::vector<ebur128_state*> states;
    for (const std::string& path : paths) states.push_back(measuredState(path));
    double loudness = 0.0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &loudness);
    for (ebur128_state*& state : states) ebur128_destroy(&state);
    return loudness;
}

}  // namespace tool_test
