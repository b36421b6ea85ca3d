#include "tools/limit/cli_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

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

int32_t parseBlockSize(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, kDecimalBase);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE ||
        value < kMinBlockSize || value > kMaxBlockSize) {
        throw UsageError("--block must be a whole number of frames from " +
                         std::to_string(kMinBlockSize) + " to " + std::to_string(kMaxBlockSize) +
                         ", not " + quoted(text));
    }
    return static_cast<int32_t>(value);
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
        {"gain", [](Options& o, const std::string& v) { o.limiter.gainStep = parseGain(v); }},
        {"knee", [](Options& o, const std::string& v) { o.limiter.kneePercent = parseKnee(v); }},
        {"channels", [](Options& o, const std::string& v) { o.limiter.channels = parseChannels(v); }},
        {"block", [](Options& o, const std::string& v) { o.blockSize = parseBlockSize(v); }},
        {"report",
         [](Options& o, const std::string& v) {
             if (v.empty()) throw UsageError("--report needs a file name");
             o.report = v;
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
    if (files.size() != kFileArguments) {
        throw UsageError("expected an INPUT and an OUTPUT file, got " +
                         std::to_string(files.size()) + " file names (see --help)");
    }
    if (files[0].empty() || files[1].empty()) throw UsageError("empty file name");
    options.input = files[0];
    options.output = files[1];
    return options;
}

const char* usageText() {
    return "usage: quillo-limit [options] INPUT OUTPUT\n"
           "\n"
           "Limits an audio file with the Quillo brickwall limiter, exactly as the plug-in\n"
           "does in a host: no output sample exceeds 0 dBFS.\n"
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
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "The output keeps the input's format, sample rate and sample type unless its\n"
           "extension asks for another format (.wav .aiff .flac .ogg .opus .mp3 .caf .au\n"
           ".w64 .rf64); an output name without an extension keeps the input's format.\n"
           "The input is never overwritten; the output appears only when complete.\n";
}

}  // namespace limit_tool
