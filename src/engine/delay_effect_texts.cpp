// The three texts a host shows for each parameter: name, unit and value.
#include "delay_effect.h"

#include "parameter_texts.h"

#include <cstdio>
#include <cstring>

namespace tesk {

namespace {

// The decoded state a parameter's texts are made from, as the engine holds it.
ShownValue shownValueOf(DelayEffect& e, ParamRef ref) {
    const int line = ref.line;
    const float cross = e.crossHz[line];
    switch (ref.kind) {
    case ParamKind::FeedBack:
        return {e.feedback[line], cross};
    case ParamKind::Volume:
        return {e.volume[line], cross};
    case ParamKind::VolumeThruInput:
        return {e.volumeThruInput, cross};
    case ParamKind::Pan:
        return {e.pan[line], cross};
    case ParamKind::Input:
        return {static_cast<float>(e.inputSource[line]), cross};
    case ParamKind::Output:
        return {static_cast<float>(e.outputPair[line]), cross};
    case ParamKind::DelayType:
        return {static_cast<float>(e.delayType[line]), cross};
    case ParamKind::Saturation:
        return {e.saturation[line], cross};
    case ParamKind::LowPassFrequency:
        return {e.lowPassFrequency[line], cross};
    case ParamKind::HighPassFrequency:
        return {e.highPassFrequency[line], cross};
    case ParamKind::CrossFrequency:
        return {e.crossFrequency[line], cross};
    case ParamKind::Tempo:
        return {e.tempo[line], cross};
    case ParamKind::TempoNum:
        return {e.tempoNum[line], cross};
    case ParamKind::TempoDen:
        return {e.tempoDen[line], cross};
    case ParamKind::IsDelayOn:
        return {e.lineOn[line] ? 1.0f : 0.0f, cross};
    case ParamKind::IsTempoSync:
        return {e.tempoSync[line] ? 1.0f : 0.0f, cross};
    }
    return {0.0f, cross};
}

} // namespace

// Names are written whole, up to 18 characters ("HighPassFrequency1"), past
// the eight the interface reserves: hosts hand buffers large enough for them.
void DelayEffect::getParameterName(std::int32_t index, char* text) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    if (ref.kind == ParamKind::VolumeThruInput)
        std::strcpy(text, baseNameOf(ref.kind));
    else
        std::sprintf(text, "%s%d", baseNameOf(ref.kind), ref.line + 1);
}

void DelayEffect::getParameterLabel(std::int32_t index, char* label) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    const float p = ref.kind == ParamKind::Pan ? static_cast<float>(pan[ref.line]) : 0.5f;
    std::strcpy(label, parameterLabel(ref.kind, p));
}

void DelayEffect::getParameterDisplay(std::int32_t index, char* text) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    parameterValueText(ref.kind, shownValueOf(*this, ref), text);
}

} // namespace tesk
