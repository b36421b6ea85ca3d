#include "tools/limit/limit_job.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "dsp/true_peak_stage.h"
#include "tools/limit/background_meter.h"
#include "tools/limit/console.h"
#include "tools/limit/delivery.h"
#include "tools/limit/hosted_effect.h"
#include "tools/limit/measurements.h"
#include "tools/limit/pending_file.h"
#include "tools/limit/svg_report.h"
#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr int32_t kMaxFileChannels = 2;

}  // namespace

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
// A search pass measures the output alone; the others everything.
class Analysis {
public:
    Analysis(const AudioFormat& format, const Options& options, const PassPlan& plan,
             bool withReport)
        : outputMeter(std::make_unique<BackgroundMeter>(
              format.channels, format.sampleRate,
              Measures{withReport, plan.measureTruePeak, plan.measureFineTruePeak})),
          channels(format.channels) {
        if (!plan.write) return;
        const float gain = tableGain(plan.gainStep);
        const std::vector<bool> limited = limitedChannels(format.channels, options.limiter.channels);
        inputMeter = std::make_unique<BackgroundMeter>(format.channels, format.sampleRate,
                                                       Measures{withReport, true, false});
        reduction = std::make_unique<GainReductionTracker>(limited, gain, format.sampleRate);
        if (withReport) {
            envelopes = std::make_unique<EnvelopeCollector>(
                channelNames(format.channels), limited, format.lengthStated() ? format.frames : 0,
                gain);
        }
    }

    void addInput(int64_t first, const float* input, int64_t frames) {
        if (inputMeter) inputMeter->add(input, frames);
        if (envelopes) envelopes->addInput(first, input, frames);
    }

    // Input and output frames that line up in time.
    void addAligned(int64_t first, const float* input, const float* output, int64_t frames) {
        outputMeter->add(output, frames);
        if (!reduction) return;
        gains.resize(static_cast<std::size_t>(frames * channels));
        reduction->add(input, output, frames, gains.data());
        if (envelopes) envelopes->addOutput(first, output, gains.data(), frames);
    }

    std::unique_ptr<BackgroundMeter> inputMeter;
    std::unique_ptr<BackgroundMeter> outputMeter;
    std::unique_ptr<GainReductionTracker> reduction;
    std::unique_ptr<EnvelopeCollector> envelopes;

private:
    int32_t channels;
    std::vector<float> gains;
};

// Output frames of the plug-in, in order: the first `latency` of them are the
// look-ahead and are dropped unless the delay is to be kept.
class OutputStage {
public:
    OutputStage(AudioWriter* writer, Analysis& analysis, FrameQueue& pending, int32_t latency,
                bool keepLatency, int32_t channels)
        : file(writer), measure(analysis), queue(pending), delay(latency), keep(keepLatency),
          width(channels) {}

    void take(const float* output, int64_t frames) {
        const int64_t lookAhead = std::max<int64_t>(0, std::min<int64_t>(frames, delay - produced));
        const float* aligned = output + lookAhead * width;
        const int64_t alignedFrames = frames - lookAhead;
        if (file != nullptr) file->write(keep ? output : aligned, keep ? frames : alignedFrames);
        written += keep ? frames : alignedFrames;
        measure.addAligned(alignedSoFar, queue.front(), aligned, alignedFrames);
        queue.pop(alignedFrames);
        alignedSoFar += alignedFrames;
        produced += frames;
    }
    int64_t framesWritten() const { return written; }

private:
    AudioWriter* file;
    Analysis& measure;
    FrameQueue& queue;
    int64_t delay;
    bool keep;
    int32_t width;
    int64_t produced = 0;
    int64_t alignedSoFar = 0;
    int64_t written = 0;
};

}  // namespace

void checkInterrupted(const JobContext& context) {
    if (context.interrupted != nullptr && context.interrupted->load(std::memory_order_relaxed)) {
        throw ToolError("interrupted; no output written", kExitInterrupted);
    }
}

namespace {

// The scaling around the effect that puts its ceiling at the plan's level,
// the true-peak stage after it where the plan holds the true peak, and the
// output's sample grid.
class Shaping {
public:
    Shaping(const PassPlan& plan, int32_t outputFormat, int32_t channels, int32_t sampleRate, int32_t block)
        : post(plan.ceiling), pre(1.0f / plan.ceiling), width(channels),
          gridBits(plan.onFileGrid ? pcmBitsOf(outputFormat) : 0), truePeakCeiling(plan.truePeakCeiling) {
        if (truePeakCeiling <= 0.0f) return;
        stage = std::make_unique<quillo::TruePeakStage>();
        if (!stage->prepare(static_cast<float>(sampleRate), block)) {
            throw ToolError("the true-peak stage cannot run at " + std::to_string(sampleRate) + " Hz");
        }
        for (auto& line : lines) line.assign(static_cast<std::size_t>(block), 0.0f);
    }

    // The true-peak stage's delay, which follows the effect's.
    int32_t latency() const { return stage ? stage->latency() : 0; }

    const float* before(const float* input, int64_t frames) {
        if (post == 1.0f) return input;
        scaled.resize(static_cast<std::size_t>(frames * width));
        for (std::size_t i = 0; i < scaled.size(); ++i) scaled[i] = input[i] * pre;
        return scaled.data();
    }
    void after(float* output, int64_t frames) {
        const int64_t count = frames * width;
        if (post != 1.0f) {
            for (int64_t i = 0; i < count; ++i) output[i] *= post;
        }
        if (stage) holdTruePeak(output, frames);
        if (gridBits != 0) snapToPcmGrid(output, count, gridBits);
    }

private:
    // The stage takes the two channels apart; a mono file's second is silence.
    void holdTruePeak(float* output, int64_t frames) {
        float* left = lines[0].data();
        float* right = lines[1].data();
        for (int64_t n = 0; n < frames; ++n) {
            left[n] = output[n * width];
            right[n] = width > 1 ? output[n * width + 1] : 0.0f;
        }
        stage->process(left, right, static_cast<int32_t>(frames), truePeakCeiling);
        for (int64_t n = 0; n < frames; ++n) {
            output[n * width] = left[n];
            if (width > 1) output[n * width + 1] = right[n];
        }
    }

    float post;
    float pre;
    int32_t width;
    int32_t gridBits;
    float truePeakCeiling;
    std::unique_ptr<quillo::TruePeakStage> stage;
    std::array<std::vector<float>, quillo::kChannels> lines;
    std::vector<float> scaled;
};

// Feeds the whole input through the plug-in and then the look-ahead's worth of
// silence, so that the last input frame comes out too.
void streamAudio(AudioReader& reader, BlockRunner& runner, Shaping& shaping, OutputStage& stage,
                 Analysis& analysis, FrameQueue& queue, int32_t block, int32_t latency,
                 const JobContext& context, ProgressBar& progress) {
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
        runner.run(shaping.before(input.data(), got), static_cast<int32_t>(got), output.data());
        shaping.after(output.data(), got);
        stage.take(output.data(), got);
        framesRead += got;
        progress.update(framesRead);
    }
    for (int32_t left = latency; left > 0;) {
        const int32_t frames = std::min(left, block);
        runner.run(nullptr, frames, output.data());
        shaping.after(output.data(), frames);
        stage.take(output.data(), frames);
        left -= frames;
    }
}

std::string reportSettings(const Options& options, const JobSummary& summary) {
    std::ostringstream text;
    text << describeSettings(options) << "; " << summary.input.sampleRate << " Hz; look-ahead "
         << describeDelay(summary) << " " << (options.keepLatency ? "kept" : "compensated");
    if (options.delivery()) text << "; passes " << describePasses(summary.passes);
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

namespace {

ReportData reportOf(const Options& options, const JobSummary& summary, const Analysis& analysis,
                    const LevelMeter& inputMeter, const LevelMeter& outputMeter) {
    const AudioFormat& input = summary.input;
    ReportData report;
    report.title = options.input + "  \u2192  " + options.output;
    report.settings = reportSettings(options, summary);
    report.seconds = static_cast<double>(summary.framesRead) / input.sampleRate;
    report.channels = analysis.envelopes->traces(summary.framesRead);
    report.ceilingDb = options.ceilingDb;
    report.truePeakCeiling = options.truePeak;
    report.targetLufs = options.targetLufs;
    report.inputCourse = inputMeter.shortTermCourse();
    report.outputCourse = outputMeter.shortTermCourse();
    report.truePeakChannel = static_cast<std::size_t>(summary.truePeakChannel);
    report.truePeakSeconds = static_cast<double>(summary.truePeakFrame) / input.sampleRate;
    report.truePeakDb = toDecibels(summary.outputTruePeak);
    return report;
}

void takeFigures(JobSummary& summary, const LevelMeter* input, const LevelMeter& output) {
    if (input != nullptr) {
        summary.inputPeak = input->samplePeak();
        summary.inputTruePeak = input->truePeak();
        summary.inputLoudness = input->loudness();
    }
    summary.outputPeak = output.samplePeak();
    summary.outputTruePeak = output.truePeak();
    summary.outputLoudness = output.loudness();
    summary.outputFineTruePeak = output.fineTruePeak();
    summary.truePeakFrame = output.truePeakFrame();
    summary.truePeakChannel = output.truePeakChannel();
}

}  // namespace

PassResult runPass(const Options& options, const PassPlan& plan, const JobContext& context) {
    if (plan.write) checkPaths(options);
    AudioReader reader(options.input);
    const AudioFormat& input = reader.format();
    checkInput(options.input, input);
    PassResult result;
    JobSummary& summary = result.summary;
    summary.input = input;
    summary.outputFormat = chooseOutputFormat(input, options.output, options.floatOutput);
    summary.gainStep = plan.gainStep;
    summary.sampleCeiling = plan.ceiling;
    summary.passes = plan.before;

    std::unique_ptr<PendingFile> outputFile;
    std::unique_ptr<AudioWriter> writer;
    std::unique_ptr<PendingFile> reportFile;
    if (plan.write) {
        outputFile = std::make_unique<PendingFile>(options.output);
        AudioFormat outputFormat = input;
        outputFormat.format = summary.outputFormat;
        writer = std::make_unique<AudioWriter>(outputFile->takeDescriptor(), outputFormat,
                                               options.output);
        if (!options.report.empty()) reportFile = std::make_unique<PendingFile>(options.report);
    }

    LimiterSettings limiter = options.limiter;
    limiter.gainStep = plan.gainStep;
    HostedEffect effect(static_cast<float>(input.sampleRate), options.blockSize, parameterValues(limiter));
    BlockRunner runner(effect, input.channels, options.limiter.channels);
    Shaping shaping(plan, summary.outputFormat, input.channels, input.sampleRate, options.blockSize);
    summary.truePeakLatency = shaping.latency();
    summary.latency = effect.latency() + summary.truePeakLatency;
    Analysis analysis(input, options, plan, reportFile != nullptr);
    FrameQueue queue(input.channels);
    OutputStage stage(writer.get(), analysis, queue, summary.latency, options.keepLatency,
                      input.channels);
    // The bar needs the length in advance; without one stated it stays away.
    const bool longEnough =
        input.lengthStated() && input.frames >= kProgressMinSeconds * input.sampleRate;
    ProgressBar progress(context.progressWanted && longEnough && plan.write, input.frames,
                         input.sampleRate, stderr);

    const auto started = std::chrono::steady_clock::now();
    streamAudio(reader, runner, shaping, stage, analysis, queue, options.blockSize,
                summary.latency, context, progress);
    progress.finish();
    if (writer) writer->close();
    // The measurements catch up before the time is taken.
    const LevelMeter* inputMeter = analysis.inputMeter ? &analysis.inputMeter->finish() : nullptr;
    const LevelMeter& outputMeter = analysis.outputMeter->finish();
    summary.processingSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.framesRead = reader.framesRead();
    summary.framesWritten = stage.framesWritten();
    takeFigures(summary, inputMeter, outputMeter);
    if (analysis.reduction) {
        summary.deepestReductionDb = analysis.reduction->deepestDb();
        summary.shareReduced = analysis.reduction->shareUnderReduction();
    }
    result.outputMeter = std::move(analysis.outputMeter);
    if (!plan.write) return result;

    if (plan.accept) plan.accept(summary);
    if (reportFile) {
        writeText(*reportFile, renderSvgReport(reportOf(options, summary, analysis, *inputMeter,
                                                        outputMeter)));
    }
    checkInterrupted(context);
    outputFile->commit();
    if (reportFile) reportFile->commit();
    return result;
}

JobSummary runLimitJob(const Options& options, const JobContext& context) {
    if (options.delivery()) return runDelivery(options, context);
    PassPlan plain;
    plain.gainStep = options.limiter.gainStep;
    return runPass(options, plain, context).summary;
}

}  // namespace limit_tool
