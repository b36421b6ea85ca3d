// quillo-limit: the limiter plug-in, run offline on audio files.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "host/vst_abi.h"
#include "tools/limit/batch.h"
#include "tools/limit/cli_options.h"
#include "tools/limit/console.h"
#include "tools/limit/limit_job.h"
#include "tools/limit/tool_error.h"

namespace {

std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void requestInterrupt(int) { interruptRequested.store(true, std::memory_order_relaxed); }

// The first interrupt only raises a flag: the run stops at the next block and
// removes its unfinished files instead of leaving them behind. A second one
// ends the program at once.
void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = requestInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace limit_tool;
    try {
        const Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::fputs(usageText(), stdout);
            return kExitOk;
        }
        if (options.version) {
            std::printf("quillo-limit %s\n", QUILLO_VERSION);
            return kExitOk;
        }
        catchInterrupts();
        const JobContext context{!options.quiet && isatty(STDERR_FILENO) != 0, &interruptRequested};
        if (options.batch()) return runBatch(options, context);
        const JobSummary summary = runLimitJob(options, context);
        if (!options.quiet) std::fputs(formatSummary(options, summary).c_str(), stdout);
        return kExitOk;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "quillo-limit: %s\n", error.what());
        return error.status();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "quillo-limit: out of memory\n");
        return kExitFailure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillo-limit: %s\n", error.what());
        return kExitFailure;
    }
}
