// The info panel's texts and the typed-tempo parse.
#include "value_format.h"

#include <gtest/gtest.h>

#include <string>

namespace tesk {
namespace {

std::string text(ValueToText format, float value) {
    char buffer[256] = {};
    format(value, buffer);
    return buffer;
}

TEST(ValueFormat, DecibelsPanSaturationAndLineLabel) {
    EXPECT_EQ(text(formatFeedbackDb, 1.0f), "0.0 db");
    EXPECT_EQ(text(formatFeedbackDb, 0.5f), "-6.0 db");
    EXPECT_EQ(text(formatFeedbackDb, 0.0f), "-oo");
    EXPECT_EQ(text(formatFeedbackDb, -0.2f), "-oo");
    EXPECT_EQ(text(formatVolumeDb, 0.5f), "0.0 db");
    EXPECT_EQ(text(formatVolumeDb, 1.0f), "12.0 db");
    EXPECT_EQ(text(formatVolumeDb, 0.0f), "-oo");
    EXPECT_EQ(text(formatPan, 0.5f), "Center");
    EXPECT_EQ(text(formatPan, 0.49f), "Center");
    EXPECT_EQ(text(formatPan, 0.51f), "Center");
    EXPECT_EQ(text(formatPan, 0.0f), "99 L");
    EXPECT_EQ(text(formatPan, 0.25f), "49 L");
    EXPECT_EQ(text(formatPan, 1.0f), "99 R");
    EXPECT_EQ(text(formatSaturation, 0.0f), "No sat.");
    EXPECT_EQ(text(formatSaturation, 0.004f), "0%");
    EXPECT_EQ(text(formatSaturation, 1.0f), "100%");
    EXPECT_EQ(text(formatSaturation, 0.285f), "28%"); // the float lies just below 0.285
    EXPECT_EQ(text(formatLineLabel, 3.0f), "Delay 3");
    EXPECT_EQ(text(formatLineLabel, 1.9f), "Delay 1");
}

TEST(ValueFormat, FrequenciesSpeakOfTheShownCrossover) {
    displayCrossHz = 5000.0f;
    EXPECT_EQ(text(formatHighPassHz, 0.5f), "2500Hz");
    EXPECT_EQ(text(formatHighPassHz, 0.0f), "No HP");
    EXPECT_EQ(text(formatLowPassKHz, 0.0f), "5.0KHz");
    EXPECT_EQ(text(formatLowPassKHz, 0.5f), "13.5KHz");
    EXPECT_EQ(text(formatLowPassKHz, 1.0f), "No LP");
    EXPECT_EQ(text(formatCrossHz, 0.123f), "5000Hz");
    displayCrossHz = 1850.0f;
    EXPECT_EQ(text(formatCrossHz, 0.9f), "1850Hz");
    EXPECT_EQ(text(formatHighPassHz, 0.5f), "925Hz");
}

TEST(ValueFormat, TypedTempo) {
    EXPECT_EQ(parseTypedTempo("120"), 120.0f);
    EXPECT_EQ(parseTypedTempo("20"), 48.0f);
    EXPECT_EQ(parseTypedTempo("1500"), 999.0f);
    EXPECT_EQ(parseTypedTempo("  98.6 beats please"), 98.6f);
    EXPECT_EQ(parseTypedTempo("48"), 48.0f);
    EXPECT_EQ(parseTypedTempo("999"), 999.0f);
    EXPECT_EQ(parseTypedTempo("-5"), 48.0f);
    // No number at all is no tempo: the editor then keeps the one the line has.
    for (const char* junk : {"fast", "", "   ", "bpm 120", "nan", "inf", "-inf"})
        EXPECT_EQ(parseTypedTempo(junk), std::nullopt) << '"' << junk << '"';
    EXPECT_EQ(parseTypedTempo(nullptr), std::nullopt);
}

} // namespace
} // namespace tesk
