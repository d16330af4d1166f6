// The editor of TeskDelay.vst3 in a real X server, as a Linux host shows it:
// embedded in the host's window at its fixed size, driven by the host's run
// loop alone (its timer and the editor's connection), a click reaching the
// host through the component handler, and the module unloading cleanly after
// many openings that leave nothing behind.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "parameters.h"
#include "vst3_host.h"
#include "x11_test_support.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tesk::test {
namespace {

using namespace vst3host;
using namespace x11test;

// The editor's size at scale 1, the same in every format.
constexpr int kWidth = 384;
constexpr int kHeight = 530;

void* handleOf(::Window window) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

/// True when the editor's window inside `top` is shown and far from one flat colour.
bool showsArtwork(Display* display, ::Window top) {
    const ::Window child = firstChild(display, top);
    XWindowAttributes attributes{};
    if (child == 0 || !XGetWindowAttributes(display, child, &attributes) ||
        attributes.map_state != IsViewable)
        return false;
    return showsPicture(captureRgb(display, child, attributes.width, attributes.height));
}

/// Every window on the server, its root's descendants counted through.
int windowsUnder(Display* display, ::Window window) {
    ::Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &up, &children, &count)) return 0;
    int total = static_cast<int>(count);
    for (unsigned i = 0; i < count; ++i)
        total += windowsUnder(display, children[i]);
    if (children != nullptr) XFree(children);
    return total;
}

/// What an editor's opening takes and its closing must give back.
struct Held {
    long descriptors = 0; ///< an X connection is one
    long threads = 0;
    long sharedSegments = 0; ///< MIT-SHM images
    int windows = 0;         ///< on the server, any client's
    bool operator==(const Held&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Held& h) {
    return out << h.descriptors << " descriptors, " << h.threads << " threads, " << h.sharedSegments
               << " shared memory segments, " << h.windows << " windows";
}

/// The lines of /proc/self/maps naming `text`.
std::vector<std::string> mapsNaming(const std::string& text) {
    std::ifstream maps("/proc/self/maps");
    std::vector<std::string> found;
    for (std::string line; std::getline(maps, line);)
        if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
}

Held heldNow(Display* display) {
    namespace fs = std::filesystem;
    XSync(display, False);
    return {std::distance(fs::directory_iterator("/proc/self/fd"), {}),
            std::distance(fs::directory_iterator("/proc/self/task"), {}),
            static_cast<long>(mapsNaming("/SYSV").size()),
            windowsUnder(display, DefaultRootWindow(display))};
}

class Vst3GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installed("Xvfb")) << notInstalled("Xvfb", "xvfb");
        server_.emplace();
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        std::string error;
        module = Module::load(TESK_VST3_BUNDLE_PATH, error, Module::Mapping::releasedOnUnload);
        ASSERT_NE(module, nullptr) << error;
        instance = Instance::create(*module, error);
        ASSERT_NE(instance, nullptr) << error;
        // Hosts show the editor of a running instance.
        ASSERT_TRUE(instance->start(48000.0, 512, true, error)) << error;
    }
    void TearDown() override {
        instance.reset();
        module.reset();
        if (display != nullptr) XCloseDisplay(display);
    }

    Ref<IPlugView> createView() const {
        return Ref<IPlugView>::adopt(instance->controller()->createView(ViewType::kEditor));
    }

    /// Attaches `view` (its frame set) to a new top-level window of its size and
    /// pumps the loop until it has drawn; the window.
    ::Window openDrawn(IPlugView& view, RunLoopFrame& frame) {
        ViewRect size{};
        EXPECT_EQ(view.getSize(&size), kResultOk);
        const ::Window top = makeTopLevel(display, size.right, size.bottom);
        EXPECT_EQ(view.attached(handleOf(top), kPlatformTypeX11EmbedWindowID), kResultOk);
        EXPECT_TRUE(frame.pumpUntil([&] { return showsArtwork(display, top); }))
            << "the editor drew nothing";
        return top;
    }

    std::optional<Xvfb> server_;
    Display* display = nullptr;
    std::unique_ptr<Module> module;
    std::unique_ptr<Instance> instance;
};

TEST_F(Vst3GuiTest, TheEditorIsEmbeddedDrawnAndClickedThroughTheHostsRunLoop) {
    Ref<IPlugView> view = createView();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, kWidth);
    EXPECT_EQ(size.bottom - size.top, kHeight);

    auto frame = RunLoopFrame::make();
    ASSERT_EQ(view->setFrame(frame.get()), kResultOk);
    // The timer alone draws it.
    frame->serveDescriptors = false;
    const ::Window top = openDrawn(*view, *frame);
    frame->serveDescriptors = true;
    ASSERT_EQ(frame->timers().size(), 1u);
    EXPECT_EQ(frame->timers()[0].milliseconds, 33u);
    // The editor's own connection is watched, not some other descriptor.
    ASSERT_EQ(frame->watches().size(), 1u);
    const int watched = frame->watches()[0].fd;
    struct stat status {};
    ASSERT_EQ(fstat(watched, &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_NE(watched, ConnectionNumber(display));

    const ::Window child = firstChild(display, top);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, child, &attributes));
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);

    // Line 2's on switch, where the CLAP editor's test clicks it. The click comes
    // in on the editor's connection: the watch on it alone takes it in.
    const auto line2On = static_cast<ParamID>(parameterIndex(ParamKind::IsDelayOn, 1));
    ASSERT_EQ(instance->normalized(line2On), 0.0);
    instance->handler().take();
    movePointer(display, 192 + 18 + 4, 100 + 4);
    setButton(display, 1, true);
    setButton(display, 1, false);
    frame->serveTimers = false;
    EXPECT_TRUE(frame->pumpUntil([&] { return instance->normalized(line2On) == 1.0; }))
        << "the click did not reach the controller";
    frame->serveTimers = true;
    const auto calls = instance->handler().take();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, HandlerCall::Kind::begin);
    EXPECT_EQ(calls[1].kind, HandlerCall::Kind::perform);
    EXPECT_EQ(calls[1].value, 1.0);
    EXPECT_EQ(calls[2].kind, HandlerCall::Kind::end);
    for (const HandlerCall& call : calls)
        EXPECT_EQ(call.id, line2On);

    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_TRUE(frame->timers().empty());
    EXPECT_TRUE(frame->watches().empty());
    EXPECT_EQ(frame->registered, 2);
    EXPECT_EQ(frame->unregistered, 2);
    XSync(display, False);
    EXPECT_EQ(firstChild(display, top), 0u);
    view.reset();
    EXPECT_EQ(frame->references(), 1u) << "the view kept the host's run loop";
}

TEST_F(Vst3GuiTest, TheContentScaleSizesTheEditorFromItsNextOpening) {
    Ref<IPlugView> view = createView();
    ASSERT_TRUE(view);
    auto scaling = queryAs<IPlugViewContentScaleSupport>(view.get());
    ASSERT_TRUE(scaling);
    EXPECT_EQ(scaling->setContentScaleFactor(0.0f), kInvalidArgument);
    ViewRect size{};
    ASSERT_EQ(scaling->setContentScaleFactor(1.5f), kResultOk);
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right, kWidth * 3 / 2);
    EXPECT_EQ(size.bottom, kHeight * 3 / 2);
    ASSERT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right, 2 * kWidth);
    EXPECT_EQ(size.bottom, 2 * kHeight);

    auto frame = RunLoopFrame::make();
    view->setFrame(frame.get());
    const ::Window top = openDrawn(*view, *frame);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, firstChild(display, top), &attributes));
    EXPECT_EQ(attributes.width, 2 * kWidth);
    EXPECT_EQ(attributes.height, 2 * kHeight);

    // The host cannot be made to resize the window under the editor.
    EXPECT_EQ(scaling->setContentScaleFactor(1.0f), kResultOk);
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right, 2 * kWidth);
    EXPECT_EQ(view->removed(), kResultOk);
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right, kWidth);
    EXPECT_EQ(size.bottom, kHeight);
    EXPECT_EQ(frame->resizeRequests, 0);
}

TEST_F(Vst3GuiTest, RepeatedOpeningsLeaveNothingBehindAndTheModuleUnloads) {
    const std::string library =
        std::filesystem::canonical(Module::libraryPath(TESK_VST3_BUNDLE_PATH)).string();
    auto frame = RunLoopFrame::make();
    std::optional<Held> before;
    for (int opening = 0; opening < 21; ++opening) {
        Ref<IPlugView> view = createView();
        ASSERT_TRUE(view);
        view->setFrame(frame.get());
        const ::Window top = openDrawn(*view, *frame);
        ASSERT_FALSE(HasFailure()) << "at opening " << opening;
        // Hosts take the frame away before or after removing the view.
        if (opening % 2 == 0) {
            ASSERT_EQ(view->removed(), kResultOk);
            view->setFrame(nullptr);
        } else {
            view->setFrame(nullptr);
            ASSERT_EQ(view->removed(), kResultOk);
        }
        view.reset();
        XDestroyWindow(display, top);
        // The first opening may fill caches the module keeps: count from after it.
        if (!before) before = heldNow(display);
    }
    EXPECT_EQ(heldNow(display), *before);
    EXPECT_TRUE(frame->timers().empty());
    EXPECT_TRUE(frame->watches().empty());
    EXPECT_EQ(frame->registered, 2 * 21);
    EXPECT_EQ(frame->unregistered, frame->registered);
    EXPECT_EQ(frame->references(), 1u);

    ASSERT_FALSE(mapsNaming(library).empty()) << "the maps do not show the loaded module";
    instance.reset();
    module.reset(); // ModuleExit, dlclose
    const auto left = mapsNaming(library);
    std::string listed;
    for (const std::string& line : left)
        listed += "\n  " + line;
    EXPECT_TRUE(left.empty()) << "still mapped after dlclose:" << listed;
}

TEST_F(Vst3GuiTest, WithoutTheHostsRunLoopAttachingIsRefused) {
    Ref<IPlugView> view = createView();
    ASSERT_TRUE(view);
    const ::Window top = makeTopLevel(display, kWidth, kHeight);
    const Held before = heldNow(display);
    EXPECT_EQ(view->attached(handleOf(top), kPlatformTypeX11EmbedWindowID), kResultFalse);
    auto loopless = RunLoopFrame::make();
    loopless->offersRunLoop = false;
    view->setFrame(loopless.get());
    EXPECT_EQ(view->attached(handleOf(top), kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(heldNow(display), before);
    EXPECT_EQ(firstChild(display, top), 0u);
    EXPECT_EQ(view->removed(), kResultFalse);

    // Nothing half open stands in the way of the host that has one.
    auto frame = RunLoopFrame::make();
    view->setFrame(frame.get());
    EXPECT_EQ(view->attached(handleOf(top), kPlatformTypeX11EmbedWindowID), kResultOk);
    EXPECT_TRUE(frame->pumpUntil([&] { return showsArtwork(display, top); }));
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(frame->unregistered, frame->registered);
}

} // namespace
} // namespace tesk::test
