#include "plugin.h"

#include "errors.h"
#include "module_search.h"
#include "name_match.h"
#include "number_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace tesk::render {

namespace {

/// The number a text of digits alone spells, or -1.
long wholeNumber(const std::string& text) {
    bool digits =
        !text.empty() && text.size() < 9 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    return digits ? std::stol(text) : -1;
}

std::string numbersText(const std::vector<int>& numbers) {
    std::string text;
    for (int number : numbers)
        text += (text.empty() ? "" : ", ") + std::to_string(number);
    return text;
}

} // namespace

// True when `shown` starts with the number `value`, to the precision it is shown in.
bool showsNumber(const std::string& shown, float value) {
    const char* start = shown.c_str();
    char* end = nullptr;
    const double number = std::strtod(start, &end);
    if (end == start) return false;
    const char* point = std::strchr(start, '.');
    const std::ptrdiff_t decimals = point != nullptr && point < end ? end - point - 1 : 0;
    const double halfStep = 0.5 * std::pow(10.0, -static_cast<double>(decimals));
    return std::fabs(number - static_cast<double>(value)) <= halfStep;
}

std::string defaultPluginPath() {
    if (std::optional<std::filesystem::path> found = vsthost::findModule(vsthost::kTeskDelayModule))
        return found->string();
    throw RenderError(ExitCode::plugin,
                      std::string(vsthost::kTeskDelayModule) + " was not found (looked in " +
                          vsthost::moduleSearchFoldersText() +
                          "); install it with scripts/install, add its folder to VST_PATH, or "
                          "name a module with --plugin PATH");
}

// ---------------------------------------------------------------- loading

std::unique_ptr<Plugin> Plugin::load(const std::string& path, const HostSetup& setup) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        throw RenderError(ExitCode::plugin,
                          "plug-in '" + path +
                              "' does not exist; check the path given to --plugin");
    }
    std::string why;
    std::unique_ptr<vsthost::Module> module = vsthost::Module::load(path, why);
    if (!module) {
        throw RenderError(ExitCode::plugin,
                          why + "; --plugin needs a Linux VST 2 module (a .so exporting "
                                "VSTPluginMain or main)");
    }
    return fromModule(std::move(module), setup);
}

std::unique_ptr<Plugin> Plugin::fromModule(std::unique_ptr<vsthost::Module> module,
                                           const HostSetup& setup) {
    return std::unique_ptr<Plugin>(new Plugin(std::move(module), setup));
}

Plugin::Plugin(std::unique_ptr<vsthost::Module> module, const HostSetup& setup)
    : module_(std::move(module)), setup_(setup) {
    host_.setTransport(setup.tempo, setup.rate);
    host_.blockSize = setup.blockSize;
    host_.verbose = setup.verbose;
    std::string why;
    instance_ = vsthost::Instance::create(*module_, host_, why);
    if (!instance_) {
        throw RenderError(ExitCode::plugin,
                          why + "; the module may need a host other than a plain VST 2 one");
    }
    if (outputs() < 1) {
        throw RenderError(ExitCode::plugin, "'" + name() + "' has no audio outputs to render");
    }
}

Plugin::~Plugin() = default;

void Plugin::start() {
    instance_->start(setup_.rate, setup_.blockSize);
}

void Plugin::finish() {
    instance_->stop();
    instance_->close();
}

// ---------------------------------------------------------------- description

std::string Plugin::name() const {
    for (auto opcode : {effGetEffectName, effGetProductString}) {
        std::string text = instance_->text(opcode);
        if (!text.empty()) return text;
    }
    return std::filesystem::path(module_->path()).stem().string();
}

std::string Plugin::vendor() const {
    return instance_->text(effGetVendorString);
}

int Plugin::currentProgram() const {
    return static_cast<int>(instance_->dispatch(effGetProgram));
}

std::vector<ProgramEntry> Plugin::programs() const {
    int current = currentProgram();
    std::vector<ProgramEntry> entries;
    for (int index = 0; index < instance_->effect()->numPrograms; ++index) {
        // Category -1: all programs, as hosts ask.
        std::string stored = instance_->text(effGetProgramNameIndexed, index, -1);
        instance_->dispatch(effSetProgram, 0, index);
        entries.push_back({index, stored, instance_->programName()});
    }
    if (!entries.empty()) instance_->dispatch(effSetProgram, 0, current);
    return entries;
}

std::vector<ParameterEntry> Plugin::parameters() const {
    std::vector<ParameterEntry> entries;
    for (int index = 0; index < instance_->effect()->numParams; ++index) {
        entries.push_back({index, instance_->parameterName(index), instance_->getParameter(index),
                           instance_->parameterDisplay(index), instance_->parameterLabel(index)});
    }
    return entries;
}

// ---------------------------------------------------------------- programs

int Plugin::programIndex(const std::string& numberOrName) const {
    int count = instance_->effect()->numPrograms;
    if (long number = wholeNumber(numberOrName); number >= 0) {
        if (number < count) return static_cast<int>(number);
        throw RenderError(ExitCode::unknownProgram, "there is no program " + numberOrName + ": '" +
                                                        name() + "' numbers its programs 0 to " +
                                                        std::to_string(count - 1) + " (" +
                                                        setup_.listCommand + " shows them)");
    }
    std::vector<int> matches;
    std::vector<std::string> names;
    for (const ProgramEntry& entry : programs()) {
        if (equalsIgnoringCase(numberOrName, entry.storedName) ||
            equalsIgnoringCase(numberOrName, entry.shownName)) {
            matches.push_back(entry.index);
        }
        names.push_back(entry.shownName);
        names.push_back(entry.storedName);
    }
    if (matches.size() == 1) return matches.front();
    if (matches.size() > 1) {
        throw RenderError(ExitCode::unknownProgram, "'" + numberOrName + "' names programs " +
                                                        numbersText(matches) +
                                                        "; give the number of the one you mean");
    }
    throw RenderError(ExitCode::unknownProgram, "'" + name() + "' has no program '" + numberOrName +
                                                    "'; the closest are " +
                                                    quotedList(closestNames(numberOrName, names)) +
                                                    " (" + setup_.listCommand + " shows them all)");
}

void Plugin::selectProgram(const std::string& numberOrName) {
    if (instance_->effect()->numPrograms < 1) {
        throw RenderError(ExitCode::unknownProgram,
                          "'" + name() + "' has no programs; leave out --program");
    }
    instance_->dispatch(effSetProgram, 0, programIndex(numberOrName));
}

// ---------------------------------------------------------------- parameters

int Plugin::parameterIndex(const std::string& wanted) const {
    std::vector<std::string> names;
    for (int index = 0; index < instance_->effect()->numParams; ++index) {
        names.push_back(instance_->parameterName(index));
    }
    auto exact = std::find(names.begin(), names.end(), wanted);
    if (exact != names.end()) return static_cast<int>(exact - names.begin());
    std::vector<int> caseless;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (equalsIgnoringCase(wanted, names[index])) caseless.push_back(static_cast<int>(index));
    }
    if (caseless.size() == 1) return caseless.front();
    if (long number = wholeNumber(wanted);
        number >= 0 && number < static_cast<long>(names.size())) {
        return static_cast<int>(number);
    }
    if (names.empty()) {
        throw RenderError(ExitCode::unknownParameter,
                          "'" + name() + "' has no parameters; leave out --set");
    }
    throw RenderError(ExitCode::unknownParameter,
                      "'" + name() + "' has no parameter '" + wanted + "'; the closest are " +
                          quotedList(closestNames(wanted, names)) + " (" + setup_.listCommand +
                          " shows them all)");
}

bool Plugin::displayShows(int index, float value) const {
    return showsNumber(instance_->parameterDisplay(index), value);
}

std::string Plugin::displayWithLabel(int index) const {
    std::string text = instance_->parameterDisplay(index);
    text.erase(0, text.find_first_not_of(' ')); // displays are often padded to a width
    const std::string label = instance_->parameterLabel(index);
    if (!label.empty()) text += " " + label;
    return text;
}

void Plugin::apply(const Setting& setting) {
    if (setting.origin.empty()) {
        applyValue(setting);
        return;
    }
    try {
        applyValue(setting);
    } catch (const RenderError& error) {
        throw RenderError(error.code(), setting.origin + ": " + error.what());
    }
}

void Plugin::applyValue(const Setting& setting) {
    int index = parameterIndex(setting.name);
    std::string parameter = instance_->parameterName(index);
    const float before = instance_->getParameter(index);
    instance_->setParameter(index, setting.value);
    const bool outsideUnit = setting.value < 0.0f || setting.value > 1.0f;
    if (outsideUnit && !takenAsShown(index, setting.value)) {
        instance_->setParameter(index, setting.value);
        const std::string shown = displayWithLabel(index);
        const std::string accepted = acceptedValues(index);
        instance_->setParameter(index, before);
        throw RenderError(ExitCode::valueOutOfRange,
                          parameter + " takes " + accepted + "; not " + setting.valueText +
                              " (given " + setting.valueText + ", the plug-in shows " + shown +
                              "; " + setup_.listCommand + " shows its current value)");
    }
    if (setup_.verbose) {
        std::fprintf(stderr, "set %s (%d) = %s: %s %s\n", parameter.c_str(), index,
                     setting.valueText.c_str(), instance_->parameterDisplay(index).c_str(),
                     instance_->parameterLabel(index).c_str());
    }
}

std::optional<Plugin::ShownRange> Plugin::shownRange(int index) {
    auto shownAt = [&](float value) {
        instance_->setParameter(index, value);
        return numberFrom(instance_->parameterDisplay(index));
    };
    const std::optional<double> low = shownAt(0.0f);
    const std::optional<double> high = shownAt(1.0f);
    if (!low || !high || *low == *high) return std::nullopt;
    return ShownRange{std::min(*low, *high), std::max(*low, *high)};
}

bool Plugin::takenAsShown(int index, float value) {
    // Values cross the boundary as 0 to 1, but a plug-in may take a value of its
    // own unit beyond that (TeskDelay's tempos, in beats per minute). Such a value
    // counts when the plug-in then shows that very number, within the range it
    // shows from 0 to 1: a value merely clamped to an end that shows the same
    // number on both sides (a pan's "50 Left" and "50 Right") does not.
    if (!displayShows(index, value)) return false;
    const std::optional<ShownRange> range = shownRange(index);
    instance_->setParameter(index, value);
    return range && range->least <= value && value <= range->most;
}

std::string Plugin::acceptedValues(int index) {
    const std::string interfaceRange = "values from 0 to 1";
    const std::optional<ShownRange> range = shownRange(index);
    if (!range || (range->least >= 0.0 && range->most <= 1.0)) return interfaceRange;
    // A value within the shown range but outside 0 to 1 tells whether the plug-in
    // takes its own unit.
    const double probe = range->most > 1.0 ? (std::max(range->least, 1.0) + range->most) / 2.0
                                           : (range->least + std::min(range->most, 0.0)) / 2.0;
    instance_->setParameter(index, static_cast<float>(probe));
    if (!displayShows(index, static_cast<float>(probe))) return interfaceRange;
    const std::string unit = instance_->parameterLabel(index);
    return interfaceRange + ", or from " + numberText(range->least) + " to " +
           numberText(range->most) + (unit.empty() ? "" : " " + unit) +
           " as the plug-in shows them";
}

// ---------------------------------------------------------------- processing

void Plugin::process(float** inputBuffers, float** outputBuffers, std::int32_t frames) {
    if ((instance_->effect()->flags & effFlagsCanReplacing) != 0) {
        instance_->processReplacing(inputBuffers, outputBuffers, frames);
    } else {
        // The accumulating entry adds onto what the buffers hold.
        for (int channel = 0; channel < outputs(); ++channel) {
            std::fill_n(outputBuffers[channel], frames, 0.0f);
        }
        instance_->process(inputBuffers, outputBuffers, frames);
    }
    host_.advance(frames);
}

} // namespace tesk::render
