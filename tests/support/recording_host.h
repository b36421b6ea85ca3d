// A host stand-in for tests: records every callback the effect makes and
// answers the way a plain host does (or as a test tells it to).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/vst_abi.h"

struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

class RecordingHost {
public:
    static constexpr intptr_t kHostVersion = 2400;

    static RecordingHost& instance() {
        static RecordingHost host;
        return host;
    }

    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        RecordingHost& host = instance();
        const HostCall call{effect, opcode, index, value, ptr, opt};
        host.calls.push_back(call);
        if (host.answer) return host.answer(call);
        return opcode == audioMasterVersion ? kHostVersion : 0;
    }

    void reset() {
        calls.clear();
        answer = nullptr;
    }

    std::vector<HostCall> callsWith(int32_t opcode) const {
        std::vector<HostCall> found;
        for (const HostCall& call : calls) {
            if (call.opcode == opcode) found.push_back(call);
        }
        return found;
    }

    std::vector<HostCall> calls;
    std::function<intptr_t(const HostCall&)> answer;
};
