// What a test sees of the run, and how it tells the runner what it saw.
#pragma once

#include "options.h"

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>

namespace tesk::validate {

enum class Verdict : int { none, pass, fail, skip };

/// What a test leaves for the runner. It lives in memory shared with the child
/// process running the test, so it holds plain characters only.
struct Report {
    Verdict verdict = Verdict::none;
    char saw[8192] = {};      ///< what the test saw, one line
    char warnings[4096] = {}; ///< notes that do not fail the test, one per line
    char doing[512] = {};     ///< the call in progress, named when the child dies
};

/// Thrown by a test that saw the plug-in misbehave; the message says what it saw.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Thrown by a test that cannot run here; the message says why.
class Skipped : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Ends the running test as failed with what it saw.
[[noreturn]] void fail(const std::string& saw);

/// The run's settings, its random numbers and the test's report.
class Context {
  public:
    Context(const Options& options, const std::string& testName, Report& report);

    /// The module under test.
    const std::string& path() const { return options_.path; }
    /// `nominal` scaled by the strictness: 5 gives it as written, 1 a fifth, 10 twice; at least 1.
    int scaled(int nominal) const;
    /// `nominal` seconds scaled like scaled().
    double scaledSeconds(double nominal) const;
    /// How long non-finite input may echo on in the output.
    double recoverySeconds() const { return options_.recoverySeconds; }
    /// The test's random numbers: seeded from the run's seed and the test's name, so
    /// --only repeats what the full run did.
    std::mt19937_64& random() { return random_; }
    /// A uniform integer from `low` to `high` inclusive.
    std::int64_t between(std::int64_t low, std::int64_t high);

    /// Notes the call about to be made, so a crash or a hang names it.
    void doing(const std::string& what);
    /// Adds a note printed under the test's line; the test still passes.
    void warn(const std::string& note);

  private:
    const Options& options_;
    Report& report_;
    std::mt19937_64 random_;
};

/// Copies `text` into `slot`, cut to fit and always terminated.
template <std::size_t N> void copyText(char (&slot)[N], const std::string& text) {
    std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(slot, length);
    slot[length] = '\0';
}

} // namespace tesk::validate
