// The audio the tool writes: aligned with the input, scaled by exactly the
// table gain where nothing is limited, under the ceiling where everything is,
// and in the input's format, rate, channel count and length.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/parameters.h"
#include "tool_fixture.h"

namespace tool_test {
namespace {

constexpr int64_t kShortFrames = 20000;
constexpr double kQuietPeak = 0.5;     // never reaches the ceiling at 0 dB
constexpr double kHotPeak = 4.0;       // about +12 dBFS
constexpr double kSpike = 8.0;
constexpr int64_t kSpikeEvery = 997;
constexpr double kPcm24Scale = 8388608.0;  // 2^23
constexpr int32_t kPcm24Shift = 256;       // 24-bit samples left-justified in 32
constexpr double kSquareLevel = 0.9;
constexpr int64_t kSquarePeriod = 100;

constexpr std::size_t kValueColumns = 4;  // value, unit, value, unit
constexpr std::size_t kOutputValue = 2;
constexpr double kHotPeakFloorDb = 6.0;
constexpr double kCeilingReachedDb = -0.5;

// The words after a label on its summary line.
std::vector<std::string> summaryValues(const std::string& summary, const std::string& label) {
    const std::size_t at = summary.find(label);
    if (at == std::string::npos) return {};
    std::istringstream line(summary.substr(at + label.size(), summary.find('\n', at) - at - label.size()));
    std::vector<std::string> words;
    for (std::string word; line >> word;) words.push_back(word);
    return words;
}

float gainFor(const std::string& decibels) {
    return tableGain(*gainStepFromDecibels(std::strtod(decibels.c_str(), nullptr)));
}

// A quiet signal at a gain where the limiter never acts comes out as exactly
// input times the table gain, frame for frame, whatever the block size.
TEST_F(ToolTest, UnlimitedOutputIsTheInputTimesTheTableGainAligned) {
    Audio input;
    input.samples = testSignal(kStereo, kShortFrames, kRate44k, kQuietPeak);
    writeAudio(path("in.wav"), input);
    for (const auto& [gain, block] : std::vector<std::pair<std::string, std::string>>{
             {"0", "512"}, {"-6.0", "100"}, {"+1.5", "1"}, {"-40", "65536"}}) {
        SCOPED_TRACE("gain " + gain + " block " + block);
        const RunResult run = runTool({"--quiet", "--gain", gain, "--block", block,
                                       path("in.wav"), path("out.wav")});
        ASSERT_EQ(run.status, 0) << run.err;
        const Audio output = readAudio(path("out.wav"));
        ASSERT_EQ(output.frames(), input.frames());
        const float g = gainFor(gain);
        for (std::size_t i = 0; i < input.samples.size(); ++i) {
            ASSERT_EQ(output.samples[i], input.samples[i] * g) << "sample " << i;
        }
    }
}

// With the delay kept the same samples arrive one look-ahead later, after that
// many silent frames, and the file is that much longer; the delay follows the rate.
TEST_F(ToolTest, KeptLatencyDelaysByTheLookAheadOfTheRate) {
    for (const auto& [rate, latency] : std::vector<std::pair<int32_t, int32_t>>{
             {kRate44k, kLatency44k}, {kRate48k, kLatency48k}}) {
        SCOPED_TRACE(rate);
        Audio input;
        input.rate = rate;
        input.samples = testSignal(kStereo, kShortFrames, rate, kQuietPeak);
        writeAudio(path("in.wav"), input);
        const RunResult run =
            runTool({"--quiet", "--keep-latency", path("in.wav"), path("out.wav")});
        ASSERT_EQ(run.status, 0) << run.err;
        const Audio output = readAudio(path("out.wav"));
        ASSERT_EQ(output.frames(), input.frames() + latency);
        const std::size_t offset = static_cast<std::size_t>(latency) * kStereo;
        for (std::size_t i = 0; i < offset; ++i) ASSERT_EQ(output.samples[i], 0.0f);
        const float g = gainFor("0");
        for (std::size_t i = 0; i < input.samples.size(); ++i) {
            ASSERT_EQ(output.samples[i + offset], input.samples[i] * g) << "sample " << i;
        }
    }
}

// A mono file is fed as one buffer on both inputs and written mono from the
// channel the plug-in writes; on a stereo file a forced channel is limited and
// the other one comes out silent.
TEST_F(ToolTest, ChannelModesOnMonoAndStereoFiles) {
    Audio mono;
    mono.channels = kMono;
    mono.samples = testSignal(kMono, kShortFrames, kRate44k, kQuietPeak);
    writeAudio(path("mono.wav"), mono);
    Audio stereo;
    stereo.samples = testSignal(kStereo, kShortFrames, kRate44k, kQuietPeak);
    writeAudio(path("stereo.wav"), stereo);
    const float g = gainFor("0");
    for (const std::string mode : {"auto", "stereo", "left", "right"}) {
        SCOPED_TRACE(mode);
        RunResult run = runTool({"--quiet", "--channels", mode, path("mono.wav"), path("m.wav")});
        ASSERT_EQ(run.status, 0) << run.err;
        const Audio monoOut = readAudio(path("m.wav"));
        ASSERT_EQ(monoOut.channels, kMono);
        ASSERT_EQ(monoOut.frames(), mono.frames());
        for (std::size_t i = 0; i < mono.samples.size(); ++i) {
            ASSERT_EQ(monoOut.samples[i], mono.samples[i] * g) << "sample " << i;
        }
        run = runTool({"--quiet", "--channels", mode, path("stereo.wav"), path("s.wav")});
        ASSERT_EQ(run.status, 0) << run.err;
        const Audio stereoOut = readAudio(path("s.wav"));
        ASSERT_EQ(stereoOut.channels, kStereo);
        for (std::size_t i = 0; i < stereo.samples.size(); ++i) {
            const bool left = i % kStereo == 0;
            const bool silent = (mode == "left" && !left) || (mode == "right" && left);
            ASSERT_EQ(stereoOut.samples[i], silent ? 0.0f : stereo.samples[i] * g) << i;
        }
    }
}

// Format, rate, channels and length survive; integer samples are converted
// symmetrically, so the expected 24-bit output is computable exactly.
TEST_F(ToolTest, Pcm24At48kStays24BitAt48kWithExactSamples) {
    Audio input;
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    input.rate = kRate48k;
    for (const float sample : testSignal(kStereo, kShortFrames, kRate48k, kQuietPeak)) {
        input.pcm.push_back(static_cast<int32_t>(std::lround(sample * kPcm24Scale)) * kPcm24Shift);
    }
    writeAudio(path("in.wav"), input);
    const RunResult run = runTool({"--quiet", "--gain", "-3.0", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio output = readAudio(path("out.wav"));
    EXPECT_EQ(output.format, input.format);
    EXPECT_EQ(output.rate, kRate48k);
    EXPECT_EQ(output.channels, kStereo);
    ASSERT_EQ(output.frames(), input.frames());
    const float g = gainFor("-3.0");
    for (std::size_t i = 0; i < input.pcm.size(); ++i) {
        const float in = static_cast<float>(input.pcm[i] / kPcm24Shift / kPcm24Scale);
        const double expected = std::nearbyint(static_cast<double>(in * g) * kPcm24Scale);
        ASSERT_EQ(output.pcm[i] / kPcm24Shift, expected) << "sample " << i;
    }
}

// The output's extension may ask for another container; --float asks for
// float samples; the rest keeps the input's format.
TEST_F(ToolTest, OutputFormatFollowsTheInputUnlessAskedOtherwise) {
    Audio input;
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    input.channels = kMono;
    for (const float sample : testSignal(kMono, kShortFrames, kRate44k, kQuietPeak)) {
        input.pcm.push_back(static_cast<int32_t>(std::lround(sample * kPcm24Scale)) * kPcm24Shift);
    }
    writeAudio(path("in.wav"), input);
    const struct {
        std::string name;
        bool floatSamples;
        int32_t format;
    } cases[] = {
        {"same.wav", false, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"noext", false, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"other.flac", false, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"other.aiff", false, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"float.wav", true, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        std::vector<std::string> arguments = {"--quiet", path("in.wav"), path(expected.name)};
        if (expected.floatSamples) arguments.insert(arguments.begin(), "--float");
        const RunResult run = runTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const Audio output = readAudio(path(expected.name));
        EXPECT_EQ(output.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), expected.format);
        EXPECT_EQ(output.channels, kMono);
        EXPECT_EQ(output.rate, kRate44k);
        EXPECT_EQ(output.frames(), input.frames());
    }
}

// Hot material well above full scale with every combination of the shaping
// switches: no output sample exceeds 1.0.
TEST_F(ToolTest, CeilingHoldsOnHotInput) {
    Audio input;
    input.samples = testSignal(kStereo, kShortFrames, kRate44k, kHotPeak);
    for (std::size_t i = 0; i < input.samples.size(); i += kSpikeEvery) {
        input.samples[i] = static_cast<float>(i % (kStereo * kStereo) == 0 ? kSpike : -kSpike);
    }
    writeAudio(path("in.wav"), input);
    const std::vector<std::vector<std::string>> settings = {
        {"--gain", "+10"}, {"--knee", "0"}, {"--knee", "100", "--iq"}, {"--no-link", "--iq"},
        {"--channels", "left", "--gain", "+40.1"}};
    for (const auto& extra : settings) {
        std::vector<std::string> arguments = {"--quiet"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.insert(arguments.end(), {path("in.wav"), path("out.wav")});
        const RunResult run = runTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const Audio output = readAudio(path("out.wav"));
        ASSERT_EQ(output.frames(), input.frames());
        for (std::size_t i = 0; i < output.samples.size(); ++i) {
            ASSERT_LE(std::fabs(output.samples[i]), 1.0f) << extra[0] << " sample " << i;
        }
    }
}

// Full scale in 32-bit integer PCM: a positive sample at the ceiling must not
// wrap around to negative full scale on the way into the file.
TEST_F(ToolTest, FullScaleIntegerOutputKeepsItsSign) {
    Audio input;
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_32;
    input.channels = kMono;
    for (int64_t frame = 0; frame < kShortFrames; ++frame) {
        const double level = (frame / (kSquarePeriod / kStereo)) % kStereo == 0 ? kSquareLevel
                                                                               : -kSquareLevel;
        input.pcm.push_back(static_cast<int32_t>(level * kPcm24Scale) * kPcm24Shift);
    }
    writeAudio(path("in.wav"), input);
    const RunResult run = runTool({"--quiet", "--gain", "+20", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio output = readAudio(path("out.wav"));
    ASSERT_EQ(output.pcm.size(), input.pcm.size());
    for (std::size_t i = 0; i < input.pcm.size(); ++i) {
        if (output.pcm[i] != 0) {
            ASSERT_EQ(output.pcm[i] > 0, input.pcm[i] > 0) << "sample " << i;
        }
    }
}

// How the file is cut into blocks changes nothing, also while limiting hard
// and across the flush of the look-ahead at the end.
TEST_F(ToolTest, BlockSizeDoesNotChangeTheResult) {
    Audio input;
    input.samples = testSignal(kStereo, kShortFrames, kRate44k, kHotPeak);
    writeAudio(path("in.wav"), input);
    // The samples, not the file bytes: the float header carries a time stamp.
    std::vector<float> reference;
    for (const std::string block : {"512", "1", "37", "65536"}) {
        const RunResult run =
            runTool({"--quiet", "--block", block, "--keep-latency", path("in.wav"), path("out.wav")});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<float> samples = readAudio(path("out.wav")).samples;
        ASSERT_FALSE(samples.empty());
        if (reference.empty()) reference = samples;
        EXPECT_EQ(std::memcmp(samples.data(), reference.data(), samples.size() * sizeof(float)), 0)
            << "block " << block;
        EXPECT_EQ(samples.size(), reference.size());
    }
}

// The summary states the levels it measured: a quiet sine is not reduced at
// all; hot material is, and its output peak sits at the ceiling.
TEST_F(ToolTest, SummaryReportsPeaksAndReduction) {
    Audio quiet;
    quiet.channels = kMono;
    quiet.samples = testSignal(kMono, kShortFrames, kRate44k, kQuietPeak);
    writeAudio(path("quiet.wav"), quiet);
    RunResult run = runTool({path("quiet.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("deepest +0.00 dB, under reduction 0.0 %"), std::string::npos) << run.out;
    const std::string delay = "look-ahead " + std::to_string(kLatency44k) + " frames, compensated";
    EXPECT_NE(run.out.find(delay), std::string::npos) << run.out;

    Audio hot;
    hot.samples = testSignal(kStereo, kShortFrames, kRate44k, kHotPeak);
    writeAudio(path("hot.wav"), hot);
    run = runTool({path("hot.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("deepest +0.00 dB"), std::string::npos) << run.out;
    const std::vector<std::string> peaks = summaryValues(run.out, "sample peak");
    ASSERT_EQ(peaks.size(), kValueColumns) << run.out;
    EXPECT_GT(std::stod(peaks[0]), kHotPeakFloorDb);
    EXPECT_LE(std::stod(peaks[kOutputValue]), 0.0);
    EXPECT_GT(std::stod(peaks[kOutputValue]), kCeilingReachedDb);
    EXPECT_TRUE(run.err.empty()) << run.err;
}

}  // namespace
}  // namespace tool_test
