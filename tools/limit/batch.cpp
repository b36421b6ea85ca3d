#include "tools/limit/batch.h"

#include <sys/stat.h>

#include <mutex>
#include <set>

#include "tools/limit/console.h"
#include "tools/limit/decoder_messages.h"
#include "tools/limit/delivery.h"
#include "tools/limit/parallel.h"
#include "tools/limit/pending_file.h"
#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

struct Outcome {
    bool done = false;
    std::string failure;
    int status = kExitOk;
};

// What the batch prints, one whole line at a time from any thread.
class Reporter {
public:
    explicit Reporter(bool quietRun) : quiet(quietRun) {}

    void written(const Options& file, const JobSummary& summary) {
        if (quiet) return;
        const std::lock_guard<std::mutex> guard(DecoderMessages::streamLock());
        std::fputs(formatFileLine(file, summary).c_str(), stdout);
        std::fflush(stdout);
    }
    void failed(const std::string& input, const std::string& reason) {
        const std::lock_guard<std::mutex> guard(DecoderMessages::streamLock());
        std::fprintf(stderr, "quillo-limit: %s: %s\n", input.c_str(), reason.c_str());
    }
    void total(const std::string& text) {
        if (quiet) return;
        const std::lock_guard<std::mutex> guard(DecoderMessages::streamLock());
        std::fputs(text.c_str(), stdout);
    }

private:
    bool quiet;
};

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Refuses, before any file is touched, a directory that is not one and two
// inputs whose outputs would be one file.
std::vector<Options> planFiles(const Options& options) {
    struct stat status {};
    if (stat(options.outputDir.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        throw UsageError("--output-dir " + quoted(options.outputDir) + " is not a directory");
    }
    std::vector<Options> files;
    std::set<std::string> names;
    for (const std::string& input : options.inputs) {
        if (!names.insert(nameOf(input)).second) {
            throw UsageError("two inputs are named " + quoted(nameOf(input)) +
                             "; their outputs in --output-dir would be one file");
        }
        Options file = options;
        file.input = input;
        file.output = outputPathIn(options.outputDir, input);
        file.inputs = {input};
        files.push_back(file);
    }
    return files;
}

// Never over any input of the batch, not only the file's own.
void checkAgainstInputs(const Options& file, const Options& batch) {
    for (const std::string& input : batch.inputs) {
        if (sameTarget(input, file.output)) {
            throw ToolError("refusing to overwrite the input " + quoted(input) + " with " +
                            quoted(file.output));
        }
    }
}

std::string countLine(const std::vector<Outcome>& outcomes, bool interrupted) {
    std::size_t written = 0;
    for (const Outcome& outcome : outcomes) written += outcome.done ? 1 : 0;
    const std::size_t failed = outcomes.size() - written;
    std::string text = std::to_string(written) + " of " + std::to_string(outcomes.size()) +
                       " files written";
    if (failed > 0) text += interrupted ? ", interrupted" : ", " + std::to_string(failed) + " failed";
    return text + "\n";
}

int statusOf(const std::vector<Outcome>& outcomes) {
    int status = kExitOk;
    for (const Outcome& outcome : outcomes) {
        if (outcome.status == kExitInterrupted) return kExitInterrupted;
        if (!outcome.done) status = kExitFailure;
    }
    return status;
}

void runEach(const std::vector<Options>& files, const Options& options, int32_t jobs,
             const JobContext& context, Reporter& reporter, std::vector<Outcome>& outcomes) {
    forEachInParallel(files.size(), jobs, [&](std::size_t index) {
        Outcome& outcome = outcomes[index];
        try {
            checkInterrupted(context);
            checkAgainstInputs(files[index], options);
            const JobSummary summary = runLimitJob(files[index], context);
            outcome.done = true;
            reporter.written(files[index], summary);
        } catch (const std::exception& error) {
            const auto* toolError = dynamic_cast<const ToolError*>(&error);
            outcome.status = toolError != nullptr ? toolError->status() : kExitFailure;
            outcome.failure = error.what();
            // Once interrupted, the files not yet done are not errors of their own.
            if (outcome.status != kExitInterrupted) reporter.failed(files[index].input, error.what());
        }
    });
}

constexpr std::size_t kAlbumLineLength = 160;

std::string albumLine(const Options& options, int32_t gainStep, double loudness) {
    char text[kAlbumLineLength];
    std::snprintf(text, sizeof(text), "album: gain %+.1f dB, %+.2f LUFS (target %+.1f LUFS)\n",
                  gainStepDecibels(gainStep), loudness, *options.targetLufs);
    return text;
}

void runAlbumFiles(const std::vector<Options>& files, const Options& options, int32_t jobs,
                   const JobContext& context, Reporter& reporter, std::vector<Outcome>& outcomes) {
    std::vector<DeliveryFile> album(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        album[i].options = files[i];
        try {
            checkAgainstInputs(files[i], options);
        } catch (const ToolError& error) {
            album[i].failure = error.what();
            album[i].failureStatus = error.status();
        }
    }
    std::vector<JobSummary> summaries;
    double loudness = 0.0;
    std::string albumFailure;
    try {
        loudness = runAlbum(album, options, jobs, context, summaries);
    } catch (const ToolError& error) {
        if (error.status() == kExitInterrupted) {
            for (Outcome& outcome : outcomes) outcome.status = kExitInterrupted;
        }
        albumFailure = error.what();
    }
    const bool interrupted = outcomes.front().status == kExitInterrupted;
    int32_t gain = kUnityGainStep;
    for (std::size_t i = 0; i < album.size(); ++i) {
        Outcome& outcome = outcomes[i];
        outcome.done = album[i].written;
        if (outcome.done) {
            gain = summaries[i].gainStep;
            reporter.written(files[i], summaries[i]);
            continue;
        }
        if (outcome.status == kExitOk) outcome.status = kExitFailure;
        if (!album[i].failure.empty() && !interrupted) reporter.failed(files[i].input, album[i].failure);
    }
    if (!albumFailure.empty()) {
        if (!interrupted) reporter.failed("album", albumFailure);
        return;
    }
    reporter.total(albumLine(options, gain, loudness));
}

}  // namespace

std::string outputPathIn(const std::string& directory, const std::string& input) {
    const std::string separator = !directory.empty() && directory.back() == '/' ? "" : "/";
    return directory + separator + nameOf(input);
}

int runBatch(const Options& options, const JobContext& context) {
    const std::vector<Options> files = planFiles(options);
    const int32_t jobs = jobsWanted(options.jobs);
    // The files' own progress lines would interleave: the lines per file do.
    JobContext quietContext = context;
    quietContext.progressWanted = false;
    Reporter reporter(options.quiet);
    std::vector<Outcome> outcomes(files.size());
    if (options.album) {
        runAlbumFiles(files, options, jobs, quietContext, reporter, outcomes);
    } else {
        runEach(files, options, jobs, quietContext, reporter, outcomes);
    }
    const int status = statusOf(outcomes);
    reporter.total(countLine(outcomes, status == kExitInterrupted));
    if (status == kExitInterrupted) {
        const std::lock_guard<std::mutex> guard(DecoderMessages::streamLock());
        std::fprintf(stderr, "quillo-limit: interrupted; the files listed are complete, no other was written\n");
    }
    return status;
}

}  // namespace limit_tool
