// Fuzz target: each input is a file handed to the offline tool, its first byte
// naming the extension (some decoders go by it) and the rest its bytes. The
// tool's reading path (open, check the format, read to the end counting the
// frames, measure and collect the report's traces) must finish or fail with
// the tool's own error: never crash, hang, throw anything else, or measure a
// figure that is not a number.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio_file_inputs.h"
#include "host_promises.h"
#include "tools/limit/audio_file.h"
#include "tools/limit/limit_job.h"
#include "tools/limit/measurements.h"
#include "tools/limit/tool_error.h"

namespace {

constexpr int64_t kBlockFrames = 512;
// Tiny files may decode to long runs of silence; a few seconds are enough.
constexpr int64_t kMostFrames = int64_t{1} << 20;

std::string scratchDirectory;

std::string fileFor(uint8_t selector) {
    const std::string extension = fuzz::kFileExtensions[selector % fuzz::kFileExtensionCount];
    return scratchDirectory + "/input" + (extension.empty() ? "" : "." + extension);
}

void readLikeTheTool(const std::string& path) {
    using namespace limit_tool;
    AudioReader reader(path);
    const AudioFormat& format = reader.format();
    checkInput(path, format);
    std::vector<std::string> names(static_cast<std::size_t>(format.channels), "channel");
    std::vector<bool> limited(names.size(), true);
    LevelMeter meter(format.channels, format.sampleRate);
    EnvelopeCollector envelopes(names, limited, format.lengthStated() ? format.frames : 0, 1.0f);
    std::vector<float> block(static_cast<std::size_t>(kBlockFrames * format.channels));
    for (int64_t got; reader.framesRead() < kMostFrames && (got = reader.read(block.data(), kBlockFrames)) > 0;) {
        PROMISE(got <= kBlockFrames, "read %lld frames of %lld", static_cast<long long>(got),
                static_cast<long long>(kBlockFrames));
        envelopes.addInput(reader.framesRead() - got, block.data(), got);
        meter.add(block.data(), got);
    }
    PROMISE(!std::isnan(meter.samplePeak()) && !std::isnan(meter.truePeak()) && !std::isnan(meter.loudness()),
            "measured %g %g %g", meter.samplePeak(), meter.truePeak(), meter.loudness());
    const auto traces = envelopes.traces(reader.framesRead());
    const std::size_t columns = static_cast<std::size_t>(
        std::max<int64_t>(1, std::min(kReportColumns, reader.framesRead())));
    PROMISE(traces.size() == names.size() && traces[0].inputPeak.size() == columns, "report columns");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::filesystem::path shared("/dev/shm");
    std::string pattern =
        ((std::filesystem::is_directory(shared) ? shared : std::filesystem::temp_directory_path()) /
         "quillo-file-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    scratchDirectory = pattern;
    std::atexit([] { std::filesystem::remove_all(scratchDirectory); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string path = fileFor(data[0]);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    try {
        readLikeTheTool(path);
    } catch (const limit_tool::ToolError&) {
    }
    std::filesystem::remove(path);
    return 0;
}
