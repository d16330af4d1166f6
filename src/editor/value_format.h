// The editor's own value texts for the info panel (decibels, hertz, percent,
// pan amounts, the line label) and the parse of a typed tempo. They differ
// from the texts hosts show for parameters.
#pragma once

#include "relaxed.h"

#include <optional>

namespace tesk {

/// The crossover in hertz of the line the info panel shows; the high-pass,
/// low-pass and crossover texts speak of it.
extern Relaxed<float> displayCrossHz;

/// A value-to-text function of a `ValueLabel`.
using ValueToText = void (*)(float value, char* text);

/// "Delay %d" of the line number the value holds.
void formatLineLabel(float value, char* text);
/// Feedback as a linear gain in decibels: "-6.0 db"; "-oo" for 0 and below.
void formatFeedbackDb(float value, char* text);
/// The line's output gain (2 v)^2 in decibels: 0.5 gives "0.0 db".
void formatVolumeDb(float value, char* text);
/// "99 L" to "Center" to "99 R".
void formatPan(float value, char* text);
/// "No sat." for exactly 0, else a rounded percentage.
void formatSaturation(float value, char* text);
/// The high-pass cutoff as a fraction of `displayCrossHz`; "No HP" for exactly 0.
void formatHighPassHz(float value, char* text);
/// The low-pass cutoff between `displayCrossHz` and 22 kHz; "No LP" for exactly 1.
void formatLowPassKHz(float value, char* text);
/// `displayCrossHz` itself; the value is ignored.
void formatCrossHz(float value, char* text);

/// A tempo typed into a tempo field: the first number of `text`, held to 48..999
/// beats per minute; none when the text holds no (finite) number.
std::optional<float> parseTypedTempo(const char* text);

} // namespace tesk
