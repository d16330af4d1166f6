#include "runner.h"

#include "context.h"
#include "module_search.h"
#include "platform.h"
#include "tests.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

namespace tesk::validate {

std::string whileDoing(const Report& report) {
    return report.doing[0] != '\0' ? std::string(" while ") + report.doing : "";
}

void execute(const TestCase& test, const Options& options, Report& report) {
    Context context(options, test.name, report);
    try {
        copyText(report.saw, test.run(context));
        report.verdict = Verdict::pass;
    } catch (const Failure& failure) {
        copyText(report.saw, failure.what());
        report.verdict = Verdict::fail;
    } catch (const Skipped& skipped) {
        copyText(report.saw, skipped.what());
        report.verdict = Verdict::skip;
    } catch (const std::exception& error) {
        copyText(report.saw,
                 std::string("an exception escaped (") + error.what() + ")" + whileDoing(report));
        report.verdict = Verdict::fail;
    } catch (...) {
        copyText(report.saw, "an exception of unknown type escaped" + whileDoing(report));
        report.verdict = Verdict::fail;
    }
}

std::string hungText(double timeout, const Report& report) {
    return "no answer within " + std::to_string(std::lround(timeout)) + " s (hung?)" +
           whileDoing(report);
}

namespace {

using Clock = std::chrono::steady_clock;

/// The hint every complaint about the module ends with.
std::string moduleHint() {
    return std::string("give the path of a ") + kModuleKind + " (a " + kModuleSuffix +
           " exporting VSTPluginMain or main)";
}

/// How the test went and how long it took.
struct Outcome {
    Verdict verdict;
    std::string saw;
    std::string warnings;
    double seconds;
};

Outcome run(const TestCase& test, const Options& options) {
    double timeout = options.timeoutSeconds.value_or(60.0 + 30.0 * options.strictness);
    auto report = std::make_unique<Report>();
    auto begin = Clock::now();
    if (options.fork) {
        executeInChild(test, options, timeout, *report);
    } else {
        execute(test, options, *report);
    }
    std::chrono::duration<double> took = Clock::now() - begin;
    return {report->verdict, report->saw, report->warnings, took.count()};
}

const char* verdictWord(Verdict verdict) {
    switch (verdict) {
    case Verdict::pass:
        return "PASS";
    case Verdict::skip:
        return "SKIP";
    default:
        return "FAIL";
    }
}

void print(const TestCase& test, const Outcome& outcome, bool quiet) {
    if (quiet && outcome.verdict != Verdict::fail) return;
    std::printf("%s %s (%.2f s): %s\n", verdictWord(outcome.verdict), test.name, outcome.seconds,
                outcome.saw.c_str());
    if (quiet) return;
    std::size_t start = 0;
    while (start < outcome.warnings.size()) {
        std::size_t end = outcome.warnings.find('\n', start);
        std::printf("  WARN %s\n", outcome.warnings.substr(start, end - start).c_str());
        start = end + 1;
    }
}

/// The module to validate: the one named, else TeskDelay's, found as --help says.
std::string modulePath(const Options& options) {
    std::string path = options.path.empty() ? defaultModulePath() : options.path;
    if (path.empty()) {
        throw ValidateError(ExitCode::module,
                            std::string(vsthost::kTeskDelayModule) + " was not found (looked in " +
                                vsthost::moduleSearchFoldersText() + "); " + moduleHint() +
                                " as PATH, or add the folder of TeskDelay's to VST_PATH");
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        throw ValidateError(ExitCode::module, "there is no file '" + path + "'; " + moduleHint());
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        throw ValidateError(ExitCode::module, "'" + path + "' is not a file; " + moduleHint());
    }
    return path;
}

/// Loads the module once, apart from the tests; stops the run when that fails.
std::string probe(const Options& options) {
    Outcome outcome = run(loadTest(), options);
    if (outcome.verdict != Verdict::pass) {
        throw ValidateError(ExitCode::module, outcome.saw + "; " + moduleHint());
    }
    return outcome.saw;
}

std::vector<TestCase> selectedTests(const Options& options) {
    if (options.only.empty()) return allTests();
    for (const TestCase& test : allTests()) {
        if (options.only == test.name) return {test};
    }
    throw ValidateError(ExitCode::usage,
                        "there is no test '" + options.only + "'; tesk-validate --list names them");
}

std::uint64_t freshSeed() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
           static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
}

std::string summary(int passed, int failed, int skipped) {
    std::string line = std::to_string(passed) + " passed, " + std::to_string(failed) + " failed";
    if (skipped > 0) line += ", " + std::to_string(skipped) + " skipped";
    return line;
}

} // namespace

void listTests() {
    for (const TestCase& test : allTests())
        std::printf("%-18s %s\n", test.name, test.checks);
}

ExitCode runTests(Options options) {
    options.path = modulePath(options);
    options.seed = options.seed.value_or(freshSeed());
    std::vector<TestCase> tests = selectedTests(options);
    std::string description = probe(options);
    if (!options.quiet) {
        std::printf("module: %s\n%s\nstrictness %d, seed %llu\n", options.path.c_str(),
                    description.c_str(), options.strictness,
                    static_cast<unsigned long long>(*options.seed));
    }
    int passed = 0, failed = 0, skipped = 0;
    for (const TestCase& test : tests) {
        Outcome outcome = run(test, options);
        print(test, outcome, options.quiet);
        passed += outcome.verdict == Verdict::pass;
        failed += outcome.verdict == Verdict::fail;
        skipped += outcome.verdict == Verdict::skip;
    }
    if (options.quiet && failed > 0) {
        std::printf("seed %llu: give --seed %llu to repeat this run\n",
                    static_cast<unsigned long long>(*options.seed),
                    static_cast<unsigned long long>(*options.seed));
    }
    std::printf("%s\n", summary(passed, failed, skipped).c_str());
    return failed == 0 ? ExitCode::ok : ExitCode::failed;
}

} // namespace tesk::validate
