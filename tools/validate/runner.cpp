#include "runner.h"

#include "context.h"
#include "tests.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

namespace tesk::validate {

namespace {

using Clock = std::chrono::steady_clock;

/// The hint every complaint about the module ends with.
constexpr const char* kModuleHint =
    "give the path of a Linux VST 2 module (a .so exporting VSTPluginMain or main)";

/// How the test went and how long it took.
struct Outcome {
    Verdict verdict;
    std::string saw;
    std::string warnings;
    double seconds;
};

/// " while <the call in progress>", or empty when the test named none.
std::string whileDoing(const Report& report) {
    return report.doing[0] != '\0' ? std::string(" while ") + report.doing : "";
}

/// Runs `test` here, filling `report`; an exception out of the plug-in fails the test.
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

/// What became of a child that left no verdict.
std::string childEnd(int status, const Report& report) {
    std::string doing = whileDoing(report);
    if (WIFSIGNALED(status)) {
        int signal = WTERMSIG(status);
        const char* name = sigabbrev_np(signal);
        return std::string("crashed with SIG") + (name != nullptr ? name : "?") + " (" +
               strsignal(signal) + ")" + doing;
    }
    return "the process ended itself with status " + std::to_string(WEXITSTATUS(status)) + doing;
}

/// Waits for `child` up to `timeout`; kills it then. Returns its status, or nothing on timeout.
std::optional<int> waitFor(pid_t child, double timeout) {
    auto deadline = Clock::now() + std::chrono::duration<double>(timeout);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0) {
            throw ValidateError(ExitCode::internal,
                                "lost a test's child process; run again, or with --no-fork");
        }
        if (Clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

/// Memory the child writes its report into and the parent reads after it ends.
class SharedReport {
  public:
    SharedReport() {
        void* memory = mmap(nullptr, sizeof(Report), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            throw ValidateError(ExitCode::internal, "cannot map memory for a test's report; "
                                                    "free some memory and run again");
        }
        report_ = new (memory) Report();
    }
    ~SharedReport() { munmap(report_, sizeof(Report)); }
    SharedReport(const SharedReport&) = delete;
    SharedReport& operator=(const SharedReport&) = delete;
    Report& get() { return *report_; }

  private:
    Report* report_;
};

/// Runs `test` in a child process, so a crash or a hang ends the child only.
void executeInChild(const TestCase& test, const Options& options, double timeout, Report& report) {
    SharedReport shared;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        throw ValidateError(ExitCode::internal, "cannot start a child process for a test; "
                                                "run with --no-fork, or free some processes");
    }
    if (child == 0) {
        execute(test, options, shared.get());
        std::fflush(nullptr);
        _exit(0);
    }
    std::optional<int> status = waitFor(child, timeout);
    report = shared.get();
    if (report.verdict != Verdict::none) return;
    report.verdict = Verdict::fail;
    copyText(report.saw, status ? childEnd(*status, report)
                                : "no answer within " + std::to_string(std::lround(timeout)) +
                                      " s (hung?)" + whileDoing(report));
}

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

/// The module to validate: the one named, else the one built alongside.
std::string modulePath(const Options& options) {
    std::string path = options.path.empty() ? builtModulePath() : options.path;
    if (path.empty()) {
        throw ValidateError(ExitCode::usage, "this build knows no module of its own; " +
                                                 std::string(kModuleHint) + " as PATH");
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        std::string build = options.path.empty() ? " (or build TeskDelay, the default, first)" : "";
        throw ValidateError(ExitCode::module,
                            "there is no file '" + path + "'; " + kModuleHint + build);
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        throw ValidateError(ExitCode::module, "'" + path + "' is not a file; " + kModuleHint);
    }
    return path;
}

/// Loads the module once, apart from the tests; stops the run when that fails.
std::string probe(const Options& options) {
    static const TestCase kProbe{"load", "", describeModule};
    Outcome outcome = run(kProbe, options);
    if (outcome.verdict != Verdict::pass) {
        throw ValidateError(ExitCode::module, outcome.saw + "; " + kModuleHint);
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
