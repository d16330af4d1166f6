// The exit codes of tesk-validate and the error that carries one up to main.
#pragma once

#include <stdexcept>
#include <string>

namespace tesk::validate {

/// The process exit code: scripts tell a failing plug-in from a failing run by it.
enum class ExitCode : int {
    ok = 0,       ///< every test passed (skipped ones allowed)
    failed = 1,   ///< at least one test failed
    usage = 2,    ///< a bad option or argument
    module = 3,   ///< the module is missing, not a VST 2 module, or made no instance
    internal = 4, ///< the validator itself failed (cannot fork, out of memory, a bug)
};

/// A failure the user can act on: the message names the problem and what to do.
class ValidateError : public std::runtime_error {
  public:
    ValidateError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    /// The exit code the process ends with.
    ExitCode code() const { return code_; }

  private:
    ExitCode code_;
};

} // namespace tesk::validate
