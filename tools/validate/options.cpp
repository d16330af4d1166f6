#include "options.h"

#include "errors.h"
#include "module_search.h"
#include "number_text.h"
#include "platform.h"
#include "wrap_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tesk::validate {

namespace {

[[noreturn]] void usageError(const std::string& message) {
    throw ValidateError(ExitCode::usage, message + " (tesk-validate --help lists the options)");
}

/// The number `text` spells, within [low, high] and whole when `whole` is set.
double numberIn(const std::string& option, const std::string& text, double low, double high,
                bool whole = false) {
    std::optional<double> value = numberFrom(text);
    if (!value || *value < low || *value > high || (whole && std::floor(*value) != *value)) {
        usageError(option + " takes " + (whole ? "a whole number" : "a number") + " from " +
                   std::to_string(static_cast<long>(low)) + " to " +
                   std::to_string(static_cast<long>(high)) + ", not '" + text + "'");
    }
    return *value;
}

std::uint64_t seedFrom(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || end != text.c_str() + text.size() || errno == ERANGE) {
        usageError("--seed takes a whole number from 0 to 18446744073709551615, not '" + text +
                   "'");
    }
    return value;
}

/// The value after an option that takes one.
const std::string& valueOf(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) usageError(args[i] + " needs a value");
    return args[++i];
}

void setPath(Options& options, const std::string& arg) {
    if (!options.path.empty()) {
        usageError("give one module, not '" + options.path + "' and '" + arg + "'");
    }
    options.path = arg;
}

} // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--no-fork") {
            options.fork = false;
        } else if (arg == "--strictness") {
            options.strictness = static_cast<int>(numberIn(arg, valueOf(args, i), 1, 10, true));
        } else if (arg == "--only") {
            options.only = valueOf(args, i);
        } else if (arg == "--seed") {
            options.seed = seedFrom(valueOf(args, i));
        } else if (arg == "--recovery") {
            options.recoverySeconds = numberIn(arg, valueOf(args, i), 0, 600);
        } else if (arg == "--timeout") {
            options.timeoutSeconds = numberIn(arg, valueOf(args, i), 1, 86400);
        } else if (arg.size() > 1 && arg[0] == '-') {
            usageError("unknown option '" + arg + "'");
        } else {
            setPath(options, arg);
        }
    }
    return options;
}

std::string defaultModulePath() {
    std::optional<std::filesystem::path> found = vsthost::findModule(vsthost::kTeskDelayModule);
    return found ? found->string() : std::string();
}

std::string helpText() {
    return "usage: tesk-validate [options] [PATH]\n"
           "\n"
           "Checks a " +
           std::string(kModuleKind) +
           " the way careless and demanding hosts treat it: loading,\n"
           "many instances, every dispatcher opcode with random arguments, odd sample rates and\n"
           "block sizes, in-place buffers, abnormal input, parameters changed from several\n"
           "threads, and the texts it gives. Each test prints PASS, FAIL or SKIP with what it\n"
           "saw; the last line reads 'N passed, M failed' (', K skipped' added when any were).\n"
           "WARN lines under a test note what hosts may mind without failing it: texts longer\n"
           "than the interface documents (8 bytes for parameter names, labels and displays,\n"
           "24 for program names) warn; texts over 64 bytes, the most hosts give, fail.\n"
           "\n"
           "  PATH               the module (" +
           kModuleSuffix + ") to check\n" +
           wrapText(std::string("default: the first ") + vsthost::kTeskDelayModule + " in " +
                        vsthost::moduleSearchText(),
                    std::string(21, ' '), 88) +
           "  --strictness N     1 to 10 (default 5): scales repetitions and durations; 5 runs\n"
           "                     100 loads and 32 instances as written, 1 a fifth, 10 twice as\n"
           "                     many (32 instances and the opcode range stay the same)\n"
           "  --list             print the test names and what each checks, then exit\n"
           "  --only NAME        run the test NAME only\n"
           "  --seed N           seed of the random values; each run prints its seed, give it\n"
           "                     back to repeat a run exactly\n"
           "  --recovery SECONDS how long the output may stay non-finite after non-finite input\n"
           "                     ends: the time the plug-in's memory takes to clear (default 5)\n"
           "  --timeout SECONDS  a test running longer counts as hung (default 60 + 30 per\n"
           "                     strictness step)\n"
           "  --no-fork          run the tests in this process, for a debugger; by default each\n"
           "                     runs in a child process, so a crash becomes a FAIL naming the\n"
           "                     signal\n"
           "  --quiet, -q        print only failures and the last line\n"
           "  --help, -h         print this text\n"
           "  --version          print the version\n"
           "\n"
           "Exit status:\n"
           "  0  every test passed (skipped tests allowed)\n"
           "  1  at least one test failed\n"
           "  2  a bad option or argument\n"
           "  3  the module is missing, is not a VST 2 module, or made no instance\n"
           "  4  the validator itself failed (cannot start a child process, out of memory)\n";
}

} // namespace tesk::validate
