#include "dsp/gain_table.h"

#include <cmath>

#include "dsp/shared_value.h"

using quillo::kGainTableSize;
using quillo::kLastGainIndex;

namespace {

// Written only while no instance exists (the plug-in builds the table when its
// instance count is 0); read by every instance afterwards.
SharedValue<float> gainTable[kGainTableSize];

}  // namespace

void buildGainTable() {
    for (int32_t c = 0; c < kGainTableSize; ++c) {
        const double decibels = static_cast<double>(c) / quillo::kGainStepsPerDecibel - quillo::kGainTableOffsetDb;
        gainTable[c] = static_cast<float>(std::pow(quillo::kDecibelBase, decibels / quillo::kDecibelsPerDecade));
    }
}

float gainTableAt(int32_t index) {
    if (index < 0) index = 0;
    if (index > kLastGainIndex) index = kLastGainIndex;
    return gainTable[index];
}

int32_t gainTableIndex(float inGainValue) {
    const float scaled = quillo::kGainIndexScale * inGainValue;
    if (!(scaled > 0.0f)) return 0;  // negative, zero and NaN
    if (scaled >= quillo::kGainIndexScale) return kLastGainIndex;
    return static_cast<int32_t>(scaled);
}
