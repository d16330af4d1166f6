// The 61 parameters and the program choice as a CLAP host sees them: stable
// ids and the translation of the parameter model into CLAP's parameter info,
// values and texts. CLAP's values are the model's plain values: beats per
// minute for the tempos, the position of a switch or choice, 0..1 for the rest.
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

/// The program a CLAP value of the program choice stands for (held to 0..15).
int programOf(double plain);

/// The text of CLAP value `plain` of parameter `index` (0..60), whose line's
/// crossover is `crossover` (the filter texts are in hertz relative to it).
std::string valueText(int index, double plain, float crossover);
/// The CLAP value whose text is `text`; none when the text names no value.
std::optional<double> textValue(int index, const char* text, float crossover);

} // namespace tesk::clapfmt
