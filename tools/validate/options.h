// The command line of tesk-validate, parsed into one record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesk::validate {

/// Everything the command line asked for.
struct Options {
    std::string path;                     ///< the module; empty: TeskDelay's, found as --help says
    int strictness = 5;                   ///< 1..10; 5 runs the figures of --help as written
    std::string only;                     ///< empty: every test
    std::optional<std::uint64_t> seed;    ///< none: one from the clock, printed for a rerun
    double recoverySeconds = 5.0;         ///< how long non-finite input may echo on
    std::optional<double> timeoutSeconds; ///< none: scaled with the strictness
    bool fork = true;                     ///< each test in a child process
    bool list = false;
    bool quiet = false;
    bool help = false;
};

/// Parses the arguments after the program name; throws ValidateError (usage) on a bad one.
Options parseOptions(const std::vector<std::string>& args);

/// The --help text, exit codes included.
std::string helpText();

/// The module validated when no PATH is given: TeskDelay's, the first found where
/// vsthost::findModule looks; empty when there is none.
std::string defaultModulePath();

} // namespace tesk::validate
