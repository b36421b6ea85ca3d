// Bad input gets one line naming the problem, a non-zero status, and leaves
// the directory as it was: no output, no temporary file, the input untouched.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/damaged_audio.h"
#include "tool_fixture.h"

namespace tool_test {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr int kInterrupted = 130;
constexpr int32_t kTooManyChannels = 3;
constexpr int32_t kTooLowRate = 4000;
constexpr int64_t kFrames = 4410;
constexpr int64_t kLongFrames = 60 * kRate44k;
constexpr double kPeak = 0.5;
constexpr mode_t kFifoMode = 0600;
constexpr auto kStartTimeout = std::chrono::seconds(60);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

constexpr std::size_t kDamagedBytes = 64;
constexpr char kDamagePattern = 0x5a;
constexpr std::size_t kGarbageBytes = 3000;


struct BadRun {
    std::string what;
    std::vector<std::string> arguments;  // "@" stands for the scratch directory
    std::string message;                 // part of the one line on stderr
    int status;
};

class ToolErrors : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        Audio input;
        input.samples = testSignal(kStereo, kFrames, kRate44k, kPeak);
        writeAudio(path("in.wav"), input);
    }

    std::vector<std::string> expand(const std::vector<std::string>& arguments) const {
        std::vector<std::string> expanded;
        for (const std::string& argument : arguments) {
            const std::size_t at = argument.find('@');
            expanded.push_back(at == std::string::npos ? argument
                                                       : argument.substr(0, at) + directory + argument.substr(at + 1));
        }
        return expanded;
    }

    // Runs each case and checks the status, the single message line and that
    // nothing in the directory changed.
    void expectRefused(const std::vector<BadRun>& cases) {
        for (const BadRun& bad : cases) {
            SCOPED_TRACE(bad.what);
            const std::vector<std::string> before = listing();
            const std::string inputBytes = readBytes(path("in.wav"));
            const RunResult run = runTool(expand(bad.arguments));
            EXPECT_EQ(run.status, bad.status);
            EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
            EXPECT_EQ(listing(), before);
            EXPECT_EQ(readBytes(path("in.wav")), inputBytes);
        }
    }
};

TEST_F(ToolErrors, UnusableInputsAreRefused) {
    std::filesystem::create_directory(path("folder.wav"));
    std::ofstream(path("text.wav")) << "not audio at all\n";
    Audio wide;
    wide.channels = kTooManyChannels;
    wide.samples = testSignal(kTooManyChannels, kFrames, kRate44k, kPeak);
    writeAudio(path("wide.wav"), wide);
    Audio slow;
    slow.rate = kTooLowRate;
    slow.samples = testSignal(kStereo, kFrames, kTooLowRate, kPeak);
    writeAudio(path("slow.wav"), slow);
    expectRefused({
        {"missing", {"@/none.wav", "@/out.wav"}, "cannot open input", kFailure},
        {"directory", {"@/folder.wav", "@/out.wav"}, "is a directory", kFailure},
        {"not audio", {"@/text.wav", "@/out.wav"}, "not in an audio format", kFailure},
        {"three channels", {"@/wide.wav", "@/out.wav"}, "has 3 channels", kFailure},
        {"rate", {"@/slow.wav", "@/out.wav"}, "sample rate", kFailure},
    });
}

// Damage is never taken for the end of the file: a FLAC file corrupted in
// the middle or cut off, and MPEG frames the decoder cannot decode (it once
// hid them as silence and printed lines of its own), are refused.
TEST_F(ToolErrors, DamagedInputsAreRefused) {
    const std::string flac = flacFile(kStereo, kRate44k);
    std::string corrupted = flac;
    for (std::size_t i = corrupted.size() / 2; i < corrupted.size() / 2 + kDamagedBytes; ++i) {
        corrupted[i] = static_cast<char>(corrupted[i] ^ kDamagePattern);
    }
    writeBytes(path("corrupted.flac"), corrupted);
    writeBytes(path("cut.flac"), flac.substr(0, flac.size() / 2));
    writeBytes(path("garbage.mp3"), damaged_audio::mpegLikeGarbage());
    writeBytes(path("noise.mp3"), std::string(kGarbageBytes, '\x5a'));
    expectRefused({
        {"corrupted FLAC", {"@/corrupted.flac", "@/out.wav"}, "cannot be read past frame", kFailure},
        {"cut-off FLAC", {"@/cut.flac", "@/out.wav"}, "cannot be read past frame", kFailure},
        {"MPEG frames of garbage", {"@/garbage.mp3", "@/out.wav"}, "the decoder reports", kFailure},
        {"no MPEG at all", {"@/noise.mp3", "@/out.wav"}, "not in an audio format", kFailure},
    });
}

TEST_F(ToolErrors, TheInputIsNeverOverwritten) {
    std::filesystem::create_symlink(path("in.wav"), path("link.wav"));
    std::filesystem::create_hard_link(path("in.wav"), path("hard.wav"));
    std::filesystem::create_directory(path("sub"));
    expectRefused({
        {"same name", {"@/in.wav", "@/in.wav"}, "refusing to overwrite the input", kFailure},
        {"other spelling", {"@/in.wav", "@/sub/../in.wav"}, "refusing to overwrite", kFailure},
        {"symbolic link", {"@/in.wav", "@/link.wav"}, "refusing to overwrite", kFailure},
        {"hard link", {"@/in.wav", "@/hard.wav"}, "refusing to overwrite", kFailure},
        {"through the input's link", {"@/link.wav", "@/in.wav"}, "refusing to overwrite", kFailure},
        {"report", {"--report", "@/in.wav", "@/in.wav", "@/out.wav"}, "refusing to overwrite",
         kFailure},
        {"report is output", {"--report", "@/out.wav", "@/in.wav", "@/out.wav"}, "one file",
         kFailure},
    });
}

TEST_F(ToolErrors, UnwritableOutputsLeaveNothingBehind) {
    std::ofstream(path("plain")) << "a file, not a directory\n";
    std::filesystem::create_directory(path("outdir"));
    ASSERT_EQ(mkfifo(path("pipe.wav").c_str(), kFifoMode), 0);
    expectRefused({
        {"pipe", {"@/in.wav", "@/pipe.wav"}, "not a regular file", kFailure},
        {"pipe read twice", {"--target=-20", "@/pipe.wav", "@/out.wav"}, "more than once", kFailure},
        {"missing directory", {"@/in.wav", "@/nowhere/out.wav"}, "cannot write to the directory",
         kFailure},
        {"file as directory", {"@/in.wav", "@/plain/out.wav"}, "cannot write to the directory",
         kFailure},
        {"output is a directory", {"@/in.wav", "@/outdir"}, "is a directory", kFailure},
        {"report directory", {"--report", "@/nowhere/r.svg", "@/in.wav", "@/out.wav"},
         "cannot write to the directory", kFailure},
        {"float in FLAC", {"--float", "@/in.wav", "@/out.flac"}, "cannot hold 32-bit float",
         kFailure},
        {"unknown extension", {"@/in.wav", "@/out.m4x"}, "extension this tool does not write",
         kFailure},
    });
}

TEST_F(ToolErrors, OptionsOutOfRangeAreRefused) {
    const std::vector<std::pair<std::string, std::string>> options = {
        {"--gain=40.2", "--gain"},   {"--gain=-40.1", "--gain"}, {"--gain=0.05", "--gain"},
        {"--gain=abc", "--gain"},    {"--gain=nan", "--gain"},   {"--knee=101", "--knee"},
        {"--knee=-1", "--knee"},     {"--block=0", "--block"},   {"--block=65537", "--block"},
        {"--block=2x", "--block"},   {"--channels=both", "--channels"},
        {"--bogus", "unknown option"}, {"--quiet=yes", "unknown option"},
        {"--ceiling=0.1", "--ceiling"}, {"--ceiling=-20.5", "--ceiling"}, {"--ceiling=x", "--ceiling"},
        {"--target=1", "--target"},  {"--target=-41", "--target"}, {"--jobs=0", "--jobs"},
        {"--jobs=2.5", "--jobs"},    {"--album", "--album needs --target"},
    };
    std::vector<BadRun> cases;
    for (const auto& [option, message] : options) {
        cases.push_back({option, {option, "@/in.wav", "@/out.wav"}, message, kUsage});
    }
    cases.push_back({"value missing", {"@/in.wav", "@/out.wav", "--gain"}, "needs a value", kUsage});
    cases.push_back({"one file", {"@/in.wav"}, "expected an INPUT and an OUTPUT", kUsage});
    cases.push_back({"three files", {"@/in.wav", "@/a.wav", "@/b.wav"}, "expected", kUsage});
    cases.push_back({"gain and target", {"--gain=1", "--target=-14", "@/in.wav", "@/o.wav"}, "exclude", kUsage});
    cases.push_back({"batch report", {"--report=@/r.svg", "--output-dir=@", "@/in.wav"}, "--report", kUsage});
    cases.push_back({"no directory", {"--output-dir=@/none", "@/in.wav"}, "not a directory", kUsage});
    cases.push_back({"one name twice", {"--output-dir=@", "@/in.wav", "@/x/../in.wav"}, "two inputs", kUsage});
    cases.push_back({"lossy delivery", {"--ceiling=-1", "@/in.wav", "@/o.mp3"}, "lossless", kFailure});
    expectRefused(cases);
}

// A failed run leaves an earlier output of the same name as it was.
TEST_F(ToolErrors, EarlierOutputSurvivesAFailedRun) {
    std::ofstream(path("out.wav")) << "earlier result\n";
    const RunResult run = runTool({"--report", path("nowhere/r.svg"), path("in.wav"), path("out.wav")});
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(readBytes(path("out.wav")), "earlier result\n");
}

// An output name that is a link to a file elsewhere writes that file and
// leaves the link in place.
TEST_F(ToolErrors, OutputThroughALinkReplacesTheLinkedFile) {
    std::filesystem::create_directory(path("elsewhere"));
    std::ofstream(path("elsewhere/out.wav")) << "earlier result\n";
    std::filesystem::create_symlink(path("elsewhere/out.wav"), path("out.wav"));
    const RunResult run = runTool({"--quiet", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(path("out.wav")));
    EXPECT_EQ(readAudio(path("elsewhere/out.wav")).frames(), kFrames);
    const auto entries = std::distance(std::filesystem::directory_iterator(path("elsewhere")),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);  // no temporary file left beside it
}

// Stopped by a signal in the middle of a file: the run ends with its own
// status and removes what it had written.
TEST_F(ToolErrors, InterruptedRunLeavesNoFile) {
    Audio input;
    input.samples = testSignal(kStereo, kLongFrames, kRate44k, kPeak);
    writeAudio(path("long.wav"), input);
    const std::vector<std::string> before = listing();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string in = path("long.wav");
        const std::string out = path("out.wav");
        if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr) {
            _exit(EXIT_FAILURE);
        }
        execl(QUILLO_LIMIT_TOOL, QUILLO_LIMIT_TOOL, "--quiet", "--block", "1", in.c_str(),
              out.c_str(), static_cast<char*>(nullptr));
        _exit(EXIT_FAILURE);
    }
    // Signal once the run has started writing, so the signal lands mid-file.
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (listing() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
    EXPECT_NE(listing(), before) << "the run never started writing";
    kill(child, SIGTERM);
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), kInterrupted);
    EXPECT_EQ(listing(), before);
}

}  // namespace
}  // namespace tool_test
