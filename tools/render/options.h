// The command line of tesk-render, parsed into one record.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tesk::render {

/// Which channels of the plug-in reach the output file.
enum class OutputMode { main, all, mix };

/// One --set NAME=VALUE or line of a settings file, in the order given.
struct Setting {
    std::string name;
    float value = 0.0f;
    std::string valueText; ///< as typed, for messages
    std::string origin;    ///< FILE:LINE for a line of a settings file, else empty
};

/// Everything the command line asked for.
struct Options {
    std::string plugin;                 ///< empty: the TeskDelay module built with the tool
    std::string input;                  ///< empty: the synthesised demo phrase
    std::string output;                 ///< empty: demo.wav, or INPUT-tesk.wav
    std::optional<std::string> program; ///< number or name as the plug-in gives it
    std::vector<Setting> settings;
    double tempo = 120.0;
    int blockSize = 512;
    std::optional<double> rate;        ///< only for the demo phrase
    std::optional<double> tailSeconds; ///< none: until the echoes have died away
    double warmUpSeconds = 0.0;        ///< silence run in real time before the input
    double gainDb = 0.0;               ///< applied to the plug-in's output before writing
    OutputMode outputs = OutputMode::main;
    std::optional<std::pair<int, int>> channels; ///< zero-based left and right input channels
    bool list = false;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
};

/// One NAME=VALUE of --set; throws RenderError (usage) when it is not of that form.
Setting settingFrom(const std::string& text);

/// The NAME=VALUE lines of a settings file (blank lines and '#' comments skipped),
/// as a host that saved every parameter writes them, each knowing its FILE:LINE;
/// throws RenderError (input file) when the file cannot be read and (usage),
/// naming FILE:LINE, on a line of another form.
std::vector<Setting> settingsFromFile(const std::string& path);

/// Parses the arguments after the program name; throws RenderError (usage) on a bad one.
Options parseOptions(const std::vector<std::string>& args);

/// The --help text, exit codes included.
std::string helpText();

/// The default sample rate of the demo phrase.
inline constexpr double kDemoRate = 44100.0;

} // namespace tesk::render
