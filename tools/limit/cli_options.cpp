#include "tools/limit/cli_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr int kDecimalBase = 10;
constexpr double kMinKneePercent = 0.0;
constexpr double kMaxKneePercent = 100.0;
constexpr char kOptionPrefix[] = "--";
constexpr char kEndOfOptions[] = "--";
constexpr std::size_t kPrefixLength = sizeof(kOptionPrefix) - 1;
constexpr std::size_t kOptionWithValue = 2;  // "--name" and the value after it
constexpr std::size_t kFileArguments = 2;    // INPUT and OUTPUT

double parseNumber(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE ||
        !std::isfinite(value)) {
        throw UsageError(option + " needs a number, not " + quoted(text));
    }
    return value;
}

// A whole number from `lowest` to `highest`, or the error `what` describes.
int32_t parseWhole(const std::string& text, long lowest, long highest, const std::string& what) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, kDecimalBase);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || value < lowest ||
        value > highest) {
        throw UsageError(what + " from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not " + quoted(text));
    }
    return static_cast<int32_t>(value);
}

int32_t parseBlockSize(const std::string& text) {
    return parseWhole(text, kMinBlockSize, kMaxBlockSize, "--block must be a whole number of frames");
}

// A number within [lowest, highest], or the error naming the option and range.
double parseRanged(const std::string& option, const std::string& text, double lowest,
                   double highest, const std::string& unit) {
    const double value = parseNumber(option, text);
    if (value < lowest || value > highest) {
        std::ostringstream message;
        message << option << " must be from " << lowest << " to " << highest << " " << unit
                << ", not " << quoted(text);
        throw UsageError(message.str());
    }
    return value;
}

std::string nonEmpty(const std::string& option, const std::string& text) {
    if (text.empty()) throw UsageError(option + " needs a name, not an empty one");
    return text;
}

int32_t parseGain(const std::string& text) {
    const auto step = gainStepFromDecibels(parseNumber("--gain", text));
    if (!step) {
        throw UsageError("--gain must be from -40 to +40.1 dB in steps of 0.1 dB, not " +
                         quoted(text));
    }
    return *step;
}

double parseKnee(const std::string& text) {
    const double percent = parseNumber("--knee", text);
    if (percent < kMinKneePercent || percent > kMaxKneePercent) {
        throw UsageError("--knee must be from 0 to 100 percent, not " + quoted(text));
    }
    return percent;
}

ChannelMode parseChannels(const std::string& text) {
    static const std::map<std::string, ChannelMode> modes = {
        {"auto", ChannelMode::Auto},
        {"stereo", ChannelMode::Stereo},
        {"left", ChannelMode::Left},
        {"right", ChannelMode::Right},
    };
    const auto found = modes.find(text);
    if (found == modes.end()) {
        throw UsageError("--channels must be auto, stereo, left or right, not " + quoted(text));
    }
    return found->second;
}

using ValueHandler = std::function<void(Options&, const std::string&)>;
using FlagHandler = std::function<void(Options&)>;

const std::map<std::string, ValueHandler>& valueOptions() {
    static const std::map<std::string, ValueHandler> handlers = {
        {"gain",
         [](Options& o, const std::string& v) {
             o.limiter.gainStep = parseGain(v);
             o.gainGiven = true;
         }},
        {"knee", [](Options& o, const std::string& v) { o.limiter.kneePercent = parseKnee(v); }},
        {"channels", [](Options& o, const std::string& v) { o.limiter.channels = parseChannels(v); }},
        {"block", [](Options& o, const std::string& v) { o.blockSize = parseBlockSize(v); }},
        {"report", [](Options& o, const std::string& v) { o.report = nonEmpty("--report", v); }},
        {"output-dir",
         [](Options& o, const std::string& v) { o.outputDir = nonEmpty("--output-dir", v); }},
        {"ceiling",
         [](Options& o, const std::string& v) {
             o.ceilingDb = parseRanged("--ceiling", v, kLowestCeilingDb, kHighestCeilingDb, "dB");
             o.ceilingGiven = true;
         }},
        {"target",
         [](Options& o, const std::string& v) {
             o.targetLufs = parseRanged("--target", v, kLowestTargetLufs, kHighestTargetLufs, "LUFS");
         }},
        {"jobs",
         [](Options& o, const std::string& v) {
             o.jobs = parseWhole(v, 1, kMaxJobs, "--jobs must be a whole number");
         }},
    };
    return handlers;
}

const std::map<std::string, FlagHandler>& flagOptions() {
    static const std::map<std::string, FlagHandler> handlers = {
        {"iq", [](Options& o) { o.limiter.iq = true; }},
        {"no-link", [](Options& o) { o.limiter.link = false; }},
        {"keep-latency", [](Options& o) { o.keepLatency = true; }},
        {"float", [](Options& o) { o.floatOutput = true; }},
        {"true-peak", [](Options& o) { o.truePeak = true; }},
        {"album", [](Options& o) { o.album = true; }},
        {"quiet", [](Options& o) { o.quiet = true; }},
        {"help", [](Options& o) { o.help = true; }},
        {"version", [](Options& o) { o.version = true; }},
    };
    return handlers;
}

bool isOption(const std::string& argument) {
    return argument.size() > kPrefixLength && argument.compare(0, kPrefixLength, kOptionPrefix) == 0;
}

// Handles one option (with its value from "--name=value" or the next argument)
// and returns how many arguments it used.
std::size_t applyOption(Options& options, const std::vector<std::string>& arguments,
                        std::size_t at) {
    const std::string body = arguments[at].substr(kPrefixLength);
    const std::size_t equals = body.find('=');
    const std::string name = body.substr(0, equals);
    const auto value = valueOptions().find(name);
    if (value != valueOptions().end()) {
        if (equals != std::string::npos) {
            value->second(options, body.substr(equals + 1));
            return 1;
        }
        if (at + 1 >= arguments.size()) throw UsageError("--" + name + " needs a value");
        value->second(options, arguments[at + 1]);
        return kOptionWithValue;
    }
    const auto flag = flagOptions().find(name);
    if (flag == flagOptions().end() || equals != std::string::npos) {
        throw UsageError("unknown option " + quoted(arguments[at]) + " (see --help)");
    }
    flag->second(options);
    return 1;
}

// Options that contradict each other, refused before any file is looked at.
void checkCombination(const Options& options) {
    if (options.targetLufs && options.gainGiven) {
        throw UsageError("--gain and --target exclude each other: --target chooses the gain");
    }
    if (options.album && !options.targetLufs) {
        throw UsageError("--album needs --target: it chooses one gain for the album's loudness");
    }
    if (options.batch() && !options.report.empty()) {
        throw UsageError("--report draws one file; run files with a report one at a time");
    }
}

}  // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t at = 0; at < arguments.size();) {
        const std::string& argument = arguments[at];
        if (!optionsEnded && argument == kEndOfOptions) {
            optionsEnded = true;
            ++at;
        } else if (!optionsEnded && isOption(argument)) {
            at += applyOption(options, arguments, at);
        } else {
            files.push_back(argument);
            ++at;
        }
    }
    if (options.help || options.version) return options;
    checkCombination(options);
    for (const std::string& file : files) {
        if (file.empty()) throw UsageError("empty file name");
    }
    if (options.batch()) {
        if (files.empty()) throw UsageError("--output-dir needs at least one INPUT file (see --help)");
        options.inputs = files;
        return options;
    }
    if (files.size() != kFileArguments) {
        throw UsageError("expected an INPUT and an OUTPUT file, got " +
                         std::to_string(files.size()) + " file names (see --help)");
    }
    options.input = files[0];
    options.output = files[1];
    options.inputs = {options.input};
    return options;
}

const char* usageText() {
    return "usage: quillo-limit [options] INPUT OUTPUT\n"
           "       quillo-limit [options] INPUT... --output-dir DIR\n"
           "\n"
           "Limits audio files with the Quillo brickwall limiter, exactly as the plug-in\n"
           "does in a host: no output sample exceeds 0 dBFS (or the --ceiling).\n"
           "\n"
           "options:\n"
           "  --gain DB          input gain, -40 to +40.1 dB in 0.1 dB steps (default 0)\n"
           "  --knee PERCENT     soft knee, 0 to 100 (default 70)\n"
           "  --iq               program-dependent release (the Iq switch)\n"
           "  --no-link          limit the two channels independently\n"
           "  --channels MODE    auto (default), stereo, left or right; left and right\n"
           "                     limit that channel only and leave the other one silent\n"
           "  --block N          frames per processing block, 1 to 65536 (default 512)\n"
           "  --keep-latency     keep the look-ahead delay at the start of the output\n"
           "                     (the output is then that many frames longer)\n"
           "  --float            write 32-bit float samples\n"
           "  --report FILE.svg  draw peak envelopes and gain reduction over time\n"
           "  --quiet            print nothing but errors\n"
           "\n"
           "delivery (the result is measured, and written only when it keeps its terms):\n"
           "  --ceiling DB       no output sample above this level, 0 to -20 dB (default 0)\n"
           "  --true-peak        the ceiling holds for the true peak (dBTP) too\n"
           "  --target LUFS      choose the gain that brings the integrated loudness to\n"
           "                     this, -40 to 0 LUFS, within 0.1 LU; fails if out of reach\n"
           "  --output-dir DIR   limit every INPUT into DIR under its own name\n"
           "  --jobs N           files limited at once (default: one per core)\n"
           "  --album            one gain for all INPUTs, from their combined loudness\n"
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "The output keeps the input's format, sample rate and sample type unless its\n"
           "extension asks for another format (.wav .aiff .flac .ogg .opus .mp3 .caf .au\n"
           ".w64 .rf64); an output name without an extension keeps the input's format.\n"
           "The input is never overwritten; the output appears only when complete.\n";
}

}  // namespace limit_tool
