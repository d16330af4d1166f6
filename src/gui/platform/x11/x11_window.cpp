#include "gui/platform/x11/x11_window.h"

#include "gui/platform/x11/error_trap.h"
#include "gui/platform/x11/event_proc.h"
#include "gui/platform/x11/press_replay.h"
#include "gui/platform/x11/x11.h"
#include "gui/platform/x11/x11_edit_box.h"

#include <algorithm>
#include <cstring>

namespace gui::x11 {
namespace {

// Releases and drags are selected too: with the implicit grab of a press they reach
// this window wherever the pointer goes, and the press's replay reads them.
constexpr long kEventMask =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | StructureNotifyMask;
// Only while editing: at other times keys go on to the host, which forwards them.
constexpr long kEditMask = KeyPressMask | FocusChangeMask;

// Pointer events while a control tracks the mouse stay queued: the press's replay
// reads the motions and the release in their order, and a further click waits for
// the tracking to end rather than start a second loop inside the first.
int buttonsBeingDelivered = 0;

Bool takeable(Display*, XEvent* event, XPointer) {
    const bool pointer =
        event->type == ButtonPress || event->type == ButtonRelease || event->type == MotionNotify;
    return !pointer || buttonsBeingDelivered == 0;
}

// The windows alive on this thread, oldest first, linked through the windows
// themselves: a thread_local container would have a destructor, which makes the C
// runtime keep the module loaded until the thread ends.
thread_local X11Window* liveWindows = nullptr;

} // namespace

// ---- Life --------------------------------------------------------------------------

X11Window::X11Window(Display* display, const Rect& size, Frame* frame)
    : Window(frame), display_(display),
      pixels_(std::max(size.width(), 1), std::max(size.height(), 1), nullptr),
      shown_(pixels_.rgb()) {
    adoptConnection(display_);
    X11Window** link = &liveWindows;
    while (*link != nullptr)
        link = &(*link)->nextLive_;
    *link = this;
}

std::unique_ptr<X11Window> X11Window::open(::Window parent, const Rect& size, Frame* frame) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    std::unique_ptr<X11Window> window(new X11Window(display, size, frame));
    if (!window->build(parent)) return nullptr;
    return window;
}

bool X11Window::build(::Window parent) {
    ErrorTrap trap(display_);
    XWindowAttributes parentAttributes{};
    if (!atoms_.intern(display_) || !XGetWindowAttributes(display_, parent, &parentAttributes) ||
        !XMatchVisualInfo(display_, XScreenNumberOfScreen(parentAttributes.screen), 24, TrueColor,
                          &visual_))
        return false;
    // Our own visual and colour map: the host's window may use another depth.
    colormap_ = XCreateColormap(display_, parent, visual_.visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap_;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None; // we paint every exposed pixel ourselves
    attributes.event_mask = kEventMask;
    window_ = XCreateWindow(display_, parent, 0, 0, static_cast<unsigned>(pixels_.width()),
                            static_cast<unsigned>(pixels_.height()), 0, visual_.depth, InputOutput,
                            visual_.visual, CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask,
                            &attributes);
    if (trap.failed()) return false;
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    image_ = std::make_unique<ScreenImage>(display_, visual_, pixels_.width(), pixels_.height());
    if (!image_->valid()) return false;
    dropTarget_.emplace(display_, window_, atoms_,
                        [this](void** items, std::int32_t count, std::int32_t kind) {
                            return deliverDrop(items, count, kind);
                        });
    dropTarget_->announce();
    publishEventProc(display_, window_, atoms_.eventProc);
    XMapWindow(display_, window_);
    return !trap.failed();
}

X11Window::~X11Window() {
    X11Window** link = &liveWindows;
    while (*link != nullptr && *link != this)
        link = &(*link)->nextLive_;
    if (*link == this) *link = nextLive_;
    {
        ErrorTrap trap(display_);
        image_.reset();
        if (gc_ != nullptr) XFreeGC(display_, gc_);
        if (window_ != 0 && !destroyed_) XDestroyWindow(display_, window_);
        if (colormap_ != 0) XFreeColormap(display_, colormap_);
        XSync(display_, False);
    }
    releaseConnection(display_);
    std::lock_guard lock(extensionLock());
    XCloseDisplay(display_);
}

X11Window* X11Window::oldestLive() {
    return liveWindows;
}

Point X11Window::origin() const {
    if (destroyed_) return {};
    ErrorTrap trap(display_);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y,
                               &child))
        return {};
    return {x, y};
}

// ---- Events ------------------------------------------------------------------------

int X11Window::eventDescriptor() const {
    return ConnectionNumber(display_);
}

void X11Window::dispatchEvents() {
    if (destroyed_) return;
    ErrorTrap trap(display_);
    XEvent event;
    while (!destroyed_ && XCheckIfEvent(display_, &event, &takeable, nullptr))
        handle(event);
    paintDamage();
}

void X11Window::takeEvent(const XEvent& event) {
    if (destroyed_) return;
    ErrorTrap trap(display_);
    forwarding_ = true;
    handle(event);
    forwarding_ = false;
    paintDamage();
}

bool X11Window::paintExposed() {
    if (destroyed_) return false;
    ErrorTrap trap(display_);
    XEvent event;
    while (XCheckTypedWindowEvent(display_, window_, Expose, &event))
        handle(event);
    const bool painted = damage_.has_value();
    paintDamage();
    return painted;
}

void X11Window::handle(const XEvent& event) {
    if (event.xany.window != window_ || destroyed_) return;
    switch (event.type) {
    case Expose:
        expose({event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                event.xexpose.y + event.xexpose.height});
        break;
    case ButtonPress:
        buttonPress(event.xbutton);
        break;
    case KeyPress:
        keyPress(event.xkey);
        break;
    case FocusOut:
        focusOut(event.xfocus);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == window_) destroyed();
        break;
    case ClientMessage:
        dropTarget_->handleMessage(event.xclient);
        break;
    case SelectionNotify:
        dropTarget_->handleSelection(event.xselection);
        break;
    default:
        break;
    }
}

void X11Window::buttonPress(const XButtonEvent& event) {
    // Buttons 4 and up are wheel steps, which the host delivers to the editor itself.
    if (event.button < Button1 || event.button > Button3) return;
    // The frame must have painted before it takes a click.
    paintDamage();
    QueuedPointer queue(display_, window_);
    software::PressReplay replay(queue, QueuedPointer::pressed(event));
    replay_ = &replay;
    platform::WindowEvent click;
    click.kind = platform::WindowEvent::Kind::buttonDown;
    click.where = {event.x, event.y};
    // The event's state is that from just before the press.
    click.buttons = buttonState(event.state | (Button1Mask << (event.button - Button1)));
    click.screen = {event.x_root, event.y_root};
    click.time = pressTime(event.time);
    ++buttonsBeingDelivered;
    deliver(click);
    --buttonsBeingDelivered;
    replay_ = nullptr;
}

// Server times count from the server's start; one offset, taken at the first press,
// brings them onto the tick clock so that the gaps between presses stay exact.
std::uint32_t X11Window::pressTime(Time serverTime) {
    const auto time = static_cast<std::uint32_t>(serverTime);
    if (!clockOffset_) clockOffset_ = platform::tickCount() - time;
    return time + *clockOffset_;
}

void X11Window::keyPress(const XKeyEvent& event) {
    // A host that forwards events may hand over a press our connection read too; the
    // same key twice within one millisecond on one path is just fast typing.
    if (event.time == lastKeyTime_ && event.keycode == lastKeyCode_ &&
        forwarding_ != lastKeyForwarded_)
        return;
    lastKeyTime_ = event.time;
    lastKeyCode_ = event.keycode;
    lastKeyForwarded_ = forwarding_;
    if (editBox_ != nullptr) editBox_->press(event);
}

void X11Window::focusOut(const XFocusChangeEvent& event) {
    // Grabs (a click anywhere), moves into our own window and the notices about the
    // window under the pointer keep the edit going.
    if (editBox_ == nullptr || event.mode == NotifyGrab || event.mode == NotifyUngrab ||
        event.detail == NotifyInferior || event.detail == NotifyPointer)
        return;
    editBox_->loseFocus();
}

void X11Window::destroyed() {
    destroyed_ = true;
    if (replay_ != nullptr) replay_->detach();
    damage_.reset();
    deliverDestroy();
}

// ---- Painting ----------------------------------------------------------------------

void X11Window::expose(const Rect& area) {
    damage_ = damage_ ? unite(*damage_, area) : area;
}

void X11Window::paintDamage() {
    if (!damage_ || destroyed_) return;
    const Rect area = *damage_;
    damage_.reset();
    platform::WindowEvent event;
    event.kind = platform::WindowEvent::Kind::paint;
    event.area = area;
    event.surface = &pixels_;
    deliver(event);
    // The edit box lies over the frame, as a child window would.
    if (editBox_ != nullptr) editBox_->paint(pixels_);
    show(area);
}

void X11Window::releaseSurface() {
    flush();
}

void X11Window::flush() {
    if (destroyed_) return;
    ErrorTrap trap(display_);
    show(std::nullopt);
    XFlush(display_);
}

void X11Window::show(std::optional<Rect> forced) {
    const Rect whole{0, 0, pixels_.width(), pixels_.height()};
    if (forced) {
        forced = Rect{std::max(forced->left, 0), std::max(forced->top, 0),
                      std::min(forced->right, whole.right), std::min(forced->bottom, whole.bottom)};
    }
    std::optional<Rect> area = changedArea(pixels_.takeTouched());
    if (forced && forced->width() > 0 && forced->height() > 0)
        area = area ? unite(*area, *forced) : *forced;
    if (!area) return;
    image_->put(window_, gc_, pixels_, *area);
    remember(*area);
}

// The bounding box of the pixels within `touched` that differ from those last shown:
// drawing a knob sends only the knob, and drawing what is already there sends nothing.
std::optional<Rect> X11Window::changedArea(std::optional<Rect> touched) const {
    if (!touched) return std::nullopt;
    const std::uint8_t* now = pixels_.rgb().data();
    const std::uint8_t* before = shown_.data();
    const auto rowBytes = static_cast<std::size_t>(pixels_.width()) * 3;
    const auto left = static_cast<std::size_t>(touched->left) * 3;
    const auto span = static_cast<std::size_t>(touched->width()) * 3;
    std::optional<Rect> area;
    for (std::int32_t y = touched->top; y < touched->bottom; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * rowBytes + left;
        if (std::memcmp(now + row, before + row, span) == 0) continue;
        std::size_t first = 0;
        while (now[row + first] == before[row + first])
            ++first;
        std::size_t last = span - 1;
        while (now[row + last] == before[row + last])
            --last;
        const Rect changed{touched->left + static_cast<std::int32_t>(first / 3), y,
                           touched->left + static_cast<std::int32_t>(last / 3) + 1, y + 1};
        area = area ? unite(*area, changed) : changed;
    }
    return area;
}

void X11Window::remember(const Rect& area) {
    const auto rowBytes = static_cast<std::size_t>(pixels_.width()) * 3;
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const std::size_t from = static_cast<std::size_t>(y) * rowBytes + area.left * 3;
        std::memcpy(shown_.data() + from, pixels_.rgb().data() + from,
                    static_cast<std::size_t>(area.width()) * 3);
    }
}

// ---- Keyboard ----------------------------------------------------------------------

void X11Window::beginEdit(X11EditBox& box) {
    editBox_ = &box;
    if (destroyed_) return;
    ErrorTrap trap(display_);
    XGetInputFocus(display_, &focusBefore_, &revertBefore_);
    XSelectInput(display_, window_, kEventMask | kEditMask);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
}

void X11Window::endEdit(const Rect& area) {
    editBox_ = nullptr;
    if (destroyed_) return;
    ErrorTrap trap(display_);
    XSelectInput(display_, window_, kEventMask);
    // Whoever had the keyboard gets it back, if their window still exists (an error
    // here is trapped and harmless).
    if (focusBefore_ != None && focusBefore_ != window_)
        XSetInputFocus(display_, focusBefore_, revertBefore_, CurrentTime);
    expose(area);
}

unsigned long windowId(const platform::Window* window) {
    return window != nullptr ? static_cast<const X11Window*>(window)->id() : 0;
}

} // namespace gui::x11

namespace gui::platform {

std::unique_ptr<Window> Window::create(void* parent, const Rect& size, Frame* frame) {
    if (parent == nullptr) return nullptr;
    return x11::X11Window::open(static_cast<::Window>(reinterpret_cast<std::uintptr_t>(parent)),
                                size, frame);
}

} // namespace gui::platform
