// Delivery runs keep their terms on the files they write, as libebur128 reads
// those files: the loudness within 0.1 LU of the target, the true peak at or
// under the ceiling on material made to peak between samples, every sample at
// or under the ceiling in every sample type; the true-peak stage holding it in
// the pass that writes, in time with the input; the limiter's own sound under
// a lower ceiling; batches and albums; and nothing written where a term fails.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <array>
#include <thread>

#include "dsp/true_peak_stage.h"
#include "tool_fixture.h"
#include "tools/limit/true_peak.h"

namespace tool_test {
namespace {

constexpr int64_t kFrames = 2 * kRate44k;
constexpr double kHot = 1.5;
constexpr double kLoudnessTolerance = 0.1;
constexpr double kPcm16FullScale = 32768.0;
constexpr int32_t kPcm16Shift = 1 << 16;
constexpr double kAlbumQuieterDb = 6.0;
// Silence around material, as music starts and ends: the meters that mirror
// a file's ends then read nothing there that the true-peak stage did not see.
constexpr int64_t kSilentEndFrames = kRate44k / 10;
constexpr double kPcm32FullScale = 2147483648.0;

double decibelsToLinear(double db) { return std::pow(10.0, db / 20.0); }

Audio asPcm16(const std::vector<float>& samples) {
    Audio audio;
    audio.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    for (const float sample : samples) {
        const double level = std::max(-kPcm16FullScale, std::min(kPcm16FullScale - 1, std::nearbyint(sample * kPcm16FullScale)));
        audio.pcm.push_back(static_cast<int32_t>(level) * kPcm16Shift);
    }
    return audio;
}

float highestSample(const Audio& audio) {
    float highest = 0.0f;
    for (const float s : audio.samples) highest = std::max(highest, std::fabs(s));
    for (const int32_t s : audio.pcm) highest = std::max(highest, static_cast<float>(std::fabs(s / 2147483648.0)));
    return highest;
}

std::vector<float> withSilentEnds(std::vector<float> samples) {
    const std::vector<float> silence(static_cast<std::size_t>(kSilentEndFrames * kStereo), 0.0f);
    samples.insert(samples.begin(), silence.begin(), silence.end());
    samples.insert(samples.end(), silence.begin(), silence.end());
    return samples;
}

// The tool's fine reading (the longer interpolation, the ends mirrored).
double fineTruePeakDb(const Audio& audio) {
    std::vector<float> samples = audio.samples;
    for (const int32_t s : audio.pcm) samples.push_back(static_cast<float>(s / kPcm32FullScale));
    limit_tool::TruePeakMeter meter(audio.channels, audio.rate, limit_tool::TruePeakFilter::Fine);
    meter.add(samples.data(), audio.frames());
    meter.finish();
    return 20.0 * std::log10(meter.peak());
}

// The output's loudness, true peak and samples on every kind of material, in
// 16-bit and float files, with and without a loudness target.
TEST_F(ToolTest, TruePeakCeilingAndTargetHoldOnInterSamplePeaks) {
    for (const Material material : {Material::QuarterRateSine, Material::ClippedSquare, Material::DenseNoise}) {
        const std::vector<float> samples = interSamplePeaks(material, kFrames, kRate44k, kHot);
        Audio floatFile;
        floatFile.samples = samples;
        writeAudio(path("in-float.wav"), floatFile);
        writeAudio(path("in-16.wav"), asPcm16(interSamplePeaks(material, kFrames, kRate44k, 1.0)));
        for (const auto& [input, ceiling, target] : std::vector<std::array<std::string, 3>>{
                 {"in-float.wav", "-1", "-14"}, {"in-float.wav", "-2.5", ""}, {"in-16.wav", "-1", "-9"}}) {
            SCOPED_TRACE(materialName(material) + ", " + input + ", ceiling " + ceiling + ", target " + target);
            std::vector<std::string> arguments = {"--quiet", "--true-peak", "--ceiling", ceiling};
            if (!target.empty()) arguments.insert(arguments.end(), {"--target", target});
            arguments.insert(arguments.end(), {path(input), path("out.wav")});
            const RunResult run = runTool(arguments);
            ASSERT_EQ(run.status, 0) << run.err;
            const LibraryFigures figures = libraryFigures(path("out.wav"));
            EXPECT_LE(figures.truePeakDb, std::stod(ceiling));
            EXPECT_LE(highestSample(readAudio(path("out.wav"))), decibelsToLinear(std::stod(ceiling)));
            if (!target.empty()) {
                EXPECT_NEAR(figures.loudness, std::stod(target), kLoudnessTolerance);
            }
        }
    }
}

// On material that starts and ends in silence the true-peak stage holds the
// true peak, by both meters, in the pass that writes the file: no pass lowers
// the ceiling, and the samples stay held at it (a quarter-rate sine's samples
// drop by the 3 dB between them and its peaks, nothing more).
TEST_F(ToolTest, TruePeakStageHoldsTheCeilingInThePassThatWrites) {
    for (const Material material : {Material::QuarterRateSine, Material::ClippedSquare, Material::DenseNoise}) {
        Audio floatFile;
        floatFile.samples = withSilentEnds(interSamplePeaks(material, kFrames, kRate44k, kHot));
        writeAudio(path("in-float.wav"), floatFile);
        writeAudio(path("in-16.wav"), asPcm16(withSilentEnds(interSamplePeaks(material, kFrames, kRate44k, 1.0))));
        for (const auto& [input, target, passes] : std::vector<std::array<std::string, 3>>{
                 {"in-float.wav", "", "1: 1 written"}, {"in-16.wav", "", "1: 1 written"},
                 {"in-float.wav", "-10", " gain search, 1 written"}}) {
            SCOPED_TRACE(materialName(material) + ", " + input + ", target " + target);
            std::vector<std::string> arguments = {"--true-peak", "--ceiling", "-1", path(input), path("out.wav")};
            if (!target.empty()) arguments.insert(arguments.end(), {"--target", target});
            const RunResult run = runTool(arguments);
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_NE(run.out.find("samples held at -1.00 dBFS\n  passes         "), std::string::npos) << run.out;
            EXPECT_NE(run.out.find(passes + "\n"), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find("ceiling lowered"), std::string::npos) << run.out;
            EXPECT_LE(libraryFigures(path("out.wav")).truePeakDb, -1.0);
            EXPECT_LE(fineTruePeakDb(readAudio(path("out.wav"))), -1.0);
        }
    }
}

// The stage's look-ahead is removed with the limiter's: where neither of them
// acts, the plain run's samples come out in time; --keep-latency keeps both.
TEST_F(ToolTest, TruePeakStageDelayIsRemovedOrKeptWithTheLimiters) {
    Audio input;
    input.samples = testSignal(kStereo, kFrames, kRate44k, 0.5);
    writeAudio(path("in.wav"), input);
    ASSERT_EQ(runTool({"--quiet", path("in.wav"), path("plain.wav")}).status, 0);
    const std::vector<float> plain = readAudio(path("plain.wav")).samples;
    const int32_t delay = kLatency44k + quillo::TruePeakStage::latencyFor(kRate44k);
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "removed");
        std::vector<std::string> arguments = {"--quiet", "--true-peak", path("in.wav"), path("out.wav")};
        if (keep) arguments.insert(arguments.begin(), "--keep-latency");
        ASSERT_EQ(runTool(arguments).status, 0);
        const std::vector<float> output = readAudio(path("out.wav")).samples;
        const std::size_t offset = keep ? static_cast<std::size_t>(delay) * kStereo : 0;
        ASSERT_EQ(output.size(), plain.size() + offset);
        EXPECT_EQ(std::vector<float>(output.begin(), output.begin() + offset), std::vector<float>(offset, 0.0f));
        EXPECT_EQ(std::vector<float>(output.begin() + offset, output.end()), plain);
    }
}

// A sample ceiling holds in every sample type, also after rounding to integers.
TEST_F(ToolTest, SampleCeilingHoldsInEverySampleType) {
    Audio input;
    input.samples = interSamplePeaks(Material::DenseNoise, kFrames, kRate44k, kHot);
    writeAudio(path("in.wav"), input);
    const float limit = static_cast<float>(decibelsToLinear(-3.3));
    for (const std::string out : {"o.wav", "o.flac", "o.aiff"}) {
        for (const bool asFloat : {false, true}) {
            if (asFloat && out != "o.wav") continue;
            SCOPED_TRACE(out + (asFloat ? " float" : ""));
            std::vector<std::string> arguments = {"--quiet", "--ceiling", "-3.3", "--gain", "+12"};
            if (asFloat) arguments.push_back("--float");
            arguments.insert(arguments.end(), {path("in.wav"), path(out)});
            const RunResult run = runTool(arguments);
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_LE(highestSample(readAudio(path(out))), limit);
        }
    }
}

// Under a ceiling the limiter runs as ever on the input scaled up by the
// inverse of the ceiling, and its output is scaled back: exactly, sample for
// sample. At 0 dB the ceiling changes nothing at all.
TEST_F(ToolTest, CeilingKeepsTheLimitersSoundExactly) {
    Audio input;
    input.samples = interSamplePeaks(Material::DenseNoise, kFrames, kRate44k, kHot);
    writeAudio(path("in.wav"), input);
    // The ceiling as the float output holds it: the float at or under -3 dB.
    const double level = decibelsToLinear(-3.0);
    float ceiling = static_cast<float>(level);
    if (ceiling > level) ceiling = std::nextafter(ceiling, 0.0f);
    Audio raised = input;
    for (float& sample : raised.samples) sample *= 1.0f / ceiling;
    writeAudio(path("raised.wav"), raised);
    ASSERT_EQ(runTool({"--quiet", "--ceiling", "-3", "--gain", "6", path("in.wav"), path("c.wav")}).status, 0);
    ASSERT_EQ(runTool({"--quiet", "--gain", "6", path("raised.wav"), path("plain.wav")}).status, 0);
    const Audio limited = readAudio(path("c.wav"));
    const Audio plain = readAudio(path("plain.wav"));
    ASSERT_EQ(limited.samples.size(), plain.samples.size());
    for (std::size_t i = 0; i < plain.samples.size(); ++i) {
        ASSERT_EQ(limited.samples[i], plain.samples[i] * ceiling) << "sample " << i;
    }
    ASSERT_EQ(runTool({"--quiet", "--ceiling", "0", "--gain", "6", path("in.wav"), path("zero.wav")}).status, 0);
    ASSERT_EQ(runTool({"--quiet", "--gain", "6", path("in.wav"), path("default.wav")}).status, 0);
    EXPECT_EQ(readAudio(path("zero.wav")).samples, readAudio(path("default.wav")).samples);
}

// A target out of reach fails in one line and writes nothing; the summary of
// one that is reached names the target, the gain chosen and the ceiling.
TEST_F(ToolTest, TargetOutOfReachWritesNothing) {
    Audio input;
    input.samples = testSignal(kStereo, kFrames, kRate44k, 0.5);
    writeAudio(path("in.wav"), input);
    const std::vector<std::string> before = listing();
    RunResult run = runTool({"--ceiling", "-20", "--target", "-2", path("in.wav"), path("out.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot reach"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(listing(), before);
    run = runTool({"--target", "-20", "--ceiling", "-1", "--true-peak", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("target         -20.00 LUFS      gain "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ceiling        -1.00 dBTP"), std::string::npos) << run.out;
}

// Several inputs into a directory in parallel: each under its own name, a
// failing one reported in its line while the others are written, the count,
// and a non-zero status. An input is never overwritten, even by another's output.
TEST_F(ToolTest, BatchWritesEveryGoodFileAndReportsTheRest) {
    Audio input;
    input.samples = testSignal(kStereo, kFrames, kRate44k, kHot);
    std::filesystem::create_directory(path("out"));
    writeAudio(path("a.wav"), input);
    writeAudio(path("b.wav"), input);
    writeBytes(path("bad.wav"), "not audio\n");
    const RunResult run = runTool({"--jobs", "2", "--ceiling", "-1", path("a.wav"), path("bad.wav"),
                                   path("b.wav"), "--output-dir", path("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad.wav"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.out.find("2 of 3 files written, 1 failed"), std::string::npos) << run.out;
    for (const std::string name : {"a.wav", "b.wav"}) {
        EXPECT_NE(run.out.find(path("out/" + name)), std::string::npos) << run.out;
        EXPECT_EQ(readAudio(path("out/" + name)).frames(), kFrames);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("out")), {}), 2);
    // Without delivery options each file comes out as a single run makes it.
    std::filesystem::create_directory(path("plain"));
    ASSERT_EQ(runTool({"--quiet", path("a.wav"), path("b.wav"), "--output-dir", path("plain")}).status, 0);
    ASSERT_EQ(runTool({"--quiet", path("a.wav"), path("single.wav")}).status, 0);
    EXPECT_EQ(readAudio(path("plain/b.wav")).samples, readAudio(path("single.wav")).samples);
    const std::string original = readBytes(path("a.wav"));
    const RunResult over = runTool({"--quiet", path("a.wav"), "--output-dir", directory});
    EXPECT_EQ(over.status, 1);
    EXPECT_NE(over.err.find("refusing to overwrite"), std::string::npos) << over.err;
    EXPECT_EQ(readBytes(path("a.wav")), original);
}

// An album shares one gain: the files keep their levels relative to each
// other and together meet the target.
TEST_F(ToolTest, AlbumSharesOneGainAndMeetsTheTargetTogether) {
    Audio loud;
    loud.samples = testSignal(kStereo, kFrames, kRate44k, 0.2);
    Audio quiet = loud;
    for (float& sample : quiet.samples) sample *= static_cast<float>(decibelsToLinear(-kAlbumQuieterDb));
    std::filesystem::create_directory(path("out"));
    writeAudio(path("loud.wav"), loud);
    writeAudio(path("quiet.wav"), quiet);
    const RunResult run = runTool({"--album", "--target", "-16", "--true-peak", "--ceiling", "-1",
                                   "--output-dir", path("out"), path("loud.wav"), path("quiet.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const LibraryFigures louder = libraryFigures(path("out/loud.wav"));
    const LibraryFigures quieter = libraryFigures(path("out/quiet.wav"));
    EXPECT_NEAR(louder.loudness - quieter.loudness, kAlbumQuieterDb, kLoudnessTolerance);
    EXPECT_NEAR(libraryLoudness({path("out/loud.wav"), path("out/quiet.wav")}), -16.0, kLoudnessTolerance);
    EXPECT_NE(run.out.find("album: gain "), std::string::npos) << run.out;
    const std::size_t first = run.out.find(": gain ");
    EXPECT_EQ(run.out.substr(first, 14), run.out.substr(run.out.find(": gain ", first + 1), 14)) << run.out;
}

// Interrupted in the middle of a batch: the files reported are complete, the
// one in progress is not there, and no temporary file is left.
TEST_F(ToolTest, InterruptedBatchLeavesOnlyCompleteFiles) {
    Audio input;
    input.samples = testSignal(kStereo, 10 * kRate44k, kRate44k, kHot);
    std::filesystem::create_directory(path("out"));
    std::vector<std::string> arguments = {QUILLO_LIMIT_TOOL, "--quiet", "--jobs", "1", "--block", "1",
                                          "--output-dir", path("out")};
    for (const std::string name : {"1.wav", "2.wav", "3.wav"}) {
        writeAudio(path(name), input);
        arguments.push_back(path(name));
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (freopen("/dev/null", "w", stderr) == nullptr) _exit(EXIT_FAILURE);
        execv(QUILLO_LIMIT_TOOL, argv.data());
        _exit(EXIT_FAILURE);
    }
    while (!std::filesystem::exists(path("out/1.wav"))) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(child, SIGTERM);
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    for (const auto& entry : std::filesystem::directory_iterator(path("out"))) {
        EXPECT_EQ(readAudio(entry.path().string()).frames(), input.frames()) << entry.path();
    }
}

}  // namespace
}  // namespace tool_test
