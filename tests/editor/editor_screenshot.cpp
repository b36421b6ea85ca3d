// Writes a picture of the built plug-in's editor window, embedded in a host's
// window (Win32, or X11 for the .so), while it limits a loud, punchy signal,
// for the README:  quillo_editor_screenshot OUTPUT.bmp
#include <cmath>
#include <cstdio>
#include <vector>

#include "support/plugin_library.h"

#if defined(_WIN32)
#include "window_host.h"
#else
#include "x11_host.h"
#endif

namespace {

// The host's side: a window to embed the editor in, its loop, a copy of the editor's pixels.
#if defined(_WIN32)
class ScreenshotHost {
public:
    bool ready() const { return true; }
    void* parent() const { return window.handle; }
    bool showsEditor() const { return window.editor() != nullptr; }
    void run(EffectHandle&, int32_t milliseconds) { pumpMessages(static_cast<DWORD>(milliseconds)); }
    PixelImage capture() const { return captureWindow(window.editor()); }

private:
    ParentWindow window{10, 10};
};
#else
class ScreenshotHost {
public:
    ScreenshotHost() : window(x.display != nullptr ? x.createTopLevel(10, 10) : None) {}
    bool ready() const { return window != None; }
    void* parent() const { return X11Host::asParent(window); }
    bool showsEditor() { return x.editorIn(window) != None; }
    void run(EffectHandle& effect, int32_t milliseconds) { x.run({&effect}, milliseconds); }
    PixelImage capture() { return x.capture(x.editorIn(window)); }

private:
    X11Host x;
    Window window;
};
#endif

constexpr float kSampleRate = 44100.0f;
constexpr int32_t kBlock = 2205;  // one timer tick of audio
constexpr int32_t kBlocks = 40;
constexpr float kToneHertz = 110.0f;
constexpr int32_t kBeat = 5000;       // a hit every ~113 ms
constexpr double kHitDecay = 0.0012;  // per sample
constexpr float kGainPlusTwelve = 0.5f + 120.0f / 801.0f;
constexpr float kKneeSixty = 0.6f;
constexpr double kTwoPi = 6.283185307179586;

intptr_t quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    PluginLibrary library(QUILLO_MODULE_FILE);
    if (!library.loaded() || library.entry() == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", QUILLO_MODULE_FILE);
        return 1;
    }
    EffectHandle effect(library.entry()(quietHost));
    AEffect* record = effect.record();
    record->setParameter(record, 0, kGainPlusTwelve);
    record->setParameter(record, 1, kKneeSixty);
    record->setParameter(record, 2, 1.0f);
    effect.dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
    effect.dispatch(effSetBlockSize, 0, kBlock);
    effect.dispatch(effMainsChanged, 0, 1);

    ScreenshotHost host;
    if (!host.ready() || effect.dispatch(effEditOpen, 0, 0, host.parent()) != 1 || !host.showsEditor()) {
        std::fprintf(stderr, "the editor did not open\n");
        return 1;
    }
    std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    int64_t sample = 0;
    for (int32_t block = 0; block < kBlocks; ++block) {
        for (int32_t i = 0; i < kBlock; ++i, ++sample) {
            const double phase = kTwoPi * kToneHertz * static_cast<double>(sample) / kSampleRate;
            // Drum-like hits over a steady tone: peaks for the brickwall, body for the knee.
            const double hit = std::exp(-kHitDecay * static_cast<double>(sample % kBeat));
            left[i] = static_cast<float>(0.3 * std::sin(phase) + hit * std::sin(phase * 7.0));
            right[i] = static_cast<float>(0.25 * std::sin(phase * 1.5) + hit * std::sin(phase * 5.0));
        }
        record->processReplacing(record, inputs, outputs, kBlock);
        host.run(effect, kBlock * 1000 / static_cast<int32_t>(kSampleRate));
    }
    const PixelImage picture = host.capture();
    effect.dispatch(effEditClose);
    if (!writeBmp(argv[1], picture)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
