// The pipeline and the input stage with the AVX encoding (three operands,
// fewer register copies, one-instruction lane selects, eight floats in one
// register); compiled with -mavx and run only where the processor and the
// system support AVX.
#include "dsp/vector_pipeline.h"

#if !defined(__AVX__)
#error "vector_pipeline_avx.cpp must be compiled with -mavx"
#endif

#include <immintrin.h>

#define QUILLO_PIPELINE_NAME runPipelineAvx
#define QUILLO_PIPELINE_BLEND 1
#include "dsp/vector_pipeline.inc"
#define QUILLO_ADMIT_NAME admitFramesAvx
#include "dsp/vector_input.inc"
