// What the X11 tests share: an Xvfb server of their own, XTEST input, window
// captures and a small XDND drag source.
#pragma once

#include <X11/Xlib.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tesk::x11test {

/// True when `program` is found on the PATH.
bool installed(const std::string& program);
/// The failure message of a test that needs `program`: the Debian package that brings it.
std::string notInstalled(const std::string& program, const std::string& package);

/// To be called in a child just forked from `parent`: the child gets SIGTERM when the
/// test program ends, even by a crash, so that no server or host it started outlives it.
void endWithParent(pid_t parent);

/// An Xvfb server on a free display number, started with -displayfd; DISPLAY names it
/// while it runs.
class Xvfb {
  public:
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
/// The default is long enough for a sanitizer build on a loaded machine: it bounds
/// only how long a test takes to fail.
bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(20000));

/// A mapped top-level window of `width` × `height` at (0, 0) on `display`.
::Window makeTopLevel(Display* display, int width, int height);
/// The first child of `parent`, or 0.
::Window firstChild(Display* display, ::Window parent);
/// The window that has the keyboard focus.
::Window focusWindow(Display* display);

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

/// Other clients make, place and destroy windows while a test looks at them: from
/// the first call on, reading a window that is gone or not wholly on the screen
/// fails (XQueryTree, XGetWindowAttributes and the like return 0, a capture is empty)
/// instead of ending the program, so that the test can look again. Every other error
/// goes to the handler Xlib had. Call it before any other thread uses Xlib.
void tolerateWindowsInPassing();
/// The pixels of `window` as packed RGB rows, read with XGetImage; none while the
/// window cannot be read (see tolerateWindowsInPassing, which it calls).
std::vector<std::uint8_t> captureRgb(Display* display, ::Window window, int width, int height);
/// True when packed RGB pixels show a picture, far from one flat colour: more than a
/// tenth of them differ from the first.
bool showsPicture(const std::vector<std::uint8_t>& rgb);
/// The editor as `tool` (tesk-snapshot) draws it with `options` (such as "--program 3"),
/// as packed RGB rows; empty when the tool failed.
std::vector<std::uint8_t> snapshotRgb(const std::string& tool, const std::string& options);

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
