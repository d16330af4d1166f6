// The X atoms this back end speaks, interned once per connection.
#pragma once

#include <X11/Xlib.h>

namespace gui::x11 {

/// Every atom named by the drop protocol, the text types we take and the event
/// procedure property.
struct Atoms {
    Atom xdndAware, xdndEnter, xdndPosition, xdndStatus, xdndLeave, xdndDrop, xdndFinished,
        xdndSelection, xdndTypeList, xdndActionCopy, uriList, utf8String, plainUtf8, plain,
        eventProc, dropProperty;

    /// Interns the atoms on `display` in one round trip; false when the server refuses.
    bool intern(Display* display);
};

} // namespace gui::x11
