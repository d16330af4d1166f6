// Xlib reports a failed request through one error handler for the whole process,
// whose default ends the program. A plug-in shares that handler with its host, so
// ours is installed only while this back end works on its own connections, and
// errors on them (a parent window the host destroyed, a bad window id) are counted
// instead of ending the host.
#pragma once

#include <X11/Xlib.h>

namespace gui::x11 {

/// Marks `display` as ours: its errors are counted, never fatal. Any editor's thread.
void adoptConnection(Display* display);
/// Forgets `display` before it is closed.
void releaseConnection(Display* display);

/// Keeps our error handler installed for its lifetime (nested traps share it) and
/// waits for the server on leaving, so that every error of the requests made inside
/// arrives while the handler is ours. Errors on other connections go to the handler
/// that was there before. Traps may be open on several editors' threads at once,
/// each on its own connection, whose errors alone it sees.
class ErrorTrap {
  public:
    /// Installs the handler (if no trap is open yet) for requests on `display`.
    explicit ErrorTrap(Display* display);
    /// Waits for the server if requests are outstanding; puts the previous handler back.
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    /// Waits for the server; true when any request on our connections failed since the
    /// trap was opened.
    bool failed();

  private:
    Display* display_;
    unsigned long errorsBefore_;
};

} // namespace gui::x11
