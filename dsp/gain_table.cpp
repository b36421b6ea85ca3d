#include "dsp/gain_table.h"

#include <cmath>

#include "dsp/shared_value.h"

namespace {

// Written only while no instance exists (the plug-in builds the table when its
// instance count is 0); read by every instance afterwards.
SharedValue<float> gainTable[kGainTableSize];

}  // namespace

void buildGainTable() {
    for (int32_t c = 0; c < kGainTableSize; ++c) {
        const double decibels = static_cast<double>(c) / 10.0 - 40.00001;
        gainTable[c] = static_cast<float>(std::pow(10.0, decibels / 20.0));
    }
}

float gainTableAt(int32_t index) {
    if (index < 0) index = 0;
    if (index > kGainTableSize - 1) index = kGainTableSize - 1;
    return gainTable[index];
}

int32_t gainTableIndex(float inGainValue) {
    const float scaled = 801.0f * inGainValue;
    if (!(scaled > 0.0f)) return 0;  // negative, zero and NaN
    if (scaled >= 801.0f) return 801;
    return static_cast<int32_t>(scaled);
}
