#include "dsp/gain_table.h"

#include <array>
#include <cmath>

using quillo::kGainTableSize;
using quillo::kLastGainIndex;

namespace {

using GainTable = std::array<float, kGainTableSize>;

GainTable buildGainTable() {
    GainTable table{};
    for (int32_t c = 0; c < kGainTableSize; ++c) {
        const double decibels = static_cast<double>(c) / quillo::kGainStepsPerDecibel - quillo::kGainTableOffsetDb;
        table[static_cast<size_t>(c)] =
            static_cast<float>(std::pow(quillo::kDecibelBase, decibels / quillo::kDecibelsPerDecade));
    }
    return table;
}

// The language makes the first use build it exactly once, also when
// instances are created on several threads at the same time.
const GainTable& gainTable() {
    static const GainTable table = buildGainTable();
    return table;
}

}  // namespace

float gainTableAt(int32_t index) {
    if (index < 0) index = 0;
    if (index > kLastGainIndex) index = kLastGainIndex;
    return gainTable()[static_cast<size_t>(index)];
}

int32_t gainTableIndex(float inGainValue) {
    const float scaled = quillo::kGainIndexScale * inGainValue;
    if (!(scaled > 0.0f)) return 0;  // negative, zero and NaN
    if (scaled >= quillo::kGainIndexScale) return kLastGainIndex;
    return static_cast<int32_t>(scaled);
}
