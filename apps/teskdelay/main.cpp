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
/// active yet; null, with the exit code and a sentence, when it cannot. In a
/// session, the state wins over --program, and the name is the manager's
/// exactly: its saved connections find the client by it.
std::unique_ptr<jackfmt::JackDelay> openClient(const char* name, const Options& options,
                                               const StateRead& read, bool inSession,
                                               ExitCode& code, std::string& error) {
    bool noServer = false;
    jack_set_error_function(&quietJackErrors);
    auto client = jackfmt::JackDelay::open(name, inSession, error, noServer);
    jack_set_error_function(&printJackError);
    if (!client) {
        code = noServer ? ExitCode::noServer : ExitCode::internal;
        return nullptr;
    }
    if (read.state) client->load(*read.state);
    if (options.program && (!inSession || !read.state)) client->loadProgram(*options.program);
    client->setFallbackTempo(options.tempo);
    return client;
}

/// A client's editor and, while it shows, its window, run by the main loop.
class ShownEditor {
  public:
    /// Makes `client`'s editor, told of the client's changes from now on;
    /// `closed` is called when the user closes the window. Main thread, before
    /// the client is active.
    ShownEditor(jackfmt::JackDelay& client, MainLoop& loop, std::function<void()> closed)
        : client_(client), loop_(loop), closed_(std::move(closed)),
          editor_(jackfmt::makeJackEditor(client)) {
        client_.setEditor(editor_.get());
    }
    /// Closes the window and the editor. Main thread, once the client is not active.
    ~ShownEditor() {
        hide();
        client_.setEditor(nullptr);
    }
    ShownEditor(const ShownEditor&) = delete;
    ShownEditor& operator=(const ShownEditor&) = delete;

    /// Opens the window, if it is not open; false, with a sentence, when it cannot be.
    bool show(std::string& error) {
        if (window_) return true;
        window_ = EditorWindow::open(*editor_, client_.name(), error);
        if (!window_) return false;
        loop_.watch(window_->descriptor(), [this] {
            if (!window_->handleEvents()) return closed_(); // which may hide the window
            window_->idle();
        });
        if (window_->editorDescriptor() >= 0)
            loop_.watch(window_->editorDescriptor(), [this] { window_->idle(); });
        return true;
    }
    /// Closes the window, if it is open; the editor keeps following the client.
    void hide() {
        if (!window_) return;
        loop_.unwatch(window_->descriptor());
        loop_.unwatch(window_->editorDescriptor());
        window_.reset();
    }
    bool isShown() const { return window_ != nullptr; }
    /// Lets the editor draw, about 30 times a second.
    void idle() {
        if (window_) window_->idle();
    }

  private:
    jackfmt::JackDelay& client_;
    MainLoop& loop_;
    std::function<void()> closed_;
    std::unique_ptr<EditorInterface> editor_;
    std::unique_ptr<EditorWindow> window_;
};

/// The main loop's idle period: the editor's pace where there is one.
std::chrono::milliseconds idlePeriod(const Options& options) {
    return std::chrono::milliseconds(options.noGui ? 100 : 33);
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
    auto client = openClient(jackfmt::kClientName, options, read, false, failure, error);
    if (!client) return fail(failure, error);
    MainLoop loop;
    std::unique_ptr<ShownEditor> shown;
    if (!options.noGui) {
        // Closing the window ends the program as a signal does.
        shown = std::make_unique<ShownEditor>(*client, loop, [&loop] { loop.quit(); });
        if (!shown->show(error)) return fail(ExitCode::noDisplay, error);
    }
    if (!startClient(*client, options, error)) return fail(ExitCode::internal, error);

    loop.watch(signals, [&] {
        if (readQuitSignal(signals) != 0) loop.quit();
    });
    loop.watch(client->serverGoneDescriptor(), [&] { loop.quit(); });
    loop.setIdle(idlePeriod(options), [&] {
        if (client->serverGone()) loop.quit();
        if (shown) shown->idle();
    });
    if (!loop.run()) return fail(ExitCode::internal, "the main loop could not wait for events");

    client->deactivate();
    shown.reset();
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
/// How long a session manager may take to answer the announce: one answers at
/// once, so silence means NSM_URL is left over from a manager that has gone.
constexpr std::chrono::seconds kNsmPatience{10};

int runUnderSessionManager(const Options& options, int signals, const std::string& url) {
    if (options.stateFile)
        std::fprintf(stderr, "teskdelay: under a session manager the state is kept in the "
                             "session; --state is ignored\n");
    MainLoop loop;
    std::unique_ptr<jackfmt::JackDelay> client;
    std::unique_ptr<ShownEditor> shown;
    std::filesystem::path statePath;
    SavedState saved; // what the session's file holds, or held when it opened
    int code = static_cast<int>(ExitCode::ok);
    std::unique_ptr<NsmClient> manager;

    // Changes are found by comparing the state with the one saved, on this
    // thread: the process thread is told nothing and does nothing more.
    const auto announced = std::chrono::steady_clock::now();
    const std::function<void()> idleStep = [&] {
        if (!manager->refusal().empty()) loop.quit();
        if (!manager->answered() && std::chrono::steady_clock::now() - announced > kNsmPatience) {
            code = fail(ExitCode::sessionManager,
                        "no session manager answered at " + url +
                            " (NSM_URL); unset NSM_URL to run teskdelay on its own");
            loop.quit();
        }
        if (!client) return;
        if (client->serverGone()) loop.quit();
        manager->setDirty(client->state() != saved);
        if (shown) shown->idle();
    };
    // The manager shows and hides the window; closing it only hides it, the
    // session's client goes on.
    const auto showWindow = [&](bool show) {
        if (!shown) return;
        std::string error;
        if (!show)
            shown->hide();
        else if (!shown->show(error))
            std::fprintf(stderr, "teskdelay: %s\n", error.c_str());
        manager->setGuiShown(shown->isShown());
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
        auto opened = openClient(clientId.c_str(), options, read, true, failure, error);
        if (opened) {
            saved = opened->state();
            failure = ExitCode::ok;
            if (!options.noGui) {
                shown = std::make_unique<ShownEditor>(*opened, loop, [&] { showWindow(false); });
                if (!shown->show(error)) failure = ExitCode::noDisplay;
            }
            if (failure == ExitCode::ok && !startClient(*opened, options, error))
                failure = ExitCode::internal;
        }
        if (failure != ExitCode::ok) {
            // Nothing is left to do without a client: the manager hears why,
            // then teskdelay ends as it would on its own.
            std::fprintf(stderr, "teskdelay: %s\n", error.c_str());
            code = static_cast<int>(failure);
            shown.reset();
            loop.quit();
            return {false, error};
        }
        client = std::move(opened);
        loop.watch(client->serverGoneDescriptor(), [&] { loop.quit(); });
        if (shown) manager->setGuiShown(true);
        return {true, read.message.empty() ? "Opened " + statePath.string() : read.message};
    };
    if (!options.noGui) handlers.showGui = showWindow;
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
    loop.setIdle(idlePeriod(options), idleStep);
    if (!loop.run()) return fail(ExitCode::internal, "the main loop could not wait for events");

    if (!manager->refusal().empty())
        return fail(ExitCode::sessionManager,
                    "the session manager refused teskdelay: " + manager->refusal());
    if (!client) return code;
    client->deactivate();
    shown.reset();
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
