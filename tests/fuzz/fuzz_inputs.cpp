// Writes the fuzz targets' seed and regression inputs into a directory:
//   host/seeds, host/regressions     sessions for the host-session target
//                                    (the same as those kept in the tests)
//   files/seeds, files/regressions   files for the audio-file target
//   state/seeds                      saved states for the state decoder
// Each regression input is named for the fault it once exposed.
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio_file_inputs.h"
#include "host/vst_abi.h"
#include "host_session.h"

namespace fuzz {
namespace {

constexpr uint8_t kFirst = 0;
constexpr uint8_t kSecond = 1;
constexpr int32_t kKnee = 1;
constexpr int32_t kIq = 2;
constexpr int32_t kStereoLink = 3;
constexpr int32_t kAutoSelect = 4;
constexpr int32_t kForceChannels = 5;
constexpr float kKneeMaximum = 127.0f;
constexpr float kStartKnee = 89.0f / kKneeMaximum;
constexpr float kForceLeft = 0.5f;
constexpr float kLoud = 4.0f;
constexpr float kHot = 2.0f;
constexpr uint16_t kBlock = 512;
constexpr uint8_t kAccumulate = kAccumulateBit;

constexpr uint8_t layout(BufferLayout chosen, uint8_t mode = 0) { return static_cast<uint8_t>(chosen << 1 | mode); }

void save(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// ---- Host sessions -------------------------------------------------------------

std::string resumeAndProcess() {
    SessionWriter s;
    s.create().setRate(kFirst, 48000.0f).setBlockSize(kFirst, 256).switchOn(kFirst, true);
    s.process(kFirst, layout(kSeparate), 256, kNoise, kHot);
    s.process(kFirst, layout(kInPlace, kAccumulate), 300, kSine, 0.9f);
    s.process(kFirst, layout(kMonoInput), kBlock, kClicks, kLoud);
    s.process(kFirst, layout(kCrossedInPlace), 1000, kSpecials, 1.0f);
    return s.switchOn(kFirst, false).close(kFirst).str();
}

std::string parametersAndTexts() {
    SessionWriter s;
    s.create();
    for (int32_t index = -1; index <= kForceChannels + 1; ++index) {
        for (uint8_t opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName}) {
            s.dispatch(kFirst, opcode, index, 0, true, 0.0f);
        }
        s.setParameter(kFirst, index, 0.3f).getParameter(kFirst, index);
    }
    s.dispatchText(kFirst, effSetProgramName, 0, "a program name longer than its twenty-three characters");
    s.dispatch(kFirst, effGetProgramName, 0, 0, true, 0.0f).dispatch(kFirst, effSetProgram, 0, 3, false, 0.0f);
    s.dispatch(kFirst, effGetProgramNameIndexed, 4, 0, true, 0.0f).dispatch(kFirst, effCopyProgram, 7, 0, false, 0.0f);
    for (uint8_t opcode : {effGetEffectName, effGetVendorString, effGetProductString, effGetErrorText}) {
        s.dispatch(kFirst, opcode, 0, 0, true, 0.0f);
    }
    for (int32_t pin = 0; pin <= 2; ++pin) {
        s.dispatch(kFirst, effGetInputProperties, pin, 0, true, 0.0f);
        s.dispatch(kFirst, effGetOutputProperties, pin, 0, true, 0.0f);
    }
    s.dispatchText(kFirst, effCanDo, 0, "plugAsSend").dispatchText(kFirst, effString2Parameter, 0, "12");
    for (uint8_t opcode : {effIdentify, effCanBeAutomated, effGetPlugCategory, effGetVstVersion, effKeysRequired}) {
        s.dispatch(kFirst, opcode, 0, 0, false, 0.0f);
    }
    return s.str();
}

std::string instancesAtTwoRates() {
    SessionWriter s;
    s.create().create().setRate(kFirst, 44100.0f).setRate(kSecond, 96000.0f);
    s.switchOn(kFirst, true).switchOn(kSecond, true);
    s.process(kFirst, layout(kSeparate), kBlock, kNoise, kLoud).process(kSecond, layout(kSharedOutput), kBlock, kSine, kHot);
    s.setRate(kSecond, 8000.0f).process(kFirst, layout(kSeparate), kBlock, kNoise, kLoud);
    s.close(kFirst).create().switchOn(kSecond, true).process(kFirst, layout(kSeparate, kAccumulate), 64, kNoise, kLoud);
    return s.str();
}

std::string channelsAndPins() {
    SessionWriter s;
    s.create().setParameter(kFirst, kAutoSelect, 0.0f).setParameter(kFirst, kForceChannels, kForceLeft);
    s.switchOn(kFirst, true).process(kFirst, layout(kSeparate), kBlock, kNoise, kLoud);
    s.setParameter(kFirst, kForceChannels, 1.0f).process(kFirst, layout(kInPlace), kBlock, kNoise, kLoud);
    s.setParameter(kFirst, kAutoSelect, 1.0f).pins(0x2).switchOn(kFirst, true);
    s.process(kFirst, layout(kSeparate), kBlock, kNoise, kLoud).pins(0x4);
    s.setParameter(kFirst, kStereoLink, 0.0f).setParameter(kFirst, kIq, 1.0f);
    s.process(kFirst, layout(kMonoInPlace, kAccumulate), kBlock, kClicks, kLoud);
    return s.str();
}

std::string editorAndChunks() {
    SessionWriter s;
    s.create();
    s.dispatch(kFirst, effEditGetRect, 0, 0, true, 0.0f).dispatch(kFirst, effEditOpen, 0, 0, true, 0.0f);
    s.dispatch(kFirst, effEditIdle, 0, 0, false, 0.0f).dispatch(kFirst, effEditClose, 0, 0, false, 0.0f);
    s.dispatch(kFirst, effGetChunk, 0, 0, true, 0.0f).dispatch(kFirst, effSetChunk, 0, 16, true, 0.0f);
    s.dispatch(kFirst, effGetVu, 0, 0, false, 0.0f).dispatch(kFirst, effSetBlockSizeAndSampleRate, 0, 128, false, 22050.0f);
    s.switchOn(kFirst, true).process(kFirst, layout(kSeparate), 1000, kNoise, kLoud);
    return s.dispatch(kFirst, effClose, 0, 0, false, 0.0f).str();
}

// Huge finite values once overflowed the stored natural value to infinity,
// which getParameter returned and a program change sent to the host.
std::string parameterFarAboveRange() {
    SessionWriter s;
    s.create().setParameter(kFirst, kKnee, 3e38f).setParameter(kFirst, kForceChannels, 3e38f);
    return s.dispatch(kFirst, effSetProgram, 0, 0, false, 0.0f).str();
}

// Knee far outside its range turned every output sample into NaN, silence
// included, until the next resume: with Iq off, with Iq on, and at the lowest
// rate the engine runs at.
std::string kneeFarOutOfRange() {
    SessionWriter s;
    const float cases[][3] = {{-1e20f, 0.0f, 44100.0f}, {1e20f, 1.0f, 44100.0f}, {-3e38f, 1.0f, 6301.0f}};
    for (const auto& c : cases) {
        s.create().setParameter(kFirst, kIq, c[1]).setRate(kFirst, c[2]).setParameter(kFirst, kKnee, c[0] / kKneeMaximum);
        s.switchOn(kFirst, true).process(kFirst, layout(kSeparate), 2048, kNoise, kLoud);
        s.setParameter(kFirst, kKnee, kStartKnee).process(kFirst, layout(kSeparate), 2048, kSilence, 0.0f);
        s.close(kFirst);
    }
    return s.str();
}

// A rate whose window does not fit the histories once passed the test by
// wrapping and read outside them: set before a resume, and set by another
// instance while this one runs.
std::string rateTooLargeForHistories() {
    SessionWriter s;
    s.create().setRate(kFirst, 3e12f).switchOn(kFirst, true).process(kFirst, layout(kSeparate), kBlock, kNoise, kLoud);
    s.create().switchOn(kSecond, true).setRate(kFirst, 3e12f);
    return s.process(kSecond, layout(kSeparate), kBlock, kNoise, kLoud).str();
}

// A rate set without a resume once changed the running gain curve, which then
// extrapolated its ramps: flipped polarity and gains far above 1, hidden only by
// the final clamp.
std::string rateSetWithoutResume() {
    SessionWriter s;
    s.create().switchOn(kFirst, true).process(kFirst, layout(kSeparate), 2048, kNoise, kLoud);
    s.setRate(kFirst, 100.0f).process(kFirst, layout(kSeparate), 4096, kNoise, kLoud);
    s.process(kFirst, layout(kSeparate), 4096, kSine, 0.5f);
    s.create().setRate(kSecond, 192000.0f).switchOn(kSecond, true).process(kSecond, layout(kSeparate), 2048, kNoise, kLoud);
    s.setRate(kFirst, 8000.0f).process(kSecond, layout(kSeparate), 4096, kNoise, kLoud);
    return s.process(kSecond, layout(kSeparate), 4096, kSine, 0.5f).str();
}

void writeHostInputs(const std::filesystem::path& root) {
    const std::filesystem::path seeds = root / "host" / "seeds";
    const std::filesystem::path regressions = root / "host" / "regressions";
    save(seeds / "resume-and-process", resumeAndProcess());
    save(seeds / "parameters-and-texts", parametersAndTexts());
    save(seeds / "instances-at-two-rates", instancesAtTwoRates());
    save(seeds / "channels-and-pins", channelsAndPins());
    save(seeds / "editor-and-chunks", editorAndChunks());
    save(regressions / "parameter-value-far-above-range", parameterFarAboveRange());
    save(regressions / "knee-far-out-of-range", kneeFarOutOfRange());
    save(regressions / "rate-too-large-for-histories", rateTooLargeForHistories());
    save(regressions / "rate-set-without-resume", rateSetWithoutResume());
}

}  // namespace
}  // namespace fuzz

void writeFileInputs(const std::filesystem::path& root);
void writeStateInputs(const std::filesystem::path& root);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    fuzz::writeHostInputs(argv[1]);
    writeFileInputs(argv[1]);
    writeStateInputs(argv[1]);
    return 0;
}
