#include "formats/shared/meter_feed.h"

#include <algorithm>

namespace formats {

namespace {

constexpr float kRest = 1.0f;

MeterValues lowest(const MeterValues& a, const MeterValues& b) {
    MeterValues result;
    for (int32_t c = 0; c < kEffectChannels; ++c) result.gain[c] = std::min(a.gain[c], b.gain[c]);
    result.kneeLamp = std::min(a.kneeLamp, b.kneeLamp);
    return result;
}

float restSnapped(float value) { return value >= kMeterAtRest ? kRest : value; }

bool atRest(const MeterValues& values) {
    return values.gain[0] == kRest && values.gain[1] == kRest && values.kneeLamp == kRest;
}

}  // namespace

void MeterFeed::prepare(double rate) {
    interval = std::max(1, static_cast<int32_t>(rate * kMeterPublishSeconds));
    reset();
}

void MeterFeed::reset() {
    windows.fill(MeterValues());
    published = MeterValues();
    now = MeterValues();
    counted = 0;
    next = 0;
}

bool MeterFeed::add(LimiterModel& model, int32_t frames, MeterValues& shown) {
    MeterValues& window = windows[static_cast<size_t>(next)];
    window = lowest(window, model.takeMeters());
    MeterValues held;
    for (const MeterValues& w : windows) held = lowest(held, w);
    for (int32_t c = 0; c < kEffectChannels; ++c) held.gain[c] = restSnapped(held.gain[c]);
    held.kneeLamp = restSnapped(held.kneeLamp);
    now = held;
    counted += frames;
    if (counted < interval) return false;
    counted = 0;
    next = (next + 1) % kMeterHoldPublishes;
    windows[static_cast<size_t>(next)] = MeterValues();
    const bool due = !(atRest(held) && atRest(published));
    published = held;
    shown = held;
    return due;
}

}  // namespace formats
