// What the input queries answer while a window delivers a press. The controls poll
// "buttons now" and "cursor now" while they track the mouse, but the host runs our
// events at its idle, often after the button is up again: asking the server then
// would lose every quick click. Instead the press and the pointer events queued
// behind it are replayed in their order, each held long enough for one whole round
// of a tracking loop to see it.
#pragma once

#include "gui/geometry.h"

#include <X11/Xlib.h>

#include <cstdint>

namespace gui::x11 {

/// The pointer as one event (or the server) gave it.
struct PointerState {
    ButtonState buttons = 0;
    Point root; ///< screen position
};

/// The toolkit's button and modifier bits of an X state mask.
ButtonState buttonState(unsigned mask);

/// Replays one press of `window` and the motion and release events queued after it.
/// Lives on the stack of the press's delivery; GUI thread only.
class PressReplay {
  public:
    /// Starts at `press`: the button it pressed is held from the first query on.
    PressReplay(Display* display, ::Window window, const XButtonEvent& press);
    /// Ends the replay; the queries go back to the server.
    ~PressReplay();
    PressReplay(const PressReplay&) = delete;
    PressReplay& operator=(const PressReplay&) = delete;

    /// One query's answer: the state in force, after taking the next queued step once
    /// the state has been answered often enough; the server's state when nothing of
    /// the window is queued.
    PointerState answer();
    /// The replay being delivered on this thread, or null.
    static PressReplay* active();
    /// Ends the replay of `window`'s press when the window goes away mid-delivery.
    static void windowGone(::Window window);

  private:
    bool takeStep();
    void askServer();

    Display* display_;
    ::Window window_;
    PointerState state_;
    int answersLeft_;
    PressReplay* outer_;
};

} // namespace gui::x11
