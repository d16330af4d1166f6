// The UI in a real LV2 host: jalv.gtk3 (on a JACK server of our own, the dummy
// back end) under Xvfb loads the bundle with its own UI, embedded at its fixed
// size; XTEST clicks, short clicks and drags reach the editor inside the host;
// closing the host and starting it again shows the UI again.
// GoogleTest first: Xlib's macros (None) would break its headers.
#include <gtest/gtest.h>

#include "x11_test_support.h"

#include <jack/jack.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tesk::test {
namespace {

using namespace std::chrono_literals;
using x11test::Xvfb;

/// A child process; stopped with SIGTERM (then SIGKILL) when it goes.
class Process {
  public:
    /// Starts `argv`; with `loadsOurCode`, under the sanitizer runtime our build needs
    /// (with the library that keeps jalv.gtk3 from hanging under it, see
    /// sanitizer_preload_fix.c).
    explicit Process(std::vector<std::string> argv, bool loadsOurCode = false) {
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            x11test::endWithParent(parent);
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
        x11test::waitUntil([&] { return waitpid(pid_, &status_, WNOHANG) != 0; }, [] {}, 2000ms);
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
    /// The main left output's level once it has settled at a level other than `old`:
    /// the same for a second of audio, longer than the echoes of program 0 take to
    /// arrive. Counted in the server's blocks, so a slow machine only takes longer.
    /// Nothing when no such level came.
    std::optional<float> settledLevelOtherThan(float old) {
        float level = 0.0f;
        const bool settled = x11test::waitUntil(
            [&] {
                const Reading now = unpack(reading_.load());
                level = now.level;
                return now.steadyBlocks >= kSettledBlocks && std::fabs(level - old) >= kSame;
            },
            [] {}, 30000ms);
        return settled ? std::optional<float>(level) : std::nullopt;
    }

  private:
    // One second at the server's rate and period.
    static constexpr std::uint32_t kSettledBlocks = 44100 / 256;
    static constexpr float kSame = 1e-4f;

    /// The last block's level and how many blocks before it had the same.
    struct Reading {
        float level;
        std::uint32_t steadyBlocks;
    };
    // One atomic word, so that a level is never read with another level's count.
    static std::uint64_t pack(Reading r) {
        return std::uint64_t{std::bit_cast<std::uint32_t>(r.level)} << 32 | r.steadyBlocks;
    }
    static Reading unpack(std::uint64_t word) {
        return {std::bit_cast<float>(static_cast<std::uint32_t>(word >> 32)),
                static_cast<std::uint32_t>(word)};
    }

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
        if (frames > 0) self->record(static_cast<float>(std::sqrt(sum / frames)));
        return 0;
    }
    void record(float level) {
        const Reading last = unpack(reading_.load(std::memory_order_relaxed));
        const bool same = std::fabs(level - last.level) < kSame;
        reading_.store(pack({level, same ? last.steadyBlocks + 1 : 0}));
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_port_t* in_ = nullptr;
    std::atomic<std::uint64_t> reading_{0};
    unsigned phase_ = 0; ///< the process thread's own
};

void printJackError(const char* message) {
    std::fprintf(stderr, "%s\n", message);
}

/// True once a JACK server named by JACK_DEFAULT_SERVER takes a client. The refusals
/// before it runs are expected and go unprinted.
bool jackAnswers() {
    jack_set_error_function([](const char*) {});
    jack_client_t* client = jack_client_open("tesk-ping", JackNoStartServer, nullptr);
    jack_set_error_function(&printJackError);
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
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

constexpr int kWidth = 384, kHeight = 530;
// Where jalv puts the values of the line that changed last.
constexpr int kInfoTop = 5, kInfoBottom = 60;
constexpr int kDrySliderTop = 501, kDrySliderBottom = 521;

/// The rows `top` to `bottom` of a window capture, or what lies outside them.
std::vector<std::uint8_t> rows(const std::vector<std::uint8_t>& rgb, int top, int bottom,
                               bool inside = true) {
    std::vector<std::uint8_t> part;
    const auto rowBytes = static_cast<std::ptrdiff_t>(kWidth) * 3;
    for (int y = 0; y < kHeight && !rgb.empty(); ++y) {
        if ((y >= top && y < bottom) != inside) continue;
        part.insert(part.end(), rgb.begin() + y * rowBytes, rgb.begin() + (y + 1) * rowBytes);
    }
    return part;
}

class JalvUiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& [program, package] :
             {std::pair{"Xvfb", "xvfb"}, {"jackd", "jackd2"}, {"jalv.gtk3", "jalv"}})
            ASSERT_TRUE(x11test::installed(program)) << x11test::notInstalled(program, package);
        xvfb = std::make_unique<Xvfb>();
        ASSERT_TRUE(xvfb->running());
        server = "tesk-lv2-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
        setenv("LV2_PATH", TESK_LV2_PATH, 1);
        jack = std::make_unique<Process>(std::vector<std::string>{
            "jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "44100", "-p", "256"});
        ASSERT_TRUE(x11test::waitUntil([&] { return jackAnswers() || !jack->running(); }, [] {}) &&
                    jack->running())
            << "jackd did not start";
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
        x11test::tolerateWindowsInPassing(); // GTK makes and drops windows as it starts
        jalv = std::make_unique<Process>(
            std::vector<std::string>{"jalv.gtk3", "urn:velmora:TeskDelay"}, true);
        ::Window editor = 0;
        x11test::waitUntil([&] { return editor != 0 || !jalv->running(); },
                           [&] { editor = findEditorWindow(display, DefaultRootWindow(display)); });
        return editor;
    }

    std::vector<std::uint8_t> pixels(::Window editor) {
        return x11test::captureRgb(display, editor, kWidth, kHeight);
    }
    /// Waits until `editor` shows `expected` (rows `top` to `bottom` left out when given).
    bool waitForPixels(::Window editor, const std::vector<std::uint8_t>& expected, int top = 0,
                       int bottom = 0) {
        return x11test::waitUntil(
            [&] {
                return rows(pixels(editor), top, bottom, false) ==
                       rows(expected, top, bottom, false);
            },
            [] {});
    }

    /// A click at `at` held `hold`: how short a click is, is what the test is about.
    void click(ScreenPoint at, std::chrono::milliseconds hold) {
        x11test::movePointer(display, at.x, at.y);
        x11test::setButton(display, 1, true);
        std::this_thread::sleep_for(hold);
        x11test::setButton(display, 1, false);
    }

    std::unique_ptr<Xvfb> xvfb;
    std::unique_ptr<Process> jack;
    std::unique_ptr<Process> jalv;
    std::string server;
    Display* display = nullptr;
};

TEST_F(JalvUiTest, JalvShowsTheUiWhichTakesClicksAndDragsAndOpensAgain) {
    // jalv starts every port at its default, program 0's values but for the tempos
    // (88 bpm), which its UI shows where the snapshot shows the host's tempo; the
    // values panel shows whichever line jalv's port events named last.
    const std::vector<std::uint8_t> program0 =
        x11test::snapshotRgb(TESK_SNAPSHOT, "--program 0 --tempo 88");
    const std::vector<std::uint8_t> line1Off =
        x11test::snapshotRgb(TESK_SNAPSHOT, "--program 0 --tempo 88 --set IsDelayOn1=0");
    ASSERT_EQ(program0.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
    ASSERT_EQ(line1Off.size(), program0.size());
    ::Window editor = startJalv();
    ASSERT_NE(editor, 0u) << "jalv.gtk3 showed no 384 x 530 UI";
    ASSERT_TRUE(waitForPixels(editor, program0, kInfoTop, kInfoBottom))
        << "the UI does not show program 0";
    AudioProbe probe;
    ASSERT_TRUE(probe.connect()) << "cannot wire a JACK client to jalv's ports";
    const std::optional<float> levelBefore = probe.settledLevelOtherThan(0.0f);
    ASSERT_TRUE(levelBefore) << "no steady sound came back from jalv";

    // A short click on line 1's on/off switch turns the line off: its knobs
    // change, and the host's port turns the line's echo off in the DSP.
    click(screenOf(display, editor, 24, 106), 5ms);
    EXPECT_TRUE(waitForPixels(editor, line1Off)) << "the short click did not reach the editor";
    const std::optional<float> levelAfterClick = probe.settledLevelOtherThan(*levelBefore);
    ASSERT_TRUE(levelAfterClick) << "the host's port did not change";

    // A drag on the dry-level slider moves its handle, step by step.
    const ScreenPoint from = screenOf(display, editor, 295, 511);
    x11test::movePointer(display, from.x, from.y);
    x11test::setButton(display, 1, true);
    for (int dx = 10; dx <= 100; dx += 10) {
        const std::vector<std::uint8_t> last =
            rows(pixels(editor), kDrySliderTop, kDrySliderBottom);
        x11test::movePointer(display, from.x - dx, from.y);
        ASSERT_TRUE(x11test::waitUntil(
            [&] { return rows(pixels(editor), kDrySliderTop, kDrySliderBottom) != last; }, [] {}))
            << "the drag did not move the slider " << dx << " pixels";
    }
    x11test::setButton(display, 1, false);
    // Less of the dry input reaches the main pair.
    const std::optional<float> levelAfterDrag = probe.settledLevelOtherThan(*levelAfterClick);
    ASSERT_TRUE(levelAfterDrag) << "the host's dry level did not change";
    EXPECT_LT(*levelAfterDrag, *levelAfterClick) << "the host's dry level did not fall";
    EXPECT_TRUE(jalv->running());

    // Closing the host closes the UI; a new host shows it again.
    jalv->stop();
    editor = startJalv();
    ASSERT_NE(editor, 0u) << "the UI did not open again";
    EXPECT_TRUE(waitForPixels(editor, program0, kInfoTop, kInfoBottom))
        << "a new instance starts from program 0";
}

} // namespace
} // namespace tesk::test
