// The pipeline and the input stage with SSE2 instructions: the baseline of both targets.
#include "dsp/vector_pipeline.h"

#define QUILLO_PIPELINE_NAME runPipelineSse2
#define QUILLO_PIPELINE_BLEND 0
#include "dsp/vector_pipeline.inc"
#define QUILLO_ADMIT_NAME admitFramesSse2
#include "dsp/vector_input.inc"
