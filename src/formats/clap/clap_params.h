// The 61 parameters and the program choice as a CLAP host sees them: stable
// ids, names, the module path of each line, ranges and flags, and the mapping
// between a CLAP value and the value our parameter interface carries.
//
// Continuous parameters keep the interface's 0..1 and the tempos their 48..999
// beats per minute. CLAP's stepped values are whole numbers, so the switches
// are 0 or 1 and the enumerations count their positions (Input 0..3, Output
// 0..2, TempoNum 0..3, TempoDen 0..8); each position maps onto the interface
// value that selects it.
#pragma once

#include "clap_api.h"
#include "parameters.h"
#include "programs.h"

#include <optional>
#include <string>

namespace tesk::clapfmt {

/// The program choice: a stepped parameter after the 61.
constexpr clap_id kProgramParamId = 1000;
/// The position of the program choice in the host's list.
constexpr int kProgramPosition = kNumParameters;
constexpr std::uint32_t kNumClapParams = kNumParameters + 1;

/// The position (0..60, or `kProgramPosition`) of parameter `id`; -1 for an unknown id.
int positionOf(clap_id id);
/// The stable id of the parameter at `position`.
clap_id idAt(int position);

/// Describes the parameter at `position`; false past the end.
bool describe(std::uint32_t position, clap_param_info_t& info);

/// The value our interface carries for CLAP value `plain` of parameter `index`
/// (0..60), held to the parameter's range; none for a value that is not finite.
std::optional<float> interfaceValue(int index, double plain);
/// The CLAP value of interface value `v`, as `getParameter` of `index` answers it.
double plainValue(int index, float v);
/// The program a CLAP value of the program choice stands for (held to 0..15).
int programOf(double plain);

/// What texts for a value depend on besides the value: the state of its line
/// and of the lines it may listen to.
struct TextContext {
    float crossHz;          ///< the line's crossover in Hz
    bool lineOn[kNumLines]; ///< which lines are on (for `Input`)
};

/// The text shown for CLAP value `plain` of parameter `index`: the VST 2 value
/// text without its leading blanks and the unit label after it ("0.500000 db",
/// "25 Right", "120.0 bpm"); the switches, which have no VST 2 value text, show
/// "On" or "Off".
std::string valueText(int index, double plain, const TextContext& context);
/// The CLAP value a text of `valueText` (or a bare number in its unit) stands
/// for; none when the text holds no number.
std::optional<double> textValue(int index, const char* text, const TextContext& context);

} // namespace tesk::clapfmt
