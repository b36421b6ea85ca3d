// Work over several files on up to `jobs` threads, each taking the next file
// as it finishes one. The work must not throw: a file's failure is its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace limit_tool {

inline void forEachInParallel(std::size_t count, int32_t jobs,
                              const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        for (std::size_t index = next++; index < count; index = next++) work(index);
    };
    const std::size_t threads = std::min<std::size_t>(count, static_cast<std::size_t>(std::max(jobs, 1)));
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < threads; ++i) others.emplace_back(worker);
    worker();
    for (std::thread& thread : others) thread.join();
}

// One job per core unless the user asked for a number.
inline int32_t jobsWanted(int32_t asked) {
    if (asked > 0) return asked;
    return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace limit_tool
