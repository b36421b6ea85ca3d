// What the host learns about the limiter: names, capabilities and pins.
#include <cstdio>
#include <cstring>

#include "plugin/limiter_effect.h"

namespace {

constexpr const char* kSupportedCapabilities[] = {"plugAsChannelInsert", "plugAsSend"};
constexpr int32_t kCanDoYes = 1;
constexpr int32_t kCanDoNo = -1;
constexpr int32_t kPinFlags = kVstPinIsActive | kVstPinIsStereo;

bool describePin(int32_t index, int32_t count, const char* format, VstPinProperties* properties) {
    if (index < 0 || index >= count) return false;
    std::snprintf(properties->label, sizeof properties->label, format, static_cast<int>(index + 1));
    properties->flags = kPinFlags;
    return true;
}

}  // namespace

bool LimiterEffect::effectName(char* text) {
    std::strcpy(text, kEffectName);
    return true;
}

bool LimiterEffect::productText(char* text) {
    std::strcpy(text, kEffectName);
    return true;
}

bool LimiterEffect::vendorText(char* text) {
    std::strcpy(text, kVendorName);
    return true;
}

int32_t LimiterEffect::answerCanDo(char* text) {
    for (const char* capability : kSupportedCapabilities) {
        if (std::strcmp(text, capability) == 0) return kCanDoYes;
    }
    return kCanDoNo;
}

bool LimiterEffect::inputPinInfo(int32_t index, VstPinProperties* properties) {
    return describePin(index, kInputCount, "QX %1d", properties);
}

bool LimiterEffect::outputPinInfo(int32_t index, VstPinProperties* properties) {
    return describePin(index, kOutputCount, "QX%1d", properties);
}

// The level reading is kept for the interface; nothing ever raises it.
float LimiterEffect::vuLevel() {
    const float level = levelReading;
    levelReading = 0.0f;
    return level;
}

// Nothing in the limiter needs to know what the host can do.
bool LimiterEffect::hostCanDo(char*) { return false; }

bool LimiterEffect::hostSendEvents(VstEvents* events) { return EffectBaseX::hostSendEvents(events); }

void LimiterEffect::flagCanMono(bool on) { EffectBaseX::flagCanMono(on); }
void LimiterEffect::declareLatency(int32_t samples) { EffectBaseX::declareLatency(samples); }
bool LimiterEffect::inputPinConnected(int32_t pin) { return EffectBaseX::inputPinConnected(pin); }
bool LimiterEffect::outputPinConnected(int32_t pin) { return EffectBaseX::outputPinConnected(pin); }
