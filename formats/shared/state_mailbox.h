// Hands a value from one thread to another without a lock and without
// allocating: the writer posts whole values, the reader takes the latest one
// posted since it last took, whole, never a mix of two. Three slots: the
// writer's, the reader's, and the one between them, whose index (with a mark
// for a value not yet taken) is the only thing the two threads share.
#pragma once

#include <atomic>
#include <cstdint>

namespace formats {

template <typename Value>
class StateMailbox {
public:
    // Writer thread only.
    void post(const Value& value) {
        slots[back] = value;
        back = between.exchange(back | kFresh, std::memory_order_acq_rel) & kSlotMask;
    }

    // Reader thread only: the latest value posted since the last take, if any.
    const Value* take() {
        if ((between.load(std::memory_order_acquire) & kFresh) == 0) return nullptr;
        front = between.exchange(front, std::memory_order_acq_rel) & kSlotMask;
        return &slots[front];
    }

private:
    static constexpr uint32_t kFresh = 4;
    static constexpr uint32_t kSlotMask = 3;

    Value slots[3]{};
    uint32_t back = 0;
    std::atomic<uint32_t> between{1};
    uint32_t front = 2;
};

}  // namespace formats
