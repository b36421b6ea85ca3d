// The input gain table: entries and index mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/gain_table.h"
#include "test_signals.h"

namespace {

TEST(GainTable, TinyThresholdIsTwoToMinus32) {
    EXPECT_EQ(quillo::kTinyThreshold, std::ldexp(1.0f, -32));
    EXPECT_EQ(quillo::kTinyThreshold, 2.3283064e-10f);
}

TEST(GainTable, NamedEntries) {
    EXPECT_FLOAT_EQ(gainTableAt(0), 0.0099999886f);
    EXPECT_FLOAT_EQ(gainTableAt(400), 0.99999887f);
    EXPECT_FLOAT_EQ(gainTableAt(801), 101.15783f);
    EXPECT_LT(gainTableAt(400), 1.0f);
    for (int32_t c = 0; c < quillo::kGainTableSize; ++c) {
        const double expected = std::pow(10.0, (static_cast<double>(c) / 10.0 - 40.00001) / 20.0);
        EXPECT_EQ(gainTableAt(c), static_cast<float>(expected)) << c;
    }
}

TEST(GainTable, SameBitsOnEveryBuild) {
    std::vector<float> all;
    for (int32_t c = 0; c < quillo::kGainTableSize; ++c) all.push_back(gainTableAt(c));
    EXPECT_EQ(quillo_test::fnv(all), 0x18c0105eb3883178ull) << std::hex << quillo_test::fnv(all);
}

TEST(GainTable, IndexIsTruncatedAndClamped) {
    EXPECT_EQ(gainTableIndex(0.0f), 0);
    EXPECT_EQ(gainTableIndex(0.5f), 400);
    EXPECT_EQ(gainTableIndex(1.0f), 801);
    EXPECT_EQ(gainTableIndex(0.9999f), 800);
    EXPECT_EQ(gainTableIndex(-0.3f), 0);
    EXPECT_EQ(gainTableIndex(7.0f), 801);
    EXPECT_EQ(gainTableIndex(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(gainTableIndex(std::numeric_limits<float>::infinity()), 801);
    EXPECT_EQ(gainTableIndex(-std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(gainTableAt(-5), gainTableAt(0));
    EXPECT_EQ(gainTableAt(9999), gainTableAt(801));
}

}  // namespace
