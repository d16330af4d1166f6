// teskdelay: TeskDelay played live as a JACK client, its state kept between runs.
#include "jack_delay.h"
#include "main_loop.h"
#include "options.h"
#include "state_file.h"
#include "version.h"

#include <cstdio>
#include <exception>
#include <jack/jack.h>
#include <string>
#include <vector>

namespace tesk::standalone {

namespace {

int fail(ExitCode code, const std::string& message) {
    std::fprintf(stderr, "teskdelay: %s\n", message.c_str());
    return static_cast<int>(code);
}

void printJackError(const char* message) {
    std::fprintf(stderr, "teskdelay: JACK: %s\n", message);
}

// JACK's own complaints about a server it cannot reach would come before our
// sentence saying what to do; they are left out while the client opens.
void quietJackErrors(const char*) {}

int run(const Options& options) {
    if (!options.noGui)
        std::fprintf(stderr, "teskdelay: the editor window is not part of this version yet; "
                             "running without it (--no-gui runs so without this note)\n");
    const int signals = takeQuitSignals();
    if (signals < 0) return fail(ExitCode::internal, "cannot take SIGINT and SIGTERM");

    const std::filesystem::path statePath =
        options.stateFile ? std::filesystem::path(*options.stateFile) : defaultStatePath();
    if (statePath.empty())
        std::fprintf(stderr, "teskdelay: neither XDG_CONFIG_HOME nor HOME names a folder; the "
                             "state is not kept (give --state FILE to keep it)\n");
    const StateRead read = statePath.empty() ? StateRead{} : readStateFile(statePath);
    if (!read.message.empty()) std::fprintf(stderr, "teskdelay: %s\n", read.message.c_str());

    std::string error;
    bool noServer = false;
    jack_set_error_function(&quietJackErrors);
    auto client = jackfmt::JackDelay::open(jackfmt::kClientName, error, noServer);
    jack_set_error_function(&printJackError);
    if (!client) return fail(noServer ? ExitCode::noServer : ExitCode::internal, error);
    if (read.state) client->load(*read.state);
    if (options.program) client->loadProgram(*options.program);
    client->setFallbackTempo(options.tempo);
    if (!client->activate(error)) return fail(ExitCode::internal, error);
    if (options.connect)
        for (const std::string& problem : client->connectPhysicalPorts())
            std::fprintf(stderr, "teskdelay: --connect: %s\n", problem.c_str());

    MainLoop loop;
    loop.watch(signals, [&] {
        if (readQuitSignal(signals) != 0) loop.quit();
    });
    loop.watch(client->serverGoneDescriptor(), [&] { loop.quit(); });
    // The editor and the session manager will take their turns here.
    loop.setIdle(std::chrono::milliseconds(100), [&] {
        if (client->serverGone()) loop.quit();
    });
    if (!loop.run()) return fail(ExitCode::internal, "the main loop could not wait for events");

    client->deactivate();
    const bool gone = client->serverGone();
    int code = static_cast<int>(ExitCode::ok);
    if (gone) {
        const std::string reason = client->serverGoneReason();
        code = fail(ExitCode::serverGone, "the JACK server went away" +
                                              (reason.empty() ? "" : " (" + reason + ")") +
                                              "; start teskdelay again once a server runs");
    }
    if (!statePath.empty() && !writeStateFile(statePath, client->state(), error))
        return fail(ExitCode::stateNotSaved, error);
    return code;
}

} // namespace

} // namespace tesk::standalone

int main(int argc, char** argv) {
    using namespace tesk::standalone;
    if (tesk::askedForVersion(argc, argv)) {
        tesk::printVersion("teskdelay");
        return 0;
    }
    std::string error;
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) return fail(ExitCode::usage, error);
    if (options->help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (options->version) {
        tesk::printVersion("teskdelay");
        return 0;
    }
    try {
        return run(*options);
    } catch (const std::exception& e) {
        return fail(ExitCode::internal, e.what());
    }
}
