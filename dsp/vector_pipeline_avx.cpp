// The pipeline with the AVX encoding of the same 128-bit operations (three
// operands, fewer register copies, one-instruction lane selects); compiled with
// -mavx and run only where the processor and the system support AVX.
#include "dsp/vector_pipeline.h"

#if !defined(__AVX__)
#error "vector_pipeline_avx.cpp must be compiled with -mavx"
#endif

#include <smmintrin.h>

#define QUILLO_PIPELINE_NAME runPipelineAvx
#define QUILLO_PIPELINE_BLEND 1
#include "dsp/vector_pipeline.inc"
