// tesk-x11host: a small X11 host for TeskDelay's editor. It loads the module through
// its entry, asks the editor's size, opens the editor inside a top-level window of
// its own and calls effEditIdle 30 times a second, as Linux VST 2 hosts do. On exit it
// prints every parameter read back through the effect record and the automation the
// plug-in sent, so that tests (and people) can see what the editor did.
#include "errors.h"
#include "module_search.h"
#include "options.h"
#include "plugin.h"
#include "version.h"
#include "wrap_text.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <string>
#include <thread>
#include <vector>

namespace tesk::x11host {
namespace {

using render::ExitCode;
using render::RenderError;

constexpr auto kIdlePeriod = std::chrono::microseconds(1000000 / 30);

struct Options {
    std::string plugin;
    std::string program;
    std::string settings; ///< NAME=VALUE lines applied before the editor opens
    std::string save;     ///< where every parameter is written on exit
    long frames = -1;     ///< idles before exiting; -1 runs until closed
    bool help = false;
};

std::string helpText() {
    return "usage: tesk-x11host [options]\n"
           "\n"
           "Opens TeskDelay's editor in a window of its own on the X display (DISPLAY) and\n"
           "idles it 30 times a second, as a Linux VST 2 host does. Close the window, type\n"
           "quit on standard input or end it to stop; then every parameter is printed as\n"
           "'parameter INDEX NAME = VALUE (DISPLAY)', each automation call the plug-in made\n"
           "as 'automation INDEX VALUE' inside its 'edit begin INDEX' and 'edit end INDEX',\n"
           "and the process's CPU time. One silent block is\n"
           "processed first, so lines synced to the host take its tempo (120).\n"
           "\n"
           "options:\n"
           "  --plugin PATH      the module to load\n" +
           wrapText(std::string("default: the first ") + vsthost::kTeskDelayModule + " in " +
                        vsthost::moduleSearchText(),
                    std::string(21, ' '), 80) +
           "  --program N|NAME   load a program first, by number (0-15) or by name\n"
           "  --settings FILE    apply FILE's NAME=VALUE lines first, as a host restores a\n"
           "                     saved session\n"
           "  --save FILE        on exit, write every parameter to FILE as NAME=VALUE lines,\n"
           "                     as a host saves a session (tesk-render --settings reads it)\n"
           "  --frames N         exit after N idles (N / 30 seconds)\n"
           "  -h, --help         this text\n"
           "  --version          the version\n"
           "\n"
           "Once the editor is open, one line 'ready window=0xID width=W height=H' names the\n"
           "host window on standard output. A line 'sync' on standard input is answered\n"
           "with a line 'synced' after the next idle, once the editor has handled every\n"
           "input event that reached the display before it.\n"
           "\n"
           "exit codes: 0 done, 2 bad option, 3 no display or unreadable settings, 4 settings\n"
           "not written, 5 no instance or no editor, 6 unknown parameter, 7 value out of\n"
           "range, 8 unknown program\n";
}

long framesFrom(const std::string& text) {
    char* end = nullptr;
    const long frames = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || frames < 0)
        throw RenderError(ExitCode::usage,
                          "--frames takes a count of idles, such as 300, not '" + text + "'");
    return frames;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw RenderError(ExitCode::usage, arg + " needs a value; see --help");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--plugin") {
            o.plugin = value();
        } else if (arg == "--program") {
            o.program = value();
        } else if (arg == "--settings") {
            o.settings = value();
        } else if (arg == "--save") {
            o.save = value();
        } else if (arg == "--frames") {
            o.frames = framesFrom(value());
        } else {
            throw RenderError(ExitCode::usage, "unknown argument '" + arg + "'; see --help");
        }
    }
    return o;
}

/// The host's own top-level window, mapped before the editor is opened in it.
class HostWindow {
  public:
    HostWindow(std::int32_t width, std::int32_t height) : display_(XOpenDisplay(nullptr)) {
        if (display_ == nullptr)
            throw RenderError(ExitCode::inputFile, "cannot open the X display; is DISPLAY set?");
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height),
                                      0, 0, BlackPixel(display_, DefaultScreen(display_)));
        XStoreName(display_, window_, "TeskDelay");
        fixSize(width, height);
        closeAtom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &closeAtom_, 1);
        XSelectInput(display_, window_, StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        do {
            XNextEvent(display_, &event);
        } while (event.type != MapNotify);
    }
    ~HostWindow() {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    ::Window id() const { return window_; }

    /// Reads the window's events; false once the user has asked to close it.
    bool stillOpen() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == ClientMessage &&
                static_cast<Atom>(event.xclient.data.l[0]) == closeAtom_)
                return false;
        }
        return true;
    }

  private:
    void fixSize(std::int32_t width, std::int32_t height) {
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display_, window_, hints);
        XFree(hints);
    }

    Display* display_;
    ::Window window_ = 0;
    Atom closeAtom_ = None;
};

/// What standard input asked for since the last look.
struct Requests {
    bool quit = false; ///< a line with "quit", or the end of the input
    int syncs = 0;     ///< lines "sync", each to be answered after the next idle
};

/// The lines on standard input, read without waiting; a line may arrive in pieces.
class CommandInput {
  public:
    /// Everything complete that has arrived since the last call.
    Requests take() {
        Requests requests;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (!requests.quit && poll(&input, 1, 0) > 0) {
            char chunk[256];
            const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0) {
                requests.quit = true;
            } else {
                pending_.append(chunk, static_cast<std::size_t>(got));
            }
        }
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (line.find("quit") != std::string::npos) requests.quit = true;
            if (line == "sync") ++requests.syncs;
        }
        return requests;
    }

  private:
    std::string pending_;
};

// A driver that sends input through the display and then "sync" learns when the
// editor has handled it: the idle after the line reads every event the server had
// sent before the driver's own round trip returned.
void answerSyncs(int syncs) {
    for (int i = 0; i < syncs; ++i)
        std::puts("synced");
    std::fflush(stdout);
}

void runEditor(vsthost::Instance& instance, HostWindow& window, long frames) {
    CommandInput commands;
    auto next = std::chrono::steady_clock::now();
    for (long done = 0; frames < 0 || done < frames; ++done) {
        if (!window.stillOpen()) break;
        const Requests requests = commands.take();
        if (requests.syncs > 0 || !requests.quit) instance.dispatch(effEditIdle);
        answerSyncs(requests.syncs);
        if (requests.quit) break;
        next += kIdlePeriod;
        std::this_thread::sleep_until(next);
    }
}

// One silent block, as a playing host runs: lines synced to the host take its tempo.
void processSilence(render::Plugin& plugin, std::int32_t frames) {
    std::vector<float> silence(static_cast<std::size_t>(frames), 0.0f);
    std::vector<std::vector<float>> outputs(static_cast<std::size_t>(plugin.outputs()),
                                            std::vector<float>(silence.size()));
    std::vector<float*> in(static_cast<std::size_t>(plugin.inputs()), silence.data());
    std::vector<float*> out;
    for (std::vector<float>& channel : outputs)
        out.push_back(channel.data());
    plugin.process(in.data(), out.data(), frames);
}

// What a host keeps of a session: every parameter as it reads it, at full precision.
void save(const render::Plugin& plugin, const std::string& path) {
    std::ofstream file(path);
    for (const render::ParameterEntry& p : plugin.parameters())
        file << p.name << '=' << std::setprecision(9) << p.value << '\n';
    if (!file.flush())
        throw RenderError(ExitCode::outputFile, "cannot write the settings to '" + path + "'");
}

void report(const render::Plugin& plugin) {
    for (const render::ParameterEntry& p : plugin.parameters())
        std::printf("parameter %d %s = %.9g (%s)\n", p.index, p.name.c_str(),
                    static_cast<double>(p.value), p.display.c_str());
    using Kind = vsthost::AutomationEvent::Kind;
    for (const vsthost::AutomationEvent& a : plugin.instance().host().gestures()) {
        if (a.kind == Kind::value) {
            std::printf("automation %d %.9g\n", a.index, static_cast<double>(a.value));
        } else {
            std::printf("edit %s %d\n", a.kind == Kind::begin ? "begin" : "end", a.index);
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("cpu user=%ld.%06ld system=%ld.%06ld\n", static_cast<long>(usage.ru_utime.tv_sec),
                static_cast<long>(usage.ru_utime.tv_usec), static_cast<long>(usage.ru_stime.tv_sec),
                static_cast<long>(usage.ru_stime.tv_usec));
    std::fflush(stdout);
}

int run(const Options& o) {
    render::HostSetup setup{120.0, 44100.0, 512, false, "tesk-render --list"};
    auto plugin =
        render::Plugin::load(o.plugin.empty() ? render::defaultPluginPath() : o.plugin, setup);
    plugin->start();
    if (!o.program.empty()) plugin->selectProgram(o.program);
    if (!o.settings.empty()) {
        for (const render::Setting& setting : render::settingsFromFile(o.settings))
            plugin->apply(setting);
    }
    processSilence(*plugin, setup.blockSize);
    vsthost::Instance& instance = plugin->instance();
    ERect* rect = nullptr;
    if (instance.dispatch(effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr)
        throw RenderError(ExitCode::plugin, "the plug-in has no editor");
    const std::int32_t width = rect->right - rect->left;
    const std::int32_t height = rect->bottom - rect->top;
    HostWindow window(width, height);
    void* handle = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.id()));
    if (instance.dispatch(effEditOpen, 0, 0, handle) == 0)
        throw RenderError(ExitCode::plugin, "the editor did not open");
    std::printf("ready window=0x%lx width=%d height=%d\n", window.id(), width, height);
    std::fflush(stdout);
    runEditor(instance, window, o.frames);
    instance.dispatch(effEditClose);
    if (!o.save.empty()) save(*plugin, o.save);
    report(*plugin);
    plugin->finish();
    return 0;
}

} // namespace
} // namespace tesk::x11host

int main(int argc, char** argv) {
    if (tesk::askedForVersion(argc, argv)) {
        tesk::printVersion("tesk-x11host");
        return 0;
    }
    try {
        const tesk::x11host::Options options = tesk::x11host::parse(argc, argv);
        if (options.help) {
            std::fputs(tesk::x11host::helpText().c_str(), stdout);
            return 0;
        }
        return tesk::x11host::run(options);
    } catch (const tesk::render::RenderError& error) {
        std::fprintf(stderr, "tesk-x11host: %s\n", error.what());
        return static_cast<int>(error.code());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tesk-x11host: %s\n", error.what());
        return 1;
    }
}
