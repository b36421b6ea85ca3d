// The input gain table (Part 3.5): 802 linear gains in 0.1 dB steps from
// -40.00001 dB (index 0) to +40.09999 dB (index 801), shared by the process.
#pragma once

#include <cstdint>

constexpr int32_t kGainTableSize = 802;

// The engine's flush-to-zero bound, 2^-32 (2.3283064e-10).
constexpr float kTinyThreshold = 1.0f / 4294967296.0f;

// Fills every entry: gainTable[c] = 10^((c/10 - 40.00001)/20), evaluated in double
// precision and rounded to single precision.
void buildGainTable();

// The entry at index, the index clamped into 0..801.
float gainTableAt(int32_t index);

// trunc(801 * v) in single precision, clamped into 0..801 (NaN gives 0).
int32_t gainTableIndex(float inGainValue);
