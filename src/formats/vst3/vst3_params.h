// The 61 parameters, the program choice, the bypass and the tempo each line
// plays at, as a VST 3 host sees them: stable ids (a parameter's id is its
// VST 2 index, so automation and sessions carry over), units, normalized values
// and texts, all from the parameter model.
#pragma once

#include "parameters.h"
#include "vst3_api.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tesk::vst3 {

/// The program choice: a program-change parameter of the root unit.
constexpr ParamID kProgramParamId = 1000;
/// The bypass: 0 processes, 1 bypasses, without a click.
constexpr ParamID kBypassParamId = 1001;
/// The tempo line 1 plays at; lines 2 to 4 follow. Read-only.
constexpr ParamID kTempoInUseParamId = 1002;
/// Every parameter the controller lists: the 61, the program, the bypass, four tempos.
constexpr int32 kNumVst3Params = kNumParameters + 2 + kNumLines;
/// The program list the program choice selects from.
constexpr ProgramListID kProgramListId = 0;
/// Units: the root, then one per line and the mix.
constexpr int32 kNumUnits = 1 + kNumLines + 1;

/// The id of the parameter the controller lists at `position` (0..66).
ParamID paramIdAt(int32 position);
/// Whether `id` is one of ours.
bool isParamId(ParamID id);
/// The tempo-in-use line of `id` (0..3); -1 for another id.
int tempoLineOf(ParamID id);

/// Describes parameter `position`; false past the end.
bool describe(int32 position, ParameterInfo& info);
/// Describes unit `index` (the root, "Delay 1".."Delay 4", "Mix"); false past the end.
bool describeUnit(int32 index, UnitInfo& info);

/// The normalized value of plain value `plain` of parameter `id` (any thread, as all below).
ParamValue normalizedOf(ParamID id, double plain);
/// The plain value of normalized `normalized` of parameter `id`: the model's plain value
/// for the 61, the program (0..15), the bypass (0 or 1), beats per minute for a tempo.
double plainOf(ParamID id, ParamValue normalized);
/// The normalized value of interface value `v` of parameter `index` (0..60).
ParamValue normalizedOfValue(int index, float v);
/// The interface value normalized `normalized` of parameter `index` (0..60) stands for.
float valueOfNormalized(int index, ParamValue normalized);

/// The text of normalized `normalized` of parameter `id` (any but the program
/// choice, which the instance names from its programs), whose line's crossover
/// is `crossover` (the filter texts are in hertz relative to it).
std::string textOf(ParamID id, ParamValue normalized, float crossover);
/// The normalized value whose text is `text` (any id but the program choice's);
/// none when the text names no value.
std::optional<ParamValue> normalizedOfText(ParamID id, const std::string& text, float crossover);

/// `text` (UTF-8) into the `capacity` UTF-16 units at `out`, cut to fit and terminated.
void toUtf16(const std::string& text, TChar* out, std::size_t capacity);
/// `text` (UTF-8) into a 128-unit text field, cut to fit and terminated.
inline void toString128(const std::string& text, String128 out) {
    toUtf16(text, out, 128);
}
/// The UTF-8 form of the terminated UTF-16 `text` (null gives "").
std::string fromUtf16(const TChar* text);

} // namespace tesk::vst3
