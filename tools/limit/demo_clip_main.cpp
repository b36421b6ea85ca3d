// quillo-demo-clip FILE: writes the demo clip as a 32-bit float WAV file.
#include <sndfile.h>

#include <cstdio>
#include <exception>

#include "tools/limit/audio_file.h"
#include "tools/limit/demo_clip.h"
#include "tools/limit/pending_file.h"
#include "tools/limit/tool_error.h"

namespace {

constexpr int kArgumentCount = 2;  // the program and the file

}  // namespace

int main(int argc, char** argv) {
    using namespace limit_tool;
    if (argc != kArgumentCount) {
        std::fprintf(stderr, "usage: quillo-demo-clip FILE.wav\n");
        return kExitUsage;
    }
    try {
        const std::vector<float> clip = synthesiseDemoClip();
        AudioFormat format;
        format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        format.channels = kDemoChannels;
        format.sampleRate = kDemoSampleRate;
        PendingFile file(argv[1]);
        AudioWriter writer(file.takeDescriptor(), format, argv[1]);
        writer.write(clip.data(), static_cast<int64_t>(clip.size() / kDemoChannels));
        writer.close();
        file.commit();
        return kExitOk;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "quillo-demo-clip: %s\n", error.what());
        return error.status();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillo-demo-clip: %s\n", error.what());
        return kExitFailure;
    }
}
