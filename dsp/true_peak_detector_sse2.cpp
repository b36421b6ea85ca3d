// The detector's vector passes with SSE2 instructions: the baseline of both targets.
#define QUILLO_INTERPOLATE_NAME interpolateSse2
#define QUILLO_REDUCTION_NAME reductionSse2
#include "dsp/true_peak_detector.inc"
