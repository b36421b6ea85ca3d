// The one way the meter values travel from the audio side to an editor that
// runs apart from it (a VST 3 controller, an LV2 UI): every 20 ms of audio the
// lowest values of the last 100 ms. Hosts pass such values on at their own
// pace, often only the latest: holding each dip for a while lets none be lost
// between two looks (the needle falls at once and returns over a second).
#pragma once

#include <array>
#include <cstdint>

#include "plugin/limiter_model.h"

namespace formats {

constexpr double kMeterPublishSeconds = 0.02;
constexpr int32_t kMeterHoldPublishes = 5;
// Within a thousandth of a decibel of no reduction, which no needle shows, and
// where a gain whose release stalls a hair below 1 ends.
constexpr float kMeterAtRest = 0.99989f;

class MeterFeed {
public:
    // Outside the audio thread.
    void prepare(double rate);
    void reset();
    // After each block. True where values are due to be published; `shown`
    // then holds them. Values at rest are published once on the return to
    // rest, and then not until the next reduction.
    bool add(LimiterModel& model, int32_t frames, MeterValues& shown);
    // The values as they stand after the last block, published or not.
    MeterValues latest(const LimiterModel& model) const;

private:
    MeterValues held(const MeterValues& current) const;

    int32_t interval = 1;
    int32_t counted = 0;
    int32_t next = 0;  // the window the current values go to
    std::array<MeterValues, kMeterHoldPublishes> windows{};
    MeterValues published;
};

}  // namespace formats
