#include "gui/platform/x11/error_trap.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace gui::x11 {
namespace {

// Xlib may call the handler for a host connection on a host thread while ours is
// installed, so the list of our connections is guarded.
std::mutex connectionsMutex;
std::vector<Display*> connections;

XErrorHandler previousHandler = nullptr;
int openTraps = 0;
unsigned long errorCount = 0;

bool isOurs(Display* display) {
    std::lock_guard lock(connectionsMutex);
    return std::find(connections.begin(), connections.end(), display) != connections.end();
}

int onError(Display* display, XErrorEvent* error) {
    if (isOurs(display)) {
        ++errorCount;
        return 0;
    }
    return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

// Only waits when a request has not been answered yet: an idle with nothing to do
// then costs no round trip.
void syncIfOutstanding(Display* display) {
    if (NextRequest(display) - 1 != LastKnownRequestProcessed(display)) XSync(display, False);
}

} // namespace

void adoptConnection(Display* display) {
    std::lock_guard lock(connectionsMutex);
    connections.push_back(display);
}

void releaseConnection(Display* display) {
    std::lock_guard lock(connectionsMutex);
    std::erase(connections, display);
}

ErrorTrap::ErrorTrap(Display* display) : display_(display), errorsBefore_(errorCount) {
    if (openTraps++ == 0) previousHandler = XSetErrorHandler(&onError);
}

ErrorTrap::~ErrorTrap() {
    syncIfOutstanding(display_);
    if (--openTraps > 0) return;
    // Someone who replaced our handler meanwhile keeps theirs.
    const XErrorHandler current = XSetErrorHandler(previousHandler);
    if (current != &onError) XSetErrorHandler(current);
}

bool ErrorTrap::failed() {
    XSync(display_, False);
    return errorCount != errorsBefore_;
}

} // namespace gui::x11
