#include "gui/platform/x11/error_trap.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace gui::x11 {
namespace {

// Hosts open editors on threads of their own, several at once, and Xlib may
// call the handler for a host connection on a host thread while ours is
// installed: the connections, their error counts and the traps open are kept
// under one lock. The handler itself takes it only to count.
struct Connection {
    Display* display;
    unsigned long errors;
};

std::mutex trapMutex;
std::vector<Connection> connections;
int openTraps = 0;
std::atomic<XErrorHandler> previousHandler{nullptr};

Connection* find(Display* display) {
    const auto found = std::find_if(connections.begin(), connections.end(),
                                    [&](const Connection& c) { return c.display == display; });
    return found != connections.end() ? &*found : nullptr;
}

int onError(Display* display, XErrorEvent* error) {
    {
        std::lock_guard lock(trapMutex);
        if (Connection* ours = find(display)) {
            ++ours->errors;
            return 0;
        }
    }
    const XErrorHandler previous = previousHandler.load();
    return previous != nullptr ? previous(display, error) : 0;
}

unsigned long errorsOf(Display* display) {
    std::lock_guard lock(trapMutex);
    const Connection* ours = find(display);
    return ours != nullptr ? ours->errors : 0;
}

// Only waits when a request has not been answered yet: an idle with nothing to do
// then costs no round trip.
void syncIfOutstanding(Display* display) {
    if (NextRequest(display) - 1 != LastKnownRequestProcessed(display)) XSync(display, False);
}

} // namespace

void adoptConnection(Display* display) {
    std::lock_guard lock(trapMutex);
    connections.push_back({display, 0});
}

void releaseConnection(Display* display) {
    std::lock_guard lock(trapMutex);
    std::erase_if(connections, [&](const Connection& c) { return c.display == display; });
}

ErrorTrap::ErrorTrap(Display* display) : display_(display), errorsBefore_(errorsOf(display)) {
    std::lock_guard lock(trapMutex);
    if (openTraps++ == 0) previousHandler = XSetErrorHandler(&onError);
}

ErrorTrap::~ErrorTrap() {
    syncIfOutstanding(display_);
    std::lock_guard lock(trapMutex);
    if (--openTraps > 0) return;
    // Someone who replaced our handler meanwhile keeps theirs.
    const XErrorHandler current = XSetErrorHandler(previousHandler.load());
    if (current != &onError) XSetErrorHandler(current);
}

bool ErrorTrap::failed() {
    XSync(display_, False);
    return errorsOf(display_) != errorsBefore_;
}

} // namespace gui::x11
