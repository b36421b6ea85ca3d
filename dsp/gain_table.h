// The input gain table: linear gains in equal decibel steps. The input gain
// parameter selects an entry instead of running a power function on the audio
// thread.
#pragma once

#include <cstdint>

#include "dsp/limiter_constants.h"

// The entry at index, the index clamped into the table. Entry c is the
// amplitude of c / steps-per-dB - offset decibels, evaluated in double
// precision and rounded to single precision. The table is made once per
// process, by the first caller on whatever thread, and never changes.
float gainTableAt(int32_t index);

// trunc(index scale * v) in single precision, clamped into the table (NaN
// gives the first entry).
int32_t gainTableIndex(float inGainValue);
