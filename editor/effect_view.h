// What the editor reads and writes of its effect. The plug-in's editor reaches
// the real effect through it; tests hand in a recording stand-in.
#pragma once

#include <cstdint>

constexpr int32_t kMeterChannels = 2;

class EffectView {
public:
    virtual ~EffectView() = default;

    // Parameter values in natural units (IN Gain 0..1, Knee 0..127, switches 0 or 1).
    virtual float parameter(int32_t index) const = 0;
    // Stores a natural value directly, as the editor does before it notifies.
    virtual void storeParameter(int32_t index, float value) = 0;
    // Reports the stored value to the host as if the plug-in had automated it.
    virtual void notifyParameterChange(int32_t index) = 0;
    // The user takes hold of a control and lets it go: every change between
    // the two is one edit.
    virtual void beginEdit(int32_t) {}
    virtual void endEdit(int32_t) {}
    virtual void updateInputGain() = 0;
    virtual float inputGainLinear() const = 0;

    // Routing of the last processed block, per channel (0 left, 1 right).
    virtual int32_t channelActive(int32_t channel) const = 0;
    virtual bool singleChannel() const = 0;

    // Lowest brickwall gain per output channel since the editor last looked.
    virtual float meter(int32_t channel) const = 0;
    virtual void setMeter(int32_t channel, float value) = 0;
    // Lowest soft-stage gain; the editor raises it back towards rest.
    virtual float kneeLamp() const = 0;
    virtual void setKneeLamp(float value) = 0;

    // The effect's fixed-width number formatter.
    virtual void formatNumber(float value, char* text, int8_t offset) = 0;
};
