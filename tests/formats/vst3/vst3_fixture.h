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

// Through the plug-in, its output marked first so that a sample it leaves
// unwritten shows (a forced channel's silence, say).
template <typename Changes = render_material::NoChanges>
Channels render(Vst3Plugin& plugin, const Channels& input, int32_t block, Changes changes = {}) {
    constexpr float kUnwritten = 9.0f;
    return renderThrough(plugin, input, block, changes, kUnwritten);
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
