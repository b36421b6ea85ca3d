// Measuring on the meter's own thread gives the figures of a meter fed
// directly, bit for bit, however the frames arrive.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "tool_fixture.h"
#include "tools/limit/background_meter.h"

namespace tool_test {
namespace {

constexpr int64_t kFrames = 100000;
constexpr double kHotPeak = 2.0;
constexpr int64_t kPieces[] = {1, 511, 16384, 40000, 3};

TEST(BackgroundMeter, SameFiguresAsAMeterFedDirectly) {
    const std::vector<float> audio = testSignal(kStereo, kFrames, kRate44k, kHotPeak);
    limit_tool::LevelMeter direct(kStereo, kRate44k);
    direct.add(audio.data(), kFrames);
    limit_tool::BackgroundMeter background(kStereo, kRate44k);
    int64_t done = 0;
    for (std::size_t i = 0; done < kFrames; ++i) {
        const int64_t piece = std::min(kPieces[i % std::size(kPieces)], kFrames - done);
        background.add(audio.data() + done * kStereo, piece);
        done += piece;
    }
    const limit_tool::LevelMeter& measured = background.finish();
    EXPECT_EQ(measured.samplePeak(), direct.samplePeak());
    EXPECT_EQ(measured.truePeak(), direct.truePeak());
    EXPECT_EQ(measured.loudness(), direct.loudness());
}

// A meter left before it finished stops its thread without measuring the rest.
TEST(BackgroundMeter, LeftUnfinishedStopsQuietly) {
    const std::vector<float> audio = testSignal(kStereo, kFrames, kRate44k, kHotPeak);
    limit_tool::BackgroundMeter background(kStereo, kRate44k);
    background.add(audio.data(), kFrames);
}

}  // namespace
}  // namespace tool_test
