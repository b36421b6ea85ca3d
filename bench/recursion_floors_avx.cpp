// The recursion floors with the AVX encoding (compiled with -mavx, run only
// where the engine runs its AVX pipeline).
#include "bench/recursion_floors.h"
#include "dsp/vector_pipeline.h"

#include <smmintrin.h>

// The pipeline comes along with its units; only the units are used.
namespace quillo {
void runPipelineFloorAvx(PipelineState& state);
}
#define QUILLO_PIPELINE_NAME runPipelineFloorAvx
#define QUILLO_PIPELINE_BLEND 1
#include "dsp/vector_pipeline.inc"

#define QUILLO_FLOOR_FOLLOWER followerAvx
#define QUILLO_FLOOR_SMOOTHER smootherAvx
#include "bench/recursion_floors.inc"
