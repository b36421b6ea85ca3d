// The editor's view of the real limiter effect: its parameter storage, input
// gain, routing and meter values, and its number formatter.
#pragma once

#include "editor/effect_view.h"

class LimiterEffect;

class LimiterEffectView final : public EffectView {
public:
    explicit LimiterEffectView(LimiterEffect* effect) : limiter(effect) {}

    float parameter(int32_t index) const override;
    void storeParameter(int32_t index, float value) override;
    void notifyParameterChange(int32_t index) override;
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    void updateInputGain() override;
    float inputGainLinear() const override;
    int32_t channelActive(int32_t channel) const override;
    bool singleChannel() const override;
    float meter(int32_t channel) const override;
    void setMeter(int32_t channel, float value) override;
    float kneeLamp() const override;
    void setKneeLamp(float value) override;
    void formatNumber(float value, char* text, int8_t offset) override;

private:
    LimiterEffect* limiter;
};
