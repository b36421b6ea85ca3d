// The detector's vector passes with AVX instructions (eight intervals per
// register); compiled with -mavx and run only where the processor and the
// system support AVX.
#if !defined(__AVX__)
#error "true_peak_detector_avx.cpp must be compiled with -mavx"
#endif

#define QUILLO_INTERPOLATE_NAME interpolateAvx
#define QUILLO_REDUCTION_NAME reductionAvx
#include "dsp/true_peak_detector.inc"
