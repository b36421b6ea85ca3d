// The stereo link as a unit: coupling figures, the link floor, wrap-around.
#include <gtest/gtest.h>

#include <vector>

#include "dsp/stereo_link.h"

using namespace quillo;

namespace {

struct Rings {
    std::vector<float> gains;  // interleaved
    explicit Rings(int32_t n, float left, float right) : gains(2 * static_cast<size_t>(n)) {
        for (int32_t i = 0; i < n; ++i) {
            gains[2 * static_cast<size_t>(i)] = left;
            gains[2 * static_cast<size_t>(i) + 1] = right;
        }
    }
    float left(int32_t i) const { return gains[2 * static_cast<size_t>(i)]; }
    float right(int32_t i) const { return gains[2 * static_cast<size_t>(i) + 1]; }
};

void link(StereoLinkState& st, Rings& r, int32_t start, int32_t n) {
    linkChannelGains(st, r.gains.data(), start, n, static_cast<int32_t>(r.gains.size() / 2), LinkLengths{32, 32.0f});
}

TEST(StereoLink, EqualGainsStayAsTheyAre) {
    StereoLinkState st;
    resetStereoLink(st, 32.0f);
    Rings r(100, 0.7f, 0.7f);
    link(st, r, 0, 100);
    for (int32_t i = 0; i < 100; ++i) {
        EXPECT_EQ(r.left(i), 0.7f);
        EXPECT_EQ(r.right(i), 0.7f);
    }
}

TEST(StereoLink, HalfAgainstFullGivesTheFigureAfterW) {
    StereoLinkState st;
    resetStereoLink(st, 32.0f);
    Rings r(64, 0.5f, 1.0f);
    link(st, r, 0, 64);
    for (int32_t i = 0; i < 64; ++i) EXPECT_EQ(r.left(i), 0.5f);
    EXPECT_GT(r.right(30), 0.5625f);
    EXPECT_EQ(r.right(31), 0.5625f);  // after W = 32 samples
    EXPECT_EQ(r.right(63), 0.5625f);
    // Coupling is symmetric.
    StereoLinkState st2;
    resetStereoLink(st2, 32.0f);
    Rings r2(64, 1.0f, 0.5f);
    link(st2, r2, 0, 64);
    EXPECT_EQ(r2.left(63), 0.5625f);
    EXPECT_EQ(r2.right(63), 0.5f);
}

TEST(StereoLink, OtherRatios) {
    for (const auto& pairOfValues : {std::pair<float, float>{0.9f, 0.9801f}, std::pair<float, float>{0.1f, 0.0361f}}) {
        StereoLinkState st;
        resetStereoLink(st, 32.0f);
        Rings r(64, pairOfValues.first, 1.0f);
        link(st, r, 0, 64);
        EXPECT_NEAR(r.right(63), pairOfValues.second, 1e-5);
        EXPECT_EQ(r.left(63), pairOfValues.first);
    }
}

TEST(StereoLink, TinyGainsAreRaised) {
    StereoLinkState st;
    resetStereoLink(st, 32.0f);
    Rings r(8, 0.0f, 1e-9f);
    link(st, r, 0, 8);
    for (int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(r.left(i), kLinkFloor);
        EXPECT_EQ(r.right(i), kLinkFloor);
    }
}

TEST(StereoLink, WrapsOverTheRingAndTheHistory) {
    StereoLinkState st;
    resetStereoLink(st, 32.0f);
    for (int32_t k = 0; k < 7; ++k) {
        Rings r(10, 0.5f, 1.0f);
        link(st, r, (k * 7) % 10, 7);  // 49 samples through a 10-position ring
    }
    EXPECT_EQ(st.position, 49 % 32);
    EXPECT_EQ(st.sum[1], 24.0f);
}

}  // namespace
