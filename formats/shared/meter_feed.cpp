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
    counted = 0;
    next = 0;
}

MeterValues MeterFeed::held(const MeterValues& current) const {
    MeterValues lowestSeen = current;
    for (const MeterValues& w : windows) lowestSeen = lowest(lowestSeen, w);
    for (int32_t c = 0; c < kEffectChannels; ++c) lowestSeen.gain[c] = restSnapped(lowestSeen.gain[c]);
    lowestSeen.kneeLamp = restSnapped(lowestSeen.kneeLamp);
    return lowestSeen;
}

// The effect keeps the lowest values until they are taken: one take per
// publish gives each window its lowest, and blocks in between cost nothing.
bool MeterFeed::add(LimiterModel& model, int32_t frames, MeterValues& shown) {
    counted += frames;
    if (counted < interval) return false;
    counted = 0;
    windows[static_cast<size_t>(next)] = model.takeMeters();
    next = (next + 1) % kMeterHoldPublishes;
    const MeterValues now = held(MeterValues());
    const bool due = !(atRest(now) && atRest(published));
    published = now;
    shown = now;
    return due;
}

MeterValues MeterFeed::latest(const LimiterModel& model) const { return held(model.meters()); }

}  // namespace formats
