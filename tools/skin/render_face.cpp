// Renders the editor's face as the window shows it, through the editor's own
// drawing code on the in-memory surface, into a BMP file:
//   quillo_render_face SKIN_DIRECTORY OUTPUT.bmp [name=value ...]
// with the names gain (IN Gain 0..1), knee (0..127), iq, link (0 or 1),
// meter (gain factor under the needle), lamp (knee lamp value), single (0 or 1),
// left and right (channel processed, 0 or 1), about (1 holds the about panel).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dsp/limiter_constants.h"
#include "editor/editor_panel.h"
#include "editor/memory_surface.h"

namespace {

constexpr int32_t kGainSteps = 801;
constexpr double kGainTableOffset = 40.00001;
constexpr double kDecibelsPerStep = 10.0;
constexpr int32_t kFormatWidth = 8;

// A fixed effect: its values come from the command line and stay put.
class StillEffect final : public EffectView {
public:
    float parameter(int32_t index) const override { return values[index]; }
    void storeParameter(int32_t index, float value) override { values[index] = value; }
    void notifyParameterChange(int32_t) override {}
    void updateInputGain() override {
        const double step = std::trunc(kGainSteps * static_cast<double>(values[0]));
        gain = static_cast<float>(std::pow(10.0, (step / kDecibelsPerStep - kGainTableOffset) / quillo::kDecibelsPerDecade));
    }
    float inputGainLinear() const override { return gain; }
    int32_t channelActive(int32_t channel) const override { return active[channel]; }
    bool singleChannel() const override { return single; }
    float meter(int32_t) const override { return meterValue; }
    void setMeter(int32_t, float) override {}
    float kneeLamp() const override { return lamp; }
    void setKneeLamp(float) override {}
    // Good enough for a picture: the digits the read-outs show.
    void formatNumber(float value, char* text, int8_t offset) override {
        const int32_t room = kFormatWidth - offset - (value < 0 ? 1 : 0);
        const double magnitude = std::fabs(value);
        const int32_t integers = magnitude < 10 ? 1 : (magnitude < 100 ? 2 : 3);
        const int32_t decimals = std::max(0, room - integers - 1);
        const double cut = std::trunc(value * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
        std::snprintf(text, kReadoutTextSize, decimals > 0 ? "%.*f" : "%.*f.", decimals, cut);
    }

    float values[kFaceStereoLink + 1] = {kUnityGainValue, kDefaultKnee, 0.0f, 1.0f};
    float gain = 1.0f;
    int32_t active[kMeterChannels] = {1, 1};
    bool single = false;
    float meterValue = 1.0f;
    float lamp = 1.0f;
};

bool apply(StillEffect& effect, bool& about, const char* setting) {
    const char* equals = std::strchr(setting, '=');
    if (equals == nullptr) {
        return false;
    }
    const std::string name(setting, equals);
    const float value = std::strtof(equals + 1, nullptr);
    if (name == "gain") {
        effect.values[kFaceInGain] = value;
    } else if (name == "knee") {
        effect.values[kFaceKnee] = value;
    } else if (name == "iq") {
        effect.values[kFaceIq] = value;
    } else if (name == "link") {
        effect.values[kFaceStereoLink] = value;
    } else if (name == "meter") {
        effect.meterValue = value;
    } else if (name == "lamp") {
        effect.lamp = value;
    } else if (name == "single") {
        effect.single = value != 0.0f;
    } else if (name == "left") {
        effect.active[0] = static_cast<int32_t>(value);
    } else if (name == "right") {
        effect.active[1] = static_cast<int32_t>(value);
    } else if (name == "about") {
        about = value != 0.0f;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SKIN_DIRECTORY OUTPUT.bmp [name=value ...]\n", argv[0]);
        return 2;
    }
    StillEffect effect;
    bool about = false;
    for (int i = 3; i < argc; ++i) {
        if (!apply(effect, about, argv[i])) {
            std::fprintf(stderr, "unknown setting %s\n", argv[i]);
            return 2;
        }
    }
    effect.updateInputGain();
    MemorySurface surface;
    if (!surface.loadSkin(argv[1])) {
        std::fprintf(stderr, "cannot read the skin from %s\n", argv[1]);
        return 1;
    }
    EditorPanel panel(effect);
    panel.isOpen = 1;
    // A full face, then enough ticks for the lamps to settle.
    panel.drawFrame(surface, kFullFace, kNoControl);
    const int32_t settle = 12;
    for (int32_t tick = 0; tick < settle; ++tick) {
        panel.drawFrame(surface, kNoRedraw, kNoControl);
    }
    if (about) {
        panel.dragMode = kAboutHeld;
        panel.drawFrame(surface, kAboutPanel, kNoControl);
    }
    if (!writeBmp(argv[2], surface.image(SkinBitmap::kWindow))) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
