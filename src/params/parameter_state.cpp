#include "parameter_state.h"

#include "programs.h"

#include <cmath>

namespace tesk {

bool keptValue(ParamKind kind, float v, float& kept) {
    if (!std::isfinite(v)) return false;
    const float unit = clampToUnit(v);
    switch (kind) {
    case ParamKind::IsDelayOn:
    case ParamKind::IsTempoSync:
        kept = switchValue(switchIsOn(unit));
        break;
    case ParamKind::DelayType:
        kept = delayTypeValue(decodeDelayType(unit));
        break;
    case ParamKind::Output:
        kept = sourceOrPairValue(decodeOutputPair(unit));
        break;
    case ParamKind::Input:
        kept = sourceOrPairValue(requestedInputSource(unit));
        break;
    case ParamKind::Tempo:
        kept = tempoToInterface(tempoFromInterface(v));
        break;
    default:
        kept = unit;
        break;
    }
    return true;
}

ParameterState::ParameterState() {
    std::array<DelayProgram, kNumPrograms> factory;
    makeFactoryPrograms(factory);
    loadProgram(factory[0]);
}

float ParameterState::value(int index) const {
    return index >= 0 && index < kNumParameters ? values_[static_cast<std::size_t>(index)] : 0.0f;
}

bool ParameterState::keepValue(ParamRef ref, float v, float& kept) const {
    if (ref.kind != ParamKind::Input) return keptValue(ref.kind, v, kept);
    if (!std::isfinite(v)) return false;
    bool on[kNumLines];
    for (int line = 0; line < kNumLines; ++line)
        on[line] = value(parameterIndex(ParamKind::IsDelayOn, line)) != 0.0f;
    kept = selectInputSource(ref.line, clampToUnit(v), on).value;
    return true;
}

bool ParameterState::store(int index, float kept) {
    float& slot = values_[static_cast<std::size_t>(index)];
    if (slot == kept) return false;
    slot = kept;
    return true;
}

void ParameterState::loadProgram(const DelayProgram& program) {
    // A line the program switches off sends the inputs still listening to it
    // (lines not loaded yet, holding the previous values) back to the main
    // input, and the effect keeps that in the very program it loads: those
    // lines then load the main input, not the program's choice.
    std::array<bool, kNumLines> fellBack{};
    const auto noteFallBack = [&](int changed) {
        ParamRef ref{};
        if (splitParameterIndex(changed, ref) && ref.kind == ParamKind::Input)
            fellBack[static_cast<std::size_t>(ref.line)] = true;
    };
    for (int line = 0; line < kNumLines; ++line)
        for (ParamKind kind : kProgramLoadOrder) {
            const int index = parameterIndex(kind, line);
            if (kind == ParamKind::Input && fellBack[static_cast<std::size_t>(line)])
                set(index, 0.0f);
            else if (kind == ParamKind::IsDelayOn)
                set(index, program.value(index), noteFallBack);
            else
                set(index, program.value(index));
        }
    const int dry = parameterIndex(ParamKind::VolumeThruInput, 0);
    set(dry, program.value(dry));
}

} // namespace tesk
