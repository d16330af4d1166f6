// What every parameter is, for every host that shows it: its symbol and
// readable names, the group it belongs to, how its value is chosen (a
// continuous value, a switch, or a choice labelled as the editor labels it),
// its unit and range, and what a fresh instance holds. The VST 2 module, the LV2
// bundle and its data, the CLAP module and the editor all describe the
// parameters from here. Pure data and arithmetic: any thread.
#pragma once

#include "parameters.h"

#include <string>

namespace tesk {

/// How a parameter's value is chosen.
enum class ValueStyle : std::uint8_t {
    Continuous, ///< any value of its range
    Switch,     ///< off or on
    Choice,     ///< one of a few labelled positions
};

/// The unit a host may show beside a value.
enum class Unit : std::uint8_t {
    None,           ///< switches and choices
    Coefficient,    ///< a 0..1 amount, gain or position
    BeatsPerMinute, ///< the tempos
};

/// Groups: one per delay line (0 to 3), then the mix (the dry level).
constexpr int kMixGroup = kNumLines;
constexpr int kNumGroups = kNumLines + 1;

/// The parameter's name as VST 2 hosts show it and as LV2 knows its port:
/// "FeedBack1", "VolumeThruInput". Empty for an index outside 0 to 60.
std::string parameterSymbol(int index);
/// A name a musician reads in a host's generic controls: "Delay 1 Feedback",
/// "Delay 3 High-pass", "Dry level".
std::string parameterName(int index);
/// The same in at most 16 characters: "D1 Feedback".
std::string parameterShortName(int index);
/// What the value does, in musical terms, for hosts that show a description.
const char* parameterComment(int index);

/// The group of parameter `index`: its line 0 to 3, or `kMixGroup`.
int groupOf(int index);
/// "Delay 1" to "Delay 4", "Mix".
std::string groupName(int group);
/// "delay1" to "delay4", "mix".
std::string groupSymbol(int group);

ValueStyle styleOf(int index);
Unit unitOf(int index);

/// Positions of a switch (2) or a choice (Input 4, Output 3, DelayType 2,
/// TempoNum 4, TempoDen 9); 0 for a continuous parameter.
int choiceCount(int index);
/// Whether position `k` is one the parameter offers: a line listens only to
/// lower-numbered lines, so line n's `Input` offers Main and D1 to Dn-1.
bool choiceOffered(int index, int k);
/// The label of position `k` as the editor shows it: "Main", "D1", "1", "16",
/// "Single", "On".
const char* choiceLabel(int index, int k);
/// The value, as the parameter interface carries it, that selects position `k`.
float choiceValue(int index, int k);
/// The position interface value `v` asks for, held to the table (an `Input`
/// position is the one asked for, whether or not that source is on).
int choiceOf(int index, float v);

/// What a fresh instance holds (program 0), as the parameter interface carries it.
float defaultValue(int index);

/// A value as hosts that count positions see it ("plain"): beats per minute for
/// the tempos, the position of a switch or choice, and the 0..1 value itself
/// for every other parameter.
struct PlainRange {
    double min;
    double max;
};
PlainRange plainRange(int index);
/// The plain value of interface value `v`.
double plainValue(int index, float v);
/// The interface value of plain value `plain`, held to the range; `plain` must be finite.
float interfaceValueOfPlain(int index, double plain);

} // namespace tesk
