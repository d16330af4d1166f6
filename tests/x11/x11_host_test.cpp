// TeskDelay's editor in tesk-x11host under Xvfb, driven as a user would with XTEST:
// what it shows against the headless snapshot, what clicks, drags and typing do to
// the parameters and to the automation the host sees, and how it answers drops.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "gui/platform/software/png_image.h"
#include "x11_test_support.h"

#include <X11/keysym.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The tools run here are sanitizer builds too in such a test run: they get the
// suppressions of this program (tests/gui/sanitizer_hooks.cpp) through a file.
void shareLeakSuppressions() {
    const std::string path = ::testing::TempDir() + "tesk_x11_lsan.supp";
    std::ofstream(path) << __lsan_default_suppressions();
    setenv("LSAN_OPTIONS", ("suppressions=" + path).c_str(), 1);
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
            std::vector<const char*> args = {TESK_X11HOST};
            for (const std::string& arg : arguments)
                args.push_back(arg.c_str());
            args.push_back(nullptr);
            execv(TESK_X11HOST, const_cast<char* const*>(args.data()));
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

    /// Starts the host with `program` and finds the editor's window in its window.
    void openEditor(const std::string& program) {
        host_.emplace(std::vector<std::string>{"--plugin", TESK_MODULE, "--program", program});
        hostWindow = host_->waitUntilReady();
        ASSERT_NE(hostWindow, 0u) << "the host did not open the editor";
        editor = firstChild(display, hostWindow);
        ASSERT_NE(editor, 0u) << "the editor made no window";
    }
    std::vector<std::uint8_t> capture() { return captureRgb(display, editor, kWidth, kHeight); }

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
    EXPECT_EQ(report.values.at("Tempo1"), 140.0f);
    // A typed tempo is the user's own setting, not automation, and it ends sync.
    EXPECT_TRUE(report.automated("Tempo1").empty());
    EXPECT_EQ(report.values.at("IsTempoSync1"), 0.0f);
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
