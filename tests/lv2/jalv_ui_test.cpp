// The UI in a real LV2 host: jalv.gtk3 (on a JACK server of our own, the dummy
// back end) under Xvfb loads the bundle with its own UI, embedded at its fixed
// size; XTEST clicks, short clicks and drags reach the editor inside the host;
// closing the host and starting it again shows the UI again.
// GoogleTest first: Xlib's macros (None) would break its headers.
#include <gtest/gtest.h>

#include "x11_test_support.h"

#include <jack/jack.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tesk::test {
namespace {

using namespace std::chrono_literals;
using x11test::Xvfb;

/// A child process; stopped with SIGTERM (then SIGKILL) when it goes.
class Process {
  public:
    /// Starts `argv`; with `loadsOurCode`, under the sanitizer runtime our build needs.
    explicit Process(std::vector<std::string> argv, bool loadsOurCode = false) {
        pid_ = fork();
        if (pid_ == 0) {
            const std::string preload = TESK_HOST_PRELOAD;
            if (loadsOurCode && !preload.empty()) {
                setenv("LD_PRELOAD", preload.c_str(), 1);
                setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            }
            std::vector<char*> args;
            for (std::string& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            x11test::silenceOutput();
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Process() { stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    /// True while the process runs.
    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    /// Asks the process to end and reaps it; its exit status.
    int stop() {
        if (pid_ <= 0) return status_;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100 && waitpid(pid_, &status_, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(20ms);
        if (kill(pid_, 0) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
        pid_ = -1;
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
};

/// A JACK client of the test's own, which hears what the host made of its control
/// ports: it feeds a tone into the plug-in's inputs and keeps the level (RMS) of
/// its main left output over the last block. The tone repeats every 256 frames
/// (the server's period), so that once the echoes have built up every block
/// has the same level.
class AudioProbe {
  public:
    AudioProbe() {
        client_ = jack_client_open("tesk-probe", JackNoStartServer, nullptr);
        if (client_ == nullptr) return;
        out_ = jack_port_register(client_, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &AudioProbe::process, this);
        jack_activate(client_);
    }
    ~AudioProbe() {
        if (client_ != nullptr) jack_client_close(client_);
    }
    AudioProbe(const AudioProbe&) = delete;
    AudioProbe& operator=(const AudioProbe&) = delete;

    /// Wires the probe to jalv's client; false when a port is missing.
    bool connect() {
        return client_ != nullptr &&
               jack_connect(client_, "tesk-probe:out", "TeskDelay:in_1") == 0 &&
               jack_connect(client_, "tesk-probe:out", "TeskDelay:in_2") == 0 &&
               jack_connect(client_, "TeskDelay:main_left", "tesk-probe:in") == 0;
    }
    /// The main left output's level once it has settled: steady for one second,
    /// longer than the echoes of program 0 take to arrive.
    float settledLevel() {
        float level = last_.load();
        int same = 0;
        for (int i = 0; i < 400 && same < 40; ++i) {
            std::this_thread::sleep_for(25ms);
            const float now = last_.load();
            same = std::fabs(now - level) < 1e-4f ? same + 1 : 0;
            level = now;
        }
        return level;
    }

  private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<AudioProbe*>(data);
        auto* out = static_cast<float*>(jack_port_get_buffer(self->out_, frames));
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->in_, frames));
        double sum = 0.0;
        for (jack_nframes_t k = 0; k < frames; ++k) {
            out[k] = 0.5f * std::sin(6.2831853f * 6.0f * static_cast<float>(self->phase_) / 256.0f);
            self->phase_ = (self->phase_ + 1) % 256;
            sum += static_cast<double>(in[k]) * in[k];
        }
        if (frames > 0) self->last_.store(static_cast<float>(std::sqrt(sum / frames)));
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_port_t* in_ = nullptr;
    std::atomic<float> last_{0.0f};
    unsigned phase_ = 0; ///< the process thread's own
};

bool installed(const char* program) {
    return std::system(("command -v " + std::string(program) + " > /dev/null").c_str()) == 0;
}

// The window the UI made: the one 384 × 530 window below jalv's top level that
// has no children of its own.
::Window findEditorWindow(Display* display, ::Window parent) {
    ::Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    ::Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes a{};
        XGetWindowAttributes(display, children[i], &a);
        ::Window r = 0, p = 0, *grand = nullptr;
        unsigned n = 0;
        XQueryTree(display, children[i], &r, &p, &grand, &n);
        if (grand != nullptr) XFree(grand);
        if (a.width == 384 && a.height == 530 && n == 0 && a.map_state == IsViewable)
            found = children[i];
        else
            found = findEditorWindow(display, children[i]);
    }
    if (children != nullptr) XFree(children);
    return found;
}

struct ScreenPoint {
    int x, y;
};

ScreenPoint screenOf(Display* display, ::Window window, int x, int y) {
    int sx = 0, sy = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &sx, &sy, &child);
    return {sx, sy};
}

class JalvUiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::string(TESK_HOST_PRELOAD).empty())
            GTEST_SKIP() << "jalv.gtk3 hangs at its start with a sanitizer runtime preloaded "
                            "(even for --help); this test runs in the plain builds";
        for (const char* program : {"Xvfb", "jackd", "jalv.gtk3"})
            if (!installed(program)) GTEST_SKIP() << program << " is not installed";
        xvfb = std::make_unique<Xvfb>();
        ASSERT_TRUE(xvfb->running());
        server = "tesk-lv2-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
        setenv("LV2_PATH", TESK_LV2_PATH, 1);
        jack = std::make_unique<Process>(std::vector<std::string>{
            "jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "44100", "-p", "256"});
        std::this_thread::sleep_for(300ms);
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        jalv.reset();
        if (display != nullptr) XCloseDisplay(display);
        jack.reset(); // the JACK server goes with the test
        xvfb.reset();
    }

    /// Starts jalv.gtk3 with the plug-in's own UI; the UI's window, or 0.
    ::Window startJalv() {
        jalv = std::make_unique<Process>(
            std::vector<std::string>{"jalv.gtk3", "urn:velmora:TeskDelay"}, true);
        ::Window editor = 0;
        x11test::waitUntil([&] { return editor != 0 || !jalv->running(); },
                           [&] {
                               std::this_thread::sleep_for(50ms);
                               editor = findEditorWindow(display, DefaultRootWindow(display));
                           },
                           8000ms);
        return editor;
    }

    std::vector<std::uint8_t> pixels(::Window editor) {
        std::this_thread::sleep_for(300ms); // the host's idle paints at 30 Hz
        return x11test::captureRgb(display, editor, 384, 530);
    }

    void click(ScreenPoint at, std::chrono::milliseconds hold) {
        x11test::movePointer(display, at.x, at.y);
        x11test::setButton(display, 1, true);
        std::this_thread::sleep_for(hold);
        x11test::setButton(display, 1, false);
        XSync(display, False);
    }

    std::unique_ptr<Xvfb> xvfb;
    std::unique_ptr<Process> jack;
    std::unique_ptr<Process> jalv;
    std::string server;
    Display* display = nullptr;
};

TEST_F(JalvUiTest, JalvShowsTheUiWhichTakesClicksAndDragsAndOpensAgain) {
    ::Window editor = startJalv();
    ASSERT_NE(editor, 0u) << "jalv.gtk3 showed no 384 x 530 UI";
    AudioProbe probe;
    ASSERT_TRUE(probe.connect()) << "cannot wire a JACK client to jalv's ports";
    const float levelBefore = probe.settledLevel();

    // A short click on line 1's on/off switch turns the line off: its knobs
    // change, and the host's port turns the line's echo off in the DSP.
    const std::vector<std::uint8_t> before = pixels(editor);
    click(screenOf(display, editor, 24, 106), 5ms);
    const std::vector<std::uint8_t> afterClick = pixels(editor);
    EXPECT_NE(afterClick, before) << "the short click did not reach the editor";
    const float levelAfterClick = probe.settledLevel();
    EXPECT_NE(levelAfterClick, levelBefore) << "the host's port did not change";

    // A drag on the dry-level slider moves its handle.
    const ScreenPoint from = screenOf(display, editor, 295, 511);
    x11test::movePointer(display, from.x, from.y);
    x11test::setButton(display, 1, true);
    for (int dx = 0; dx <= 100; dx += 10) {
        x11test::movePointer(display, from.x - dx, from.y);
        XSync(display, False);
        std::this_thread::sleep_for(15ms);
    }
    x11test::setButton(display, 1, false);
    XSync(display, False);
    EXPECT_NE(pixels(editor), afterClick) << "the drag did not move the slider";
    // Less of the dry input reaches the main pair.
    EXPECT_LT(probe.settledLevel(), levelAfterClick) << "the host's dry level did not fall";
    EXPECT_TRUE(jalv->running());

    // Closing the host closes the UI; a new host shows it again.
    jalv->stop();
    editor = startJalv();
    EXPECT_NE(editor, 0u) << "the UI did not open again";
    EXPECT_EQ(pixels(editor), before) << "a new instance starts from program 0";
}

} // namespace
} // namespace tesk::test
