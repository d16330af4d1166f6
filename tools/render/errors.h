// The exit codes of tesk-render and the error that carries one up to main.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace tesk::render {

/// The process exit code: scripts tell the kinds of failure apart by it.
enum class ExitCode : int {
    ok = 0,
    internal = 1,         ///< an unexpected failure (out of memory, a bug)
    usage = 2,            ///< a bad option or argument
    inputFile = 3,        ///< the input is missing, unreadable or not audio
    outputFile = 4,       ///< the output cannot be written
    plugin = 5,           ///< the module is missing, not a VST 2 module, or made no instance
    unknownParameter = 6, ///< --set names no parameter of the plug-in
    valueOutOfRange = 7,  ///< --set gives a value the parameter does not take
    unknownProgram = 8,   ///< --program names no program of the plug-in
    channels = 9,         ///< the input's channels do not fit (more than two, no --channels)
};

/// A failure the user can act on: the message names the problem and what to do.
class RenderError : public std::runtime_error {
  public:
    RenderError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    /// The exit code the process ends with.
    ExitCode code() const { return code_; }

  private:
    ExitCode code_;
};

/// A number as short as "%g" writes it, for messages.
inline std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace tesk::render
