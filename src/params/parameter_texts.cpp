#include "parameter_texts.h"

#include "parameter_info.h"
#include "text_tools.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tesk {

namespace {

constexpr float kTopHz = 22000.0f;

ParamRef refOf(int index) {
    ParamRef ref{ParamKind::FeedBack, 0};
    splitParameterIndex(index, ref);
    return ref;
}

// Percent away from the centre, the product taken in double.
std::int32_t panDistance(float pan) {
    const double distance = std::fabs(static_cast<double>(pan) - 0.5) * 100.0;
    return distance < 2147483647.0 ? static_cast<std::int32_t>(distance) : 0;
}

const char* panSide(float pan) {
    return pan < 0.5f ? "Left" : (pan > 0.5f ? "Right" : "Center");
}

} // namespace

const char* parameterLabel(int index, float v) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return "";
    switch (ref.kind) {
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
        return panSide(v);
    }
    return "";
}

void tempoText(float bpm, char* text) {
    std::snprintf(text, 9, "%.1f", static_cast<double>(bpm));
}

bool parameterDisplay(int index, float v, float crossover, char* text) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return false;
    const float crossHz = crossoverHz(crossover);
    switch (ref.kind) {
    case ParamKind::FeedBack:
    case ParamKind::Volume:
    case ParamKind::VolumeThruInput:
    case ParamKind::Saturation:
        floatToText(v, text);
        return true;
    case ParamKind::TempoNum:
        floatToText(decodeTempoNumerator(v), text);
        return true;
    case ParamKind::TempoDen:
        floatToText(decodeTempoDenominator(v), text);
        return true;
    case ParamKind::Pan:
        integerToText(panDistance(v), text);
        return true;
    case ParamKind::Input:
    case ParamKind::Output:
        integerToText(choiceOf(index, v), text);
        return true;
    case ParamKind::DelayType:
        integerToText(decodeDelayType(v), text);
        return true;
    case ParamKind::LowPassFrequency:
        floatToText(v * crossHz, text);
        return true;
    case ParamKind::HighPassFrequency:
        floatToText(crossHz + v * (kTopHz - crossHz), text);
        return true;
    case ParamKind::CrossFrequency:
        floatToText(crossHz, text);
        return true;
    case ParamKind::Tempo:
        tempoText(tempoFromInterface(v), text);
        return true;
    case ParamKind::IsDelayOn:
    case ParamKind::IsTempoSync:
        break;
    }
    return false;
}

std::string valueText(int index, float v, float crossover) {
    if (index < 0 || index >= kNumParameters) return {};
    if (styleOf(index) != ValueStyle::Continuous) return choiceLabel(index, choiceOf(index, v));
    char text[16] = {};
    parameterDisplay(index, v, crossover, text);
    const char* start = text;
    while (*start == ' ')
        ++start;
    return std::string(start) + " " + parameterLabel(index, v);
}

namespace {

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The number `text` is, when it is nothing but a number.
std::optional<double> wholeNumber(const char* text) {
    char* end = nullptr;
    const double x = std::strtod(text, &end);
    if (end == text || *end != '\0') return std::nullopt;
    return x;
}

// A switch or choice named by its label, or by a number equal to one.
std::optional<float> readChoice(int index, std::string_view text) {
    text = trimmed(text);
    for (int k = 0; k < choiceCount(index); ++k)
        if (sameWord(text, choiceLabel(index, k))) return choiceValue(index, k);
    const std::string copy(text);
    char* end = nullptr;
    const double x = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || !std::isfinite(x)) return std::nullopt;
    for (int k = 0; k < choiceCount(index); ++k)
        if (const std::optional<double> n = wholeNumber(choiceLabel(index, k)); n && *n == x)
            return choiceValue(index, k);
    if (styleOf(index) == ValueStyle::Switch) return choiceValue(index, x != 0.0 ? 1 : 0);
    return std::nullopt;
}

// The number a continuous value text shows, taken apart: the number, how fine
// its last digit is, and the rest of the text (the unit, the side of a pan).
struct ShownNumber {
    double value;
    double step;
    std::string rest;
};

std::optional<ShownNumber> shownNumber(std::string_view text) {
    const std::string copy(trimmed(text));
    char* end = nullptr;
    const double x = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || !std::isfinite(x)) return std::nullopt;
    const char* point = std::strchr(copy.c_str(), '.');
    int decimals = 0;
    if (point != nullptr && point < end) decimals = static_cast<int>(end - point - 1);
    return ShownNumber{x, std::pow(10.0, -decimals), std::string(end)};
}

// The value of `kind` that shows number `x` (and, for a pan, the side `rest` names).
double valueShowing(ParamKind kind, double x, const std::string& rest, float crossover) {
    const double crossHz = crossoverHz(crossover);
    switch (kind) {
    case ParamKind::Pan:
        if (rest.find("Left") != std::string::npos) return 0.5 - x / 100.0;
        if (rest.find("Center") != std::string::npos) return 0.5;
        return 0.5 + x / 100.0;
    case ParamKind::LowPassFrequency:
        return x / crossHz;
    case ParamKind::HighPassFrequency:
        return (x - crossHz) / (kTopHz - crossHz);
    case ParamKind::CrossFrequency:
        return (x - 500.0) / 4500.0;
    case ParamKind::Tempo:
        return tempoToInterface(clampTempo(static_cast<float>(x)));
    default:
        return x;
    }
}

float heldToRange(ParamKind kind, double v) {
    if (kind == ParamKind::Tempo) return static_cast<float>(v);
    return clampToUnit(static_cast<float>(v));
}

} // namespace

std::optional<float> readValueText(int index, std::string_view text, float crossover) {
    if (index < 0 || index >= kNumParameters) return std::nullopt;
    if (styleOf(index) != ValueStyle::Continuous) return readChoice(index, text);
    const std::optional<ShownNumber> shown = shownNumber(text);
    if (!shown) return std::nullopt;
    const ParamKind kind = refOf(index).kind;
    const std::string wanted(trimmed(text));
    const auto shows = [&](float v) { return valueText(index, v, crossover) == wanted; };

    // The number as written; then the middle of the span of values whose
    // truncated digits read as written (the tempo's text rounds, so its span is
    // centred on the number already); then the floats around that middle.
    const float exact = heldToRange(kind, valueShowing(kind, shown->value, shown->rest, crossover));
    if (shows(exact)) return exact;
    const double middle = kind == ParamKind::Tempo ? shown->value : shown->value + shown->step / 2;
    float near = heldToRange(kind, valueShowing(kind, middle, shown->rest, crossover));
    if (shows(near)) return near;
    float below = near, above = near;
    for (int step = 0; step < 64; ++step) {
        below = std::nextafter(below, -1.0f);
        above = std::nextafter(above, 2.0f);
        if (shows(below)) return below;
        if (shows(above)) return above;
    }
    return exact;
}

} // namespace tesk
