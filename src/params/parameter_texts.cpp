#include "parameter_texts.h"

#include "text_tools.h"

#include <cmath>
#include <cstdio>

namespace tesk {

const char* parameterLabel(ParamKind kind, float pan) {
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
        return pan < 0.5f ? "Left" : (pan > 0.5f ? "Right" : "Center");
    }
    return "";
}

namespace {

// Percent away from the centre, the product taken in double.
std::int32_t panDistance(float pan) {
    const double distance = std::fabs(static_cast<double>(pan) - 0.5) * 100.0;
    return distance < 2147483647.0 ? static_cast<std::int32_t>(distance) : 0;
}

} // namespace

bool parameterValueText(ParamKind kind, ShownValue shown, char* text) {
    const float v = shown.value;
    switch (kind) {
    case ParamKind::FeedBack:
    case ParamKind::Volume:
    case ParamKind::VolumeThruInput:
    case ParamKind::Saturation:
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        floatToText(v, text);
        return true;
    case ParamKind::Pan:
        integerToText(panDistance(v), text);
        return true;
    case ParamKind::Input:
    case ParamKind::Output:
    case ParamKind::DelayType:
        integerToText(static_cast<std::int32_t>(v), text);
        return true;
    case ParamKind::LowPassFrequency:
        floatToText(v * shown.crossHz, text);
        return true;
    case ParamKind::HighPassFrequency:
        floatToText(shown.crossHz + v * (22000.0f - shown.crossHz), text);
        return true;
    case ParamKind::CrossFrequency:
        floatToText(crossoverHz(v), text);
        return true;
    case ParamKind::Tempo:
        std::snprintf(text, 9, "%.1f", static_cast<double>(v));
        return true;
    case ParamKind::IsDelayOn:
    case ParamKind::IsTempoSync:
        break;
    }
    return false;
}

} // namespace tesk
