// teskdelay: TeskDelay played live as a JACK client, its state kept between runs
// or in a session manager's session.
#include "editor_window.h"
#include "jack_delay.h"
#include "jack_editor.h"
#include "main_loop.h"
#include "nsm_client.h"
#include "options.h"
#include "state_file.h"
#include "version.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <jack/jack.h>
#include <memory>
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

/// Opens the client `name` with `read`'s state (or --program's for none), not
/// active yet; null, with the exit code and a sentence, when it cannot.
std::unique_ptr<jackfmt::JackDelay> openClient(const char* name, const Options& options,
                                               const StateRead& read, bool programOverState,
                                               ExitCode& code, std::string& error) {
    bool noServer = false;
    jack_set_error_function(&quietJackErrors);
    auto client = jackfmt::JackDelay::open(name, error, noServer);
    jack_set_error_function(&printJackError);
    if (!client) {
        code = noServer ? ExitCode::noServer : ExitCode::internal;
        return nullptr;
    }
    if (read.state) client->load(*read.state);
    if (options.program && (programOverState || !read.state)) client->loadProgram(*options.program);
    client->setFallbackTempo(options.tempo);
    return client;
}

/// The editor of a client, in its window (closed before the editor goes);
/// nothing with --no-gui.
struct ShownEditor {
    std::unique_ptr<EditorInterface> editor;
    std::unique_ptr<EditorWindow> window;

    /// Closes the window and the editor, once `client` runs no more.
    void close(jackfmt::JackDelay& client) {
        window.reset();
        client.setEditor(nullptr);
        editor.reset();
    }
};

/// Shows `client`'s editor unless --no-gui says not to, before the client is
/// active; false, with a sentence, when there is no display to show it on.
bool showEditor(jackfmt::JackDelay& client, const Options& options, ShownEditor& shown,
                std::string& error) {
    if (options.noGui) return true;
    shown.editor = jackfmt::makeJackEditor(client);
    shown.window = EditorWindow::open(*shown.editor, client.name(), error);
    if (!shown.window) return false;
    client.setEditor(shown.editor.get());
    return true;
}

/// Lets `loop` run the editor: its window's events (closing it ends the loop)
/// and its own, and the idle, about 30 times a second.
void runEditorIn(MainLoop& loop, EditorWindow& window) {
    loop.watch(window.descriptor(), [&] {
        if (!window.handleEvents()) loop.quit();
        window.idle();
    });
    if (window.editorDescriptor() >= 0)
        loop.watch(window.editorDescriptor(), [&window] { window.idle(); });
}

/// The main loop's idle period: the editor's pace while it shows.
std::chrono::milliseconds idlePeriod(const ShownEditor& shown) {
    return std::chrono::milliseconds(shown.window ? 33 : 100);
}

/// Starts `client` and, with --connect, wires it; false with a sentence when JACK refuses.
bool startClient(jackfmt::JackDelay& client, const Options& options, std::string& error) {
    if (!client.activate(error)) return false;
    if (options.connect)
        for (const std::string& problem : client.connectPhysicalPorts())
            std::fprintf(stderr, "teskdelay: --connect: %s\n", problem.c_str());
    return true;
}

/// The exit code for a server gone, saying so; `saved` tells what happens to the state.
int serverGone(const jackfmt::JackDelay& client, const char* saved) {
    const std::string reason = client.serverGoneReason();
    return fail(ExitCode::serverGone, "the JACK server went away" +
                                          (reason.empty() ? "" : " (" + reason + ")") + saved +
                                          "; start teskdelay again once a server runs");
}

int runAlone(const Options& options, int signals) {
    const std::filesystem::path statePath =
        options.stateFile ? std::filesystem::path(*options.stateFile) : defaultStatePath();
    if (statePath.empty())
        std::fprintf(stderr, "teskdelay: neither XDG_CONFIG_HOME nor HOME names a folder; the "
                             "state is not kept (give --state FILE to keep it)\n");
    const StateRead read = statePath.empty() ? StateRead{} : readStateFile(statePath);
    if (!read.message.empty()) std::fprintf(stderr, "teskdelay: %s\n", read.message.c_str());

    std::string error;
    ExitCode failure = ExitCode::internal;
    auto client = openClient(jackfmt::kClientName, options, read, true, failure, error);
    if (!client) return fail(failure, error);
    ShownEditor shown;
    if (!showEditor(*client, options, shown, error)) return fail(ExitCode::noDisplay, error);
    if (!startClient(*client, options, error)) return fail(ExitCode::internal, error);

    MainLoop loop;
    loop.watch(signals, [&] {
        if (readQuitSignal(signals) != 0) loop.quit();
    });
    loop.watch(client->serverGoneDescriptor(), [&] { loop.quit(); });
    if (shown.window) runEditorIn(loop, *shown.window);
    loop.setIdle(idlePeriod(shown), [&] {
        if (client->serverGone()) loop.quit();
        if (shown.window) shown.window->idle();
    });
    if (!loop.run()) return fail(ExitCode::internal, "the main loop could not wait for events");

    client->deactivate();
    shown.close(*client);
    int code = static_cast<int>(ExitCode::ok);
    if (client->serverGone()) code = serverGone(*client, "");
    if (!statePath.empty() && !writeStateFile(statePath, client->state(), error))
        return fail(ExitCode::stateNotSaved, error);
    return code;
}

// Under a session manager the JACK client opens only once the manager has
// said which session it belongs to, named with the client ID it gave: that
// name is how the manager finds the client's connections again. The state is
// written when the manager asks and at no other time, not at the end either:
// the manager asks before it ends a session it keeps, and a session closed
// without saving is meant to lose its changes.
int runUnderSessionManager(const Options& options, int signals, const std::string& url) {
    if (options.stateFile)
        std::fprintf(stderr, "teskdelay: under a session manager the state is kept in the "
                             "session; --state is ignored\n");
    MainLoop loop;
    std::unique_ptr<jackfmt::JackDelay> client;
    ShownEditor shown;
    std::filesystem::path statePath;
    SavedState saved; // what the session's file holds, or held when it opened
    int code = static_cast<int>(ExitCode::ok);
    std::unique_ptr<NsmClient> manager;

    // Changes are found by comparing the state with the one saved, on this
    // thread: the process thread is told nothing and does nothing more.
    const std::function<void()> idleStep = [&] {
        if (!manager->refusal().empty()) loop.quit();
        if (!client) return;
        if (client->serverGone()) loop.quit();
        manager->setDirty(client->state() != saved);
        if (shown.window) shown.window->idle();
    };

    NsmClient::Handlers handlers;
    handlers.open = [&](const std::string& path, const std::string&,
                        const std::string& clientId) -> NsmClient::Answer {
        if (client)
            return {false, "teskdelay has a session open already and cannot change to another"};
        statePath = path + ".tkds";
        const StateRead read = readStateFile(statePath);
        if (!read.message.empty()) std::fprintf(stderr, "teskdelay: %s\n", read.message.c_str());
        std::string error;
        ExitCode failure = ExitCode::internal;
        auto opened = openClient(clientId.c_str(), options, read, false, failure, error);
        if (opened) {
            saved = opened->state();
            if (!showEditor(*opened, options, shown, error))
                failure = ExitCode::noDisplay;
            else if (!startClient(*opened, options, error))
                failure = ExitCode::internal;
            else
                failure = ExitCode::ok;
        }
        if (failure != ExitCode::ok) {
            // Nothing is left to do without a client: the manager hears why,
            // then teskdelay ends as it would on its own.
            std::fprintf(stderr, "teskdelay: %s\n", error.c_str());
            code = static_cast<int>(failure);
            if (opened) shown.close(*opened);
            loop.quit();
            return {false, error};
        }
        client = std::move(opened);
        loop.watch(client->serverGoneDescriptor(), [&] { loop.quit(); });
        if (shown.window) {
            runEditorIn(loop, *shown.window);
            loop.setIdle(idlePeriod(shown), idleStep);
        }
        return {true, read.message.empty() ? "Opened " + statePath.string() : read.message};
    };
    handlers.save = [&]() -> NsmClient::Answer {
        if (!client) return {false, "no session is open", NsmError::noSessionOpen};
        const SavedState state = client->state();
        std::string error;
        if (!writeStateFile(statePath, state, error)) {
            std::fprintf(stderr, "teskdelay: %s\n", error.c_str());
            return {false, error};
        }
        saved = state;
        manager->setDirty(false);
        return {true, "Saved " + statePath.string()};
    };

    std::string error;
    manager = NsmClient::announce(url, std::move(handlers), error);
    if (!manager) return fail(ExitCode::sessionManager, error);
    loop.watch(signals, [&] {
        if (readQuitSignal(signals) != 0) loop.quit();
    });
    loop.watch(manager->descriptor(), [&] { manager->receive(); });
    loop.setIdle(idlePeriod(shown), idleStep);
    if (!loop.run()) return fail(ExitCode::internal, "the main loop could not wait for events");

    if (!manager->refusal().empty())
        return fail(ExitCode::sessionManager,
                    "the session manager refused teskdelay: " + manager->refusal());
    if (!client) return code;
    client->deactivate();
    shown.close(*client);
    if (client->serverGone())
        return serverGone(*client, "; the session keeps the state saved last");
    return code;
}

int run(const Options& options) {
    const int signals = takeQuitSignals();
    if (signals < 0) return fail(ExitCode::internal, "cannot take SIGINT, SIGTERM and SIGHUP");
    const char* url = std::getenv(kNsmUrlVariable);
    if (url != nullptr && url[0] != '\0') return runUnderSessionManager(options, signals, url);
    return runAlone(options, signals);
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
