// What the X11 back end offers besides the platform boundary: the X window of a
// frame, for tools and tests that look at it from another connection. Includes no
// X11 header.
#pragma once

#include "gui/platform/platform.h"

namespace gui::x11 {

/// The X window id of a frame's window made by this back end; 0 for null.
unsigned long windowId(const platform::Window* window);

} // namespace gui::x11
