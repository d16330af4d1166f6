// The editor of TeskDelay.clap in a real X server: embedded into the host's
// window at its fixed size, drawn and driven on the host's timer alone, and a
// click made with XTEST reaching the host as gesture-begin, value, gesture-end.
#include "clap_fixture.h"
#include "parameters.h"
#include "x11_test_support.h"

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace tesk::test {
namespace {

using namespace x11test;

constexpr int kFeedbackX = 126, kFeedbackY = 104;

/// The pixels of the window inside `top` (the editor's), or none while there is none
/// to read.
std::vector<std::uint8_t> editorPixels(Display* display, ::Window top) {
    const ::Window child = firstChild(display, top);
    XWindowAttributes attributes{};
    if (child == 0 || !XGetWindowAttributes(display, child, &attributes) ||
        attributes.map_state != IsViewable)
        return {};
    return captureRgb(display, child, attributes.width, attributes.height);
}

/// True when the editor inside `top` shows the artwork: a picture far from one flat
/// colour.
bool showsArtwork(Display* display, ::Window top) {
    const std::vector<std::uint8_t> pixels = editorPixels(display, top);
    std::size_t differing = 0;
    for (std::size_t i = 3; i < pixels.size(); i += 3)
        differing += pixels[i] != pixels[0] || pixels[i + 1] != pixels[1];
    return !pixels.empty() && differing > pixels.size() / 30;
}

/// The pixels of line 1's feedback knob in the editor inside `top`.
std::vector<std::uint8_t> feedbackKnob(Display* display, ::Window top) {
    const std::vector<std::uint8_t> pixels = editorPixels(display, top);
    std::vector<std::uint8_t> knob;
    for (int y = 92; y < 116 && !pixels.empty(); ++y) {
        const auto row = pixels.begin() + (static_cast<std::ptrdiff_t>(y) * 384 + 114) * 3;
        knob.insert(knob.end(), row, row + 24 * 3);
    }
    return knob;
}

class ClapGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installed("Xvfb")) << notInstalled("Xvfb", "xvfb");
        server_.emplace();
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        plugin_.emplace();
        gui = (*plugin_)->extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
        ASSERT_NE(gui, nullptr);
    }
    void TearDown() override {
        plugin_.reset(); // destroys the editor with the instance
        if (display != nullptr) XCloseDisplay(display);
    }

    const clap_plugin_t* plugin() { return (*plugin_)->plugin(); }
    claphost::HostState& host() { return plugin_->host(); }

    /// Runs the host's timers, as its event loop would, until `done` holds; its answer.
    bool runTimersUntil(const std::function<bool()>& done) {
        return waitUntil(done, [this] { host().fireTimers(plugin()); });
    }

    /// Opens the editor embedded in a new top-level window, after the host's
    /// set_scale(`scale`) when one is given, and runs the host's timers until it
    /// shows the artwork.
    ::Window openEmbedded(std::optional<double> scale = std::nullopt) {
        EXPECT_TRUE(gui->is_api_supported(plugin(), CLAP_WINDOW_API_X11, false));
        EXPECT_TRUE(gui->create(plugin(), CLAP_WINDOW_API_X11, false));
        if (scale) {
            EXPECT_TRUE(gui->set_scale(plugin(), *scale));
        }
        std::uint32_t width = 0, height = 0;
        EXPECT_TRUE(gui->get_size(plugin(), &width, &height));
        const ::Window top =
            makeTopLevel(display, static_cast<int>(width), static_cast<int>(height));
        clap_window_t window{CLAP_WINDOW_API_X11, {}};
        window.x11 = top;
        EXPECT_TRUE(gui->set_parent(plugin(), &window));
        EXPECT_TRUE(gui->show(plugin()));
        EXPECT_TRUE(runTimersUntil([&] { return showsArtwork(display, top); }))
            << "the editor drew nothing";
        return top;
    }

    std::optional<Xvfb> server_;
    std::optional<ClapPlugin> plugin_;
    Display* display = nullptr;
    const clap_plugin_gui_t* gui = nullptr;
};

TEST_F(ClapGuiTest, TheEditorIsEmbeddedAtItsFixedSizeAndIdlesOnTheHostsTimer) {
    EXPECT_FALSE(gui->is_api_supported(plugin(), CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(gui->is_api_supported(plugin(), "win32", false));
    EXPECT_FALSE(gui->create(plugin(), "cocoa", false));
    const ::Window top = openEmbedded();
    std::uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->get_size(plugin(), &width, &height));
    EXPECT_EQ(width, 384u);
    EXPECT_EQ(height, 530u);
    EXPECT_FALSE(gui->can_resize(plugin()));
    EXPECT_FALSE(gui->set_size(plugin(), 400, 530));
    EXPECT_TRUE(gui->set_size(plugin(), 384, 530));
    EXPECT_EQ(host().timerCount(), 1u);

    const ::Window child = firstChild(display, top);
    ASSERT_NE(child, 0u) << "the editor made no window inside the host's";
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, child, &attributes);
    EXPECT_EQ(attributes.width, 384);
    EXPECT_EQ(attributes.height, 530);
    // The artwork is drawn: the picture is far from one flat colour.
    EXPECT_TRUE(showsPicture(captureRgb(display, child, 384, 530)));

    gui->destroy(plugin());
    XSync(display, False);
    EXPECT_EQ(host().timerCount(), 0u);
    EXPECT_EQ(firstChild(display, top), 0u);
}

TEST_F(ClapGuiTest, TheHostsScaleSizesTheEmbeddedWindowAndItsPicture) {
    const ::Window top = openEmbedded(2.0);
    std::uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->get_size(plugin(), &width, &height));
    EXPECT_EQ(width, 768u);
    EXPECT_EQ(height, 1060u);
    EXPECT_FALSE(gui->can_resize(plugin()));
    // Whatever size is offered, the one that fits is the editor's own.
    std::uint32_t w = 1000, h = 700;
    ASSERT_TRUE(gui->adjust_size(plugin(), &w, &h));
    EXPECT_EQ(w, 768u);
    EXPECT_EQ(h, 1060u);
    EXPECT_TRUE(gui->set_size(plugin(), 768, 1060));

    const ::Window child = firstChild(display, top);
    ASSERT_NE(child, 0u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, child, &attributes);
    EXPECT_EQ(attributes.width, 768);
    EXPECT_EQ(attributes.height, 1060);
    // Drawn to its bottom right corner: the lower half holds lines 3 and 4.
    const std::vector<std::uint8_t> rgb = captureRgb(display, child, 768, 1060);
    const std::vector<std::uint8_t> lowerHalf(rgb.begin() + 768 * 530 * 3, rgb.end());
    EXPECT_TRUE(showsPicture(lowerHalf));

    // A scale that arrives while the window is open waits for the next opening.
    EXPECT_TRUE(gui->set_scale(plugin(), 1.0));
    ASSERT_TRUE(gui->get_size(plugin(), &width, &height));
    EXPECT_EQ(width, 768u);
    gui->destroy(plugin());
    XSync(display, False);
    openEmbedded();
    ASSERT_TRUE(gui->get_size(plugin(), &width, &height));
    EXPECT_EQ(width, 384u);
    EXPECT_EQ(height, 530u);
}

TEST_F(ClapGuiTest, AClickReachesTheHostAsAGesture) {
    openEmbedded();
    constexpr int kLine2OnX = 192 + 18 + 4, kLine2OnY = 100 + 4;
    movePointer(display, kLine2OnX, kLine2OnY);
    setButton(display, 1, true);
    setButton(display, 1, false);
    const clap_id line2On = static_cast<clap_id>(parameterIndex(ParamKind::IsDelayOn, 1));
    EXPECT_TRUE(runTimersUntil([&] { return *(*plugin_)->value(line2On) == 1.0; }));
    // Not processing: the news wait for the flush the instance asked for.
    EXPECT_GT(host().flushRequests, 0);
    claphost::InputEvents none;
    (*plugin_)->flush(none);
    const auto sent = (*plugin_)->takeSent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(sent[1].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(sent[1].value, 1.0);
    EXPECT_EQ(sent[2].type, CLAP_EVENT_PARAM_GESTURE_END);
    for (const auto& e : sent)
        EXPECT_EQ(e.paramId, line2On);
}

// A drag is tracked inside the host's timer call until the button is let go,
// so another connection moves the pointer and releases it meanwhile, each step
// once the knob shows the one before.
TEST_F(ClapGuiTest, AKnobDragReachesTheHostAsOneGestureWithItsValues) {
    const ::Window top = openEmbedded();
    movePointer(display, kFeedbackX, kFeedbackY);
    setButton(display, 1, true);
    constexpr int kSteps = 6;
    std::atomic<int> stepsShown{0};
    std::atomic<bool> released{false};
    std::thread user([&] {
        Display* own = XOpenDisplay(nullptr);
        for (int step = 1; step <= kSteps; ++step) {
            const std::vector<std::uint8_t> before = feedbackKnob(own, top);
            // 8 pixels of a linear drag turn the handle far enough to show.
            movePointer(own, kFeedbackX, kFeedbackY - 8 * step);
            if (!waitUntil([&] { return feedbackKnob(own, top) != before; }, [] {})) break;
            ++stepsShown;
        }
        setButton(own, 1, false);
        XCloseDisplay(own);
        released = true;
    });
    EXPECT_TRUE(runTimersUntil([&] { return released.load(); }));
    user.join();
    ASSERT_EQ(stepsShown.load(), kSteps) << "the knob stopped following the drag";

    claphost::InputEvents none;
    (*plugin_)->flush(none);
    const auto sent = (*plugin_)->takeSent();
    const clap_id feedback = static_cast<clap_id>(parameterIndex(ParamKind::FeedBack, 0));
    // Each step the screen showed is one value, between the gesture's begin and end.
    ASSERT_EQ(sent.size(), kSteps + 2u);
    EXPECT_EQ(sent.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(sent.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    double last = -1.0;
    for (std::size_t i = 1; i + 1 < sent.size(); ++i) {
        EXPECT_EQ(sent[i].type, CLAP_EVENT_PARAM_VALUE) << i;
        EXPECT_GT(sent[i].value, last) << i;
        last = sent[i].value;
    }
    for (const auto& e : sent)
        EXPECT_EQ(e.paramId, feedback);
    EXPECT_EQ(last, *(*plugin_)->value(feedback));
}

TEST_F(ClapGuiTest, WithoutTheHostsTimerThereIsNoEditor) {
    plugin_.emplace([](claphost::HostState& h) { h.offerTimerSupport = false; });
    gui = (*plugin_)->extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    EXPECT_FALSE(gui->create(plugin(), CLAP_WINDOW_API_X11, false));
}

} // namespace
} // namespace tesk::test
