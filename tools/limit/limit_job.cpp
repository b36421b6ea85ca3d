#include "tools/limit/limit_job.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "tools/limit/background_meter.h"
#include "tools/limit/console.h"
#include "tools/limit/hosted_effect.h"
#include "tools/limit/measurements.h"
#include "tools/limit/pending_file.h"
#include "tools/limit/svg_report.h"
#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr int32_t kMaxFileChannels = 2;

void checkPaths(const Options& options) {
    if (sameTarget(options.input, options.output)) {
        throw ToolError("refusing to overwrite the input: " + quoted(options.output) +
                        " is the input file");
    }
    checkReplaceable(options.output, "output");
    if (options.report.empty()) return;
    if (sameTarget(options.input, options.report)) {
        throw ToolError("refusing to overwrite the input: report " + quoted(options.report) +
                        " is the input file");
    }
    if (sameTarget(options.output, options.report)) {
        throw ToolError("the report " + quoted(options.report) + " and the output are one file");
    }
    checkReplaceable(options.report, "report");
}

}  // namespace

void checkInput(const std::string& path, const AudioFormat& format) {
    if (format.channels > kMaxFileChannels) {
        throw ToolError("input " + quoted(path) + " has " + std::to_string(format.channels) +
                        " channels; only mono and stereo files can be limited");
    }
    if (format.sampleRate < kMinSampleRate || format.sampleRate > kMaxSampleRate) {
        throw ToolError("input " + quoted(path) + " has a sample rate of " +
                        std::to_string(format.sampleRate) + " Hz; the limiter works from " +
                        std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) +
                        " Hz");
    }
}

namespace {

std::vector<bool> limitedChannels(int32_t channels, ChannelMode mode) {
    if (channels == 1) return {true};
    return {mode != ChannelMode::Right, mode != ChannelMode::Left};
}

std::vector<std::string> channelNames(int32_t channels) {
    if (channels == 1) return {"mono"};
    return {"left", "right"};
}

// Everything measured on the way: both sides' levels, the gain reduction and,
// when a report is wanted, the traces over time.
class Analysis {
public:
    Analysis(const AudioFormat& format, const Options& options, bool withReport)
        : inputMeter(format.channels, format.sampleRate),
          outputMeter(format.channels, format.sampleRate),
          reduction(limitedChannels(format.channels, options.limiter.channels),
                    tableGain(options.limiter.gainStep), format.sampleRate),
          channels(format.channels) {
        if (withReport) {
            envelopes = std::make_unique<EnvelopeCollector>(
                channelNames(format.channels),
                limitedChannels(format.channels, options.limiter.channels),
                format.lengthStated() ? format.frames : 0, tableGain(options.limiter.gainStep));
        }
    }

    void addInput(int64_t first, const float* input, int64_t frames) {
        inputMeter.add(input, frames);
        if (envelopes) envelopes->addInput(first, input, frames);
    }

    // Input and output frames that line up in time.
    void addAligned(int64_t first, const float* input, const float* output, int64_t frames) {
        gains.resize(static_cast<std::size_t>(frames * channels));
        reduction.add(input, output, frames, gains.data());
        outputMeter.add(output, frames);
        if (envelopes) envelopes->addOutput(first, output, gains.data(), frames);
    }

    BackgroundMeter inputMeter;
    BackgroundMeter outputMeter;
    GainReductionTracker reduction;
    std::unique_ptr<EnvelopeCollector> envelopes;

private:
    int32_t channels;
    std::vector<float> gains;
};

// Output frames of the plug-in, in order: the first `latency` of them are the
// look-ahead and are dropped unless the delay is to be kept.
class OutputStage {
public:
    OutputStage(AudioWriter& writer, Analysis& analysis, FrameQueue& pending, int32_t latency,
                bool keepLatency, int32_t channels)
        : file(writer), measure(analysis), queue(pending), delay(latency), keep(keepLatency),
          width(channels) {}

    void take(const float* output, int64_t frames) {
        const int64_t lookAhead = std::max<int64_t>(0, std::min<int64_t>(frames, delay - produced));
        const float* aligned = output + lookAhead * width;
        const int64_t alignedFrames = frames - lookAhead;
        file.write(keep ? output : aligned, keep ? frames : alignedFrames);
        written += keep ? frames : alignedFrames;
        measure.addAligned(alignedSoFar, queue.front(), aligned, alignedFrames);
        queue.pop(alignedFrames);
        alignedSoFar += alignedFrames;
        produced += frames;
    }
    int64_t framesWritten() const { return written; }

private:
    AudioWriter& file;
    Analysis& measure;
    FrameQueue& queue;
    int64_t delay;
    bool keep;
    int32_t width;
    int64_t produced = 0;
    int64_t alignedSoFar = 0;
    int64_t written = 0;
};

void checkInterrupted(const JobContext& context) {
    if (context.interrupted != nullptr && *context.interrupted != 0) {
        throw ToolError("interrupted; no output written", kExitInterrupted);
    }
}

}  // namespace

namespace {

// Feeds the whole input through the plug-in and then the look-ahead's worth of
// silence, so that the last input frame comes out too.
void streamAudio(AudioReader& reader, BlockRunner& runner, OutputStage& stage, Analysis& analysis,
                 FrameQueue& queue, int32_t block, int32_t latency, const JobContext& context,
                 ProgressBar& progress) {
    const int32_t channels = reader.format().channels;
    std::vector<float> input(static_cast<std::size_t>(block) * channels);
    std::vector<float> output(input.size());
    int64_t framesRead = 0;
    for (;;) {
        checkInterrupted(context);
        const int64_t got = reader.read(input.data(), block);
        if (got <= 0) break;
        analysis.addInput(framesRead, input.data(), got);
        queue.push(input.data(), got);
        runner.run(input.data(), static_cast<int32_t>(got), output.data());
        stage.take(output.data(), got);
        framesRead += got;
        progress.update(framesRead);
    }
    for (int32_t left = latency; left > 0;) {
        const int32_t frames = std::min(left, block);
        runner.run(nullptr, frames, output.data());
        stage.take(output.data(), frames);
        left -= frames;
    }
}

std::string reportSettings(const Options& options, const AudioFormat& format, int32_t latency) {
    std::ostringstream text;
    text << describeSettings(options) << "; " << format.sampleRate << " Hz; look-ahead " << latency
         << " frames " << (options.keepLatency ? "kept" : "compensated");
    return text.str();
}

}  // namespace

std::string describeSettings(const Options& options) {
    const LimiterSettings& limiter = options.limiter;
    char gain[sizeof("+00.0")];
    std::snprintf(gain, sizeof(gain), "%+.1f", gainStepDecibels(limiter.gainStep));
    std::ostringstream text;
    text << "gain " << gain << " dB, knee " << limiter.kneePercent << " %, iq "
         << (limiter.iq ? "on" : "off") << ", link " << (limiter.link ? "on" : "off")
         << ", channels " << channelModeName(limiter.channels) << ", block " << options.blockSize;
    return text.str();
}

JobSummary runLimitJob(const Options& options, const JobContext& context) {
    checkPaths(options);
    AudioReader reader(options.input);
    const AudioFormat& input = reader.format();
    checkInput(options.input, input);
    JobSummary summary;
    summary.input = input;
    summary.outputFormat = chooseOutputFormat(input, options.output, options.floatOutput);

    PendingFile outputFile(options.output);
    AudioFormat outputFormat = input;
    outputFormat.format = summary.outputFormat;
    AudioWriter writer(outputFile.takeDescriptor(), outputFormat, options.output);
    std::unique_ptr<PendingFile> reportFile;
    if (!options.report.empty()) reportFile = std::make_unique<PendingFile>(options.report);

    HostedEffect effect(context.entry, static_cast<float>(input.sampleRate), options.blockSize,
                        parameterValues(options.limiter));
    summary.latency = effect.latency();
    BlockRunner runner(effect, input.channels, options.limiter.channels);
    Analysis analysis(input, options, reportFile != nullptr);
    FrameQueue queue(input.channels);
    OutputStage stage(writer, analysis, queue, summary.latency, options.keepLatency,
                      input.channels);
    // The bar needs the length in advance; without one stated it stays away.
    const bool longEnough =
        input.lengthStated() && input.frames >= kProgressMinSeconds * input.sampleRate;
    ProgressBar progress(context.progressWanted && longEnough, input.frames, input.sampleRate,
                         stderr);

    const auto started = std::chrono::steady_clock::now();
    streamAudio(reader, runner, stage, analysis, queue, options.blockSize, summary.latency,
                context, progress);
    progress.finish();
    writer.close();
    // The measurements catch up before the time is taken.
    const LevelMeter& inputMeter = analysis.inputMeter.finish();
    const LevelMeter& outputMeter = analysis.outputMeter.finish();
    summary.processingSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.framesRead = reader.framesRead();
    summary.framesWritten = stage.framesWritten();

    if (reportFile) {
        ReportData report{options.input + "  \u2192  " + options.output, reportSettings(options, input, summary.latency),
                          static_cast<double>(summary.framesRead) / input.sampleRate,
                          analysis.envelopes->traces(summary.framesRead)};
        writeText(*reportFile, renderSvgReport(report));
    }
    checkInterrupted(context);
    outputFile.commit();
    if (reportFile) reportFile->commit();

    summary.inputPeak = inputMeter.samplePeak();
    summary.outputPeak = outputMeter.samplePeak();
    summary.inputTruePeak = inputMeter.truePeak();
    summary.outputTruePeak = outputMeter.truePeak();
    summary.inputLoudness = inputMeter.loudness();
    summary.outputLoudness = outputMeter.loudness();
    summary.deepestReductionDb = analysis.reduction.deepestDb();
    summary.shareReduced = analysis.reduction.shareUnderReduction();
    return summary;
}

}  // namespace limit_tool
