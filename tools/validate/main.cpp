// tesk-validate: checks a Linux VST 2 module against what hosts and users do
// to plug-ins, careless and demanding alike, and says what it saw.
#include "errors.h"
#include "options.h"
#include "runner.h"

#include <cstdio>
#include <exception>

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
    using namespace tesk::validate;
    try {
        return run(parseOptions({argv + 1, argv + argc}));
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
