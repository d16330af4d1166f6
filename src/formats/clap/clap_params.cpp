#include "clap_params.h"

#include "parameter_info.h"
#include "parameter_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tesk::clapfmt {

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
