// The SVG report parses as XML and carries, per channel, the input and output
// peak envelopes, the gain-reduction trace and the ceiling, with the output
// never drawn above the ceiling.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#include "tool_fixture.h"
#include "tools/limit/measurements.h"

namespace tool_test {
namespace {

constexpr int64_t kFrames = 30000;
constexpr double kHotPeak = 3.0;
// The 36-bit total-samples field of a FLAC file's stream information ends the
// 8 bytes from this offset; 0 there means the header states no length.
constexpr std::size_t kFlacLengthField = 18;
constexpr std::size_t kFlacLengthBytes = 8;
constexpr char kFlacLengthKeepMask[] = {'\xff', '\xff', '\xff', '\xf0', 0, 0, 0, 0};

// Parses the report and checks its traces; exits non-zero with a message when
// something is missing or out of place.
constexpr char kCheckScript[] = R"(
import sys, xml.dom.minidom as minidom
report, columns, names, limited = sys.argv[1], int(sys.argv[2]), sys.argv[3].split(','), sys.argv[4]
document = minidom.parse(report)
assert document.documentElement.tagName == 'svg', 'root is not svg'
shapes = {}
for tag in ('polygon', 'polyline', 'line'):
    for element in document.getElementsByTagName(tag):
        if element.getAttribute('id'):
            shapes[element.getAttribute('id')] = element
def trace(name):
    points = [tuple(map(float, p.split(','))) for p in shapes[name].getAttribute('points').split()]
    assert len(points) >= columns, '%s has %d points' % (name, len(points))
    return [y for x, y in points[:columns]]
for name, on in zip(names, limited):
    ceiling = float(shapes['ceiling-' + name].getAttribute('y1'))
    upper, lower = trace('input-peak-' + name), trace('output-peak-' + name)
    assert min(lower) >= ceiling - 0.05, 'output above the ceiling in ' + name
    assert min(upper) < ceiling, 'input never above the ceiling in ' + name
    if on == '1':
        reduction = trace('gain-reduction-' + name)
        assert max(reduction) > min(reduction), 'flat gain reduction in ' + name
    else:
        assert 'gain-reduction-' + name not in shapes, 'trace for a channel not limited'
)";

class ToolReport : public ToolTest {
protected:
    void expectReport(const std::string& report, int64_t frames, const std::string& names,
                      const std::string& limited) {
        std::ofstream(path("check.py")) << kCheckScript;
        const int64_t columns = std::min(frames, limit_tool::kReportColumns);
        const std::string command = "python3 '" + path("check.py") + "' '" + report + "' " +
                                    std::to_string(columns) + " " + names + " " + limited;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
};

TEST_F(ToolReport, StereoReportHoldsEveryTrace) {
    Audio input;
    input.samples = testSignal(kStereo, kFrames, kRate44k, kHotPeak);
    writeAudio(path("in.wav"), input);
    RunResult run = runTool({"--quiet", "--report", path("r.svg"), path("in.wav"), path("o.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    expectReport(path("r.svg"), kFrames, "left,right", "11");
    run = runTool({"--quiet", "--channels", "left", "--report", path("r.svg"), path("in.wav"),
                   path("o.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    expectReport(path("r.svg"), kFrames, "left,right", "10");
    const std::string svg = readBytes(path("r.svg"));
    EXPECT_NE(svg.find("time (s)"), std::string::npos);
    EXPECT_NE(svg.find("level (dBFS)"), std::string::npos);
}

// A delivery's report draws the short-term loudness of both sides with the
// target, the ceiling where it was asked, and marks the output's highest true peak.
TEST_F(ToolReport, DeliveryReportShowsLoudnessTargetAndTruePeak) {
    constexpr double kModestPeak = 0.3;
    Audio input;
    input.samples = interSamplePeaks(Material::DenseNoise, kFrames, kRate44k, kModestPeak);
    writeAudio(path("in.wav"), input);
    const RunResult run = runTool({"--quiet", "--target", "-5", "--true-peak", "--ceiling", "-1",
                                   "--report", path("r.svg"), path("in.wav"), path("o.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    expectReport(path("r.svg"), kFrames, "left,right", "11");
    const std::string svg = readBytes(path("r.svg"));
    for (const std::string id : {"short-term-input", "short-term-output", "target", "true-peak"}) {
        EXPECT_NE(svg.find("id=\"" + id + "\""), std::string::npos) << id;
    }
    EXPECT_NE(svg.find("-1 dBTP ceiling"), std::string::npos);
}

// Names with markup characters and bytes that are not UTF-8 still give a
// well-formed document.
TEST_F(ToolReport, OddFileNamesKeepTheReportWellFormed) {
    Audio input;
    input.channels = kMono;
    input.samples = testSignal(kMono, kFrames, kRate44k, kHotPeak);
    const std::string name = "a&b <c> \"d\" 'e' \xE9\xFF.wav";
    writeAudio(path(name), input);
    const RunResult run =
        runTool({"--quiet", "--report", path("r&<\xE9>.svg"), path(name), path("o&.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    expectReport(path("r&<\xE9>.svg"), kFrames, "mono", "1");
}

// The traces are laid out before the length is known: a spike lands in its
// column exactly when the header stated the true length, and within a column
// of it when the header stated none or too few frames.
TEST(EnvelopeCollector, ColumnsFollowTheFramesRead) {
    constexpr int64_t kTotal = 10000;
    constexpr int64_t kSpikeAt = 7777;
    constexpr int64_t kChunk = 512;
    constexpr int64_t kTooFew = 100;
    const int64_t spikeColumn = kSpikeAt * limit_tool::kReportColumns / kTotal;
    std::vector<float> audio(kTotal, 0.0f);
    audio[kSpikeAt] = 1.0f;
    for (const int64_t stated : {kTotal, int64_t{0}, kTooFew}) {
        SCOPED_TRACE(stated);
        limit_tool::EnvelopeCollector collector({"mono"}, {true}, stated, 1.0f);
        for (int64_t first = 0; first < kTotal; first += kChunk) {
            collector.addInput(first, audio.data() + first, std::min(kChunk, kTotal - first));
        }
        const std::vector<float> peaks = collector.traces(kTotal)[0].inputPeak;
        ASSERT_EQ(peaks.size(), static_cast<std::size_t>(limit_tool::kReportColumns));
        EXPECT_EQ(peaks[spikeColumn], 1.0f);
        for (int64_t column = 0; column < limit_tool::kReportColumns; ++column) {
            const int64_t reach = stated == kTotal ? 0 : 1;
            if (std::abs(column - spikeColumn) > reach) {
                EXPECT_EQ(peaks[column], 0.0f) << column;
            }
        }
    }
}

// A FLAC header need not state its length. The summary and the report's time
// axis once took the unknown length for 2e14 seconds; they follow the frames
// actually read.
TEST_F(ToolReport, UnstatedLengthIsTheFramesRead) {
    std::string flac = flacFile(kStereo, kRate44k);
    ASSERT_EQ(flac.compare(0, 4, "fLaC"), 0);
    for (std::size_t i = 0; i < kFlacLengthBytes; ++i) flac[kFlacLengthField + i] &= kFlacLengthKeepMask[i];
    writeBytes(path("unstated.flac"), flac);
    const RunResult run =
        runTool({"--gain", "12", "--report", path("r.svg"), path("unstated.flac"), path("o.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(", 1.000 s\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("; 44100 frames written"), std::string::npos) << run.out;
    expectReport(path("r.svg"), kRate44k, "left,right", "11");
    const std::string svg = readBytes(path("r.svg"));
    const std::regex tick(R"(text-anchor="middle">([0-9.]+)</text>)");
    double lastTick = 0.0;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), tick); it != std::sregex_iterator(); ++it) {
        lastTick = std::max(lastTick, std::stod((*it)[1]));
    }
    EXPECT_EQ(lastTick, 1.0);
}

}  // namespace
}  // namespace tool_test
