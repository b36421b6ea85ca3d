// The recursion floors with SSE2 instructions.
#include "bench/recursion_floors.h"
#include "dsp/vector_pipeline.h"

// The pipeline comes along with its units; only the units are used.
namespace quillo {
void runPipelineFloorSse2(PipelineState& state);
}
#define QUILLO_PIPELINE_NAME runPipelineFloorSse2
#define QUILLO_PIPELINE_BLEND 0
#include "dsp/vector_pipeline.inc"

#define QUILLO_FLOOR_FOLLOWER followerSse2
#define QUILLO_FLOOR_SMOOTHER smootherSse2
#include "bench/recursion_floors.inc"
