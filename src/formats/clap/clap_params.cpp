#include "clap_params.h"

#include "parameter_texts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tesk::clapfmt {

namespace {

ParamRef refOf(int index) {
    ParamRef ref{ParamKind::FeedBack, 0};
    splitParameterIndex(index, ref);
    return ref;
}

bool isSwitch(ParamKind kind) {
    return kind == ParamKind::IsDelayOn || kind == ParamKind::IsTempoSync ||
           kind == ParamKind::DelayType;
}

/// How many positions an enumeration has; 0 for every other kind.
int positionsOf(ParamKind kind) {
    switch (kind) {
    case ParamKind::Input:
        return kNumLines;
    case ParamKind::Output:
        return 3;
    case ParamKind::TempoNum:
        return kNumNumerators;
    case ParamKind::TempoDen:
        return kNumDenominators;
    default:
        return 0;
    }
}

struct Range {
    double min;
    double max;
};

Range rangeOf(ParamKind kind) {
    if (kind == ParamKind::Tempo) return {kMinTempo, kMaxTempo};
    if (const int n = positionsOf(kind)) return {0.0, n - 1.0};
    return {0.0, 1.0};
}

int positionOfPlain(double plain, int count) {
    return static_cast<int>(std::clamp(std::trunc(plain), 0.0, count - 1.0));
}

} // namespace

int positionOf(clap_id id) {
    if (id == kProgramParamId) return kProgramPosition;
    return id < static_cast<clap_id>(kNumParameters) ? static_cast<int>(id) : -1;
}

clap_id idAt(int position) {
    return position == kProgramPosition ? kProgramParamId : static_cast<clap_id>(position);
}

namespace {

void describeProgramChoice(clap_param_info_t& info) {
    info.id = kProgramParamId;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
    std::snprintf(info.name, sizeof info.name, "Program");
    info.module[0] = '\0';
    info.min_value = 0.0;
    info.max_value = kNumPrograms - 1.0;
    info.default_value = 0.0;
}

} // namespace

bool describe(std::uint32_t position, clap_param_info_t& info) {
    if (position >= kNumClapParams) return false;
    info = clap_param_info_t{};
    const int index = static_cast<int>(position);
    if (index == kProgramPosition) {
        describeProgramChoice(info);
        return true;
    }
    const ParamRef ref = refOf(index);
    info.id = idAt(index);
    info.flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (isSwitch(ref.kind) || positionsOf(ref.kind) > 0) info.flags |= CLAP_PARAM_IS_STEPPED;
    if (ref.kind == ParamKind::DelayType || positionsOf(ref.kind) > 0)
        info.flags |= CLAP_PARAM_IS_ENUM;
    if (ref.kind == ParamKind::VolumeThruInput) {
        std::snprintf(info.name, sizeof info.name, "%s", baseNameOf(ref.kind));
    } else {
        std::snprintf(info.name, sizeof info.name, "%s%d", baseNameOf(ref.kind), ref.line + 1);
        std::snprintf(info.module, sizeof info.module, "Delay %d", ref.line + 1);
    }
    const Range range = rangeOf(ref.kind);
    info.min_value = range.min;
    info.max_value = range.max;
    info.default_value = plainValue(index, DelayProgram{}.value(index));
    return true;
}

std::optional<float> interfaceValue(int index, double plain) {
    if (!std::isfinite(plain)) return std::nullopt;
    const ParamKind kind = refOf(index).kind;
    const Range range = rangeOf(kind);
    const double held = std::clamp(plain, range.min, range.max);
    if (isSwitch(kind)) return held >= 1.0 ? 1.0f : 0.0f;
    switch (kind) {
    case ParamKind::Input:
    case ParamKind::Output:
        // The very value getParameter answers for that choice.
        return static_cast<float>(positionOfPlain(held, positionsOf(kind))) * 0.1f;
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        // Mid-step, so that trunc(10 v) lands on the position whatever the rounding.
        return static_cast<float>((positionOfPlain(held, positionsOf(kind)) + 0.5) / 10.0);
    default:
        return static_cast<float>(held);
    }
}

double plainValue(int index, float v) {
    const ParamKind kind = refOf(index).kind;
    if (isSwitch(kind)) return v > 0.5f ? 1.0 : 0.0;
    switch (kind) {
    case ParamKind::Input:
    case ParamKind::Output:
        return std::round(static_cast<double>(v) * 10.0);
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        return noteTableIndex(v, positionsOf(kind));
    case ParamKind::Tempo:
        return tempoFromInterface(v);
    default:
        return v;
    }
}

int programOf(double plain) {
    if (!std::isfinite(plain)) return 0;
    return positionOfPlain(plain, kNumPrograms);
}

namespace {

// The engine's decoding of interface value `v`, as its texts are made from it.
ShownValue shownValueOf(ParamRef ref, float v, const TextContext& context) {
    switch (ref.kind) {
    case ParamKind::Input:
        return {static_cast<float>(selectInputSource(ref.line, v, context.lineOn).source),
                context.crossHz};
    case ParamKind::Output:
        return {static_cast<float>(decodeOutputPair(v)), context.crossHz};
    case ParamKind::DelayType:
        return {static_cast<float>(decodeDelayType(v)), context.crossHz};
    case ParamKind::Tempo:
        return {tempoFromInterface(v), context.crossHz};
    case ParamKind::TempoNum:
        return {decodeTempoNumerator(v), context.crossHz};
    case ParamKind::TempoDen:
        return {decodeTempoDenominator(v), context.crossHz};
    default:
        return {v, context.crossHz};
    }
}

} // namespace

std::string valueText(int index, double plain, const TextContext& context) {
    const auto v = interfaceValue(index, plain);
    if (!v) return {};
    const ParamRef ref = refOf(index);
    const ShownValue shown = shownValueOf(ref, *v, context);
    char text[16] = {};
    if (!parameterValueText(ref.kind, shown, text)) return switchIsOn(*v) ? "On" : "Off";
    const char* start = text;
    while (*start == ' ')
        ++start;
    return std::string(start) + " " + parameterLabel(ref.kind, shown.value);
}

namespace {

bool startsWithWord(const char* text, const char* word) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    for (; *word != '\0'; ++word, ++text)
        if (std::tolower(static_cast<unsigned char>(*text)) != *word) return false;
    return true;
}

bool mentions(const char* text, const char* word) {
    return std::strstr(text, word) != nullptr;
}

// The table position whose entry lies nearest `x`.
double nearestEntry(const float* table, int count, double x) {
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (std::fabs(table[i] - x) < std::fabs(table[best] - x)) best = i;
    return best;
}

// The CLAP value number `x` stands for, in the unit the value text uses.
double fromShownNumber(ParamKind kind, double x, const TextContext& context) {
    const double cross = context.crossHz;
    switch (kind) {
    case ParamKind::DelayType:
        return x >= 1.5 ? 1.0 : 0.0;
    case ParamKind::LowPassFrequency:
        return cross > 0.0 ? x / cross : 0.0;
    case ParamKind::HighPassFrequency:
        return cross < 22000.0 ? (x - cross) / (22000.0 - cross) : 0.0;
    case ParamKind::CrossFrequency:
        return (x - 500.0) / 4500.0;
    case ParamKind::TempoNum:
        return nearestEntry(kTempoNumerators, kNumNumerators, x);
    case ParamKind::TempoDen:
        return nearestEntry(kTempoDenominators, kNumDenominators, x);
    case ParamKind::IsDelayOn:
    case ParamKind::IsTempoSync:
        return x != 0.0 ? 1.0 : 0.0;
    default:
        return x;
    }
}

} // namespace

std::optional<double> textValue(int index, const char* text, const TextContext& context) {
    if (text == nullptr) return std::nullopt;
    const ParamRef ref = refOf(index);
    const bool onOff = ref.kind == ParamKind::IsDelayOn || ref.kind == ParamKind::IsTempoSync;
    if (onOff && startsWithWord(text, "on")) return 1.0;
    if (onOff && startsWithWord(text, "off")) return 0.0;
    char* end = nullptr;
    const double x = std::strtod(text, &end);
    if (end == text || !std::isfinite(x)) return std::nullopt;
    double plain = fromShownNumber(ref.kind, x, context);
    if (ref.kind == ParamKind::Pan)
        plain = mentions(end, "Left") ? 0.5 - x / 100.0 : 0.5 + x / 100.0;
    const Range range = rangeOf(ref.kind);
    return std::clamp(plain, range.min, range.max);
}

} // namespace tesk::clapfmt
