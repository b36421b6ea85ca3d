// A single 32-bit value shared between the audio thread and the user-interface
// thread. Readers see either the old or the new value; relaxed ordering is all
// the design asks for, and it keeps the sharing free of undefined data races.
#pragma once

#include <atomic>

template <typename T>
class SharedValue {
    static_assert(std::atomic<T>::is_always_lock_free, "shared values must be lock-free");

public:
    SharedValue(T initial = T{}) : value(initial) {}
    SharedValue(const SharedValue&) = delete;
    SharedValue& operator=(const SharedValue&) = delete;

    T load() const { return value.load(std::memory_order_relaxed); }
    void store(T v) { value.store(v, std::memory_order_relaxed); }
    operator T() const { return load(); }
    SharedValue& operator=(T v) {
        store(v);
        return *this;
    }

private:
    std::atomic<T> value;
};
