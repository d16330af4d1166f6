// What the input queries answer while a window delivers a press. The controls poll
// "buttons now" and "cursor now" while they track the mouse, but hosts run our
// events at their idle, often after the button is up again: asking the system then
// would lose every quick click. Instead the press and the pointer events queued
// behind it are replayed in their order, each held long enough for one whole round
// of a tracking loop to see it. The window system gives the events (PressSource);
// this part decides when the next one counts.
#pragma once

#include "gui/geometry.h"

namespace gui::software {

/// The pointer as one event (or the system) gave it.
struct PointerState {
    ButtonState buttons = 0;
    Point screen;
};

/// Where a replay takes its steps from: one window's queued pointer events.
class PressSource {
  public:
    virtual ~PressSource() = default;
    /// Takes the window's next queued motion (a run of them counts as one) or button
    /// release out of the queue into `state`; false when none is queued or a further
    /// press comes first (it starts a click of its own and stays queued).
    virtual bool takeStep(PointerState& state) = 0;
    /// The system's pointer state at the moment of asking.
    virtual PointerState now() = 0;
};

/// Replays one press. Lives on the stack of the press's delivery; GUI thread only.
class PressReplay {
  public:
    /// Starts at `press`; the queries of this thread are answered by it from now on.
    PressReplay(PressSource& source, const PointerState& press);
    /// Ends the replay; the queries go back to the system.
    ~PressReplay();
    PressReplay(const PressReplay&) = delete;
    PressReplay& operator=(const PressReplay&) = delete;

    /// One query's answer: the state in force, after taking the next queued step once
    /// the state has been answered often enough; the system's state when nothing of
    /// the window is queued.
    PointerState answer();
    /// Stops reading from the source (its window is gone); the buttons read as up.
    void detach() { source_ = nullptr; }
    /// The replay being delivered on this thread, or null.
    static PressReplay* active();

  private:
    PressSource* source_;
    PointerState state_;
    int answersLeft_;
    PressReplay* outer_;
};

} // namespace gui::software
