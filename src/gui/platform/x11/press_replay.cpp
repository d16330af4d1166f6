#include "gui/platform/x11/press_replay.h"

#include "gui/platform/x11/error_trap.h"

namespace gui::x11 {
namespace {

// Each state is answered this many times before the next queued one is taken: a
// tracking loop asks for the cursor and for the buttons once a round, in either
// order, so three answers let one whole round see every position and the release
// come only after the position it was released at has been used.
constexpr int kAnswersPerStep = 3;

thread_local PressReplay* current = nullptr;

unsigned maskOf(unsigned button) {
    switch (button) {
    case Button1:
        return Button1Mask;
    case Button2:
        return Button2Mask;
    case Button3:
        return Button3Mask;
    default:
        return 0;
    }
}

bool isClickButton(unsigned button) {
    return button >= Button1 && button <= Button3;
}

/// Picks the window's next pointer event out of the queue for XCheckIfEvent: a
/// motion, or a release when `releases` is set. A later press stops the search (it
/// starts a click of its own), and so does a release when only motions are asked for.
struct StepFilter {
    ::Window window;
    bool releases;
    bool blocked = false;
};

Bool isNextStep(Display*, XEvent* event, XPointer arg) {
    auto* filter = reinterpret_cast<StepFilter*>(arg);
    if (filter->blocked || event->xany.window != filter->window) return False;
    switch (event->type) {
    case MotionNotify:
        return True;
    case ButtonRelease:
        if (!isClickButton(event->xbutton.button)) return False;
        if (filter->releases) return True;
        filter->blocked = true;
        return False;
    case ButtonPress:
        // Wheel steps are the host's business and never block a release.
        if (isClickButton(event->xbutton.button)) filter->blocked = true;
        return False;
    default:
        return False;
    }
}

} // namespace

ButtonState buttonState(unsigned mask) {
    ButtonState state = 0;
    if ((mask & Button1Mask) != 0) state |= kPrimaryButton;
    if ((mask & Button2Mask) != 0) state |= kMiddleButton;
    if ((mask & Button3Mask) != 0) state |= kSecondaryButton;
    if ((mask & ShiftMask) != 0) state |= kShift;
    if ((mask & ControlMask) != 0) state |= kControl;
    if ((mask & Mod1Mask) != 0) state |= kAlt;
    return state;
}

PressReplay::PressReplay(Display* display, ::Window window, const XButtonEvent& press)
    : display_(display), window_(window), answersLeft_(kAnswersPerStep), outer_(current) {
    // An event's state is that from just before it: the pressed button is added.
    state_.buttons = buttonState(press.state | maskOf(press.button));
    state_.root = {press.x_root, press.y_root};
    current = this;
}

PressReplay::~PressReplay() {
    if (current == this) current = outer_;
}

PressReplay* PressReplay::active() {
    return current;
}

void PressReplay::windowGone(::Window window) {
    if (current != nullptr && current->window_ == window) current->display_ = nullptr;
}

PointerState PressReplay::answer() {
    if (answersLeft_ == 0) {
        if (takeStep()) {
            answersLeft_ = kAnswersPerStep;
        } else {
            askServer();
        }
    }
    if (answersLeft_ > 0) --answersLeft_;
    return state_;
}

bool PressReplay::takeStep() {
    if (display_ == nullptr) return false;
    ErrorTrap trap(display_);
    XEvent event;
    StepFilter first{window_, true};
    if (!XCheckIfEvent(display_, &event, &isNextStep, reinterpret_cast<XPointer>(&first)))
        return false;
    // Motions in a row make one step: only where the pointer got to matters.
    StepFilter more{window_, false};
    XEvent next;
    while (event.type == MotionNotify &&
           XCheckIfEvent(display_, &next, &isNextStep, reinterpret_cast<XPointer>(&more))) {
        event = next;
        more.blocked = false;
    }
    if (event.type == MotionNotify) {
        state_.buttons = buttonState(event.xmotion.state);
        state_.root = {event.xmotion.x_root, event.xmotion.y_root};
    } else {
        state_.buttons = buttonState(event.xbutton.state & ~maskOf(event.xbutton.button));
        state_.root = {event.xbutton.x_root, event.xbutton.y_root};
    }
    return true;
}

void PressReplay::askServer() {
    if (display_ == nullptr) {
        state_.buttons = 0;
        return;
    }
    ErrorTrap trap(display_);
    ::Window root = 0;
    ::Window child = 0;
    int x = 0;
    int y = 0;
    unsigned mask = 0;
    if (XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &state_.root.x,
                      &state_.root.y, &x, &y, &mask))
        state_.buttons = buttonState(mask);
}

} // namespace gui::x11
