#include "value_format.h"

#include "parameters.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tesk {

Relaxed<float> displayCrossHz{crossoverHz(0.3f)};

namespace {

// Every text here fits a dozen characters; the labels' buffers hold 256.
constexpr std::size_t kTextSize = 32;

int truncated(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
    return static_cast<int>(v);
}

} // namespace

void formatLineLabel(float value, char* text) {
    std::snprintf(text, kTextSize, "Delay %d", truncated(value));
}

void formatFeedbackDb(float value, char* text) {
    if (value <= 0.0f)
        std::snprintf(text, kTextSize, "-oo");
    else
        std::snprintf(text, kTextSize, "%.1f db", 20.0 * std::log10(static_cast<double>(value)));
}

void formatVolumeDb(float value, char* text) {
    if (value <= 0.0f)
        std::snprintf(text, kTextSize, "-oo");
    else
        std::snprintf(text, kTextSize, "%.1f db", 40.0 * std::log10(2.0 * value));
}

void formatPan(float value, char* text) {
    const double v = value;
    if (v < 0.49)
        std::snprintf(text, kTextSize, "%d L", truncated((0.5 - v) * 199.0));
    else if (v > 0.51)
        std::snprintf(text, kTextSize, "%d R", truncated((v - 0.5) * 199.0));
    else
        std::snprintf(text, kTextSize, "Center");
}

void formatSaturation(float value, char* text) {
    if (value == 0.0f)
        std::snprintf(text, kTextSize, "No sat.");
    else
        std::snprintf(text, kTextSize, "%d%%", truncated(value * 100.0 + 0.5));
}

void formatHighPassHz(float value, char* text) {
    if (value == 0.0f)
        std::snprintf(text, kTextSize, "No HP");
    else
        std::snprintf(text, kTextSize, "%dHz",
                      truncated(static_cast<double>(displayCrossHz) * value));
}

void formatLowPassKHz(float value, char* text) {
    if (value == 1.0f) {
        std::snprintf(text, kTextSize, "No LP");
        return;
    }
    const double cross = displayCrossHz;
    const double hz = cross + value * (22000.0 - cross);
    std::snprintf(text, kTextSize, "%2.1fKHz", hz * static_cast<double>(0.001f));
}

void formatCrossHz(float, char* text) {
    std::snprintf(text, kTextSize, "%dHz", truncated(displayCrossHz));
}

std::optional<float> parseTypedTempo(const char* text) {
    float tempo = 0.0f;
    if (text == nullptr || std::sscanf(text, "%f", &tempo) != 1 || !std::isfinite(tempo))
        return std::nullopt;
    return clampTempo(tempo);
}

} // namespace tesk
