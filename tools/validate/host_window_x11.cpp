// Linux hosts hand the editor an X11 window: a top-level one on the display
// DISPLAY names.
#include "platform.h"

#include <X11/Xlib.h>

namespace tesk::validate {

namespace {

class X11HostWindow final : public HostWindow {
  public:
    X11HostWindow(Display* display, int width, int height) : display_(display) {
        window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height),
                                      0, 0, 0);
        XMapWindow(display, window_);
        XSync(display, False);
    }
    ~X11HostWindow() override {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    void* handle() const override { return reinterpret_cast<void*>(window_); }
    void drainEvents() override {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }
    const char* kind() const override { return "an X window"; }

  private:
    Display* display_;
    ::Window window_ = 0;
};

} // namespace

std::unique_ptr<HostWindow> HostWindow::open(int width, int height) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        throw Skipped("no X display to open the editor in; set DISPLAY (an Xvfb will do)");
    return std::make_unique<X11HostWindow>(display, width, height);
}

} // namespace tesk::validate
