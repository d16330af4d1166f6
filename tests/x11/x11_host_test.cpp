// TeskDelay's editor in tesk-x11host under Xvfb, driven as a user would with XTEST:
// what it shows against the headless snapshot, what clicks, drags and typing do to
// the parameters and to the automation the host sees, and how it answers drops.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "gui/platform/software/png_image.h"
#include "parameters.h"
#include "x11_test_support.h"

#include <X11/keysym.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tesk::x11test {
namespace {

extern "C" const char* __lsan_default_suppressions();

constexpr int kWidth = 384;
constexpr int kHeight = 530;

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

constexpr std::chrono::milliseconds kSettle{300};

// The tools run here are sanitizer builds too in such a test run: they get the
// suppressions of this program (tests/gui/sanitizer_hooks.cpp) through a file.
void shareLeakSuppressions() {
    const std::string path = ::testing::TempDir() + "tesk_x11_lsan.supp";
    std::ofstream(path) << __lsan_default_suppressions();
    setenv("LSAN_OPTIONS", ("suppressions=" + path).c_str(), 1);
}

// The host and module under test: the ones built here, unless the environment names
// others (the click-speed table compares builds that way).
const char* underTest(const char* variable, const char* built) {
    const char* named = std::getenv(variable);
    return named != nullptr && *named != '\0' ? named : built;
}
const char* hostPath() {
    return underTest("TESK_X11HOST_UNDER_TEST", TESK_X11HOST);
}
const char* modulePath() {
    return underTest("TESK_MODULE_UNDER_TEST", TESK_MODULE);
}

/// tesk-x11host running in a child process, its standard input and output piped.
class HostProcess {
  public:
    explicit HostProcess(const std::vector<std::string>& arguments) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            std::vector<const char*> args = {hostPath()};
            for (const std::string& arg : arguments)
                args.push_back(arg.c_str());
            args.push_back(nullptr);
            execv(hostPath(), const_cast<char* const*>(args.data()));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~HostProcess() {
        if (pid_ <= 0) return;
        close(input_);
        close(output_);
        if (!exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    /// The host window named by the "ready" line, or 0 when none came in 10 s.
    ::Window waitUntilReady() {
        const std::string line = readLine();
        unsigned long id = 0;
        if (std::sscanf(line.c_str(), "ready window=0x%lx", &id) != 1) return 0;
        return id;
    }
    /// Asks the host to quit and returns all it printed afterwards; `status` is its
    /// exit status.
    std::string quit(int& status) {
        const char command[] = "quit\n";
        status = -1;
        if (write(input_, command, sizeof command - 1) < 0) return {};
        std::string all;
        char buffer[4096];
        for (ssize_t got; (got = read(output_, buffer, sizeof buffer)) > 0;)
            all.append(buffer, static_cast<std::size_t>(got));
        waitpid(pid_, &status, 0);
        exited_ = true;
        return all;
    }

  private:
    std::string readLine() {
        std::string line;
        pollfd readable{output_, POLLIN, 0};
        while (poll(&readable, 1, 10000) > 0) {
            char c = 0;
            if (read(output_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    int pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    bool exited_ = false;
};

/// What the host printed on exit.
struct Report {
    std::map<std::string, float> values;
    std::map<std::string, int> indices;
    std::vector<std::pair<int, float>> automation;
    std::vector<std::string> gestures; ///< "begin I", "value I", "end I" in order

    /// The automation calls of one parameter, by name.
    std::vector<float> automated(const std::string& name) const {
        std::vector<float> out;
        for (const auto& [index, value] : automation) {
            if (index == indices.at(name)) out.push_back(value);
        }
        return out;
    }
};

Report parseReport(const std::string& text) {
    Report report;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        char name[64] = {};
        int index = 0;
        float value = 0.0f;
        if (std::sscanf(line.c_str(), "parameter %d %63s = %f", &index, name, &value) == 3) {
            report.values[name] = value;
            report.indices[name] = index;
        } else if (std::sscanf(line.c_str(), "automation %d %f", &index, &value) == 2) {
            report.automation.emplace_back(index, value);
            report.gestures.push_back("value " + std::to_string(index));
        } else if (std::sscanf(line.c_str(), "edit %63s %d", name, &index) == 2) {
            report.gestures.push_back(std::string(name) + " " + std::to_string(index));
        }
    }
    return report;
}

class X11HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Xvfb::installed()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb)";
        server_.emplace();
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        shareLeakSuppressions();
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        host_.reset();
        if (display != nullptr) XCloseDisplay(display);
    }

    /// Starts the host with `program` (and `extra` arguments) and finds the editor's
    /// window in its window.
    void openEditor(const std::string& program, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments{"--plugin", modulePath(), "--program", program};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        host_.emplace(arguments);
        hostWindow = host_->waitUntilReady();
        ASSERT_NE(hostWindow, 0u) << "the host did not open the editor";
        editor = firstChild(display, hostWindow);
        ASSERT_NE(editor, 0u) << "the editor made no window";
    }
    std::vector<std::uint8_t> capture() { return captureRgb(display, editor, kWidth, kHeight); }
    /// The editor's picture once it has stopped changing for 300 ms (at most
    /// 10 s): what the host shows once it has handled what it was sent, however
    /// fast the machine or its emulator runs.
    std::vector<std::uint8_t> settled() {
        std::vector<std::uint8_t> last = capture();
        auto still = std::chrono::steady_clock::now();
        waitUntil([&] { return std::chrono::steady_clock::now() - still >= kSettle; },
                  [&] {
                      pause(20);
                      std::vector<std::uint8_t> now = capture();
                      if (now == last) return;
                      last = std::move(now);
                      still = std::chrono::steady_clock::now();
                  },
                  std::chrono::milliseconds(10000));
        return last;
    }
    /// True once the editor's picture differs from `before` (at most 5 s).
    bool changesFrom(const std::vector<std::uint8_t>& before) {
        return waitUntil([&] { return capture() != before; }, [] { pause(10); },
                         std::chrono::milliseconds(5000));
    }

    /// Presses at (x, y) of the editor, moves by (dx, dy) in steps, releases.
    void drag(int x, int y, int dx, int dy) {
        movePointer(display, x, y);
        setButton(display, 1, true);
        pause(100);
        const int steps = 10;
        for (int i = 1; i <= steps; ++i) {
            movePointer(display, x + dx * i / steps, y + dy * i / steps);
            pause(30);
        }
        setButton(display, 1, false);
        pause(150);
    }
    void click(int x, int y) { drag(x, y, 0, 0); }
    /// A tap: press and release sent together, as a touchpad gives them, with no
    /// idle of the host in between; `held` milliseconds between them when given.
    void tap(int x, int y, int held = 0) {
        movePointer(display, x, y);
        setButton(display, 1, true);
        if (held > 0) pause(held);
        setButton(display, 1, false);
    }
    /// A drag sent all at once: press, `steps` moves to (x + dx, y + dy), release.
    void quickDrag(int x, int y, int dx, int dy, int steps = 4) {
        movePointer(display, x, y);
        setButton(display, 1, true);
        for (int i = 1; i <= steps; ++i)
            movePointer(display, x + dx * i / steps, y + dy * i / steps);
        setButton(display, 1, false);
    }
    /// Quits the host and reads what it printed; its exit status must be 0.
    Report quitHost() {
        pause(300);
        int status = -1;
        Report report = parseReport(host_->quit(status));
        EXPECT_EQ(status, 0);
        EXPECT_EQ(report.values.size(), 61u);
        return report;
    }

    std::optional<Xvfb> server_;
    std::optional<HostProcess> host_;
    Display* display = nullptr;
    ::Window hostWindow = 0;
    ::Window editor = 0;
};

std::vector<std::uint8_t> headlessSnapshot(const std::string& program) {
    const std::string path = ::testing::TempDir() + "tesk_x11_snapshot.png";
    const std::string command =
        std::string(TESK_SNAPSHOT) + " --program " + program + " " + path + " >/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> png((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
    gui::RgbImage image;
    gui::decodePng(png.data(), png.size(), image);
    return image.rgb;
}

TEST_F(X11HostTest, TheEditorShowsExactlyWhatTheHeadlessSnapshotShows) {
    const std::vector<std::uint8_t> expected = headlessSnapshot("3");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
    openEditor("3");
    const bool same = waitUntil([&] { return capture() == expected; }, [] {});
    if (!same) {
        const std::string path = ::testing::TempDir() + "tesk_x11_editor.png";
        gui::writePng(path.c_str(), {kWidth, kHeight, capture()});
        ADD_FAILURE() << "the window differs from the snapshot; it is in " << path;
    }
}

TEST_F(X11HostTest, ClicksDragsAndTypingReachTheParametersAndTheHost) {
    openEditor("0");
    pause(300);
    click(192 + 18 + 4, 100 + 4);  // line 2 on
    drag(126, 104, 0, -30);        // line 1 feedback knob up
    drag(60, 263, 25, 0);          // line 1 pan slider to the right
    click(144 + 5, 96 + 5);        // line 1 output switch one step on
    movePointer(display, 47, 165); // line 1 tempo field
    setButton(display, 1, true);
    pause(200);
    setButton(display, 1, false);
    typeText(display, "140");
    typeKey(display, XK_Return);
    pause(300);
    int status = -1;
    const Report report = parseReport(host_->quit(status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(report.values.size(), 61u);

    EXPECT_EQ(report.values.at("IsDelayOn2"), 1.0f);
    EXPECT_EQ(report.automated("IsDelayOn2"), std::vector<float>{1.0f});
    EXPECT_GT(report.values.at("FeedBack1"), 0.5f);
    ASSERT_FALSE(report.automated("FeedBack1").empty());
    EXPECT_EQ(report.automated("FeedBack1").back(), report.values.at("FeedBack1"));
    ASSERT_FALSE(report.automated("Pan1").empty());
    EXPECT_EQ(report.automated("Pan1").back(), report.values.at("Pan1"));
    ASSERT_EQ(report.automated("Output1").size(), 1u);
    EXPECT_EQ(report.automated("Output1").back(), report.values.at("Output1"));
    EXPECT_EQ(tempoFromInterface(report.values.at("Tempo1")), 140.0f);
    EXPECT_EQ(report.values.at("IsTempoSync1"), 0.0f);
    // A typed tempo reaches the host as a gesture, and so does the end of sync.
    const std::vector<std::string> typed = {"begin 45", "value 45", "end 45",
                                            "begin 57", "value 57", "end 57"};
    EXPECT_NE(
        std::search(report.gestures.begin(), report.gestures.end(), typed.begin(), typed.end()),
        report.gestures.end());
    EXPECT_EQ(report.automated("Tempo1"), std::vector<float>{tempoToInterface(140.0f)});
}

// Control positions of the editor (window pixels), line 1 unless named.
constexpr int kLine2OnX = 192 + 18 + 4, kLine2OnY = 100 + 4;
constexpr int kOutputX = 144 + 5, kOutputY = 96 + 5;
constexpr int kFeedbackX = 126, kFeedbackY = 104;
constexpr int kTempoX = 47, kTempoY = 165;
constexpr int kLogoX = 90, kLogoY = 30;

TEST_F(X11HostTest, QuickClicksOnEveryControlKindCountExactlyOnce) {
    openEditor("0");
    pause(300);
    const std::vector<std::uint8_t> before = capture();
    tap(kLine2OnX, kLine2OnY);                 // toggle: line 2 on
    tap(kOutputX, kOutputY);                   // step switch: one step
    quickDrag(kFeedbackX, kFeedbackY, 0, -30); // knob (linear): up
    quickDrag(60, 263, 25, 0);                 // fader: pan to the right
    tap(kLogoX, kLogoY);                       // the about picture opens ...
    pause(300);
    const std::vector<std::uint8_t> about = capture();
    tap(150, 200);         // ... and a tap on it closes it
    tap(kTempoX, kTempoY); // the tempo field opens its box
    pause(300);
    typeText(display, "150");
    typeKey(display, XK_Return);
    pause(300);
    EXPECT_NE(about, before) << "the about picture did not open";
    EXPECT_TRUE(waitUntil([&] { return capture() != about; }, [] {}))
        << "the about picture did not close";
    const Report report = quitHost();
    EXPECT_EQ(report.automated("IsDelayOn2"), std::vector<float>{1.0f});
    EXPECT_EQ(report.automated("Output1").size(), 1u);
    EXPECT_EQ(report.values.at("Output1"), 0.1f);
    EXPECT_GT(report.values.at("FeedBack1"), 0.5f);
    ASSERT_FALSE(report.automated("FeedBack1").empty());
    EXPECT_EQ(report.automated("FeedBack1").back(), report.values.at("FeedBack1"));
    EXPECT_GT(report.values.at("Pan1"), 0.6f);
    EXPECT_EQ(tempoFromInterface(report.values.at("Tempo1")), 150.0f);
}

TEST_F(X11HostTest, FastDoubleClicksCountTwiceAndTapsAtAnySpeedOnce) {
    openEditor("0");
    pause(300);
    tap(kLine2OnX, kLine2OnY);
    tap(kLine2OnX, kLine2OnY); // a double click: on, then off again
    pause(200);
    int steps = 0;
    for (const int held : {0, 10, 20, 50}) {
        for (int i = 0; i < 3; ++i, ++steps) {
            tap(kOutputX, kOutputY, held);
            pause(40);
        }
    }
    const Report report = quitHost();
    EXPECT_EQ(report.automated("IsDelayOn2"), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(report.automated("Output1").size(), static_cast<std::size_t>(steps));
}

TEST_F(X11HostTest, ModifiersCountAsTheyWereAtThePress) {
    openEditor("0");
    pause(300);
    quickDrag(kFeedbackX, kFeedbackY, 0, -30);
    pause(200);
    // Control held for the press alone: the reset click, not a drag.
    setKey(display, XK_Control_L, true);
    movePointer(display, kFeedbackX, kFeedbackY);
    setButton(display, 1, true);
    setKey(display, XK_Control_L, false);
    setButton(display, 1, false);
    pause(300);
    // Shift held for the press alone: a fine drag of the pan slider, then a plain one
    // of line 2's pan slider over the same distance.
    setKey(display, XK_Shift_L, true);
    movePointer(display, 60, 263);
    setButton(display, 1, true);
    setKey(display, XK_Shift_L, false);
    movePointer(display, 60 + 30, 263);
    setButton(display, 1, false);
    pause(300);
    const Report report = quitHost();
    ASSERT_FALSE(report.automated("FeedBack1").empty());
    EXPECT_EQ(report.automated("FeedBack1").back(), 0.5f) << "the knob's default";
    EXPECT_EQ(report.values.at("FeedBack1"), 0.5f);
    ASSERT_FALSE(report.automated("Pan1").empty());
    EXPECT_GT(report.values.at("Pan1"), report.automated("Pan1").front() - 1e-6f);
}

TEST_F(X11HostTest, ATapDuringAnotherControlsDragIsKept) {
    openEditor("0");
    pause(300);
    movePointer(display, kFeedbackX, kFeedbackY);
    setButton(display, 1, true);
    pause(150); // the knob now tracks the mouse
    movePointer(display, kFeedbackX, kFeedbackY - 20);
    setButton(display, 1, false);
    tap(kLine2OnX, kLine2OnY);
    const Report report = quitHost();
    EXPECT_GT(report.values.at("FeedBack1"), 0.5f);
    EXPECT_EQ(report.automated("IsDelayOn2"), std::vector<float>{1.0f});
}

// Not a check but a measurement, on request (TESK_CLICK_TABLE=1): how many of 20
// clicks of each hold time a toggle and a step switch count, as a table.
TEST_F(X11HostTest, ClickSpeedTable) {
    if (std::getenv("TESK_CLICK_TABLE") == nullptr) GTEST_SKIP() << "set TESK_CLICK_TABLE=1";
    constexpr int kTries = 20;
    struct Kind {
        const char* name;
        int x, y;
        const char* parameter;
    };
    const Kind kinds[] = {{"toggle", kLine2OnX, kLine2OnY, "IsDelayOn2"},
                          {"step switch", kOutputX, kOutputY, "Output1"}};
    std::printf("| control | 0 ms | 10 ms | 20 ms | 50 ms |\n|---|---|---|---|---|\n");
    for (const Kind& kind : kinds) {
        std::printf("| %s |", kind.name);
        for (const int held : {0, 10, 20, 50}) {
            openEditor("0");
            pause(300);
            for (int i = 0; i < kTries; ++i) {
                tap(kind.x, kind.y, held);
                pause(120);
            }
            const Report report = quitHost();
            host_.reset();
            std::printf(" %zu/%d |", report.automated(kind.parameter).size(), kTries);
        }
        std::printf("\n");
    }
}

// The pixels of `area` of a window capture.
std::vector<std::uint8_t> pixelsOf(const std::vector<std::uint8_t>& rgb, int left, int top,
                                   int right, int bottom) {
    std::vector<std::uint8_t> part;
    for (int y = top; y < bottom; ++y) {
        const auto from = rgb.begin() + (static_cast<std::ptrdiff_t>(y) * kWidth + left) * 3;
        part.insert(part.end(), from, from + (right - left) * 3);
    }
    return part;
}

// While the button is held, every step of the drag shows on the screen; the release
// changes nothing more.
TEST_F(X11HostTest, TheScreenFollowsAHeldDrag) {
    const std::string settings = ::testing::TempDir() + "tesk_x11_drag.settings";
    std::ofstream(settings) << "VolumeThruInput=0\nPan1=0\n";
    openEditor("0", {"--settings", settings});
    settled();
    struct Drag {
        const char* what;
        int x, y, dx, dy;
        int left, top, right, bottom;
    };
    const Drag drags[] = {{"dry level", 168, 511, 12, 0, 164, 501, 300, 521},
                          {"feedback knob", kFeedbackX, kFeedbackY, 0, -8, 114, 92, 138, 116},
                          {"pan", 25, 263, 12, 0, 21, 253, 127, 273}};
    for (const Drag& d : drags) {
        movePointer(display, d.x, d.y);
        setButton(display, 1, true);
        std::vector<std::uint8_t> last = pixelsOf(settled(), d.left, d.top, d.right, d.bottom);
        for (int step = 1; step <= 5; ++step) {
            movePointer(display, d.x + d.dx * step, d.y + d.dy * step);
            const bool moved = waitUntil(
                [&] { return pixelsOf(capture(), d.left, d.top, d.right, d.bottom) != last; },
                [] { pause(10); }, std::chrono::milliseconds(5000));
            EXPECT_TRUE(moved) << d.what << ": step " << step << " did not reach the screen";
            last = pixelsOf(settled(), d.left, d.top, d.right, d.bottom);
        }
        setButton(display, 1, false);
        EXPECT_EQ(pixelsOf(settled(), d.left, d.top, d.right, d.bottom), last)
            << d.what << " jumped at the release";
    }
    quitHost();
}

// A host saves what it read and restores it: the typed tempo comes back exactly.
TEST_F(X11HostTest, ASavedSessionKeepsATypedTempo) {
    const std::string saved = ::testing::TempDir() + "tesk_x11_session.settings";
    openEditor("0", {"--save", saved});
    const std::vector<std::uint8_t> shown = settled();
    tap(kTempoX, kTempoY);
    ASSERT_TRUE(changesFrom(shown)) << "the tempo field opened no box";
    const std::vector<std::uint8_t> box = settled();
    typeText(display, "133.3");
    ASSERT_TRUE(changesFrom(box)) << "the typed tempo did not show";
    const std::vector<std::uint8_t> typed = settled();
    typeKey(display, XK_Return);
    ASSERT_TRUE(changesFrom(typed)) << "Return did not close the box";
    settled();
    const Report first = quitHost();
    host_.reset();
    openEditor("5", {"--settings", saved});
    const Report second = quitHost();
    EXPECT_EQ(tempoFromInterface(second.values.at("Tempo1")), 133.3f);
    EXPECT_EQ(second.values.at("IsTempoSync1"), 0.0f);
    EXPECT_EQ(second.values, first.values);
}

TEST_F(X11HostTest, TheEditorRefusesDropsAndSaysSo) {
    openEditor("0");
    pause(300);
    for (const char* type : {"text/uri-list", "UTF8_STRING"}) {
        DragSource source(display, {type}, "file:///tmp/take.wav\r\n");
        movePointer(display, 200, 300);
        source.enterAndMove(editor, 200, 300);
        ASSERT_TRUE(waitUntil([&] { return source.answers().statusSeen; }, [&] { source.pump(); }));
        EXPECT_TRUE(source.answers().statusAccepts) << type;
        source.drop();
        ASSERT_TRUE(
            waitUntil([&] { return source.answers().finishedSeen; }, [&] { source.pump(); }));
        EXPECT_FALSE(source.answers().finishedAccepted) << type;
        EXPECT_EQ(source.answers().finishedAction, static_cast<Atom>(None)) << type;
    }
}

} // namespace
} // namespace tesk::x11test
