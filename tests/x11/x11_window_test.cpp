// The X11 back end under a real X server (Xvfb): the frame's child window, painting,
// exposures, clicks, input queries, the host's event procedure, the edit box and drops.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "gui/controls/text_field.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/platform/platform.h"
#include "gui/platform/software/pixel_surface.h"
#include "gui/platform/x11/x11.h"
#include "x11_test_support.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tesk::x11test {
namespace {

// Xlib's own locks, as hosts that open editors on several threads have them:
// asked for before any other Xlib call of the process.
const bool xlibThreads = XInitThreads() != 0;

using gui::Color;
using gui::Point;
using gui::Rect;

constexpr Rect kFrameSize{0, 0, 120, 90};
constexpr Color kViewColor{200, 40, 10, 0};

/// A view that fills itself with one colour and writes down what reaches it.
class ProbeView : public gui::View {
  public:
    explicit ProbeView(const Rect& size, bool acceptsDrops = true)
        : View(size), acceptsDrops_(acceptsDrops) {}

    void draw(gui::DrawContext* ctx) override {
        ctx->setFillColor(kViewColor);
        ctx->fillRect(size);
        ++draws;
        setDirty(false);
    }
    void drawRect(gui::DrawContext* ctx, const Rect& update) override {
        updates.push_back(update);
        draw(ctx);
    }
    void mouse(gui::DrawContext* ctx, Point& where) override {
        clicks.push_back(where);
        buttonsAtClick = ctx->readButtons();
    }
    bool drop(void** items, std::int32_t count, std::int32_t kind, Point& where) override {
        dropKind = kind;
        dropCount = count;
        dropWhere = where;
        for (std::int32_t i = 0; i < (kind == 0 ? count : 1); ++i)
            dropped.emplace_back(static_cast<const char*>(items[i]));
        return acceptsDrops_;
    }

    int draws = 0;
    std::vector<Rect> updates;
    std::vector<Point> clicks;
    gui::ButtonState buttonsAtClick = 0;
    std::int32_t dropKind = -1;
    std::int32_t dropCount = 0;
    Point dropWhere;
    std::vector<std::string> dropped;

  private:
    bool acceptsDrops_;
};

class X11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installed("Xvfb")) << notInstalled("Xvfb", "xvfb");
        server_.emplace(extraServerArguments());
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        parent = makeTopLevel(display, 200, 150);
    }
    void TearDown() override {
        frame.reset();
        if (display != nullptr) XCloseDisplay(display);
    }
    virtual std::vector<std::string> extraServerArguments() const { return {}; }

    /// A frame in `parent` holding one probe view over `area`.
    ProbeView* openFrame(const Rect& area = {10, 10, 60, 50}, bool acceptsDrops = true) {
        frame = std::make_unique<gui::Frame>(kFrameSize, windowHandle(parent), nullptr);
        auto* view = new ProbeView(area, acceptsDrops);
        frame->addView(view);
        return view;
    }
    static void* windowHandle(::Window window) {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
    }
    ::Window child() const { return gui::x11::windowId(frame->getWindow()); }
    bool idleUntil(const std::function<bool()>& done) {
        return waitUntil(done, [this] { frame->idle(); });
    }
    std::vector<std::uint8_t> screenPixels() {
        return captureRgb(display, child(), kFrameSize.width(), kFrameSize.height());
    }
    const std::vector<std::uint8_t>& surfacePixels() {
        return static_cast<const gui::software::PixelSurface&>(frame->getWindow()->acquireSurface())
            .rgb();
    }

    std::optional<Xvfb> server_;
    Display* display = nullptr;
    ::Window parent = 0;
    std::unique_ptr<gui::Frame> frame;
};

// ---- Window ----------------------------------------------------------------------------

TEST_F(X11Test, FrameWindowIsAMappedChildOfTheHostWindowAtTheFrameSize) {
    openFrame();
    ASSERT_NE(child(), 0u);
    EXPECT_EQ(firstChild(display, parent), child());
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, child(), &attributes));
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, kFrameSize.width());
    EXPECT_EQ(attributes.height, kFrameSize.height());
    EXPECT_EQ(attributes.map_state, IsViewable);
    frame.reset();
    XSync(display, False);
    EXPECT_EQ(firstChild(display, parent), 0u) << "closing destroys the window";
}

std::atomic<int> testErrors{0};
int countingHandler(Display*, XErrorEvent*) {
    ++testErrors;
    return 0;
}

TEST_F(X11Test, BadParentsGiveNoWindowAndLeaveTheHostsErrorHandlerInPlace) {
    XSetErrorHandler(&countingHandler);
    gui::Frame none(kFrameSize, nullptr, nullptr);
    EXPECT_EQ(none.getWindow(), nullptr);
    gui::Frame bogus(kFrameSize, windowHandle(0x7ffffff0), nullptr);
    EXPECT_EQ(bogus.getWindow(), nullptr);
    bogus.idle();
    EXPECT_EQ(XSetErrorHandler(nullptr), &countingHandler);
    EXPECT_EQ(testErrors, 0) << "our errors never reach the host's handler";
}

// Hosts that open an editor for each instance on threads of their own: frames
// opened and closed on two threads at once, every other one on a parent that
// does not exist, keep their errors to themselves, and the host's handler is
// back in place afterwards.
TEST_F(X11Test, FramesOnTwoThreadsAtOnceKeepTheirErrorsFromTheHost) {
    ASSERT_TRUE(xlibThreads);
    XSetErrorHandler(&countingHandler);
    testErrors = 0;
    const ::Window parents[2] = {parent, makeTopLevel(display, 200, 150)};
    XSync(display, False);
    std::atomic<int> opened{0};
    const auto openAndClose = [&](::Window own) {
        for (int round = 0; round < 60; ++round) {
            gui::Frame frame(kFrameSize, windowHandle(round % 2 == 0 ? own : 0x7ffffff0), nullptr);
            if (frame.getWindow() == nullptr) continue;
            ++opened;
            frame.idle();
        }
    };
    std::thread first(openAndClose, parents[0]);
    std::thread second(openAndClose, parents[1]);
    first.join();
    second.join();
    EXPECT_EQ(opened, 60);
    EXPECT_EQ(XSetErrorHandler(nullptr), &countingHandler);
    EXPECT_EQ(testErrors, 0) << "our errors never reach the host's handler";
}

TEST_F(X11Test, ExposedPixelsReachTheScreenAndMatchTheSurface) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    frame->idle();
    EXPECT_EQ(screenPixels(), surfacePixels());
    const std::vector<std::uint8_t> screen = screenPixels();
    const std::size_t inside = (20 * kFrameSize.width() + 20) * 3;
    EXPECT_EQ(screen[inside], kViewColor.red);
    EXPECT_EQ(screen[inside + 1], kViewColor.green);
    EXPECT_EQ(screen[inside + 2], kViewColor.blue);
}

TEST_F(X11Test, AnExposureBecomesADrawOfTheDamagedRectangle) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    view->updates.clear();
    XClearArea(display, child(), 15, 20, 10, 5, True);
    XSync(display, False);
    ASSERT_TRUE(idleUntil([&] { return !view->updates.empty(); }));
    EXPECT_EQ(view->updates.front().left, 15);
    EXPECT_EQ(view->updates.front().top, 20);
    EXPECT_EQ(view->updates.front().right, 25);
    EXPECT_EQ(view->updates.front().bottom, 25);
    EXPECT_EQ(screenPixels(), surfacePixels());
}

TEST_F(X11Test, DirtyViewsAreShownAtIdle) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    const int before = view->draws;
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(view->draws, before + 1);
    EXPECT_EQ(screenPixels(), surfacePixels());
}

TEST_F(X11Test, AClickReachesTheViewWithButtonsReadFromTheServer) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    movePointer(display, 30, 25);
    setButton(display, 1, true);
    ASSERT_TRUE(idleUntil([&] { return !view->clicks.empty(); }));
    setButton(display, 1, false);
    EXPECT_EQ(view->clicks.front().x, 30);
    EXPECT_EQ(view->clicks.front().y, 25);
    EXPECT_EQ(view->buttonsAtClick, 1);
}

TEST_F(X11Test, CursorAndOriginComeFromTheServer) {
    openFrame();
    XMoveWindow(display, parent, 40, 30);
    XSync(display, False);
    movePointer(display, 100, 70);
    EXPECT_EQ(gui::platform::readCursor().x, 100);
    EXPECT_EQ(gui::platform::readCursor().y, 70);
    EXPECT_EQ(frame->getWindow()->origin().x, 40);
    EXPECT_EQ(frame->getWindow()->origin().y, 30);
    Point where;
    frame->cursorPosition(where);
    EXPECT_EQ(where.x, 60);
    EXPECT_EQ(where.y, 40);
    setButton(display, 3, true);
    EXPECT_EQ(gui::platform::readButtons(), 4);
    setButton(display, 3, false);
    EXPECT_EQ(gui::platform::readButtons(), 0);
}

TEST_F(X11Test, ClockAndDoubleClickTime) {
    const std::uint32_t start = gui::platform::tickCount();
    gui::platform::sleepMs(20);
    EXPECT_GE(gui::platform::tickCount() - start, 20u);
    EXPECT_EQ(gui::platform::doubleClickTime(), 400) << "without a resource";
    const std::string resources = "*multiClickTime:\t321\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(display, False);
    EXPECT_EQ(gui::platform::doubleClickTime(), 321);
}

TEST_F(X11Test, DestroyingTheHostWindowClosesTheFrameHarmlessly) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    XDestroyWindow(display, parent);
    XSync(display, False);
    ASSERT_TRUE(idleUntil([&] { return !frame->isOpen(); }));
    EXPECT_EQ(frame->getParentWindow(), nullptr);
    view->setDirty(true);
    frame->drawView(nullptr);
    frame.reset();
}

TEST_F(X11Test, SeveralFramesOpenAtOnceAndAgainAfterClosing) {
    const ::Window second = makeTopLevel(display, 200, 150);
    XMoveWindow(display, second, 300, 0); // side by side: both get exposed
    XSync(display, False);
    for (int round = 0; round < 2; ++round) {
        ProbeView* first = openFrame();
        gui::Frame other(kFrameSize, windowHandle(second), nullptr);
        auto* otherView = new ProbeView({0, 0, 30, 30});
        other.addView(otherView);
        ASSERT_TRUE(idleUntil([&] {
            other.idle();
            return first->draws > 0 && otherView->draws > 0;
        }));
        EXPECT_NE(child(), gui::x11::windowId(other.getWindow()));
        frame.reset();
    }
}

// ---- The host's event procedure ---------------------------------------------------------

using EventProc = void (*)(XEvent*);

// Read the way each kind of host reads it: one 32-bit item, or two halves.
EventProc readEventProc(Display* display, ::Window window, long items) {
    const Atom name = XInternAtom(display, "_XEventProc", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, name, 0, items, False, AnyPropertyType, &type, &format,
                       &count, &after, &data);
    std::uintptr_t address = 0;
    if (data != nullptr && format == 32 && count == static_cast<unsigned long>(items)) {
        const auto* longs = reinterpret_cast<const unsigned long*>(data);
        address =
            items == 1 ? longs[0] : (longs[0] & 0xFFFFFFFFu) | ((longs[1] & 0xFFFFFFFFu) << 32);
    }
    if (data != nullptr) XFree(data);
    return reinterpret_cast<EventProc>(address);
}

TEST_F(X11Test, EventsHandedToThePublishedProcedureArePainted) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    const EventProc single = readEventProc(display, child(), 1);
    const EventProc halves = readEventProc(display, child(), 2);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single, halves);
    XEvent expose{};
    expose.xexpose.type = Expose;
    expose.xexpose.display = display;
    expose.xexpose.window = child();
    expose.xexpose.x = 12;
    expose.xexpose.y = 14;
    expose.xexpose.width = 4;
    expose.xexpose.height = 3;
    view->updates.clear();
    single(&expose);
    ASSERT_EQ(view->updates.size(), 1u);
    EXPECT_EQ(view->updates.front().left, 12);
    EXPECT_EQ(view->updates.front().bottom, 17);
    expose.xexpose.window = parent;
    halves(&expose);
    single(nullptr);
    EXPECT_EQ(view->updates.size(), 1u) << "events of other windows are left alone";
}

// ---- Edit box ----------------------------------------------------------------------------

class EndOfEdit : public gui::ControlListener {
  public:
    void valueChanged(gui::DrawContext*, gui::Control* control) override {
        char text[256] = {};
        static_cast<gui::TextField*>(control)->getText(text);
        texts.emplace_back(text);
    }
    std::vector<std::string> texts;
};

TEST_F(X11Test, TheEditBoxTakesTheKeyboardAndEndsOnReturn) {
    EndOfEdit listener;
    frame = std::make_unique<gui::Frame>(kFrameSize, windowHandle(parent), nullptr);
    auto* field = new gui::TextField({20, 20, 80, 36}, &listener, 1, "120", nullptr, 0);
    frame->addView(field);
    XSetInputFocus(display, parent, RevertToParent, CurrentTime);
    ASSERT_TRUE(idleUntil([&] { return !frame->isSomethingDirty(); }));
    movePointer(display, 40, 28);
    // The field reads the buttons when the click arrives, so the button stays down.
    setButton(display, 1, true);
    ASSERT_TRUE(idleUntil([&] { return frame->getFocusView() == field; }));
    setButton(display, 1, false);
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    EXPECT_EQ(focus, child());
    typeText(display, "14");
    typeKey(display, XK_BackSpace);
    typeText(display, "40");
    typeKey(display, XK_Return);
    ASSERT_TRUE(idleUntil([&] { return !listener.texts.empty(); }));
    EXPECT_EQ(listener.texts.front(), "140");
    EXPECT_EQ(frame->getFocusView(), nullptr);
    XGetInputFocus(display, &focus, &revert);
    EXPECT_EQ(focus, parent) << "the keyboard goes back where it was";
}

// ---- Drops -------------------------------------------------------------------------------

class X11DropTest : public X11Test {
  protected:
    /// Drags `data` as `types` onto the view's point (30, 25) and drops it.
    DropAnswers dragAndDrop(const std::vector<std::string>& types, const std::string& data) {
        DragSource source(display, types, data);
        movePointer(display, 30, 25);
        source.enterAndMove(child(), 30, 25);
        EXPECT_TRUE(idleUntil([&] {
            source.pump();
            return source.answers().statusSeen;
        }));
        source.drop();
        EXPECT_TRUE(idleUntil([&] {
            source.pump();
            return source.answers().finishedSeen;
        }));
        return source.answers();
    }
    Atom atom(const char* name) { return XInternAtom(display, name, False); }
};

TEST_F(X11DropTest, FilesArriveAsKindZeroWithLinksResolved) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tesk x11 drop";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "take.wav") << "x";
    std::filesystem::create_symlink(dir / "take.wav", dir / "link.wav");
    ProbeView* view = openFrame();
    const std::string uris = "# dragged\r\nfile://" + (dir / "take.wav").string() +
                             "\r\nhttp://example.invalid/x\r\nfile:///tesk%20x11%20drop/../" +
                             "\r\nfile://localhost" + (dir / "link.wav").string() + "\r\n";
    std::string encoded = uris;
    for (std::size_t at; (at = encoded.find(' ')) != std::string::npos;)
        encoded.replace(at, 1, "%20");
    const DropAnswers answers = dragAndDrop({"text/uri-list", "text/plain"}, encoded);
    EXPECT_TRUE(answers.statusAccepts);
    EXPECT_EQ(answers.statusAction, atom("XdndActionCopy"));
    EXPECT_TRUE(answers.finishedAccepted);
    EXPECT_EQ(answers.finishedAction, atom("XdndActionCopy"));
    EXPECT_EQ(view->dropKind, 0);
    ASSERT_EQ(view->dropCount, 3);
    EXPECT_EQ(view->dropped[0], (dir / "take.wav").string());
    EXPECT_EQ(view->dropped[1], "/tesk x11 drop/../");
    EXPECT_EQ(view->dropped[2], (dir / "take.wav").string()) << "the link's target";
    EXPECT_EQ(view->dropWhere.x, 30);
    EXPECT_EQ(view->dropWhere.y, 25);
    std::filesystem::remove_all(dir);
}

TEST_F(X11DropTest, TextArrivesAsKindOneWithItsTerminatorCounted) {
    ProbeView* view = openFrame();
    const DropAnswers answers =
        dragAndDrop({"image/png", "text/html", "application/x-thing", "UTF8_STRING"}, "dry 50%");
    EXPECT_TRUE(answers.finishedAccepted);
    EXPECT_EQ(view->dropKind, 1);
    EXPECT_EQ(view->dropCount, 8);
    ASSERT_EQ(view->dropped.size(), 1u);
    EXPECT_EQ(view->dropped[0], "dry 50%");
}

TEST_F(X11DropTest, ADropNoViewTakesIsAnsweredAsRefused) {
    ProbeView* view = openFrame({10, 10, 60, 50}, false);
    const DropAnswers answers = dragAndDrop({"text/plain;charset=utf-8"}, "hello");
    EXPECT_TRUE(answers.statusAccepts);
    EXPECT_FALSE(answers.finishedAccepted);
    EXPECT_EQ(answers.finishedAction, static_cast<Atom>(None));
    EXPECT_EQ(view->dropKind, 1) << "offered, and refused by the view";
}

TEST_F(X11DropTest, DataOfNoKnownTypeIsRefusedWithoutReachingTheViews) {
    ProbeView* view = openFrame();
    const DropAnswers answers = dragAndDrop({"image/png"}, "\x89PNG");
    EXPECT_FALSE(answers.statusAccepts);
    EXPECT_EQ(answers.statusAction, static_cast<Atom>(None));
    EXPECT_FALSE(answers.finishedAccepted);
    EXPECT_EQ(view->dropKind, -1);
}

// ---- Without shared memory ---------------------------------------------------------------

class X11WithoutShmTest : public X11Test {
  protected:
    std::vector<std::string> extraServerArguments() const override {
        return {"-extension", "MIT-SHM"};
    }
};

TEST_F(X11WithoutShmTest, PlainImageTransfersShowTheSamePixels) {
    ProbeView* view = openFrame();
    ASSERT_TRUE(idleUntil([&] { return view->draws > 0; }));
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(screenPixels(), surfacePixels());
}

} // namespace
} // namespace tesk::x11test
