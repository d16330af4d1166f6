#include "parameter_info.h"

#include "parameter_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tesk {

namespace {

// One row per group of parameters, in group order.
struct KindInfo {
    const char* symbol;    ///< the VST 2 name without the line number
    const char* name;      ///< readable, without the line
    const char* shortName; ///< at most 12 characters
    ValueStyle style;
    Unit unit;
    int choices;               ///< positions of a switch or choice
    const char* const* labels; ///< their labels, as the editor shows them
    const char* comment;
};

constexpr const char* kSwitchLabels[] = {"Off", "On"};
constexpr const char* kInputLabels[] = {"Main", "D1", "D2", "D3"};
constexpr const char* kOutputLabels[] = {"1", "2", "3"};
constexpr const char* kTypeLabels[] = {"Single", "Recirculating"};
constexpr const char* kNumeratorLabels[] = {"1", "2", "3", "4"};
constexpr const char* kDenominatorLabels[] = {"1", "2", "3", "4", "6", "8", "16", "32", "64"};

using S = ValueStyle;
using U = Unit;

constexpr KindInfo kKinds[kNumParamKinds] = {
    {"FeedBack", "Feedback", "Feedback", S::Continuous, U::Coefficient, 0, nullptr,
     "How loud the echo comes back: the level of a single echo, or the share of each repeat "
     "that a recirculating line feeds back (1 repeats for ever)."},
    {"Volume", "Volume", "Volume", S::Continuous, U::Coefficient, 0, nullptr,
     "The line's level in the mix: 0.5 is unity gain (0 dB), 1 is +12 dB, 0 is silent."},
    {"VolumeThruInput", "Dry level", "Dry level", S::Continuous, U::Coefficient, 0, nullptr,
     "Level of the unprocessed input on the main output pair: 1 is unity gain, 0 leaves only "
     "the echoes."},
    {"IsDelayOn", "On", "On", S::Switch, U::None, 2, kSwitchLabels,
     "Switches the delay line on. Lines that take their input from it fall back to the main "
     "input when it is switched off."},
    {"Pan", "Pan", "Pan", S::Continuous, U::Coefficient, 0, nullptr,
     "Where the line's echoes sit in their output pair: 0 is left, 0.5 the centre, 1 right."},
    {"Input", "Input", "Input", S::Choice, U::None, 4, kInputLabels,
     "What the line repeats: Main is the mono sum of the stereo input, D1 to D3 the echoes of "
     "line 1 to 3 (a line listens only to a lower-numbered line that is on)."},
    {"Output", "Output", "Output", S::Choice, U::None, 3, kOutputLabels,
     "The stereo output pair the echoes go to: 1 is the main pair, 2 and 3 the extra pairs "
     "Out 2 and Out 3."},
    {"DelayType", "Type", "Type", S::Choice, U::None, 2, kTypeLabels,
     "Single: the input comes back once, at the feedback level. Recirculating: every repeat "
     "is fed back again, scaled by the feedback."},
    {"Saturation", "Saturation", "Saturation", S::Continuous, U::Coefficient, 0, nullptr,
     "Soft, sine-shaped saturation of the echoes: 0 is clean, 1 the strongest."},
    {"LowPassFrequency", "High-pass", "High-pass", S::Continuous, U::Coefficient, 0, nullptr,
     "High-pass cutoff of the echoes as a share of the crossover frequency; 0 switches the "
     "high-pass off."},
    {"HighPassFrequency", "Low-pass", "Low-pass", S::Continuous, U::Coefficient, 0, nullptr,
     "Low-pass cutoff of the echoes, from the crossover frequency (0) up to 22 kHz; 1 switches "
     "the low-pass off."},
    {"CrossFrequency", "Crossover", "Crossover", S::Continuous, U::Coefficient, 0, nullptr,
     "The frequency the high-pass and low-pass are set around: 0 is 500 Hz, 1 is 5 kHz."},
    {"Tempo", "Tempo", "Tempo", S::Continuous, U::BeatsPerMinute, 0, nullptr,
     "The line's tempo in beats per minute, 48 to 999; while Sync is on the line plays at the "
     "host's tempo."},
    {"TempoNum", "Note length numerator", "Numerator", S::Choice, U::None, kNumNumerators,
     kNumeratorLabels,
     "The delay is numerator / denominator of a beat: 1/2 is half a beat (an eighth note when "
     "the beat is a quarter note), 3/4 a dotted eighth."},
    {"TempoDen", "Note length denominator", "Denominator", S::Choice, U::None, kNumDenominators,
     kDenominatorLabels,
     "The delay is numerator / denominator of a beat: 1/1 is one beat, 1/4 a sixteenth note "
     "when the beat is a quarter note, 1/3 an eighth-note triplet."},
    {"IsTempoSync", "Sync", "Sync", S::Switch, U::None, 2, kSwitchLabels,
     "Follows the host's tempo. Typing a tempo into the editor ends it."},
};

ParamRef refOf(int index) {
    ParamRef ref{ParamKind::FeedBack, 0};
    splitParameterIndex(index, ref);
    return ref;
}

const KindInfo& infoOf(int index) {
    return kKinds[static_cast<int>(refOf(index).kind)];
}

bool isIndex(int index) {
    return index >= 0 && index < kNumParameters;
}

bool isGlobal(int index) {
    return refOf(index).kind == ParamKind::VolumeThruInput;
}

} // namespace

// printf into a string (GCC 12 warns wrongly of overlapping copies when strings
// are concatenated at -O3).
template <typename... Args> std::string formatted(const char* format, Args... args) {
    char text[96];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string parameterSymbol(int index) {
    if (!isIndex(index)) return {};
    const char* base = infoOf(index).symbol;
    return isGlobal(index) ? base : formatted("%s%d", base, refOf(index).line + 1);
}

std::string parameterName(int index) {
    if (!isIndex(index)) return {};
    const char* name = infoOf(index).name;
    return isGlobal(index) ? name : formatted("Delay %d %s", refOf(index).line + 1, name);
}

std::string parameterShortName(int index) {
    if (!isIndex(index)) return {};
    const char* name = infoOf(index).shortName;
    return isGlobal(index) ? name : formatted("D%d %s", refOf(index).line + 1, name);
}

const char* parameterComment(int index) {
    return isIndex(index) ? infoOf(index).comment : "";
}

int groupOf(int index) {
    return isGlobal(index) ? kMixGroup : refOf(index).line;
}

std::string groupName(int group) {
    return group == kMixGroup ? "Mix" : formatted("Delay %d", group + 1);
}

std::string groupSymbol(int group) {
    return group == kMixGroup ? "mix" : formatted("delay%d", group + 1);
}

ValueStyle styleOf(int index) {
    return infoOf(index).style;
}

Unit unitOf(int index) {
    return infoOf(index).unit;
}

int choiceCount(int index) {
    return infoOf(index).choices;
}

bool choiceOffered(int index, int k) {
    if (k < 0 || k >= choiceCount(index)) return false;
    return refOf(index).kind != ParamKind::Input || k <= refOf(index).line;
}

const char* choiceLabel(int index, int k) {
    const KindInfo& info = infoOf(index);
    return k >= 0 && k < info.choices ? info.labels[k] : "";
}

float choiceValue(int index, int k) {
    switch (refOf(index).kind) {
    case ParamKind::Input:
    case ParamKind::Output:
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        return tablePositionValue(std::clamp(k, 0, choiceCount(index) - 1));
    default:
        return k > 0 ? 1.0f : 0.0f;
    }
}

int choiceOf(int index, float v) {
    switch (refOf(index).kind) {
    case ParamKind::Input:
        return requestedInputSource(v);
    case ParamKind::Output:
        return decodeOutputPair(v);
    case ParamKind::DelayType:
        return decodeDelayType(v) == 2 ? 1 : 0;
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        return noteTableIndex(v, choiceCount(index));
    default:
        return switchIsOn(v) ? 1 : 0;
    }
}

float defaultValue(int index) {
    static const ParameterState fresh;
    return fresh.value(index);
}

PlainRange plainRange(int index) {
    if (unitOf(index) == Unit::BeatsPerMinute) return {kMinTempo, kMaxTempo};
    if (styleOf(index) != ValueStyle::Continuous) return {0.0, choiceCount(index) - 1.0};
    return {0.0, 1.0};
}

double plainValue(int index, float v) {
    if (unitOf(index) == Unit::BeatsPerMinute) return tempoFromInterface(v);
    if (styleOf(index) != ValueStyle::Continuous) return choiceOf(index, v);
    return v;
}

float interfaceValueOfPlain(int index, double plain) {
    const PlainRange range = plainRange(index);
    const double held = std::clamp(plain, range.min, range.max);
    if (unitOf(index) == Unit::BeatsPerMinute) return tempoToInterface(static_cast<float>(held));
    if (styleOf(index) != ValueStyle::Continuous)
        return choiceValue(index, static_cast<int>(std::trunc(held)));
    return static_cast<float>(held);
}

} // namespace tesk
