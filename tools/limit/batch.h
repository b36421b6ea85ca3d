// Several inputs into one directory, in parallel: one line per file as it is
// done, a file that fails reported and left behind while the others go on,
// and the count at the end.
#pragma once

#include <cstdio>

#include "tools/limit/cli_options.h"
#include "tools/limit/limit_job.h"

namespace limit_tool {

// Returns the exit status: 0 when every file was written, kExitFailure when
// any failed, kExitInterrupted when interrupted. Throws ToolError only for
// problems found before any file is touched.
int runBatch(const Options& options, const JobContext& context);

// The output of an input in the directory: its own name there.
std::string outputPathIn(const std::string& directory, const std::string& input);

}  // namespace limit_tool
