// What the X11 tests share: an Xvfb server of their own, XTEST input, window
// captures and a small XDND drag source.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tesk::x11test {

/// An Xvfb server on a free display number, started with -displayfd; DISPLAY names it
/// while it runs.
class Xvfb {
  public:
    /// True when the Xvfb program can be found.
    static bool installed();
    /// Starts the server with `extra` arguments (such as "-extension", "MIT-SHM").
    explicit Xvfb(const std::vector<std::string>& extra = {});
    /// Stops the server.
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    /// True when the server answered with its display number.
    bool running() const { return pid_ > 0 && !name_.empty(); }
    /// The display name, such as ":12".
    const std::string& name() const { return name_; }

  private:
    int pid_ = -1;
    std::string name_;
};

/// In a child between fork and exec: points its standard output and error at
/// /dev/null, with calls that are safe there (freopen is not, in a threaded parent).
void silenceOutput();

/// Calls `step` and checks `done` until it holds or `timeout` passes; its last answer.
bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

/// A mapped top-level window of `width` × `height` at (0, 0) on `display`.
::Window makeTopLevel(Display* display, int width, int height);
/// The first child of `parent`, or 0.
::Window firstChild(Display* display, ::Window parent);

/// Moves the pointer to screen position (x, y) through XTEST.
void movePointer(Display* display, int x, int y);
/// Presses (`down`) or releases mouse button `button` through XTEST.
void setButton(Display* display, unsigned button, bool down);
/// Presses (`down`) or releases the key of `symbol` through XTEST.
void setKey(Display* display, unsigned long symbol, bool down);
/// Presses and releases the key of `symbol`, with shift held when `shift`.
void typeKey(Display* display, unsigned long symbol, bool shift = false);
/// Types each character of `text` (letters, digits, space and '.').
void typeText(Display* display, const std::string& text);

/// The pixels of `window` as packed RGB rows, read with XGetImage.
std::vector<std::uint8_t> captureRgb(Display* display, ::Window window, int width, int height);

/// The answers a drag source received from the target.
struct DropAnswers {
    bool statusSeen = false;
    bool statusAccepts = false;
    Atom statusAction = None;
    bool finishedSeen = false;
    bool finishedAccepted = false;
    Atom finishedAction = None;
};

/// A drag source of our own speaking XDND version 5: offers `data` under the given
/// MIME types (more than three go through XdndTypeList) and serves it on request.
class DragSource {
  public:
    /// Makes the source's (unmapped) window on `display`.
    DragSource(Display* display, std::vector<std::string> types, std::string data);
    ~DragSource();
    DragSource(const DragSource&) = delete;
    DragSource& operator=(const DragSource&) = delete;

    /// Sends XdndEnter and an XdndPosition at screen point (x, y) to `target`.
    void enterAndMove(::Window target, int x, int y);
    /// Sends XdndDrop.
    void drop();
    /// Reads the source's events: answers data requests, records status and finish.
    void pump();
    /// What the target has answered so far.
    const DropAnswers& answers() const { return answers_; }

  private:
    void send(Atom type, long l1, long l2, long l3, long l4);
    void serve(const XSelectionRequestEvent& request);

    Display* display_;
    ::Window window_;
    ::Window target_ = 0;
    std::vector<Atom> types_;
    std::string data_;
    DropAnswers answers_;
};

} // namespace tesk::x11test
