// TeskDelay's editor in tesk-x11host under Xvfb, driven as a user would with XTEST:
// what it shows against the headless snapshot, what clicks, drags and typing do to
// the parameters and to the automation the host sees, and how it answers drops.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "gui/platform/software/png_image.h"
#include "parameters.h"
#include "x11_host_process.h"
#include "x11_test_support.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tesk::x11test {
namespace {

extern "C" const char* __lsan_default_suppressions();

constexpr int kWidth = 384;
constexpr int kHeight = 530;

// The tools run here are sanitizer builds too in such a test run. Unless the run
// names a suppressions file already, they get this program's own
// (tests/gui/sanitizer_hooks.cpp) through a file of this process alone: tests run
// side by side, and one rewriting a shared file left another's tool without any.
void shareLeakSuppressions() {
    const char* options = std::getenv("LSAN_OPTIONS");
    if (options != nullptr && std::strstr(options, "suppressions=") != nullptr) return;
    const std::string path =
        ::testing::TempDir() + "tesk_x11_lsan_" + std::to_string(getpid()) + ".supp";
    std::ofstream(path) << __lsan_default_suppressions();
    setenv("LSAN_OPTIONS", ("suppressions=" + path).c_str(), 1);
}

/// A rectangle of the editor's window, in window pixels.
struct Area {
    int left, top, right, bottom;
};
constexpr Area kWholeEditor{0, 0, kWidth, kHeight};

// The pixels of `area` of a window capture; none of a failed one.
std::vector<std::uint8_t> pixelsOf(const std::vector<std::uint8_t>& rgb, const Area& area) {
    std::vector<std::uint8_t> part;
    if (rgb.size() != static_cast<std::size_t>(kWidth) * kHeight * 3) return part;
    for (int y = area.top; y < area.bottom; ++y) {
        const auto from = rgb.begin() + (static_cast<std::ptrdiff_t>(y) * kWidth + area.left) * 3;
        part.insert(part.end(), from, from + (area.right - area.left) * 3);
    }
    return part;
}

class X11HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installed("Xvfb")) << notInstalled("Xvfb", "xvfb");
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

    /// Starts the host with `program` (and `extra` arguments), finds the editor's
    /// window in its window and waits for the editor's first idle, which paints it.
    void openEditor(const std::string& program, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments{"--plugin", TESK_MODULE, "--program", program};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        host_.emplace(TESK_X11HOST, arguments);
        hostWindow = host_->waitUntilReady();
        ASSERT_NE(hostWindow, 0u) << "the host did not open the editor";
        editor = firstChild(display, hostWindow);
        ASSERT_NE(editor, 0u) << "the editor made no window";
        ASSERT_TRUE(host_->sync()) << "the host did not idle the editor";
    }
    std::vector<std::uint8_t> capture() { return captureRgb(display, editor, kWidth, kHeight); }
    /// A condition that holds once `area` of the window differs from what it shows now.
    std::function<bool()> changeIn(const Area& area) {
        return [this, area, before = pixelsOf(capture(), area)] {
            return pixelsOf(capture(), area) != before;
        };
    }
    /// True while a text field's edit box has the keyboard.
    bool editing() { return focusWindow(display) == editor; }

    /// A press at (x, y) held until `handled` holds (the editor shows it has taken
    /// the press while the button is down, as under a slow hand), then the release.
    /// True when the press showed and the host has handled the release too.
    bool slowClick(int x, int y, const std::function<bool()>& handled) {
        movePointer(display, x, y);
        setButton(display, 1, true);
        const bool shown = waitUntil(handled, [] {});
        setButton(display, 1, false);
        return shown && host_->sync();
    }
    /// A press at (x, y), then `steps` moves to (x + dx, y + dy), each sent once the
    /// one before has changed `area`, so that the host follows the hand as it goes;
    /// then the release. True when every step showed and the host has handled the
    /// release too.
    bool slowDrag(int x, int y, int dx, int dy, int steps, const Area& area) {
        movePointer(display, x, y);
        setButton(display, 1, true);
        bool shown = true;
        for (int i = 1; i <= steps && shown; ++i) {
            const std::function<bool()> moved = changeIn(area);
            movePointer(display, x + dx * i / steps, y + dy * i / steps);
            shown = waitUntil(moved, [] {});
        }
        setButton(display, 1, false);
        return shown && host_->sync();
    }
    /// A tap: press and release sent together, as a touchpad gives them, with no
    /// idle of the host in between; `held` milliseconds between them when given.
    void tap(int x, int y, int held = 0) {
        movePointer(display, x, y);
        setButton(display, 1, true);
        // Only where the time a button is held is itself under test.
        if (held > 0) std::this_thread::sleep_for(std::chrono::milliseconds(held));
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
    /// Quits the host once it has handled all input sent, and reads what it printed;
    /// its exit status must be 0.
    Report quitHost() {
        EXPECT_TRUE(host_->sync()) << "the host stopped answering";
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

TEST_F(X11HostTest, TheEditorShowsExactlyWhatTheHeadlessSnapshotShows) {
    const std::vector<std::uint8_t> expected = snapshotRgb(TESK_SNAPSHOT, "--program 3");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
    openEditor("3");
    const bool same = waitUntil([&] { return capture() == expected; }, [] {});
    if (!same) {
        const std::string path = ::testing::TempDir() + "tesk_x11_editor.png";
        gui::writePng(path.c_str(), {kWidth, kHeight, capture()});
        ADD_FAILURE() << "the window differs from the snapshot; it is in " << path;
    }
}

// A desktop at 200 % publishes Xft.dpi: 192 in the server's resource database, as
// xrdb does for GNOME and KDE; the module reads it when the host asks its size.
TEST_F(X11HostTest, OnADesktopAtTwoHundredPercentTheEditorIsTwiceAsLargeAndCrisp) {
    const char resources[] = "Xft.dpi:\t192\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources),
                    sizeof resources - 1);
    XSync(display, False);
    const std::vector<std::uint8_t> expected = snapshotRgb(TESK_SNAPSHOT, "--program 3 --scale 2");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(4 * kWidth * kHeight * 3));
    openEditor("3");
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, editor, &attributes);
    EXPECT_EQ(attributes.width, 2 * kWidth);
    EXPECT_EQ(attributes.height, 2 * kHeight);
    XGetWindowAttributes(display, hostWindow, &attributes);
    EXPECT_EQ(attributes.width, 2 * kWidth) << "the host sized its window by effEditGetRect";
    EXPECT_EQ(attributes.height, 2 * kHeight);
    const bool same = waitUntil(
        [&] { return captureRgb(display, editor, 2 * kWidth, 2 * kHeight) == expected; }, [] {});
    EXPECT_TRUE(same) << "the window differs from tesk-snapshot --scale 2";
    // A click on line 1's lamp, at its place in the doubled window, switches the line off.
    tap(2 * 26, 2 * 108);
    const Report report = quitHost();
    EXPECT_EQ(report.values.at("IsDelayOn1"), 0.0f);
}

// Control positions of the editor (window pixels), line 1 unless named.
constexpr int kLine2OnX = 192 + 18 + 4, kLine2OnY = 100 + 4;
constexpr int kOutputX = 144 + 5, kOutputY = 96 + 5;
constexpr int kFeedbackX = 126, kFeedbackY = 104;
constexpr int kTempoX = 47, kTempoY = 165;
constexpr int kLogoX = 90, kLogoY = 30;
constexpr Area kFeedbackKnob{114, 92, 138, 116};
constexpr Area kPanSlider{21, 253, 127, 273};
constexpr Area kDrySlider{164, 501, 300, 521};
// Where the about picture lies, right of line 1's tempo field and sync button.
constexpr Area kAboutRightOfTempo{70, 100, 335, 395};

// Each gesture is handled while it happens: the host sees the press with the button
// still down and follows a drag step by step, as under a slow hand.
TEST_F(X11HostTest, ClicksDragsAndTypingReachTheParametersAndTheHost) {
    openEditor("0");
    ASSERT_TRUE(slowClick(kLine2OnX, kLine2OnY, changeIn(kWholeEditor))) << "line 2 on";
    ASSERT_TRUE(slowDrag(kFeedbackX, kFeedbackY, 0, -30, 3, kFeedbackKnob)) << "feedback up";
    ASSERT_TRUE(slowDrag(60, 263, 25, 0, 3, kPanSlider)) << "pan to the right";
    ASSERT_TRUE(slowClick(kOutputX, kOutputY, changeIn(kWholeEditor))) << "output one step on";
    ASSERT_TRUE(slowClick(kTempoX, kTempoY, [this] { return editing(); })) << "tempo field";
    typeText(display, "140");
    typeKey(display, XK_Return);
    const Report report = quitHost();

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
    // A typed tempo reaches the host as a gesture, after the end of sync.
    const std::vector<std::string> typed = {"begin 57", "value 57", "end 57",
                                            "begin 45", "value 45", "end 45"};
    EXPECT_NE(
        std::search(report.gestures.begin(), report.gestures.end(), typed.begin(), typed.end()),
        report.gestures.end());
    EXPECT_EQ(report.automated("Tempo1"), std::vector<float>{tempoToInterface(140.0f)});
}

TEST_F(X11HostTest, QuickClicksOnEveryControlKindCountExactlyOnce) {
    openEditor("0");
    tap(kLine2OnX, kLine2OnY);                 // toggle: line 2 on
    tap(kOutputX, kOutputY);                   // step switch: one step
    quickDrag(kFeedbackX, kFeedbackY, 0, -30); // knob (linear): up
    quickDrag(60, 263, 25, 0);                 // fader: pan to the right
    ASSERT_TRUE(host_->sync());
    const std::vector<std::uint8_t> before = pixelsOf(capture(), kAboutRightOfTempo);
    tap(kLogoX, kLogoY); // the about picture opens ...
    ASSERT_TRUE(host_->sync());
    EXPECT_NE(pixelsOf(capture(), kAboutRightOfTempo), before) << "the about picture did not open";
    tap(150, 200);         // ... and a tap on it closes it
    tap(kTempoX, kTempoY); // the tempo field opens its box
    ASSERT_TRUE(waitUntil([this] { return editing(); }, [] {})) << "the tempo field opened no box";
    typeText(display, "150");
    typeKey(display, XK_Return);
    ASSERT_TRUE(host_->sync());
    EXPECT_EQ(pixelsOf(capture(), kAboutRightOfTempo), before) << "the about picture did not close";
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

// How long the button is held is what this is about: without a hold the press and
// the release reach the host together, held 50 ms (longer than its idle period of
// 33 ms) the host takes the press while the button is down, and in between it
// depends on where its idle falls. Each click counts once whichever way it comes,
// so the counts hold on a fast machine and on a slow one alike.
TEST_F(X11HostTest, FastDoubleClicksCountTwiceAndTapsAtAnySpeedOnce) {
    openEditor("0");
    tap(kLine2OnX, kLine2OnY);
    tap(kLine2OnX, kLine2OnY); // a double click: on, then off again
    ASSERT_TRUE(host_->sync());
    int steps = 0;
    for (const int held : {0, 10, 20, 50}) {
        for (int i = 0; i < 3; ++i, ++steps) {
            tap(kOutputX, kOutputY, held);
            ASSERT_TRUE(host_->sync()) << "held " << held << " ms";
        }
    }
    const Report report = quitHost();
    EXPECT_EQ(report.automated("IsDelayOn2"), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(report.automated("Output1").size(), static_cast<std::size_t>(steps));
}

TEST_F(X11HostTest, ModifiersCountAsTheyWereAtThePress) {
    openEditor("0");
    quickDrag(kFeedbackX, kFeedbackY, 0, -30);
    ASSERT_TRUE(host_->sync());
    // Control held for the press alone: the reset click, not a drag.
    setKey(display, XK_Control_L, true);
    movePointer(display, kFeedbackX, kFeedbackY);
    setButton(display, 1, true);
    setKey(display, XK_Control_L, false);
    setButton(display, 1, false);
    ASSERT_TRUE(host_->sync());
    // Shift held for the press alone: a fine drag of the pan slider, then a plain one
    // of line 2's pan slider over the same distance.
    setKey(display, XK_Shift_L, true);
    movePointer(display, 60, 263);
    setButton(display, 1, true);
    setKey(display, XK_Shift_L, false);
    movePointer(display, 60 + 30, 263);
    setButton(display, 1, false);
    const Report report = quitHost();
    ASSERT_FALSE(report.automated("FeedBack1").empty());
    EXPECT_EQ(report.automated("FeedBack1").back(), 0.5f) << "the knob's default";
    EXPECT_EQ(report.values.at("FeedBack1"), 0.5f);
    ASSERT_FALSE(report.automated("Pan1").empty());
    EXPECT_GT(report.values.at("Pan1"), report.automated("Pan1").front() - 1e-6f);
}

TEST_F(X11HostTest, ATapDuringAnotherControlsDragIsKept) {
    openEditor("0");
    const std::function<bool()> knobMoved = changeIn(kFeedbackKnob);
    movePointer(display, kFeedbackX, kFeedbackY);
    setButton(display, 1, true);
    movePointer(display, kFeedbackX, kFeedbackY - 20);
    // Once the knob shows the move it is tracking the button, which is still down.
    ASSERT_TRUE(waitUntil(knobMoved, [] {})) << "the knob did not follow the drag";
    setButton(display, 1, false);
    tap(kLine2OnX, kLine2OnY);
    const Report report = quitHost();
    EXPECT_GT(report.values.at("FeedBack1"), 0.5f);
    EXPECT_EQ(report.automated("IsDelayOn2"), std::vector<float>{1.0f});
}

// While the button is held, every step of the drag shows on the screen; the release
// changes nothing more.
TEST_F(X11HostTest, TheScreenFollowsAHeldDrag) {
    const std::string settings = ::testing::TempDir() + "tesk_x11_drag.settings";
    std::ofstream(settings) << "VolumeThruInput=0\nPan1=0\n";
    openEditor("0", {"--settings", settings});
    struct Drag {
        const char* what;
        int x, y, dx, dy;
        Area area;
    };
    const Drag drags[] = {{"dry level", 168, 511, 12, 0, kDrySlider},
                          {"feedback knob", kFeedbackX, kFeedbackY, 0, -8, kFeedbackKnob},
                          {"pan", 25, 263, 12, 0, kPanSlider}};
    for (const Drag& d : drags) {
        // A press on these controls shows nothing by itself: what the screen shows
        // before the host takes it is what the first step starts from.
        std::vector<std::uint8_t> last = pixelsOf(capture(), d.area);
        movePointer(display, d.x, d.y);
        setButton(display, 1, true);
        for (int step = 1; step <= 5; ++step) {
            movePointer(display, d.x + d.dx * step, d.y + d.dy * step);
            const bool moved =
                waitUntil([&] { return pixelsOf(capture(), d.area) != last; }, [] {});
            EXPECT_TRUE(moved) << d.what << ": step " << step << " did not reach the screen";
            if (!moved) break;
            last = pixelsOf(capture(), d.area);
        }
        setButton(display, 1, false);
        ASSERT_TRUE(host_->sync());
        EXPECT_EQ(pixelsOf(capture(), d.area), last) << d.what << " jumped at the release";
    }
    quitHost();
}

// A host saves what it read and restores it: the typed tempo comes back exactly.
TEST_F(X11HostTest, ASavedSessionKeepsATypedTempo) {
    const std::string saved = ::testing::TempDir() + "tesk_x11_session.settings";
    openEditor("0", {"--save", saved});
    tap(kTempoX, kTempoY);
    ASSERT_TRUE(waitUntil([this] { return editing(); }, [] {})) << "the tempo field opened no box";
    typeText(display, "133.3");
    typeKey(display, XK_Return);
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

// tesk-snapshot on the command line: no display needed.
struct SnapshotRun {
    int status;
    std::string err;
};

SnapshotRun runSnapshot(const std::string& arguments) {
    const std::string err = ::testing::TempDir() + "tesk_snapshot_cli.err";
    const int status = std::system(
        (std::string(TESK_SNAPSHOT) + " " + arguments + " >/dev/null 2>" + err).c_str());
    std::ifstream file(err);
    std::stringstream text;
    text << file.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

TEST(SnapshotCli, WritesPngNamesOnlyAndPointsToTeskRendersListing) {
    const std::string jpg = ::testing::TempDir() + "tesk_snapshot.jpg";
    std::remove(jpg.c_str());
    SnapshotRun run = runSnapshot(jpg);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("does not end in .png"), std::string::npos) << run.err;
    EXPECT_FALSE(std::ifstream(jpg).good()) << "PNG data went into " << jpg;

    const std::string png = ::testing::TempDir() + "tesk_snapshot_cli.PNG";
    run = runSnapshot("--program 'Ping pang' " + png);
    EXPECT_EQ(run.status, 8) << run.err;
    EXPECT_NE(run.err.find("(tesk-render --list shows them all)"), std::string::npos) << run.err;
    run = runSnapshot("--set Tempo1=5000 " + png);
    EXPECT_EQ(run.status, 7) << run.err;
    EXPECT_NE(run.err.find("tesk-render --list shows"), std::string::npos) << run.err;
    EXPECT_EQ(runSnapshot(png).status, 0) << "a name ending in .PNG is a PNG name too";
}

} // namespace
} // namespace tesk::x11test
