#include "tools/limit/background_meter.h"

#include <algorithm>

namespace limit_tool {

namespace {

// Large enough that handing over costs nothing beside the measurement, small
// enough that the thread starts early; a few chunks in flight keep both
// threads busy without holding the file in memory.
constexpr int64_t kChunkFrames = 16384;
constexpr std::size_t kChunksInFlight = 4;

}  // namespace

BackgroundMeter::BackgroundMeter(int32_t channelCount, int32_t sampleRate, const Measures& measures)
    : meter(channelCount, sampleRate, measures), channels(channelCount), worker([this] { measure(); }) {
    filling.reserve(static_cast<std::size_t>(kChunkFrames * channels));
}

BackgroundMeter::~BackgroundMeter() {
    {
        const std::lock_guard<std::mutex> guard(lock);
        closing = true;
        ready.clear();
    }
    changed.notify_all();
    if (worker.joinable()) worker.join();
}

void BackgroundMeter::add(const float* interleaved, int64_t frames) {
    const std::size_t chunk = static_cast<std::size_t>(kChunkFrames * channels);
    const float* end = interleaved + frames * channels;
    while (interleaved < end) {
        const std::size_t room = chunk - filling.size();
        const std::size_t taken = std::min(room, static_cast<std::size_t>(end - interleaved));
        filling.insert(filling.end(), interleaved, interleaved + taken);
        interleaved += taken;
        if (filling.size() == chunk) handOver();
    }
}

// Passes the filled chunk to the thread and takes a spare one to fill,
// waiting while the thread is behind.
void BackgroundMeter::handOver() {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [this] { return chunksOut < kChunksInFlight || failure != nullptr; });
    if (failure != nullptr) std::rethrow_exception(failure);
    ready.push_back(std::move(filling));
    ++chunksOut;
    filling.clear();
    if (!spare.empty()) {
        filling = std::move(spare.back());
        spare.pop_back();
        filling.clear();
    }
    guard.unlock();
    changed.notify_all();
}

void BackgroundMeter::measure() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        changed.wait(guard, [this] { return !ready.empty() || closing; });
        if (ready.empty()) return;
        std::vector<float> chunk = std::move(ready.front());
        ready.erase(ready.begin());
        guard.unlock();
        std::exception_ptr failed;
        try {
            meter.add(chunk.data(), static_cast<int64_t>(chunk.size()) / channels);
        } catch (...) {
            failed = std::current_exception();
        }
        guard.lock();
        --chunksOut;
        if (failed != nullptr) failure = failed;
        spare.push_back(std::move(chunk));
        changed.notify_all();
        if (failure != nullptr) return;
    }
}

const LevelMeter& BackgroundMeter::finish() {
    if (!worker.joinable()) {
        if (failure != nullptr) std::rethrow_exception(failure);
        return meter;
    }
    if (!filling.empty()) handOver();
    {
        const std::lock_guard<std::mutex> guard(lock);
        closing = true;
    }
    changed.notify_all();
    worker.join();
    if (failure != nullptr) std::rethrow_exception(failure);
    meter.finish();
    return meter;
}

}  // namespace limit_tool
