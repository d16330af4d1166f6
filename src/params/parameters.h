// The 61 parameters: their index layout, names and labels, and how a value
// crossing the host boundary decodes into engine state.
#pragma once

#include <cstdint>

namespace tesk {

constexpr int kNumLines = 4;
constexpr int kNumParameters = 61;

/// Parameter groups in index order. All but `VolumeThruInput` hold one
/// parameter per delay line, lines 1 to 4 at consecutive indices.
enum class ParamKind : std::uint8_t {
    FeedBack,
    Volume,
    VolumeThruInput,
    IsDelayOn,
    Pan,
    Input,
    Output,
    DelayType,
    Saturation,
    LowPassFrequency,
    HighPassFrequency,
    CrossFrequency,
    Tempo,
    TempoNum,
    TempoDen,
    IsTempoSync,
};
constexpr int kNumParamKinds = 16;

/// A parameter index taken apart: its group and its line (0 to 3; 0 for the global one).
struct ParamRef {
    ParamKind kind;
    int line;
};

/// First index of each group, in group order. A table of its own, not a local of
/// firstIndexOf: unoptimised builds would fill a local one on every call, and the
/// parameter entries call it for every value a host sends.
inline constexpr int kFirstIndexOfKind[kNumParamKinds] = {0,  4,  8,  9,  13, 17, 21, 25,
                                                          29, 33, 37, 41, 45, 49, 53, 57};

/// First index of each group.
constexpr int firstIndexOf(ParamKind kind) {
    return kFirstIndexOfKind[static_cast<int>(kind)];
}

/// The index of a group's parameter for `line` (0 to 3).
constexpr int parameterIndex(ParamKind kind, int line) {
    return kind == ParamKind::VolumeThruInput ? firstIndexOf(kind) : firstIndexOf(kind) + line;
}

/// Splits an index into group and line; false for an index outside 0 to 60.
constexpr bool splitParameterIndex(int index, ParamRef& ref) {
    if (index < 0 || index >= kNumParameters) return false;
    for (int k = kNumParamKinds - 1; k >= 0; --k) {
        auto kind = static_cast<ParamKind>(k);
        if (index >= firstIndexOf(kind)) {
            ref = {kind, index - firstIndexOf(kind)};
            return true;
        }
    }
    return false;
}

/// The group's name without the line number, as hosts see it.
const char* baseNameOf(ParamKind kind);

// ---- decoding of host values (all thresholds as the host boundary defines them)

constexpr float kMinTempo = 48.0f;
constexpr float kMaxTempo = 999.0f;
constexpr int kNumNumerators = 4;
constexpr int kNumDenominators = 9;

/// On/off switches (`IsDelayOn`, `IsTempoSync`): on above 0.5; 0.5 itself is off.
constexpr bool switchIsOn(float v) {
    return v > 0.5f;
}

/// `DelayType`: 2 (recirculating) above 0.5, else 1 (single echo).
constexpr std::int32_t decodeDelayType(float v) {
    return v > 0.5f ? 2 : 1;
}

/// `Output`: the output pair 0, 1 or 2.
constexpr std::int32_t decodeOutputPair(float v) {
    return v < 0.05f ? 0 : (v < 0.15f ? 1 : 2);
}

/// `Tempo`: beats per minute held to 48..999.
constexpr float clampTempo(float v) {
    return v > kMaxTempo ? kMaxTempo : (v < kMinTempo ? kMinTempo : v);
}

/// Every parameter but `Tempo` crosses the host boundary in 0..1; anything else a
/// host, a fuzzer or a damaged session sends is held to that range.
constexpr float clampToUnit(float v) {
    return v > 1.0f ? 1.0f : (v < 0.0f ? 0.0f : v);
}

/// `Tempo` as hosts keep it: 0..1 onto 48..999 beats per minute. Computed in double
/// and rounded once, so that tempoFromInterface(tempoToInterface(b)) == b for every
/// float b in 48..999: a host that saves what it read restores the very same tempo.
constexpr float tempoToInterface(float bpm) {
    return static_cast<float>((static_cast<double>(clampTempo(bpm)) - kMinTempo) /
                              (static_cast<double>(kMaxTempo) - kMinTempo));
}

/// The tempo a host value stands for: 0..1 maps onto 48..999 beats per minute; a
/// value above 1 is taken as beats per minute itself (held to 48..999), as sessions
/// stored before the tempo was normalised carry it, and as typed and host tempos
/// arrive at full precision. Negative values mean 48.
constexpr float tempoFromInterface(float v) {
    if (v > 1.0f) return clampTempo(v);
    const double unit = v < 0.0f ? 0.0 : static_cast<double>(v);
    return static_cast<float>(kMinTempo + unit * (static_cast<double>(kMaxTempo) - kMinTempo));
}

/// The note-length tables `TempoNum` and `TempoDen` choose from.
inline constexpr float kTempoNumerators[kNumNumerators] = {1, 2, 3, 4};
inline constexpr float kTempoDenominators[kNumDenominators] = {1, 2, 3, 4, 6, 8, 16, 32, 64};

/// The table position trunc(10 v) of a `TempoNum` or `TempoDen` value, v taken
/// exactly as handed in, held to 0..count-1.
int noteTableIndex(float v, int count);

/// `TempoNum`: 1, 2, 3 or 4 from trunc(10 v). Values off the table take its
/// nearest end, so no value can read outside it.
float decodeTempoNumerator(float v);

/// `TempoDen`: 1, 2, 3, 4, 6, 8, 16, 32 or 64 from trunc(10 v), held to the table.
float decodeTempoDenominator(float v);

/// The value that stands for position `k` (0 or more) of a table `TempoNum`,
/// `TempoDen`, `Input` or `Output` is read from: k × 0.1 as a float, nudged up
/// where that float lies just below k / 10, so that trunc(10 v) gives k.
float tablePositionValue(int k);

/// The source an `Input` value asks for (0 to 3), before the question whether
/// that source may be heard.
int requestedInputSource(float v);

/// `Input` of `line` (0 to 3): the chosen source (0 mono input, s = line s's
/// memory) and the quantised value kept and reported (0.0 to 0.3).
struct InputChoice {
    std::int32_t source;
    float value;
};
InputChoice selectInputSource(int line, float v, const bool (&lineOn)[kNumLines]);

// ---- what `getParameter` answers for a decoded state

/// A switch as the interface carries it back: 1 when on, else 0.
constexpr float switchValue(bool on) {
    return on ? 1.0f : 0.0f;
}

/// `DelayType` as carried back: 1 for the recirculating type 2, else 0.
constexpr float delayTypeValue(std::int32_t type) {
    return type == 2 ? 1.0f : 0.0f;
}

/// `Input` source or `Output` pair `k` as carried back: k x 0.1.
constexpr float sourceOrPairValue(std::int32_t k) {
    return static_cast<float>(k) * 0.1f;
}

/// `CrossFrequency`: the crossover in Hz, 500 to 5000.
constexpr float crossoverHz(float v) {
    return 500.0f + 4500.0f * v;
}

} // namespace tesk
