#include "tools/limit/console.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/limit/measurements.h"
#include "tools/limit/limiter_settings.h"

namespace limit_tool {

namespace {

constexpr int kBarWidth = 30;
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr char kClearLine[] = "\r\033[K";

}  // namespace

ProgressBar::ProgressBar(bool enabled, int64_t totalFrames, int32_t sampleRate, std::FILE* stream)
    : shown(enabled && totalFrames > 0),
      total(totalFrames),
      rate(sampleRate),
      terminal(stream),
      started(std::chrono::steady_clock::now()),
      lastDrawn(started) {}

void ProgressBar::update(int64_t framesDone) {
    if (!shown) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn && now - lastDrawn < kRedrawInterval) return;
    lastDrawn = now;
    draw(framesDone);
}

void ProgressBar::draw(int64_t framesDone) {
    const double share = std::min(1.0, static_cast<double>(framesDone) / total);
    const int filled = static_cast<int>(share * kBarWidth);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    const double speed = elapsed.count() > 0.0 ? framesDone / rate / elapsed.count() : 0.0;
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    std::fprintf(terminal, "%s[%s] %3.0f%%  %.1fx real time", kClearLine, bar.c_str(),
                 share * kPercent, speed);
    std::fflush(terminal);
    drawn = true;
}

void ProgressBar::finish() {
    if (!drawn) return;
    std::fputs(kClearLine, terminal);
    std::fflush(terminal);
}

namespace {

constexpr std::size_t kLineLength = 256;

std::string line(const char* format, ...) {
    std::vector<char> text(kLineLength);
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    return std::string(text.data()) + "\n";
}

// The terms of a delivery next to what was measured: the target and the gain
// chosen for it, the ceiling and the sample level the limiter held to keep it.
std::string deliveryLine(const Options& options, const JobSummary& summary) {
    std::string text;
    if (options.targetLufs) {
        text += line("  target         %-16s gain %+.1f dB chosen", level(*options.targetLufs, "LUFS").c_str(),
                     gainStepDecibels(summary.gainStep));
    }
    text += line("  ceiling        %-16s samples held at %s",
                 level(options.ceilingDb, options.truePeak ? "dBTP" : "dBFS").c_str(),
                 level(toDecibels(summary.sampleCeiling), "dBFS").c_str());
    text += line("  passes         %s", describePasses(summary.passes).c_str());
    return text;
}

// One kind of pass, where any was made.
void addPasses(std::string& text, int32_t count, const char* what) {
    if (count > 0) text += ", " + std::to_string(count) + " " + what;
}

}  // namespace

std::string level(double decibels, const char* unit) {
    if (!std::isfinite(decibels)) return std::string("-inf ") + unit;
    char text[kLineLength];
    std::snprintf(text, sizeof(text), "%+.2f %s", decibels, unit);
    return text;
}

std::string describeDelay(const JobSummary& summary) {
    if (summary.truePeakLatency == 0) return std::to_string(summary.latency) + " frames";
    return std::to_string(summary.latency - summary.truePeakLatency) + " + " +
           std::to_string(summary.truePeakLatency) + " frames (true-peak stage)";
}

std::string describePasses(const PassCount& passes) {
    std::string kinds;
    addPasses(kinds, passes.search, "gain search");
    addPasses(kinds, passes.checked, "true-peak check");
    addPasses(kinds, passes.lowered, "ceiling lowered");
    addPasses(kinds, 1, "written");
    return std::to_string(passes.total()) + ": " + kinds.substr(2);
}

std::string formatFileLine(const Options& options, const JobSummary& summary) {
    return line("%s -> %s: gain %+.1f dB, %s, true peak %s, sample peak %s", options.input.c_str(),
                options.output.c_str(), gainStepDecibels(summary.gainStep),
                level(summary.outputLoudness, "LUFS").c_str(),
                level(toDecibels(summary.outputTruePeak), "dBTP").c_str(),
                level(toDecibels(summary.outputPeak), "dBFS").c_str());
}

std::string formatSummary(const Options& options, const JobSummary& summary) {
    const AudioFormat& input = summary.input;
    const double seconds = static_cast<double>(summary.framesRead) / input.sampleRate;
    std::string text;
    text += line("%s -> %s", options.input.c_str(), options.output.c_str());
    text += line("  %s, %d Hz, %s, %.3f s", describeFormat(summary.outputFormat).c_str(),
                 input.sampleRate, input.channels == 1 ? "mono" : "stereo", seconds);
    Options used = options;
    used.limiter.gainStep = summary.gainStep;
    text += line("  %s", describeSettings(used).c_str());
    text += line("  look-ahead %s, %s; %lld frames written", describeDelay(summary).c_str(),
                 options.keepLatency ? "kept at the start" : "compensated",
                 static_cast<long long>(summary.framesWritten));
    text += line("                 %-16s %s", "input", "output");
    text += line("  sample peak    %-16s %s", level(toDecibels(summary.inputPeak), "dBFS").c_str(),
                 level(toDecibels(summary.outputPeak), "dBFS").c_str());
    text += line("  true peak      %-16s %s",
                 level(toDecibels(summary.inputTruePeak), "dBTP").c_str(),
                 level(toDecibels(summary.outputTruePeak), "dBTP").c_str());
    text += line("  loudness       %-16s %s", level(summary.inputLoudness, "LUFS").c_str(),
                 level(summary.outputLoudness, "LUFS").c_str());
    if (options.delivery()) text += deliveryLine(options, summary);
    text += line("  gain reduction deepest %s, under reduction %.1f %% of the time",
                 level(summary.deepestReductionDb, "dB").c_str(), summary.shareReduced * kPercent);
    const double speed =
        summary.processingSeconds > 0.0 ? seconds / summary.processingSeconds : 0.0;
    text += line("  processed in %.2f s (%.0fx real time)", summary.processingSeconds, speed);
    if (!options.report.empty()) text += line("  report: %s", options.report.c_str());
    return text;
}

}  // namespace limit_tool
