#include "options.h"

#include "errors.h"
#include "module_search.h"
#include "number_text.h"
#include "wrap_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>

namespace tesk::render {

namespace {

[[noreturn]] void usageError(const std::string& message) {
    throw RenderError(ExitCode::usage, message + " (tesk-render --help lists the options)");
}

double numberIn(const std::string& option, const std::string& text, double low, double high) {
    std::optional<double> value = numberFrom(text);
    if (!value || *value < low || *value > high) {
        usageError(option + " takes a number from " + numberText(low) + " to " + numberText(high) +
                   ", not '" + text + "'");
    }
    return *value;
}

/// The lowest and highest --gain, in decibels: beyond them a render is silence or noise.
constexpr double kLowestGainDb = -100.0;
constexpr double kHighestGainDb = 40.0;

double gainFrom(const std::string& text) {
    std::optional<double> value = numberFrom(text);
    if (!value || *value < kLowestGainDb || *value > kHighestGainDb) {
        usageError("--gain takes decibels from " + numberText(kLowestGainDb) + " to " +
                   numberText(kHighestGainDb) + ", such as -6, not '" + text + "'");
    }
    return *value;
}

OutputMode outputModeFrom(const std::string& text) {
    if (text == "main") return OutputMode::main;
    if (text == "all") return OutputMode::all;
    if (text == "mix") return OutputMode::mix;
    usageError("--outputs takes main, all or mix, not '" + text + "'");
}

/// "3,4" picks channels 3 and 4 as left and right; "3" feeds channel 3 to both.
std::pair<int, int> channelsFrom(const std::string& text) {
    std::size_t comma = text.find(',');
    std::string first = text.substr(0, comma);
    std::string second = comma == std::string::npos ? first : text.substr(comma + 1);
    std::optional<double> left = numberFrom(first);
    std::optional<double> right = numberFrom(second);
    bool whole = left && right && *left == std::floor(*left) && *right == std::floor(*right);
    if (!whole || *left < 1 || *right < 1 || *left > 1024 || *right > 1024) {
        usageError(
            "--channels takes one or two channel numbers counted from 1, such as 3,4, not '" +
            text + "'");
    }
    return {static_cast<int>(*left) - 1, static_cast<int>(*right) - 1};
}

/// `name` as a file name given to `what`; an empty one (an unset shell variable,
/// most likely) is refused rather than taken for "none given".
const std::string& fileName(const std::string& what, const std::string& name) {
    if (name.empty()) {
        usageError("an empty name was given as " + what + "; give the path of a file" +
                   (what == "INPUT" ? ", or leave INPUT out to render the demo phrase" : ""));
    }
    return name;
}

using ValueHandler = std::function<void(Options&, const std::string&)>;
using FlagHandler = std::function<void(Options&)>;

const std::map<std::string, ValueHandler>& valueOptions() {
    static const std::map<std::string, ValueHandler> handlers{
        {"--plugin", [](Options& o, const std::string& v) { o.plugin = fileName("--plugin", v); }},
        {"--output", [](Options& o, const std::string& v) { o.output = fileName("--output", v); }},
        {"-o", [](Options& o, const std::string& v) { o.output = fileName("-o", v); }},
        {"--program", [](Options& o, const std::string& v) { o.program = v; }},
        {"--set", [](Options& o, const std::string& v) { o.settings.push_back(settingFrom(v)); }},
        {"--settings",
         [](Options& o, const std::string& v) {
             for (Setting& setting : settingsFromFile(v))
                 o.settings.push_back(std::move(setting));
         }},
        {"--tempo",
         [](Options& o, const std::string& v) { o.tempo = numberIn("--tempo", v, 20, 999); }},
        {"--block",
         [](Options& o, const std::string& v) {
             double block = numberIn("--block", v, 1, 8192);
             if (block != std::floor(block)) usageError("--block takes a whole number of frames");
             o.blockSize = static_cast<int>(block);
         }},
        {"--rate",
         [](Options& o, const std::string& v) { o.rate = numberIn("--rate", v, 8000, 384000); }},
        {"--tail",
         [](Options& o, const std::string& v) { o.tailSeconds = numberIn("--tail", v, 0, 600); }},
        {"--warm-up",
         [](Options& o, const std::string& v) {
             o.warmUpSeconds = numberIn("--warm-up", v, 0, 10);
         }},
        {"--gain", [](Options& o, const std::string& v) { o.gainDb = gainFrom(v); }},
        {"--outputs", [](Options& o, const std::string& v) { o.outputs = outputModeFrom(v); }},
        {"--channels", [](Options& o, const std::string& v) { o.channels = channelsFrom(v); }},
    };
    return handlers;
}

const std::map<std::string, FlagHandler>& flagOptions() {
    static const std::map<std::string, FlagHandler> handlers{
        {"--list", [](Options& o) { o.list = true; }},
        {"--quiet", [](Options& o) { o.quiet = true; }},
        {"-q", [](Options& o) { o.quiet = true; }},
        {"--verbose", [](Options& o) { o.verbose = true; }},
        {"-v", [](Options& o) { o.verbose = true; }},
        {"--help", [](Options& o) { o.help = true; }},
        {"-h", [](Options& o) { o.help = true; }},
    };
    return handlers;
}

void addPositional(Options& options, const std::string& arg) {
    if (arg.empty()) fileName(options.input.empty() ? "INPUT" : "OUTPUT", arg);
    if (options.input.empty()) {
        options.input = arg;
    } else if (options.output.empty()) {
        options.output = arg;
    } else {
        usageError("too many file names: '" + arg + "' comes after INPUT and OUTPUT");
    }
}

/// What is wrong with a NAME=VALUE.
enum class SettingFault { none, notNameValue, notANumber };

/// Splits NAME=VALUE into `setting` and reads the value.
SettingFault splitSetting(const std::string& text, Setting& setting) {
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0) return SettingFault::notNameValue;
    setting.name = text.substr(0, equals);
    setting.valueText = text.substr(equals + 1);
    const std::optional<double> value = numberFrom(setting.valueText);
    if (!value) return SettingFault::notANumber;
    setting.value = static_cast<float>(*value);
    return SettingFault::none;
}

} // namespace

Setting settingFrom(const std::string& text) {
    Setting setting;
    switch (splitSetting(text, setting)) {
    case SettingFault::notNameValue:
        usageError("--set takes NAME=VALUE, such as FeedBack1=0.7, not '" + text + "'");
    case SettingFault::notANumber:
        usageError("--set " + setting.name + " needs a number after '=', not '" +
                   setting.valueText + "'");
    case SettingFault::none:
        break;
    }
    return setting;
}

std::vector<Setting> settingsFromFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        throw RenderError(ExitCode::inputFile,
                          "cannot read the settings file '" + path + "'; check the path");
    }
    std::vector<Setting> settings;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        const std::size_t end = line.find_last_not_of(" \t\r");
        const std::string text = line.substr(start, end - start + 1);
        Setting setting;
        setting.origin = path + ":" + std::to_string(number);
        const SettingFault fault = splitSetting(text, setting);
        if (fault == SettingFault::notNameValue) {
            throw RenderError(ExitCode::usage,
                              setting.origin + ": '" + text +
                                  "' is not NAME=VALUE (such as FeedBack1=0.7); mend the line "
                                  "or make it a # comment");
        }
        if (fault == SettingFault::notANumber) {
            throw RenderError(ExitCode::usage, setting.origin + ": " + setting.name +
                                                   " needs a number after '=', not '" +
                                                   setting.valueText + "'");
        }
        settings.push_back(std::move(setting));
    }
    return settings;
}

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::size_t equals = arg.find('=');
        std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, equals) : arg;
        if (auto flag = flagOptions().find(name); flag != flagOptions().end()) {
            if (name != arg) usageError(name + " takes no value");
            flag->second(options);
        } else if (auto value = valueOptions().find(name); value != valueOptions().end()) {
            if (name != arg) {
                value->second(options, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                value->second(options, args[++i]);
            } else {
                usageError(name + " needs a value");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            usageError("unknown option '" + arg + "'");
        } else {
            addPositional(options, arg);
        }
    }
    if (options.rate && !options.input.empty()) {
        usageError("--rate states the rate of the demo phrase only; an input file brings its own");
    }
    if (options.channels && options.input.empty()) {
        usageError("--channels picks channels of an input file; the demo phrase is stereo");
    }
    return options;
}

std::string helpText() {
    return R"(Usage: tesk-render [options] [INPUT [OUTPUT]]

Runs a VST 2 plug-in over an audio file, offline, through the plug-in's binary
interface, and writes the result. Without INPUT it renders a short plucked
phrase synthesised on the spot through program 8 "Ping pong" into demo.wav.

Files:
  INPUT                 any file libsndfile reads (WAV, FLAC, AIFF, OGG, ...);
                        mono feeds both plug-in inputs
  OUTPUT, -o FILE       .wav (32-bit float) or .flac (24-bit); default demo.wav
                        for the demo, INPUT's name with -tesk.wav otherwise
  --channels A[,B]      use channels A and B (counted from 1) of a file with
                        more than two; one number feeds that channel to both

Plug-in:
  --plugin PATH         the VST 2 module (.so) to load
)" +
           wrapText(std::string("default: the first ") + vsthost::kTeskDelayModule + " in " +
                        vsthost::moduleSearchText(),
                    std::string(24, ' '), 80) +
           R"(  --program N|NAME      select a program by number (from 0) or by the name
                        the plug-in gives it (any case)
  --set NAME=VALUE      set a parameter before rendering; NAME as --list shows
                        it (or its index), VALUE as the plug-in takes it
                        (0 to 1; TeskDelay's Tempo also in beats per
                        minute, 48 to 999);
                        repeat for more parameters, applied in order
  --settings FILE       apply the NAME=VALUE lines of FILE as --set does
                        (tesk-x11host --save writes such a file)
  --list                print the plug-in's programs and parameters (name,
                        value, display text, label) after --program and --set,
                        and render nothing

Rendering:
  --tempo BPM           host tempo, 20 to 999 (default 120)
  --block N             frames per process call, 1 to 8192 (default 512)
  --rate HZ             sample rate of the demo phrase (default 44100)
  --tail SECONDS        render this long after the input ends; default: until
                        the output has died away (at most 30 s)
  --warm-up SECONDS     before the input, run the plug-in on silence for this
                        long, paced in real time, and drop that output: for
                        plug-ins that finish a parameter change in the
                        background (LSP's do); default 0
  --gain DB             scale the plug-in's output by DB decibels before it is
                        written, -100 to 40 (default 0); a negative gain
                        renders below full scale
  --outputs MODE        main: the plug-in's first two outputs (default)
                        all:  every output of the plug-in (6 for TeskDelay)
                        mix:  all output pairs summed to stereo

Messages:
  -q, --quiet           print nothing but errors: no progress, notes or
                        clipping warning
  -v, --verbose         also log automation and host requests the plug-in makes
  -h, --help            print this help
      --version         print the version

A mono plug-in gets the input mixed down to one channel, and its output is
copied to both channels of the file.

When samples of the output go past full scale, a warning says how many, the
peak in dBFS and the --gain that brings the peak to -0.1 dBFS: a FLAC file
clips them; a float WAV keeps them, but they clip when it is converted.

Exit codes:
  0  rendered (or listed)
  1  unexpected failure
  2  bad option or argument (an empty file name, a bad --settings line)
  3  input file missing, unreadable or not audio; --settings file unreadable
  4  output file cannot be written
  5  plug-in missing, not a VST 2 module, or it made no instance
  6  --set names no parameter of the plug-in
  7  --set gives a value the parameter does not take
  8  --program names no program of the plug-in
  9  the input has more than two channels and --channels picks none
)";
}

} // namespace tesk::render
