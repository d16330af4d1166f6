// The _XEventProc convention of some Linux hosts: a plug-in window carries, in a
// property of that name, the address of a function taking an Xlib event; the host
// reads it and calls it with events it read on its own connection.
#pragma once

#include <X11/Xlib.h>

namespace gui::x11 {

/// Publishes our event procedure on `window`; nothing when no address both 32-bit and
/// 64-bit readers of the property understand can be had.
void publishEventProc(Display* display, ::Window window, Atom property);

} // namespace gui::x11
