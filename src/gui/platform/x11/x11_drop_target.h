// Drops from other applications through the XDND protocol (version 5): the window
// announces itself, answers the source's position messages, fetches the dropped
// data through the XdndSelection, hands it to the frame and tells the source the
// outcome.
#pragma once

#include "gui/platform/x11/atoms.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>

namespace gui::x11 {

/// Hands dropped items to the frame (kind 0 file paths, 1 text); the frame's answer.
using DropDelivery = std::function<bool(void** items, std::int32_t count, std::int32_t kind)>;

/// The drop state of one window. GUI thread only.
class DropTarget {
  public:
    /// Serves `window` on `display`, handing drops to `deliver`.
    DropTarget(Display* display, ::Window window, const Atoms& atoms, DropDelivery deliver);

    /// Marks the window as a drop target of our protocol version.
    void announce() const;
    /// Handles one of the protocol's client messages; false for any other message.
    bool handleMessage(const XClientMessageEvent& message);
    /// Takes the data the source sent for a drop, delivers it and answers the source.
    void handleSelection(const XSelectionEvent& event);

  private:
    void enter(const XClientMessageEvent& message);
    void position(const XClientMessageEvent& message);
    void drop(const XClientMessageEvent& message);
    void leave();
    Atom chooseType(const Atom* offered, unsigned long count) const;
    void readTypeList();
    void send(::Window to, Atom type, long l1, long l2, long l3, long l4) const;
    void finish(bool accepted);
    bool deliverData(const std::string& data);
    bool deliverFiles(const std::string& uriList);
    bool deliverText(const std::string& text);

    Display* display_;
    ::Window window_;
    const Atoms& atoms_;
    DropDelivery deliver_;
    ::Window source_ = 0;
    long version_ = 0;
    Atom type_ = None;
    bool waitingForData_ = false;
};

} // namespace gui::x11
