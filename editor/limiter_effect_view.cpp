#include "editor/limiter_effect_view.h"

#include "plugin/limiter_effect.h"

float LimiterEffectView::parameter(int32_t index) const {
    return limiter->paramValue[index];
}

void LimiterEffectView::storeParameter(int32_t index, float value) {
    limiter->paramValue[index] = value;
}

void LimiterEffectView::notifyParameterChange(int32_t index) {
    limiter->editorChanged(index);
}

void LimiterEffectView::beginEdit(int32_t index) {
    limiter->beginEdit(index);
}

void LimiterEffectView::endEdit(int32_t index) {
    limiter->endEdit(index);
}

void LimiterEffectView::updateInputGain() {
    limiter->updateInputGain();
}

float LimiterEffectView::inputGainLinear() const {
    return limiter->inputGainLinear;
}

int32_t LimiterEffectView::channelActive(int32_t channel) const {
    return channel == 0 ? limiter->leftActive.load() : limiter->rightActive.load();
}

bool LimiterEffectView::singleChannel() const {
    return limiter->singleChannel;
}

float LimiterEffectView::meter(int32_t channel) const {
    return channel == 0 ? limiter->engine.meterLeft.load() : limiter->engine.meterRight.load();
}

void LimiterEffectView::setMeter(int32_t channel, float value) {
    (channel == 0 ? limiter->engine.meterLeft : limiter->engine.meterRight) = value;
}

float LimiterEffectView::kneeLamp() const {
    return limiter->engine.kneeLamp;
}

void LimiterEffectView::setKneeLamp(float value) {
    limiter->engine.kneeLamp = value;
}

void LimiterEffectView::formatNumber(float value, char* text, int8_t offset) {
    limiter->formatNumber(value, text, offset);
}
