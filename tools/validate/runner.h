// Runs tests, each in a child process unless asked otherwise, and prints
// their verdicts and the summary.
#pragma once

#include "errors.h"
#include "options.h"

namespace tesk::validate {

/// Prints the test names and what each checks.
void listTests();

/// Validates the module `options` name and prints every verdict and the
/// summary line; returns the exit code. Throws ValidateError when the module
/// cannot be validated at all.
ExitCode runTests(Options options);

} // namespace tesk::validate
