#include "clap_params.h"

#include "parameter_info.h"
#include "parameter_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tesk::clapfmt {

int positionOf(clap_id id) {
    if (id == kProgramParamId) return kProgramPosition;
    if (id == kBypassParamId) return kBypassPosition;
    return id < static_cast<clap_id>(kNumParameters) ? static_cast<int>(id) : -1;
}

clap_id idAt(int position) {
    if (position == kProgramPosition) return kProgramParamId;
    if (position == kBypassPosition) return kBypassParamId;
    return static_cast<clap_id>(position);
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

// A host that has a bypass of its own shows this one in its place.
void describeBypass(clap_param_info_t& info) {
    info.id = kBypassParamId;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS;
    std::snprintf(info.name, sizeof info.name, "Bypass");
    info.module[0] = '\0';
    info.min_value = 0.0;
    info.max_value = 1.0;
    info.default_value = 0.0;
}

std::uint32_t flagsOf(int index) {
    switch (styleOf(index)) {
    case ValueStyle::Switch:
        return CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED;
    case ValueStyle::Choice:
        return CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
    case ValueStyle::Continuous:
        break;
    }
    return CLAP_PARAM_IS_AUTOMATABLE;
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
    if (index == kBypassPosition) {
        describeBypass(info);
        return true;
    }
    info.id = idAt(index);
    info.flags = flagsOf(index);
    std::snprintf(info.name, sizeof info.name, "%s", parameterName(index).c_str());
    std::snprintf(info.module, sizeof info.module, "%s", groupName(groupOf(index)).c_str());
    const PlainRange range = plainRange(index);
    info.min_value = range.min;
    info.max_value = range.max;
    info.default_value = plainValue(index, defaultValue(index));
    return true;
}

int programOf(double plain) {
    if (!std::isfinite(plain)) return 0;
    return static_cast<int>(std::clamp(std::trunc(plain), 0.0, kNumPrograms - 1.0));
}

bool bypassOf(double plain) {
    return plain >= 1.0;
}

const char* bypassText(double plain) {
    return bypassOf(plain) ? "On" : "Off";
}

std::optional<double> bypassOfText(const char* text) {
    if (text == nullptr) return std::nullopt;
    if (std::strcmp(text, bypassText(1.0)) == 0) return 1.0;
    if (std::strcmp(text, bypassText(0.0)) == 0) return 0.0;
    return std::nullopt;
}

std::string valueText(int index, double plain, float crossover) {
    if (!std::isfinite(plain)) return {};
    return tesk::valueText(index, interfaceValueOfPlain(index, plain), crossover);
}

std::optional<double> textValue(int index, const char* text, float crossover) {
    if (text == nullptr) return std::nullopt;
    const std::optional<float> v = readValueText(index, text, crossover);
    if (!v) return std::nullopt;
    return plainValue(index, *v);
}

} // namespace tesk::clapfmt
