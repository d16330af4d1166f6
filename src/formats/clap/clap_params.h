// The 61 parameters, the program choice and the bypass as a CLAP host sees
// them: stable ids and the translation of the parameter model into CLAP's
// parameter info, values and texts. CLAP's values are the model's plain values:
// beats per minute for the tempos, the position of a switch or choice, 0..1 for
// the rest.
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
/// The bypass, after the program choice: 0 processes, 1 bypasses.
constexpr clap_id kBypassParamId = 1001;
constexpr int kBypassPosition = kProgramPosition + 1;
constexpr std::uint32_t kNumClapParams = kBypassPosition + 1;

/// The position (0..60, `kProgramPosition` or `kBypassPosition`) of parameter
/// `id`; -1 for an unknown id.
int positionOf(clap_id id);
/// The stable id of the parameter at `position`.
clap_id idAt(int position);

/// Describes the parameter at `position`; false past the end.
bool describe(std::uint32_t position, clap_param_info_t& info);

/// The program a CLAP value of the program choice stands for (held to 0..15).
int programOf(double plain);

/// Whether a CLAP value of the bypass bypasses: like every stepped value, its
/// whole part counts, so only 1 does (any thread, as the three below).
bool bypassOf(double plain);
/// "On" while `plain` bypasses, else "Off".
const char* bypassText(double plain);
/// The bypass value `text` names: exactly "On" or "Off"; none for any other text.
std::optional<double> bypassOfText(const char* text);

/// The text of CLAP value `plain` of parameter `index` (0..60), whose line's
/// crossover is `crossover` (the filter texts are in hertz relative to it).
std::string valueText(int index, double plain, float crossover);
/// The CLAP value whose text is `text`; none when the text names no value.
std::optional<double> textValue(int index, const char* text, float crossover);

} // namespace tesk::clapfmt
