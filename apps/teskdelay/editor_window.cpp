#include "editor_window.h"

#include "icon.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace tesk::standalone {

struct EditorWindow::Connection {
    Display* display = nullptr;
    ::Window window = 0;
    Atom closeAtom = None;

    ~Connection() {
        if (display == nullptr) return;
        if (window != 0) XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
};

namespace {

/// The icon as _NET_WM_ICON wants it: width, height, then one ARGB pixel in
/// each long, row by row; empty when the picture cannot be read.
std::vector<unsigned long> iconProperty() {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, kIconPng, kIconPngSize) == 0) return {};
    image.format = PNG_FORMAT_ARGB;
    std::vector<unsigned char> argb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, argb.data(), 0, nullptr) == 0) return {};
    std::vector<unsigned long> property{image.width, image.height};
    for (std::size_t i = 0; i + 3 < argb.size(); i += 4)
        property.push_back(static_cast<unsigned long>(argb[i]) << 24 |
                           static_cast<unsigned long>(argb[i + 1]) << 16 |
                           static_cast<unsigned long>(argb[i + 2]) << 8 | argb[i + 3]);
    return property;
}

/// Names the window for the user and the desktop: the title (as Latin-1 and as
/// UTF-8), the class the desktop entry's StartupWMClass matches, the icon, the
/// process, and that closing it is ours to do.
void describe(Display* display, ::Window window, const std::string& title, Atom closeAtom) {
    XStoreName(display, window, title.c_str());
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XClassHint hint{const_cast<char*>("teskdelay"), const_cast<char*>("TeskDelay")};
    XSetClassHint(display, window, &hint);
    if (const std::vector<unsigned long> icon = iconProperty(); !icon.empty())
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL,
                        32, PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                        static_cast<int>(icon.size()));
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XSetWMProtocols(display, window, &closeAtom, 1);
}

/// Keeps the window at the editor's size: the editor cannot be resized.
void fixSize(Display* display, ::Window window, int width, int height) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) return;
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

} // namespace

EditorWindow::EditorWindow(EditorInterface& editor, std::unique_ptr<Connection> connection)
    : editor_(editor), connection_(std::move(connection)) {}

std::unique_ptr<EditorWindow> EditorWindow::open(EditorInterface& editor, const std::string& title,
                                                 std::string& error) {
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (connection->display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        error = name == nullptr || name[0] == '\0'
                    ? "no X display to show the editor on (DISPLAY is not set)"
                    : "cannot open the X display " + std::string(name) + " to show the editor on";
        error += "; run teskdelay --no-gui where there is no display";
        return nullptr;
    }
    EditorRect* rect = nullptr;
    if (editor.getRect(&rect) == 0 || rect == nullptr) {
        error = "the editor gave no size";
        return nullptr;
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    Display* display = connection->display;
    connection->window = XCreateSimpleWindow(
        display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, 0, BlackPixel(display, DefaultScreen(display)));
    connection->closeAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    describe(display, connection->window, title, connection->closeAtom);
    fixSize(display, connection->window, width, height);
    // The editor is in place before the window shows, so that its first
    // picture is the editor's.
    if (editor.open(reinterpret_cast<void*>(connection->window)) == 0) {
        error = "the editor could not be opened";
        return nullptr;
    }
    XMapWindow(display, connection->window);
    XFlush(display);
    return std::unique_ptr<EditorWindow>(new EditorWindow(editor, std::move(connection)));
}

EditorWindow::~EditorWindow() {
    editor_.close();
}

int EditorWindow::descriptor() const {
    return ConnectionNumber(connection_->display);
}

bool EditorWindow::handleEvents() {
    bool open = true;
    while (XPending(connection_->display) > 0) {
        XEvent event;
        XNextEvent(connection_->display, &event);
        if (event.type == ClientMessage &&
            static_cast<Atom>(event.xclient.data.l[0]) == connection_->closeAtom)
            open = false;
    }
    return open;
}

} // namespace tesk::standalone
