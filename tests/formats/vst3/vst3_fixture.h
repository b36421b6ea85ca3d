// What the VST 3 tests share: the module loaded once from its bundle, an
// instance made and connected for each test, the VST 2 build of the same tree
// as the reference, loud material, and renders through either.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "formats/format_under_test.h"
#include "formats/vst3/vst3_host.h"
#include "formats/vst3/vst3_layout.h"
#include "formats/vst3/vst3_support.h"
#include "support/render_material.h"

namespace vst3_test {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr int32_t kLatency = 40;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

using render_material::loudest;
using render_material::sameBits;

inline Channels loud(int32_t frames) {
    return {render_material::material(frames, render_material::kLeftSeed),
            render_material::material(frames, render_material::kRightSeed)};
}

// Renders in blocks of `block`, the changes of each block given by `changes`.
template <typename Changes>
Channels render(Vst3Plugin& plugin, const Channels& input, int32_t block, Changes changes) {
    const auto frames = static_cast<int32_t>(input[0].size());
    Channels output(2, std::vector<float>(static_cast<size_t>(frames), 9.0f));
    for (int32_t at = 0; at < frames; at += block) {
        const int32_t n = std::min(block, frames - at);
        changes(at, n);
        float* in[2] = {const_cast<float*>(input[0].data()) + at, const_cast<float*>(input[1].data()) + at};
        float* out[2] = {output[0].data() + at, output[1].data() + at};
        plugin.process(in, out, n);
    }
    return output;
}

inline Channels render(Vst3Plugin& plugin, const Channels& input, int32_t block) {
    return render(plugin, input, block, [](int32_t, int32_t) {});
}

// Frames [from, to) through a VST 2 instance in blocks of at most kBlock.
inline void runVst2(FormatInstance& effect, const float* left, const float* right, Channels& output,
                    int32_t from, int32_t to) {
    for (int32_t at = from; at < to; at += kBlock) {
        float* in[2] = {const_cast<float*>(left) + at, const_cast<float*>(right) + at};
        float* out[2] = {output[0].data() + at, output[1].data() + at};
        effect.process(in, out, std::min(kBlock, to - at));
    }
}

inline std::string hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

// An ID's 32 digits as its bytes lie in memory: on Windows the first word
// little-endian and the second as two little-endian halves (COM order).
inline std::string laidOut(const std::string& d) {
#if defined(_WIN32)
    return d.substr(6, 2) + d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2) + d.substr(10, 2) + d.substr(8, 2) +
           d.substr(14, 2) + d.substr(12, 2) + d.substr(16);
#else
    return d;
#endif
}

class Vst3 : public ::testing::Test {
protected:
    static Vst3Module& module() {
        static Vst3Module loaded(QUILLO_VST3_FILE);
        return loaded;
    }

    void SetUp() override {
        ASSERT_NE(module().factory(), nullptr) << QUILLO_VST3_FILE;
        plugin = make();
        ASSERT_TRUE(plugin->valid());
    }

    std::unique_ptr<Vst3Plugin> make() {
        return std::make_unique<Vst3Plugin>(module().factory(), application, handler);
    }

    // The VST 2 build of the same tree, started with the same values (all six,
    // or null for the effect's own).
    static std::unique_ptr<FormatInstance> reference(const float* values = nullptr) {
        return started(*vst2Reference(), static_cast<float>(kRate), kBlock, values);
    }

    int32_t restarts(int32_t flag) const {
        const auto restart = [&](const HandlerCall& c) {
            return c.kind == HandlerCall::kRestart && (c.what & flag) != 0;
        };
        return static_cast<int32_t>(std::count_if(handler.calls.begin(), handler.calls.end(), restart));
    }

    HostApplication application;
    ComponentHandler handler;
    std::unique_ptr<Vst3Plugin> plugin;
};

}  // namespace vst3_test
