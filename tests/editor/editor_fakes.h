// Stand-ins for the effect and the window system, recording what the editor does.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/limiter_constants.h"
#include "editor/effect_view.h"
#include "editor/skin_layout.h"
#include "editor/window_system.h"

struct Automation {
    int32_t index;
    float normalised;
};

class FakeEffect : public EffectView {
public:
    FakeEffect() { updateInputGain(); }

    float parameter(int32_t index) const override { return values[index]; }
    void storeParameter(int32_t index, float value) override { values[index] = value; }
    void notifyParameterChange(int32_t index) override {
        automations.push_back({index, values[index] / maxima[index]});
    }
    // The 0.1 dB steps of the plug-in's gain table.
    void updateInputGain() override {
        constexpr double kSteps = 801.0;
        constexpr double kStepsPerDecibel = 10.0;
        constexpr double kBottom = 40.00001;
        ++gainUpdates;
        const double step = std::trunc(kSteps * values[0]);
        gain = static_cast<float>(std::pow(10.0, (step / kStepsPerDecibel - kBottom) / quillo::kDecibelsPerDecade));
    }
    float inputGainLinear() const override { return gain; }
    int32_t channelActive(int32_t channel) const override { return active[channel]; }
    bool singleChannel() const override { return single; }
    float meter(int32_t channel) const override { return meters[channel]; }
    void setMeter(int32_t channel, float value) override { meters[channel] = value; }
    float kneeLamp() const override { return lamp; }
    void setKneeLamp(float value) override { lamp = value; }
    void formatNumber(float value, char* text, int8_t offset) override;

    float values[6] = {0.5f, 89.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    float maxima[6] = {1.0f, 127.0f, 1.0f, 1.0f, 1.0f, 2.0f};
    float gain = 1.0f;
    int32_t active[kMeterChannels] = {1, 1};
    bool single = false;
    float meters[kMeterChannels] = {1.0f, 1.0f};
    float lamp = 1.0f;
    std::vector<Automation> automations;
    int32_t gainUpdates = 0;
};

// The host layer's fixed-width formatter, as the read-outs rely on it.
inline void FakeEffect::formatNumber(float value, char* text, int8_t offset) {
    constexpr int32_t kWidth = 8;
    constexpr double kNegativeLimit = 9999999.0;
    constexpr double kPositiveLimit = 99999999.0;
    constexpr double kRadix = 10.0;
    constexpr double kTenth = 0.1;
    double v = value;
    int32_t spent = offset;
    const bool negative = v < 0;
    if (negative) {
        v = -v;
        ++spent;
    }
    if (v > (negative ? kNegativeLimit : kPositiveLimit)) {
        std::strcpy(text, " Huge!  ");
        return;
    }
    std::string digits = ".";
    double n = std::floor(v);
    digits.insert(0, 1, static_cast<char>('0' + static_cast<int>(std::fmod(n, kRadix))));
    n *= kTenth;
    spent += 2;
    while (n >= 1.0 && spent < kWidth) {
        digits.insert(0, 1, static_cast<char>('0' + static_cast<int>(std::fmod(n, kRadix))));
        n *= kTenth;
        ++spent;
    }
    if (negative) {
        digits.insert(0, 1, '-');
    }
    std::string fraction;
    double x = std::fmod(v, 1.0) * std::pow(kRadix, kWidth - spent);
    for (int32_t i = spent; i < kWidth; ++i) {
        if (x <= 0) {
            fraction.insert(0, 1, '0');
        } else {
            fraction.insert(0, 1, static_cast<char>('0' + static_cast<int>(std::fmod(x, kRadix))));
            x *= kTenth;
        }
    }
    std::strcpy(text, (digits + fraction).c_str());
}

struct BlitCall {
    SkinBitmap destination;
    int32_t x, y, width, height;
    SkinBitmap source;
    int32_t sourceX, sourceY;
    RasterOp op;
};

class RecordingTarget : public BlitTarget {
public:
    bool beginFrame() override {
        ++frames;
        return hasWindow;
    }
    void blit(SkinBitmap destination, int32_t x, int32_t y, int32_t width, int32_t height, SkinBitmap source,
              int32_t sourceX, int32_t sourceY, RasterOp op) override {
        calls.push_back({destination, x, y, width, height, source, sourceX, sourceY, op});
    }
    void endFrame() override { ++presented; }

    // Copies and sprites landing at a face position, in order.
    std::vector<BlitCall> at(int32_t x, int32_t y) const {
        std::vector<BlitCall> found;
        for (const BlitCall& c : calls) {
            if (c.destination == SkinBitmap::kOffscreen && c.x == x && c.y == y) {
                found.push_back(c);
            }
        }
        return found;
    }

    bool hasWindow = true;
    int32_t frames = 0;
    int32_t presented = 0;
    std::vector<BlitCall> calls;
};

// Records the window system calls in order, as short words.
class FakeWindowSystem : public WindowSystem {
public:
    struct Window : EditorWindow {
        bool beginFrame() override { return true; }
        void blit(SkinBitmap, int32_t, int32_t, int32_t, int32_t, SkinBitmap, int32_t, int32_t, RasterOp) override {}
        void endFrame() override {}
        void start() override { started = true; }
        void idle() override { ++idles; }
        bool started = false;
        int32_t idles = 0;
    };

    void registerWindowClass() override { log.push_back("register"); }
    void unregisterWindowClass() override { log.push_back("unregister"); }
    EditorWindow* createWindow(void*, WindowClient& client) override {
        log.push_back("create");
        if (refuseWindows) {
            return nullptr;
        }
        ++liveWindows;
        lastClient = &client;
        lastWindow = new Window;
        return lastWindow;
    }
    void loadSkin(EditorWindow&) override { log.push_back("load"); }
    void releaseSkin() override { log.push_back("release"); }
    void destroyWindow(EditorWindow* window) override {
        log.push_back("destroy");
        --liveWindows;
        delete window;
    }

    std::string joined() const {
        std::string all;
        for (const std::string& s : log) {
            all += (all.empty() ? "" : " ") + s;
        }
        return all;
    }

    std::vector<std::string> log;
    bool refuseWindows = false;
    int32_t liveWindows = 0;
    WindowClient* lastClient = nullptr;
    Window* lastWindow = nullptr;
};

// Read-outs read back from the glyph copies and their final placement.
struct Readout {
    std::string text;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
};

inline char glyphCharacter(int32_t sourceX) {
    const char* symbols = "0123456789-d.%";
    for (int32_t g = 0; g < kFontGlyphCount; ++g) {
        if (kFontGlyphs[g].x == sourceX) {
            return g == kGlyphDecibel ? 'd' : symbols[g];
        }
    }
    return '?';
}

// Reads the read-outs back from the glyph copies and the final placement.
inline std::vector<Readout> readouts(const RecordingTarget& target) {
    std::vector<Readout> found;
    std::string text;
    int32_t cursor = 0;
    for (const BlitCall& c : target.calls) {
        if (c.op == RasterOp::kBlackness) {
            text.clear();
            cursor = kReadoutMargin;
        } else if (c.source == SkinBitmap::kFaceSheet && c.sourceY == kFontTop) {
            EXPECT_EQ(c.x, cursor) << "glyph of " << text;
            EXPECT_EQ(c.y, kScratchLine.y);
            const char ch = glyphCharacter(c.sourceX);
            text += ch == 'd' ? std::string("db") : std::string(1, ch);
            cursor += c.width + (ch == 'd' || ch == '%' ? 0 : 1);
        } else if (c.source == SkinBitmap::kOffscreen && c.sourceY == kScratchLine.y) {
            found.push_back({text, c.x, c.y, c.width});
        }
    }
    return found;
}

