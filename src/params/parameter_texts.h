// The texts hosts show for a parameter's value, made from the value the
// parameter interface carries, and read back: the VST 2 unit label and value
// text, and the text hosts that show one text per value get (the value text
// with its unit, or the label of a switch or choice), with a reader that turns
// any such text back into a value showing that very text. Any thread.
#pragma once

#include "parameters.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesk {

/// The VST 2 unit label of parameter `index` at value `v` ("amount", "Hz";
/// for `Pan` the side `v` leans to); empty for an index outside 0 to 60.
const char* parameterLabel(int index, float v);

/// Writes the VST 2 value text of parameter `index` at value `v` (at most eight
/// characters and a terminator) and answers true. The filter texts are in hertz
/// relative to the line's crossover, so they take `crossover`, the line's
/// `CrossFrequency` value. The switches show no value text: `text` is left as it
/// was and the answer is false, as for an index outside 0 to 60.
bool parameterDisplay(int index, float v, float crossover, char* text);

/// A tempo as its value text shows it: "120.0".
void tempoText(float bpm, char* text);

/// The one text hosts that show a single text per value get: the value text
/// without its padding and the unit after it ("0.500000 db", "25 Right",
/// "120.0 bpm"), or the label of a switch or choice ("On", "D1", "16").
std::string valueText(int index, float v, float crossover);

/// A value whose `valueText` is exactly `text` (a text `valueText` made, whose
/// digits may have been truncated); for any other text holding a number in the
/// parameter's unit (or a label), the value it names. None when the text names
/// no value.
std::optional<float> readValueText(int index, std::string_view text, float crossover);

} // namespace tesk
