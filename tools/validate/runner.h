// Runs tests, each in a child process unless asked otherwise, and prints
// their verdicts and the summary.
#pragma once

#include "context.h"
#include "errors.h"
#include "options.h"
#include "tests.h"

#include <string>

namespace tesk::validate {

/// Runs `test` in this process, filling `report`; an exception out of the plug-in fails the test.
void execute(const TestCase& test, const Options& options, Report& report);

/// " while <the call in progress>", or empty when the test named none.
std::string whileDoing(const Report& report);

/// What a report says of a child that gave no answer within `timeout` seconds.
std::string hungText(double timeout, const Report& report);

/// Prints the test names and what each checks.
void listTests();

/// Validates the module `options` name and prints every verdict and the
/// summary line; returns the exit code. Throws ValidateError when the module
/// cannot be validated at all.
ExitCode runTests(Options options);

} // namespace tesk::validate
