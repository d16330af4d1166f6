// The number-to-text tools, digit by digit.
#include "text_tools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace tesk {
namespace {

std::string floatText(float v) {
    char text[32];
    std::strcpy(text, "untouched");
    floatToText(v, text);
    return text;
}

std::string integerText(std::int32_t v) {
    char text[32];
    integerToText(v, text);
    return text;
}

TEST(TextTools, FloatToTextTruncatesEveryDigit) {
    EXPECT_EQ(floatText(0.5f), "0.500000");
    EXPECT_EQ(floatText(1.0f), "1.000000");
    EXPECT_EQ(floatText(120.0f), "120.0000");
    EXPECT_EQ(floatText(1850.0f), "1850.000");
    EXPECT_EQ(floatText(22000.0f), "22000.00");
    EXPECT_EQ(floatText(-3.5f), "-3.50000");
    EXPECT_EQ(floatText(0.7f), "0.699999");
    EXPECT_EQ(floatText(0.445f), "0.444999");
    EXPECT_EQ(floatText(0.0f), "0.000000");
    EXPECT_EQ(floatText(9999999.0f), "9999999.");
    EXPECT_EQ(floatText(-999999.0f), "-999999.");
}

TEST(TextTools, FloatToTextIsEightCharactersAcrossItsRange) {
    for (double magnitude = 1e-4; magnitude < 999999.0; magnitude *= 1.37) {
        EXPECT_EQ(floatText(static_cast<float>(magnitude)).size(), 8u) << magnitude;
        EXPECT_EQ(floatText(static_cast<float>(-magnitude)).size(), 8u) << -magnitude;
    }
    EXPECT_EQ(floatText(9999999.0f).size(), 8u);
}

TEST(TextTools, FloatToTextLeavesTheTextBeyondItsLimits) {
    EXPECT_EQ(floatText(100000000.0f), "untouched");
    EXPECT_EQ(floatText(-10000000.0f), "untouched");
    EXPECT_EQ(floatText(std::numeric_limits<float>::quiet_NaN()), "untouched");
    EXPECT_EQ(floatText(std::numeric_limits<float>::infinity()), "untouched");
}

TEST(TextTools, IntegerToText) {
    EXPECT_EQ(integerText(50), "     50");
    EXPECT_EQ(integerText(0), "      0");
    EXPECT_EQ(integerText(99999999), "99999999");
    EXPECT_EQ(integerText(100000000), "Huge!");
    EXPECT_EQ(integerText(-5), "     -5");
    EXPECT_EQ(integerText(-123456789), "-1234567"); // cut after eight characters
}

TEST(TextTools, DecibelsHertzAndMilliseconds) {
    char text[32];
    decibelsToText(0.0f, text);
    EXPECT_STREQ(text, "-oo");
    decibelsToText(-1.0f, text);
    EXPECT_STREQ(text, "-oo");
    decibelsToText(1.0f, text);
    EXPECT_STREQ(text, "0.000000");
    decibelsToText(10.0f, text);
    EXPECT_STREQ(text, "20.00000");
    samplesToHertzText(441.0f, 44100.0f, text);
    EXPECT_STREQ(text, "100.0000");
    samplesToHertzText(0.0f, 44100.0f, text);
    EXPECT_STREQ(text, "0.000000");
    samplesToMillisecondsText(22050.0f, 44100.0f, text);
    EXPECT_STREQ(text, "500.0000");
}

} // namespace
} // namespace tesk
