// The input queries of the boundary, answered by the server at the moment of asking
// or, while a press is delivered, by its replay; and the clock.
#include "gui/platform/platform.h"
#include "gui/platform/x11/error_trap.h"
#include "gui/platform/x11/press_replay.h"
#include "gui/platform/x11/x11_window.h"

#include <X11/Xresource.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace gui::x11 {
namespace {

constexpr std::int32_t kDefaultDoubleClickTime = 400;
constexpr long kLongestDoubleClickTime = 5000;
// Xft.dpi at scale 1; desktops set 144 for 150 % and 192 for 200 %.
constexpr double kUnscaledDpi = 96.0;

/// A connection to ask on: an open window's, else one opened for the question.
class QueryConnection {
  public:
    QueryConnection() {
        if (const X11Window* oldest = X11Window::oldestLive()) {
            display_ = oldest->display();
            return;
        }
        own_ = XOpenDisplay(nullptr);
        display_ = own_;
        if (own_ != nullptr) adoptConnection(own_);
    }
    ~QueryConnection() {
        if (own_ == nullptr) return;
        releaseConnection(own_);
        XCloseDisplay(own_);
    }
    QueryConnection(const QueryConnection&) = delete;
    QueryConnection& operator=(const QueryConnection&) = delete;

    Display* display() const { return display_; }

  private:
    Display* own_ = nullptr;
    Display* display_ = nullptr;
};

software::PointerState queryPointer() {
    if (software::PressReplay* replay = software::PressReplay::active()) return replay->answer();
    QueryConnection connection;
    return serverPointer(connection.display());
}

// The resource toolkits read for the double-click time ("*multiClickTime: 300").
std::int32_t resourceDoubleClickTime() {
    QueryConnection connection;
    if (connection.display() == nullptr) return kDefaultDoubleClickTime;
    const char* text = XGetDefault(connection.display(), "tesk", "multiClickTime");
    if (text == nullptr) return kDefaultDoubleClickTime;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || value <= 0 || value > kLongestDoubleClickTime)
        return kDefaultDoubleClickTime;
    return static_cast<std::int32_t>(value);
}

/// The number the server's resource database (RESOURCE_MANAGER, as xrdb sets it)
/// holds under `name` of class `className`; 0 when it holds none.
double resourceNumber(Display* display, const char* name, const char* className) {
    const char* resources = XResourceManagerString(display);
    if (resources == nullptr) return 0.0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (database == nullptr) return 0.0;
    char* type = nullptr;
    XrmValue value{};
    double number = 0.0;
    if (XrmGetResource(database, name, className, &type, &value) && value.addr != nullptr)
        number = std::strtod(value.addr, nullptr);
    XrmDestroyDatabase(database);
    return number;
}

// GNOME, KDE and Xfce all publish the desktop's scale to X clients as Xft.dpi.
double resourceDesktopScale() {
    QueryConnection connection;
    if (connection.display() == nullptr) return 1.0;
    const double dpi = resourceNumber(connection.display(), "Xft.dpi", "Xft.Dpi");
    return dpi > 0.0 ? dpi / kUnscaledDpi : 1.0;
}

} // namespace
} // namespace gui::x11

namespace gui::platform {

ButtonState readButtons() {
    return x11::queryPointer().buttons;
}

Point readCursor() {
    return x11::queryPointer().screen;
}

std::uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::int32_t doubleClickTime() {
    return x11::resourceDoubleClickTime();
}

double desktopScale(void*) {
    return x11::resourceDesktopScale();
}

void sleepMs(std::int32_t milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool dispatchPendingPaint() {
    for (x11::X11Window* window = x11::X11Window::oldestLive(); window != nullptr;
         window = window->nextLive()) {
        if (window->paintExposed()) return true;
    }
    return false;
}

} // namespace gui::platform
