// The demo clip: a few bars of synthesised kick, snare and bass, mixed hot so
// that the limiter has work to do. The same samples on every run.
#pragma once

#include <cstdint>
#include <vector>

namespace limit_tool {

constexpr int32_t kDemoSampleRate = 44100;
constexpr int32_t kDemoChannels = 2;
constexpr double kDemoSeconds = 10.0;
constexpr double kDemoPeakDb = 8.0;

// Interleaved stereo frames whose highest sample sits at the demo peak level.
std::vector<float> synthesiseDemoClip();

}  // namespace limit_tool
