#include "vst3_params.h"

#include "parameter_info.h"
#include "parameter_texts.h"
#include "programs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tesk::vst3 {

namespace {

constexpr int32 kProgramPosition = kNumParameters;
constexpr int32 kBypassPosition = kProgramPosition + 1;
constexpr int32 kFirstTempoPosition = kBypassPosition + 1;

/// Positions of a stepped value, 0 for a continuous one.
int positionsOf(ParamID id) {
    if (id == kProgramParamId) return kNumPrograms;
    if (id == kBypassParamId) return 2;
    if (tempoLineOf(id) >= 0) return 0;
    return choiceCount(static_cast<int>(id));
}

PlainRange rangeOf(ParamID id) {
    if (tempoLineOf(id) >= 0) return {kMinTempo, kMaxTempo};
    if (id == kProgramParamId) return {0.0, kNumPrograms - 1.0};
    if (id == kBypassParamId) return {0.0, 1.0};
    return plainRange(static_cast<int>(id));
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

ParamID paramIdAt(int32 position) {
    if (position < kNumParameters) return static_cast<ParamID>(position);
    if (position == kProgramPosition) return kProgramParamId;
    if (position == kBypassPosition) return kBypassParamId;
    return kTempoInUseParamId + static_cast<ParamID>(position - kFirstTempoPosition);
}

bool isParamId(ParamID id) {
    return id < static_cast<ParamID>(kNumParameters) || id == kProgramParamId ||
           id == kBypassParamId || tempoLineOf(id) >= 0;
}

int tempoLineOf(ParamID id) {
    return id >= kTempoInUseParamId && id < kTempoInUseParamId + kNumLines
               ? static_cast<int>(id - kTempoInUseParamId)
               : -1;
}

bool describe(int32 position, ParameterInfo& info) {
    if (position < 0 || position >= kNumVst3Params) return false;
    info = ParameterInfo{};
    const ParamID id = paramIdAt(position);
    info.id = id;
    const int positions = positionsOf(id);
    info.stepCount = positions > 0 ? positions - 1 : 0;
    info.unitId = kRootUnitId;
    if (id == kProgramParamId) {
        toString128("Program", info.title);
        toString128("Program", info.shortTitle);
        info.flags =
            ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsProgramChange;
        return true;
    }
    if (id == kBypassParamId) {
        toString128("Bypass", info.title);
        toString128("Bypass", info.shortTitle);
        info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass;
        return true;
    }
    if (const int line = tempoLineOf(id); line >= 0) {
        const int tempo = parameterIndex(ParamKind::Tempo, line);
        char text[64];
        std::snprintf(text, sizeof text, "%s in use", parameterName(tempo).c_str());
        toString128(text, info.title);
        std::snprintf(text, sizeof text, "D%d Tempo used", line + 1);
        toString128(text, info.shortTitle);
        toString128("BPM", info.units);
        info.defaultNormalizedValue = normalizedOf(id, plainValue(tempo, defaultValue(tempo)));
        info.unitId = line + 1;
        info.flags = ParameterInfo::kIsReadOnly;
        return true;
    }
    const int index = static_cast<int>(id);
    toString128(parameterName(index), info.title);
    toString128(parameterShortName(index), info.shortTitle);
    if (unitOf(index) == Unit::BeatsPerMinute) toString128("BPM", info.units);
    info.defaultNormalizedValue = normalizedOfValue(index, defaultValue(index));
    info.unitId = groupOf(index) + 1;
    info.flags = ParameterInfo::kCanAutomate;
    if (styleOf(index) == ValueStyle::Choice) info.flags |= ParameterInfo::kIsList;
    return true;
}

bool describeUnit(int32 index, UnitInfo& info) {
    if (index < 0 || index >= kNumUnits) return false;
    info = UnitInfo{};
    info.id = index;
    info.parentUnitId = index == 0 ? kNoParentUnitId : kRootUnitId;
    info.programListId = index == 0 ? kProgramListId : kNoProgramListId;
    toString128(index == 0 ? std::string("TeskDelay") : groupName(index - 1), info.name);
    return true;
}

ParamValue normalizedOf(ParamID id, double plain) {
    const PlainRange range = rangeOf(id);
    if (!std::isfinite(plain)) return 0.0;
    plain = std::clamp(plain, range.min, range.max);
    const int positions = positionsOf(id);
    if (positions > 0) return std::trunc(plain - range.min) / (positions - 1);
    return (plain - range.min) / (range.max - range.min);
}

double plainOf(ParamID id, ParamValue normalized) {
    const PlainRange range = rangeOf(id);
    if (!std::isfinite(normalized)) normalized = 0.0;
    normalized = std::clamp(normalized, 0.0, 1.0);
    const int positions = positionsOf(id);
    if (positions > 0)
        return range.min + std::min<double>(positions - 1, std::floor(normalized * positions));
    return range.min + normalized * (range.max - range.min);
}

ParamValue normalizedOfValue(int index, float v) {
    return normalizedOf(static_cast<ParamID>(index), plainValue(index, v));
}

float valueOfNormalized(int index, ParamValue normalized) {
    return interfaceValueOfPlain(index, plainOf(static_cast<ParamID>(index), normalized));
}

std::string textOf(ParamID id, ParamValue normalized, float crossover) {
    const double plain = plainOf(id, normalized);
    if (id == kBypassParamId) return plain >= 1.0 ? "On" : "Off";
    if (tempoLineOf(id) >= 0) return formatted("%.2f", plain);
    const int index = static_cast<int>(id);
    return valueText(index, interfaceValueOfPlain(index, plain), crossover);
}

std::optional<ParamValue> normalizedOfText(ParamID id, const std::string& text, float crossover) {
    if (id == kBypassParamId) {
        for (const double plain : {0.0, 1.0})
            if (textOf(id, plain, crossover) == text) return plain;
        return std::nullopt;
    }
    if (tempoLineOf(id) >= 0) {
        char* end = nullptr;
        const double bpm = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || !std::isfinite(bpm)) return std::nullopt;
        return normalizedOf(id, bpm);
    }
    const int index = static_cast<int>(id);
    const std::optional<float> v = readValueText(index, text, crossover);
    if (!v) return std::nullopt;
    return normalizedOfValue(index, *v);
}

void toUtf16(const std::string& text, TChar* out, std::size_t capacity) {
    if (capacity == 0) return;
    // UTF-8 to UTF-16 for the characters of the Basic Multilingual Plane, which
    // is every character our texts use.
    std::size_t o = 0;
    for (std::size_t i = 0; i < text.size() && o + 1 < capacity;) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t code = c;
        std::size_t length = 1;
        if (c >= 0xE0 && i + 2 < text.size()) {
            code = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            length = 3;
        } else if (c >= 0xC0 && i + 1 < text.size()) {
            code = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            length = 2;
        }
        out[o++] = static_cast<TChar>(code);
        i += length;
    }
    out[o] = 0;
}

std::string fromUtf16(const TChar* text) {
    std::string out;
    for (std::size_t i = 0; text != nullptr && i < 128 && text[i] != 0; ++i) {
        const char32_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace tesk::vst3
