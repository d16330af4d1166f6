// tesk-validate: checks a VST 2 module (Linux or Windows) against what hosts and users do
// to plug-ins, careless and demanding alike, and says what it saw.
#include "errors.h"
#include "options.h"
#include "platform.h"
#include "runner.h"
#include "version.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace tesk::validate {

namespace {

int run(const Options& options) {
    if (options.help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (options.list) {
        listTests();
        return 0;
    }
    return static_cast<int>(runTests(options));
}

} // namespace

} // namespace tesk::validate

int main(int argc, char** argv) {
    if (tesk::askedForVersion(argc, argv)) {
        tesk::printVersion("tesk-validate");
        return 0;
    }
    using namespace tesk::validate;
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (std::optional<int> status = runAsChild(args)) return *status;
        return run(parseOptions(args));
    } catch (const ValidateError& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "tesk-validate: %s\n", error.what());
        return static_cast<int>(error.code());
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "tesk-validate: unexpected failure: %s; please report it with the "
                     "command line\n",
                     error.what());
        return static_cast<int>(ExitCode::internal);
    }
}
