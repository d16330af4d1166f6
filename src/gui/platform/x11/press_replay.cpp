#include "gui/platform/x11/press_replay.h"

#include "gui/platform/x11/error_trap.h"

namespace gui::x11 {
namespace {

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
/// motion, or a release when `releases` is set. A later press stops the search, and
/// so does a release when only motions are asked for.
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
        // Wheel steps are the host's business and never hold up a release.
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

software::PointerState serverPointer(Display* display) {
    software::PointerState state;
    if (display == nullptr) return state;
    ErrorTrap trap(display);
    ::Window root = 0;
    ::Window child = 0;
    int x = 0;
    int y = 0;
    unsigned mask = 0;
    if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &state.screen.x,
                      &state.screen.y, &x, &y, &mask))
        state.buttons = buttonState(mask);
    return state;
}

software::PointerState QueuedPointer::pressed(const XButtonEvent& press) {
    // An event's state is that from just before it: the pressed button is added.
    return {buttonState(press.state | maskOf(press.button)), {press.x_root, press.y_root}};
}

bool QueuedPointer::takeStep(software::PointerState& state) {
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
        state = {buttonState(event.xmotion.state), {event.xmotion.x_root, event.xmotion.y_root}};
    } else {
        state = {buttonState(event.xbutton.state & ~maskOf(event.xbutton.button)),
                 {event.xbutton.x_root, event.xbutton.y_root}};
    }
    return true;
}

} // namespace gui::x11
