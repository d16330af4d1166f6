// The unit label and value text of a parameter, made from the value the engine
// decoded from it. Every plug-in format shows the same texts from here.
#pragma once

#include "parameters.h"

namespace tesk {

/// What the texts of one parameter are made from.
struct ShownValue {
    /// The decoded value: the kept v of the continuous kinds, the source, pair or
    /// type number of `Input`, `Output` and `DelayType`, beats per minute for
    /// `Tempo`, the table entry for `TempoNum` and `TempoDen`.
    float value;
    /// The line's crossover in Hz; the filter texts are made relative to it.
    float crossHz;
};

/// The unit label of `kind`; for `Pan` it names the side `pan` leans to.
const char* parameterLabel(ParamKind kind, float pan);

/// Writes the value text of `kind` for `shown` (at most eight characters and a
/// terminator) and answers true; the switches show no value text, so for them
/// `text` is left as it was and the answer is false.
bool parameterValueText(ParamKind kind, ShownValue shown, char* text);

} // namespace tesk
