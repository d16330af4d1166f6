// The frame's child window on X11. Xlib rather than xcb: hosts that hand events to
// a plug-in window through the _XEventProc property pass Xlib event records, and the
// MIT-SHM images and the resource database come with Xlib; the one drawback, its
// process-wide error handler, is kept in check by ErrorTrap.
//
// Each window has its own connection to the server, so nothing of ours shares
// Xlib's state with the host. Events are read when the editor idles (and while a
// control tracks the mouse); exposed areas are merged and painted once per reading.
// A press is delivered with a replay of the pointer events queued behind it, so a
// click is never lost to a host that idles late.
#pragma once

#include "gui/platform/platform.h"
#include "gui/platform/software/pixel_surface.h"
#include "gui/platform/software/press_replay.h"
#include "gui/platform/x11/atoms.h"
#include "gui/platform/x11/screen_image.h"
#include "gui/platform/x11/x11_drop_target.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace gui::x11 {

class X11EditBox;

/// A child of the host's window showing the frame's pixels. GUI thread only.
class X11Window final : public platform::Window {
  public:
    /// Makes a mapped child of `parent` of `size`'s width and height on a connection of
    /// its own; null when the server, the parent or a suitable visual is missing.
    static std::unique_ptr<X11Window> open(::Window parent, const Rect& size, Frame* frame);
    /// Destroys the window (unless the host already has) and closes the connection.
    ~X11Window() override;
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    /// Screen position of the window's top-left corner, asked of the server.
    Point origin() const override;
    /// The window's pixels, drawn on directly.
    platform::Surface& acquireSurface() override { return pixels_; }
    /// Puts the pixels that changed since they were last shown on the screen.
    void releaseSurface() override;
    /// The same, in the middle of an event: what a tracking control drew so far.
    void flush() override;
    /// Handles every queued event of the window, then paints what was exposed.
    void dispatchEvents() override;
    /// The window's own connection to the server.
    int eventDescriptor() const override;

    /// Handles one event a host read on its own connection (the _XEventProc way).
    void takeEvent(const XEvent& event);
    /// Takes queued exposures only and paints them; true when there were any.
    bool paintExposed();

    /// Gives `box` the keyboard: key presses and focus changes reach it from now on.
    void beginEdit(X11EditBox& box);
    /// Gives the keyboard back to whoever had it and repaints the box's `area`.
    void endEdit(const Rect& area);

    /// The X window id.
    ::Window id() const { return window_; }
    /// The window's own connection.
    Display* display() const { return display_; }

    /// The oldest window alive on this thread, or null.
    static X11Window* oldestLive();
    /// The next younger window alive on this thread, or null.
    X11Window* nextLive() const { return nextLive_; }

  private:
    X11Window(Display* display, const Rect& size, Frame* frame);
    bool build(::Window parent);
    void handle(const XEvent& event);
    void buttonPress(const XButtonEvent& event);
    void keyPress(const XKeyEvent& event);
    void focusOut(const XFocusChangeEvent& event);
    void destroyed();
    void expose(const Rect& area);
    void paintDamage();
    void show(std::optional<Rect> forced);
    std::optional<Rect> changedArea(std::optional<Rect> touched) const;
    std::uint32_t pressTime(Time serverTime);
    void remember(const Rect& area);

    Display* display_;
    Atoms atoms_{};
    ::Window window_ = 0;
    Colormap colormap_ = 0;
    GC gc_ = nullptr;
    XVisualInfo visual_{};
    std::unique_ptr<ScreenImage> image_;
    software::PixelSurface pixels_;
    std::vector<std::uint8_t> shown_;
    std::optional<Rect> damage_;
    std::optional<DropTarget> dropTarget_;
    X11EditBox* editBox_ = nullptr;
    software::PressReplay* replay_ = nullptr; ///< the press being delivered, if any
    ::Window focusBefore_ = 0;
    int revertBefore_ = RevertToParent;
    Time lastKeyTime_ = 0;
    unsigned lastKeyCode_ = 0;
    bool lastKeyForwarded_ = false;
    bool forwarding_ = false; ///< handling an event the host read on its connection
    std::optional<std::uint32_t> clockOffset_;
    bool destroyed_ = false;
    X11Window* nextLive_ = nullptr;
};

} // namespace gui::x11
