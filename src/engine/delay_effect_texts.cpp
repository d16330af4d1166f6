// The three texts a host shows for each parameter: name, unit and value.
#include "delay_effect.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tesk {

namespace {

const char* labelOf(ParamKind kind) {
    switch (kind) {
    case ParamKind::FeedBack:
        return "amount";
    case ParamKind::Volume:
    case ParamKind::VolumeThruInput:
        return "db";
    case ParamKind::IsDelayOn:
    case ParamKind::IsTempoSync:
        return "Active";
    case ParamKind::Input:
        return "input";
    case ParamKind::Output:
        return "output";
    case ParamKind::DelayType:
        return "Type";
    case ParamKind::Saturation:
        return "Amount";
    case ParamKind::LowPassFrequency:
    case ParamKind::HighPassFrequency:
    case ParamKind::CrossFrequency:
        return "Hz";
    case ParamKind::Tempo:
        return "bpm";
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        return "Beat";
    case ParamKind::Pan:
        break; // depends on the value
    }
    return "";
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
    if (ref.kind == ParamKind::Pan) {
        const float p = pan[ref.line];
        std::strcpy(label, p < 0.5f ? "Left" : (p > 0.5f ? "Right" : "Center"));
        return;
    }
    std::strcpy(label, labelOf(ref.kind));
}

void DelayEffect::getParameterDisplay(std::int32_t index, char* text) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    const int line = ref.line;
    switch (ref.kind) {
    case ParamKind::FeedBack:
        floatToText(feedback[line], text);
        break;
    case ParamKind::Volume:
        floatToText(volume[line], text);
        break;
    case ParamKind::VolumeThruInput:
        floatToText(volumeThruInput, text);
        break;
    case ParamKind::Pan: {
        const double distance = std::fabs(static_cast<double>(pan[line]) - 0.5) * 100.0;
        integerToText(distance < 2147483647.0 ? static_cast<std::int32_t>(distance) : 0, text);
        break;
    }
    case ParamKind::Input:
        integerToText(inputSource[line], text);
        break;
    case ParamKind::Output:
        integerToText(outputPair[line], text);
        break;
    case ParamKind::DelayType:
        integerToText(delayType[line], text);
        break;
    case ParamKind::Saturation:
        floatToText(saturation[line], text);
        break;
    case ParamKind::LowPassFrequency:
        floatToText(lowPassFrequency[line] * crossHz[line], text);
        break;
    case ParamKind::HighPassFrequency: {
        const float cross = crossHz[line];
        floatToText(cross + highPassFrequency[line] * (22000.0f - cross), text);
        break;
    }
    case ParamKind::CrossFrequency:
        floatToText(crossoverHz(crossFrequency[line]), text);
        break;
    case ParamKind::Tempo:
        std::snprintf(text, 9, "%.1f", static_cast<double>(tempo[line]));
        break;
    case ParamKind::TempoNum:
        floatToText(tempoNum[line], text);
        break;
    case ParamKind::TempoDen:
        floatToText(tempoDen[line], text);
        break;
    case ParamKind::IsDelayOn:
    case ParamKind::IsTempoSync:
        break; // nothing is written
    }
}

} // namespace tesk
