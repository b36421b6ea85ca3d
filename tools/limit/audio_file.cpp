#include "tools/limit/audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>

#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr int32_t kInt32Bits = 32;
constexpr int32_t kByteBits = 8;
constexpr int32_t kPcm16Bits = 16;
constexpr int32_t kPcm24Bits = 24;

// libsndfile hands integer samples left-justified in 32 bits. The scales are
// powers of two, so multiplying by them is exact (as ldexp would be) and
// costs no library call per sample.
const double kLeftJustifiedScale = std::ldexp(1.0, 1 - kInt32Bits);

float fromLeftJustified(int32_t sample) {
    return static_cast<float>(static_cast<double>(sample) * kLeftJustifiedScale);
}

// Full scale of a sample type and the step of its lowest bit in 32 bits.
struct PcmScale {
    explicit PcmScale(int32_t bits)
        : fullScale(std::ldexp(1.0, bits - 1)), step(std::ldexp(1.0, kInt32Bits - bits)) {}
    double fullScale;
    double step;
};

double onGrid(float sample, const PcmScale& scale) {
    double level = std::nearbyint(static_cast<double>(sample) * scale.fullScale);
    if (std::isnan(level)) level = 0.0;
    return std::min(std::max(level, -scale.fullScale), scale.fullScale - 1);
}

int32_t toLeftJustified(float sample, const PcmScale& scale) {
    return static_cast<int32_t>(onGrid(sample, scale) * scale.step);
}

void checkReadable(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        throw ToolError("cannot open input " + quoted(path) + ": " + std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        throw ToolError("input " + quoted(path) + " is a directory, not an audio file");
    }
    const int probe = open(path.c_str(), O_RDONLY);
    if (probe < 0) {
        throw ToolError("cannot read input " + quoted(path) + ": " + std::strerror(errno));
    }
    close(probe);
}

// libsndfile's error texts, such as "Error : flac decoder lost sync.", as
// the reason part of a message.
std::string libraryReason(const char* text) {
    std::string reason = text != nullptr ? text : "";
    const std::string prefix = "Error : ";
    if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
    return reason.empty() ? "unknown error" : reason;
}

std::string decoderReport(const DecoderMessages& messages) {
    return "the decoder reports \"" + messages.first() + "\"";
}

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Containers an output name can ask for, with the sample type they must use
// when they cannot hold the input's (0: keep the input's when possible).
struct Container {
    int32_t major;
    int32_t requiredSubtype;
};

const std::map<std::string, Container>& containers() {
    static const std::map<std::string, Container> table = {
        {"wav", {SF_FORMAT_WAV, 0}},   {"wave", {SF_FORMAT_WAV, 0}},
        {"aif", {SF_FORMAT_AIFF, 0}},  {"aiff", {SF_FORMAT_AIFF, 0}},
        {"aifc", {SF_FORMAT_AIFF, 0}}, {"flac", {SF_FORMAT_FLAC, 0}},
        {"ogg", {SF_FORMAT_OGG, SF_FORMAT_VORBIS}}, {"oga", {SF_FORMAT_OGG, SF_FORMAT_VORBIS}},
        {"opus", {SF_FORMAT_OGG, SF_FORMAT_OPUS}},  {"caf", {SF_FORMAT_CAF, 0}},
        {"au", {SF_FORMAT_AU, 0}},     {"snd", {SF_FORMAT_AU, 0}},
        {"w64", {SF_FORMAT_W64, 0}},   {"rf64", {SF_FORMAT_RF64, 0}},
        {"mp3", {SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III}},
    };
    return table;
}

bool isPlainSamples(int32_t subtype) {
    return pcmBitsOf(subtype) != 0 || subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

std::string knownExtensions() {
    std::string list;
    for (const auto& entry : containers()) list += " ." + entry.first;
    return list;
}

bool formatWorks(int32_t format, const AudioFormat& input) {
    SF_INFO info{};
    info.format = format;
    info.channels = input.channels;
    info.samplerate = input.sampleRate;
    return sf_format_check(&info) == SF_TRUE;
}

std::string formatName(int32_t format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) != 0 || info.name == nullptr) {
        return "unknown";
    }
    return info.name;
}

}  // namespace

int32_t pcmBitsOf(int32_t format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return kByteBits;
        case SF_FORMAT_PCM_16: return kPcm16Bits;
        case SF_FORMAT_PCM_24: return kPcm24Bits;
        case SF_FORMAT_PCM_32: return kInt32Bits;
        default: return 0;
    }
}

bool keepsSamples(int32_t format) {
    const int32_t subtype = format & SF_FORMAT_SUBMASK;
    return pcmBitsOf(format) != 0 || subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE ||
           subtype == SF_FORMAT_ALAC_16 || subtype == SF_FORMAT_ALAC_20 ||
           subtype == SF_FORMAT_ALAC_24 || subtype == SF_FORMAT_ALAC_32;
}

void snapToPcmGrid(float* samples, int64_t count, int32_t bits) {
    const PcmScale scale(bits);
    for (int64_t i = 0; i < count; ++i) {
        samples[i] = static_cast<float>(onGrid(samples[i], scale) / scale.fullScale);
    }
}

AudioReader::AudioReader(const std::string& inputPath) : path(inputPath) {
    checkReadable(path);
    SF_INFO sfInfo{};
    {
        const DecoderMessages::Collecting collecting(decoderMessages);
        file = sf_open(path.c_str(), SFM_READ, &sfInfo);
    }
    if (file == nullptr) {
        const std::string reason = decoderMessages.any() ? decoderReport(decoderMessages)
                                                         : sf_strerror(nullptr);
        throw ToolError("input " + quoted(path) + " is not in an audio format this tool can read (" +
                        reason + ")");
    }
    info = {sfInfo.format, sfInfo.channels, sfInfo.samplerate, sfInfo.frames};
    pcmBits = pcmBitsOf(info.format);
    if (decoderMessages.any()) {
        sf_close(file);
        file = nullptr;
        throw ToolError("input " + quoted(path) + " cannot be decoded: " +
                        decoderReport(decoderMessages));
    }
}

AudioReader::~AudioReader() {
    if (file != nullptr) sf_close(file);
}

int64_t AudioReader::read(float* interleaved, int64_t frames) {
    int64_t got = 0;
    {
        const DecoderMessages::Collecting collecting(decoderMessages);
        if (pcmBits == 0) {
            got = sf_readf_float(file, interleaved, frames);
        } else {
            const std::size_t samples = static_cast<std::size_t>(frames * info.channels);
            if (scratch.size() < samples) scratch.resize(samples);
            got = sf_readf_int(file, scratch.data(), frames);
        }
    }
    // libsndfile sets the error of the one call that met it and clears it
    // at the next, which may read on past the damage.
    if (got < 0 || sf_error(file) != SF_ERR_NO_ERROR) failAfterRead(libraryReason(sf_strerror(file)));
    if (decoderMessages.any()) failAfterRead(decoderReport(decoderMessages));
    if (pcmBits != 0) {
        for (int64_t i = 0; i < got * info.channels; ++i) interleaved[i] = fromLeftJustified(scratch[i]);
    }
    framesSoFar += got;
    return got;
}

void AudioReader::failAfterRead(const std::string& reason) const {
    throw ToolError("input " + quoted(path) + " cannot be read past frame " +
                    std::to_string(framesSoFar) + ": " + reason);
}

AudioWriter::AudioWriter(int descriptor, const AudioFormat& format,
                         const std::string& nameForMessages)
    : name(nameForMessages), channels(format.channels), pcmBits(pcmBitsOf(format.format)) {
    SF_INFO sfInfo{};
    sfInfo.format = format.format;
    sfInfo.channels = format.channels;
    sfInfo.samplerate = format.sampleRate;
    file = sf_open_fd(descriptor, SFM_WRITE, &sfInfo, SF_TRUE);
    if (file == nullptr) {
        ::close(descriptor);
        throw ToolError("cannot write " + quoted(name) + " as " + describeFormat(format.format) +
                        " at " + std::to_string(format.sampleRate) + " Hz: " + sf_strerror(nullptr));
    }
    // Non-PCM types still go through libsndfile's float conversion; without
    // clipping a full-scale sample could wrap to the opposite sign.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (file != nullptr) sf_close(file);
}

void AudioWriter::write(const float* interleaved, int64_t frames) {
    int64_t written = 0;
    if (pcmBits == 0) {
        written = sf_writef_float(file, interleaved, frames);
    } else {
        const std::size_t samples = static_cast<std::size_t>(frames * channels);
        if (scratch.size() < samples) scratch.resize(samples);
        const PcmScale scale(pcmBits);
        for (std::size_t i = 0; i < samples; ++i) {
            scratch[i] = toLeftJustified(interleaved[i], scale);
        }
        written = sf_writef_int(file, scratch.data(), frames);
    }
    if (written != frames) {
        throw ToolError("cannot write " + quoted(name) + ": " + sf_strerror(file));
    }
}

void AudioWriter::close() {
    SNDFILE* closing = file;
    file = nullptr;
    if (sf_close(closing) != 0) throw ToolError("cannot finish " + quoted(name));
}

namespace {

// The container the output name asks for, or the input's when it has no extension.
Container outputContainer(const AudioFormat& input, const std::string& outputPath) {
    const std::string extension = lowerExtension(outputPath);
    if (extension.empty()) return {input.format & SF_FORMAT_TYPEMASK, 0};
    const auto container = containers().find(extension);
    if (container == containers().end()) {
        // Writing the input's format under a name that promises another would
        // mislead every program that trusts the name.
        throw ToolError("output " + quoted(outputPath) + " has an extension this tool does not " +
                        "write; use one of" + knownExtensions() +
                        " or none to keep the input's format");
    }
    return container->second;
}

}  // namespace

int32_t chooseOutputFormat(const AudioFormat& input, const std::string& outputPath,
                           bool floatSamples) {
    const Container container = outputContainer(input, outputPath);
    const int32_t major = container.major;
    const bool sameMajor = major == (input.format & SF_FORMAT_TYPEMASK);
    const int32_t endian = sameMajor ? input.format & SF_FORMAT_ENDMASK : SF_ENDIAN_FILE;
    if (floatSamples) {
        const int32_t format = major | SF_FORMAT_FLOAT | endian;
        if (!formatWorks(format, input)) {
            throw ToolError(formatName(major) + " cannot hold 32-bit float samples for " +
                            quoted(outputPath));
        }
        return format;
    }
    const int32_t inputSubtype = input.format & SF_FORMAT_SUBMASK;
    // A codec of the input's container (MP3, Vorbis, ADPCM...) may pass the
    // format check inside another container and still fail to open there.
    const int32_t kept = sameMajor || isPlainSamples(inputSubtype) ? inputSubtype : 0;
    const int32_t candidates[] = {container.requiredSubtype, kept, SF_FORMAT_PCM_24,
                                  SF_FORMAT_PCM_16};
    for (const int32_t subtype : candidates) {
        if (subtype != 0 && formatWorks(major | subtype | endian, input)) {
            return major | subtype | endian;
        }
    }
    throw ToolError("cannot write " + quoted(outputPath) + " as " + formatName(major) + " with " +
                    std::to_string(input.channels) + " channels at " +
                    std::to_string(input.sampleRate) + " Hz");
}

std::string describeFormat(int32_t format) {
    return formatName(format & SF_FORMAT_TYPEMASK) + ", " + formatName(format & SF_FORMAT_SUBMASK);
}

}  // namespace limit_tool
