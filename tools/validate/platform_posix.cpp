// Linux: each test runs in a forked copy of this process, its report in memory
// the two share; a signal that ends the child names the crash.
#include "platform.h"

#include "errors.h"
#include "runner.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

namespace tesk::validate {

const char* const kModuleKind = "Linux VST 2 module";
const char* const kModuleSuffix = ".so";

namespace {

using Clock = std::chrono::steady_clock;

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

} // namespace

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
    copyText(report.saw, status ? childEnd(*status, report) : hungText(timeout, report));
}

std::optional<int> runAsChild(const std::vector<std::string>&) {
    // A forked child runs its test straight away; none is started with a command line.
    return std::nullopt;
}

} // namespace tesk::validate
