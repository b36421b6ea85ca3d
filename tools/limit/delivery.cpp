#include "tools/limit/delivery.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/limit/console.h"
#include "tools/limit/measurements.h"
#include "tools/limit/parallel.h"
#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

// The true-peak stage keeps the true peak under its ceiling; what it cannot
// see (an integer grid's rounding after it, the ends of the file as the fine
// meter mirrors them) may still come out above. There the ceiling is lowered
// by the excess and the pass made again, at most this many times.
constexpr int32_t kMaxCeilingPasses = 8;
// Each lowering goes this much further than the excess measured: the harder
// drive it brings raises the overshoot (some 0.02 dB for a lowering by 1.4 dB
// on dense music), and one pass more costs more than the loudness this gives away.
constexpr double kCeilingMarginDb = 0.1;
// The search stops at once within this much of the target, half the promise,
// and otherwise takes the nearest gain step.
constexpr double kSearchTolerance = 0.05;
constexpr int32_t kMaxGainRounds = 16;
// The output's loudness rises by at most a dB per dB of gain and, where the
// limiter works hard, by much less; a slope estimate is kept within these.
constexpr double kSteepestSlope = 1.0;
constexpr double kGentlestSlope = 0.1;
// The true peak is held this far inside the ceiling, so that a meter summing
// in another order (libebur128 in double precision) reads it inside too, and
// the fine figure as far as its grid and parabola may miss (TruePeakMeter).
constexpr double kTruePeakMarginDb = 0.001;
constexpr double kFineTruePeakMarginDb = 0.05;
// Integer grids finer than this are not exact in single precision.
constexpr int32_t kExactGridBits = 24;
constexpr int64_t kReadFrames = 16384;
constexpr std::size_t kFigureText = 64;

std::string gainText(int32_t step) {
    char text[kFigureText];
    std::snprintf(text, sizeof(text), "%+.1f dB", gainStepDecibels(step));
    return text;
}

// The highest level at or below `level` that the output holds exactly: a
// whole number of steps of its integer grid, or a float.
float snappedCeiling(double level, int32_t gridBits) {
    if (gridBits > 0 && gridBits <= kExactGridBits) {
        const double fullScale = std::ldexp(1.0, gridBits - 1);
        return static_cast<float>(std::floor(level * fullScale) / fullScale);
    }
    float ceiling = static_cast<float>(level);
    if (ceiling > level) ceiling = std::nextafter(ceiling, 0.0f);
    return ceiling;
}

// Opens the file, checks what the delivery needs of it and, for a target,
// measures the input's loudness.
void prepare(DeliveryFile& file, const JobContext& context) {
    const Options& options = file.options;
    checkPaths(options);
    // Every pass reads the input again: a pipe would give its audio once (or
    // wait for a writer), so it is refused before it is opened.
    struct stat status {};
    if (stat(options.input.c_str(), &status) == 0 && !S_ISREG(status.st_mode) &&
        !S_ISDIR(status.st_mode)) {
        throw ToolError("input " + quoted(options.input) + " is not a regular file; a ceiling or " +
                        "target reads the input more than once");
    }
    AudioReader reader(options.input);
    const AudioFormat& format = reader.format();
    checkInput(options.input, format);
    const int32_t output = chooseOutputFormat(format, options.output, options.floatOutput);
    if (!keepsSamples(output)) {
        throw ToolError("output " + quoted(options.output) + " would be " + describeFormat(output) +
                        ", which changes the samples after they are measured; a ceiling or " +
                        "target needs a lossless output (.wav .flac .aiff ...)");
    }
    file.gridBits = pcmBitsOf(output);
    file.sampleCeiling = snappedCeiling(fromDecibels(options.ceilingDb), file.gridBits);
    if (!options.targetLufs) return;
    file.inputMeter = std::make_unique<LevelMeter>(format.channels, format.sampleRate,
                                                   Measures{false, false, false});
    std::vector<float> block(static_cast<std::size_t>(kReadFrames * format.channels));
    for (int64_t got; (got = reader.read(block.data(), kReadFrames)) > 0;) {
        checkInterrupted(context);
        file.inputMeter->add(block.data(), got);
    }
}

PassPlan planFor(const DeliveryFile& file, int32_t gain) {
    PassPlan plan;
    plan.gainStep = gain;
    plan.ceiling = file.sampleCeiling;
    // The stage holds the true peak under the sample level by the fine
    // meter's margin, so that both readings pass the check below; a lowered
    // ceiling lowers both.
    if (file.options.truePeak) {
        plan.truePeakCeiling = file.sampleCeiling * static_cast<float>(fromDecibels(-kFineTruePeakMarginDb));
    }
    plan.onFileGrid = true;
    plan.before = file.passes;
    return plan;
}

// The true peak a ceiling is held for: the higher of libebur128's figure and
// the fine one (with the fine one's margin), so that meters with short and
// with long filters read it under.
double heldPeak(const JobSummary& summary) {
    return std::max(summary.outputTruePeak,
                    summary.outputFineTruePeak * fromDecibels(kFineTruePeakMarginDb - kTruePeakMarginDb));
}

double truePeakLimit(const Options& options) {
    return fromDecibels(options.ceilingDb - kTruePeakMarginDb);
}

// The ceiling brought down by the excess of a true peak measured above it.
void lowerCeiling(DeliveryFile& file, double truePeak) {
    const double excess = truePeakLimit(file.options) / truePeak;
    file.sampleCeiling =
        snappedCeiling(file.sampleCeiling * excess * fromDecibels(-kCeilingMarginDb), file.gridBits);
    ++file.passes.lowered;
}

// A search pass for the loudness alone, at the file's present ceiling.
void loudnessPass(DeliveryFile& file, int32_t gain, const JobContext& context) {
    PassPlan plan = planFor(file, gain);
    plan.write = false;
    plan.measureTruePeak = false;
    file.last = runPass(file.options, plan, context);
    ++file.passes.search;
}

// Passes at a gain that write nothing until the output's true peak is within
// the ceiling; returns whether the ceiling had to come down.
bool settle(DeliveryFile& file, int32_t gain, const JobContext& context) {
    const Options& options = file.options;
    for (int32_t pass = 1;; ++pass) {
        PassPlan plan = planFor(file, gain);
        plan.write = false;
        plan.measureFineTruePeak = true;
        file.last = runPass(options, plan, context);
        const double truePeak = heldPeak(file.last.summary);
        if (truePeak <= truePeakLimit(options)) {
            ++file.passes.checked;
            return pass > 1;
        }
        if (pass == kMaxCeilingPasses) {
            throw ToolError(quoted(options.input) + ": the true peak stays at " +
                            level(toDecibels(truePeak), "dBTP") + " after " +
                            std::to_string(pass) + " lowerings of the ceiling");
        }
        lowerCeiling(file, truePeak);
    }
}

// Runs `work` on every file still in the delivery, in parallel; a file that
// fails is marked and left out. An interruption ends the whole delivery.
void onEveryFile(std::vector<DeliveryFile*>& files, int32_t jobs,
                 const std::function<void(DeliveryFile&)>& work) {
    std::vector<DeliveryFile*> active;
    for (DeliveryFile* file : files) {
        if (file->failure.empty()) active.push_back(file);
    }
    std::atomic<bool> interrupted{false};
    forEachInParallel(active.size(), jobs, [&](std::size_t index) {
        DeliveryFile& file = *active[index];
        try {
            work(file);
        } catch (const ToolError& error) {
            file.failure = error.what();
            file.failureStatus = error.status();
            if (error.status() == kExitInterrupted) interrupted = true;
        } catch (const std::exception& error) {
            file.failure = error.what();
            file.failureStatus = kExitFailure;
        }
    });
    if (interrupted) throw ToolError("interrupted; no output written", kExitInterrupted);
    for (DeliveryFile* file : files) {
        if (file->failure.empty()) return;
    }
    // Nothing left to deliver: a single file's own error is the delivery's.
    if (files.size() == 1) throw ToolError(files.front()->failure, files.front()->failureStatus);
    throw ToolError("no file could be limited");
}

double outputLoudness(const std::vector<DeliveryFile*>& files) {
    std::vector<const LevelMeter*> meters;
    for (const DeliveryFile* file : files) {
        if (file->failure.empty()) meters.push_back(&file->last.outputMeter->finish());
    }
    return combinedLoudness(meters);
}

struct Point {
    int32_t gain;
    double loudness;
};

// The loudness's rise per dB of gain between two points, within its bounds.
double slopeBetween(const Point& a, const Point& b) {
    const double slope = (b.loudness - a.loudness) / ((b.gain - a.gain) / quillo::kGainStepsPerDecibel);
    return std::min(kSteepestSlope, std::max(kGentlestSlope, slope));
}

// The next gain to try from the points known on either side of the target,
// or from one side with the slope estimated so far.
int32_t nextGain(const Point& here, double slope, const std::optional<Point>& below,
                 const std::optional<Point>& above, double target) {
    if (below && above) {
        const double share = (target - below->loudness) / (above->loudness - below->loudness);
        const int32_t next = below->gain + static_cast<int32_t>(std::lround(share * (above->gain - below->gain)));
        return std::min(std::max(next, below->gain + 1), above->gain - 1);
    }
    int32_t step = static_cast<int32_t>(std::lround((target - here.loudness) / slope * quillo::kGainStepsPerDecibel));
    if (step == 0) step = target > here.loudness ? 1 : -1;
    return std::min(std::max(here.gain + step, kLowestGainStep), kHighestGainStep);
}

[[noreturn]] void unreachable(double target, int32_t gain, double loudness) {
    throw ToolError("cannot reach " + level(target, "LUFS") + ": at " + gainText(gain) +
                    " of gain the output is at " + level(loudness, "LUFS"));
}

// The gain step that brings the files' (combined) loudness to the target at
// their present ceilings, from `gain` on, with passes that measure loudness only.
// `known`: the loudness at `gain` is measured already; `slope`: the rise per
// dB estimated so far, kept up to date for the next search.
int32_t searchGain(std::vector<DeliveryFile*>& files, int32_t gain, double target, int32_t jobs,
                   const JobContext& context, std::optional<double> known, double& slope) {
    std::optional<Point> below, above, previous, nearest;
    for (int32_t round = 0; round < kMaxGainRounds; ++round) {
        if (!known) {
            onEveryFile(files, jobs, [&](DeliveryFile& file) { loudnessPass(file, gain, context); });
        }
        const Point here{gain, known ? *known : outputLoudness(files)};
        known.reset();
        if (previous && previous->gain != here.gain) slope = slopeBetween(*previous, here);
        if (!std::isfinite(here.loudness)) unreachable(target, gain, here.loudness);
        if (!nearest || std::fabs(here.loudness - target) < std::fabs(nearest->loudness - target)) nearest = here;
        if (std::fabs(here.loudness - target) <= kSearchTolerance) return gain;
        (here.loudness < target ? below : above) = here;
        if (here.loudness < target && gain == kHighestGainStep) unreachable(target, gain, here.loudness);
        if (here.loudness > target && gain == kLowestGainStep) unreachable(target, gain, here.loudness);
        if (below && above && above->gain - below->gain <= 1) {
            if (std::fabs(nearest->loudness - target) > kTargetTolerance) {
                throw ToolError("no gain step lands within " + level(kTargetTolerance, "LU") +
                                " of " + level(target, "LUFS") + ": " + gainText(below->gain) +
                                " gives " + level(below->loudness, "LUFS") + ", " +
                                gainText(above->gain) + " gives " + level(above->loudness, "LUFS"));
            }
            return nearest->gain;
        }
        const int32_t next = nextGain(here, slope, below, above, target);
        previous = here;
        gain = next;
    }
    if (nearest && std::fabs(nearest->loudness - target) <= kTargetTolerance) return nearest->gain;
    throw ToolError("the gain for " + level(target, "LUFS") + " could not be settled");
}

// The gain step the input's loudness points to, where the search starts.
int32_t firstGain(double inputLoudness, double target) {
    if (!std::isfinite(inputLoudness)) {
        throw ToolError("cannot reach " + level(target, "LUFS") +
                        ": the input is silent or too short to measure its loudness");
    }
    const int32_t gain = kUnityGainStep + static_cast<int32_t>(std::lround((target - inputLoudness) * quillo::kGainStepsPerDecibel));
    return std::min(std::max(gain, kLowestGainStep), kHighestGainStep);
}

// The album's gain for the target with every file's true peak within the
// ceiling before any file is written (they share the gain). Searching at
// fixed ceilings needs loudness alone, which is cheap; the true-peak passes
// run only at the gain found, and where they lower a ceiling (the output gets
// quieter) the search goes on from there.
int32_t chooseAlbumGain(std::vector<DeliveryFile*>& files, double inputLoudness, double target,
                        int32_t jobs, const JobContext& context) {
    int32_t gain = firstGain(inputLoudness, target);
    const bool truePeak = files.front()->options.truePeak;
    double slope = kSteepestSlope;
    std::optional<double> known;
    for (int32_t settling = 0; settling < kMaxCeilingPasses; ++settling) {
        gain = searchGain(files, gain, target, jobs, context, known, slope);
        if (!truePeak) return gain;
        std::atomic<bool> lowered{false};
        onEveryFile(files, jobs, [&](DeliveryFile& file) {
            if (settle(file, gain, context)) lowered = true;
        });
        // Ceilings that held leave the loudness as the search found it; lower
        // ones give the search its first point.
        if (!lowered) return gain;
        known = outputLoudness(files);
    }
    throw ToolError("the gain for " + level(target, "LUFS") + " could not be settled under the ceiling");
}

// Refuses a written pass whose true peak came out above the ceiling, so that
// it can be made again under a lower one.
struct TruePeakAbove {
    double truePeak;
};

// The writing pass, which measures the file as written and refuses it unless
// it keeps the ceiling (and, for a single file, the target). `mayLower`: a
// true peak above throws TruePeakAbove instead of failing the file.
JobSummary finalPass(DeliveryFile& file, int32_t gain, bool checkTarget, bool mayLower,
                     const JobContext& context) {
    const Options& options = file.options;
    PassPlan plan = planFor(file, gain);
    plan.measureFineTruePeak = options.truePeak;
    plan.accept = [&](const JobSummary& summary) {
        const double peak = options.truePeak ? heldPeak(summary) : summary.outputPeak;
        const double limit = options.truePeak ? truePeakLimit(options) : fromDecibels(options.ceilingDb);
        if (peak > limit && options.truePeak && mayLower) throw TruePeakAbove{peak};
        if (peak > limit) {
            throw ToolError(quoted(options.input) + ": the output would peak at " +
                            level(toDecibels(peak), options.truePeak ? "dBTP" : "dBFS") +
                            ", above the ceiling; nothing written");
        }
        if (checkTarget && std::fabs(summary.outputLoudness - *options.targetLufs) > kTargetTolerance) {
            throw ToolError(quoted(options.input) + ": the output would be at " +
                            level(summary.outputLoudness, "LUFS") + ", off the target; nothing written");
        }
    };
    Options chosen = options;
    chosen.limiter.gainStep = gain;
    file.last = runPass(chosen, plan, context);
    return file.last.summary;
}

}  // namespace

// A single file: the gain searched for the target (where one is given), then
// one pass that writes the file as it measures it. The true-peak stage holds
// the true peak in that pass; where it still comes out above, the ceiling is
// lowered and the search and the writing pass made again.
JobSummary runDelivery(const Options& options, const JobContext& context) {
    const auto started = std::chrono::steady_clock::now();
    DeliveryFile file;
    file.options = options;
    prepare(file, context);
    std::vector<DeliveryFile*> files = {&file};
    const std::optional<double> target = options.targetLufs;
    int32_t gain = target ? firstGain(file.inputMeter->loudness(), *target) : options.limiter.gainStep;
    double slope = kSteepestSlope;
    for (int32_t lowering = 0;; ++lowering) {
        if (target) gain = searchGain(files, gain, *target, 1, context, std::nullopt, slope);
        try {
            const bool mayLower = lowering < kMaxCeilingPasses;
            JobSummary summary = finalPass(file, gain, target.has_value(), mayLower, context);
            summary.processingSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            return summary;
        } catch (const TruePeakAbove& above) {
            lowerCeiling(file, above.truePeak);
        }
    }
}

double runAlbum(std::vector<DeliveryFile>& album, const Options& options, int32_t jobs,
                const JobContext& context, std::vector<JobSummary>& summaries) {
    std::vector<DeliveryFile*> files;
    for (DeliveryFile& file : album) files.push_back(&file);
    onEveryFile(files, jobs, [&](DeliveryFile& file) { prepare(file, context); });
    std::vector<const LevelMeter*> inputs;
    for (const DeliveryFile* file : files) {
        if (file->failure.empty()) inputs.push_back(file->inputMeter.get());
    }
    const int32_t gain = chooseAlbumGain(files, combinedLoudness(inputs), *options.targetLufs, jobs, context);
    summaries.assign(album.size(), JobSummary{});
    onEveryFile(files, jobs, [&](DeliveryFile& file) {
        // The files share the gain, so none may come down once any is written:
        // the checks settled every ceiling, and this pass repeats the one checked.
        summaries[static_cast<std::size_t>(&file - album.data())] = finalPass(file, gain, false, false, context);
        file.written = true;
    });
    return outputLoudness(files);
}

}  // namespace limit_tool
