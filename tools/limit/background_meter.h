// A LevelMeter that measures on a thread of its own. True peak is most of the
// tool's work, and the machine's other core can do it beside the limiter: the
// caller's frames are copied into chunks that the meter's thread takes in the
// order they came, so the figures are those of a LevelMeter fed directly.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/limit/measurements.h"

namespace limit_tool {

class BackgroundMeter {
public:
    // Throws ToolError when the measurement cannot be set up.
    BackgroundMeter(int32_t channels, int32_t sampleRate, const Measures& measures = Measures{});
    // Stops the thread; frames not yet measured are dropped.
    ~BackgroundMeter();
    BackgroundMeter(const BackgroundMeter&) = delete;
    BackgroundMeter& operator=(const BackgroundMeter&) = delete;

    void add(const float* interleaved, int64_t frames);
    // Measures what is left and waits for it; rethrows the thread's failure.
    // The figures are there afterwards (and at every later call).
    const LevelMeter& finish();

private:
    void handOver();
    void measure();

    LevelMeter meter;
    int32_t channels;
    std::vector<float> filling;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::vector<float>> ready;  // filled chunks, oldest first
    std::vector<std::vector<float>> spare;  // measured chunks to fill again
    std::size_t chunksOut = 0;              // filled or being measured
    bool closing = false;
    std::exception_ptr failure;
    std::thread worker;
};

}  // namespace limit_tool
