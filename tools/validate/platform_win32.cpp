// Windows: no fork, so each test runs in a new process of this program, started
// with a hidden command line naming the test and the memory its report goes to.
// A crash ends the child with the exception's code, which the parent names.
#include "platform.h"

#include "errors.h"
#include "runner.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace tesk::validate {

const char* const kModuleKind = "Windows VST 2 module";
const char* const kModuleSuffix = ".dll";

namespace {

/// The first argument of a child's command line; no user types it.
constexpr const char* kChildFlag = "--child-test";

/// Closes a handle when it goes.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

/// A view of the report memory `mapping` holds; unmapped when it goes.
class ReportView {
  public:
    explicit ReportView(HANDLE mapping)
        : report_(static_cast<Report*>(
              MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Report)))) {}
    ~ReportView() {
        if (report_ != nullptr) UnmapViewOfFile(report_);
    }
    ReportView(const ReportView&) = delete;
    ReportView& operator=(const ReportView&) = delete;
    Report* get() const { return report_; }

  private:
    Report* report_;
};

/// `arg` as the C runtime splits it back out of a command line: quoted, with
/// backslashes doubled where a quote follows them.
std::string quoted(const std::string& arg) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

/// The command line of a child running `test` with its report in `mapping`: the
/// settings that shape a test, as the parent resolved them.
std::string childCommandLine(const TestCase& test, const Options& options, HANDLE mapping) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string line = quoted(program) + " " + kChildFlag + " " + quoted(test.name) + " " +
                       std::to_string(reinterpret_cast<std::uintptr_t>(mapping)) +
                       " --strictness " + std::to_string(options.strictness) + " --seed " +
                       std::to_string(options.seed.value_or(0)) + " --recovery " +
                       numberText(options.recoverySeconds);
    if (options.timeoutSeconds) line += " --timeout " + numberText(*options.timeoutSeconds);
    return line + " " + quoted(options.path);
}

/// The usual name of an exception code that ends a process.
const char* exceptionName(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
        return "access violation";
    case EXCEPTION_STACK_OVERFLOW:
        return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION:
        return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        return "integer division by zero";
    case EXCEPTION_INT_OVERFLOW:
        return "integer overflow";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        return "floating-point division by zero";
    case EXCEPTION_FLT_INVALID_OPERATION:
        return "invalid floating-point operation";
    case EXCEPTION_BREAKPOINT:
        return "breakpoint";
    case EXCEPTION_IN_PAGE_ERROR:
        return "in-page error";
    case 0xC0000409:
        return "stack buffer overrun";
    default:
        return "unknown exception";
    }
}

/// What became of a child that left no verdict, from its exit code.
std::string childEnd(DWORD code, const Report& report) {
    // Exit codes with the top bit set are the codes of exceptions nobody handled.
    if ((code & 0x80000000u) != 0) {
        char text[24];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
        return std::string("crashed with exception ") + text + " (" + exceptionName(code) + ")" +
               whileDoing(report);
    }
    return "the process ended itself with status " + std::to_string(code) + whileDoing(report);
}

/// Ends the process with the exception's code instead of showing a dialog or
/// starting a debugger.
LONG WINAPI endOnCrash(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void cannotStart(const char* what) {
    throw ValidateError(ExitCode::internal, std::string("cannot ") + what +
                                                " for a test (system error " +
                                                std::to_string(GetLastError()) +
                                                "); run with --no-fork, or free some memory");
}

/// Waits for `process` up to `timeout` seconds; ends it then. Its exit code, or
/// nothing on timeout.
std::optional<DWORD> waitFor(HANDLE process, double timeout) {
    const auto milliseconds = static_cast<DWORD>(timeout * 1000.0);
    if (WaitForSingleObject(process, milliseconds) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

} // namespace

void executeInChild(const TestCase& test, const Options& options, double timeout, Report& report) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0,
                                      sizeof(Report), nullptr));
    if (mapping.get() == nullptr) cannotStart("map memory");
    ReportView shared(mapping.get());
    if (shared.get() == nullptr) cannotStart("map memory");
    new (shared.get()) Report();

    std::string command = childCommandLine(test, options, mapping.get());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    std::fflush(nullptr);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &child)) {
        cannotStart("start a child process");
    }
    Handle process(child.hProcess);
    CloseHandle(child.hThread);
    std::optional<DWORD> code = waitFor(process.get(), timeout);
    report = *shared.get();
    if (report.verdict != Verdict::none) return;
    report.verdict = Verdict::fail;
    copyText(report.saw, code ? childEnd(*code, report) : hungText(timeout, report));
}

std::optional<int> runAsChild(const std::vector<std::string>& args) {
    if (args.size() < 3 || args[0] != kChildFlag) return std::nullopt;
    const TestCase* test = findTest(args[1]);
    auto mapping = reinterpret_cast<HANDLE>(std::strtoull(args[2].c_str(), nullptr, 10));
    const Options options = parseOptions({args.begin() + 3, args.end()});
    ReportView shared(mapping);
    if (test == nullptr || shared.get() == nullptr) {
        std::fputs("tesk-validate: a test's child process was started wrongly; run the "
                   "validator without --child-test\n",
                   stderr);
        return static_cast<int>(ExitCode::internal);
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);
    execute(*test, options, *shared.get());
    std::fflush(nullptr);
    return 0;
}

} // namespace tesk::validate
