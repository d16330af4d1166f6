// The X11 side of the press replay: the window's queued motion and release events,
// and the server's pointer state.
#pragma once

#include "gui/platform/software/press_replay.h"

#include <X11/Xlib.h>

namespace gui::x11 {

/// The toolkit's button and modifier bits of an X state mask.
ButtonState buttonState(unsigned mask);
/// The pointer as the server has it now; no buttons without a connection.
software::PointerState serverPointer(Display* display);

/// The pointer events of one window, read from its connection's queue.
class QueuedPointer final : public software::PressSource {
  public:
    QueuedPointer(Display* display, ::Window window) : display_(display), window_(window) {}
    /// The state a press event gives: its button held from now on.
    static software::PointerState pressed(const XButtonEvent& press);
    bool takeStep(software::PointerState& state) override;
    software::PointerState now() override { return serverPointer(display_); }

  private:
    Display* display_;
    ::Window window_;
};

} // namespace gui::x11
