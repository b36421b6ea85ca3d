#include <gtest/gtest.h>

#include <string>

#include "host/number_format.h"
#include "test_effect.h"

namespace {

std::string number(float value, int8_t offset) {
    char text[160];
    formatNumberText(value, text, offset);
    return text;
}

}  // namespace

TEST(NumberFormat, FullWidthTexts) {
    EXPECT_EQ(number(1.5f, 0), "1.500000");
    EXPECT_EQ(number(-2.25f, 0), "-2.25000");
    EXPECT_EQ(number(0.0f, 0), "0.000000");
    EXPECT_EQ(number(12345678.0f, 0), "2345678.");
}

TEST(NumberFormat, ShortTextsUsedByTheDisplays) {
    EXPECT_EQ(number(1.5f, 4), "1.50");
    EXPECT_EQ(number(12.34f, 4), "12.3");
    EXPECT_EQ(number(123.4f, 4), "123.");
    EXPECT_EQ(number(-1.5f, 4), "-1.5");
    EXPECT_EQ(number(-40.00001f, 4), "-40.");
    EXPECT_EQ(number(5.2f, 4), "5.19");
    EXPECT_EQ(number(-0.0000098f, 4), "-0.0");
}

TEST(NumberFormat, OverflowWhateverTheOffset) {
    for (int8_t offset : {0, 4, 7}) {
        EXPECT_EQ(number(100000000.0f, offset), " Huge!  ");
        EXPECT_EQ(number(-10000000.0f, offset), " Huge!  ");
    }
    EXPECT_EQ(number(99999992.0f, 0), "9999992.");
}

TEST(NumberFormat, NegativeOffsetStaysInsideTheScratchArea) {
    EXPECT_EQ(number(1.0f, -2).size(), 10u);
    EXPECT_EQ(number(1.0f, -120).size(), 33u);
}

TEST(NumberFormat, Companions) {
    TestEffect effect;
    char text[32];
    effect.formatDecibels(1.0f, text);
    EXPECT_STREQ(text, "0.000000");
    effect.formatDecibels(0.0f, text);
    EXPECT_STREQ(text, "  -oo   ");
    effect.formatDecibels(-1.0f, text);
    EXPECT_STREQ(text, "  -oo   ");
    effect.formatHertz(0.0f, text);
    EXPECT_STREQ(text, "0.000000");
    effect.formatHertz(441.0f, text);
    EXPECT_STREQ(text, "100.0000");
    effect.formatMilliseconds(441.0f, text);
    EXPECT_STREQ(text, "10.00000");
    effect.formatInteger(42, text);
    EXPECT_STREQ(text, "     42");
    effect.formatInteger(100000000, text);
    EXPECT_STREQ(text, " Huge!  ");
    effect.formatInteger(-123456789, text);
    EXPECT_STREQ(text, "-1234567");
    effect.formatNumber(1.5f, text, 4);
    EXPECT_STREQ(text, "1.50");
}
