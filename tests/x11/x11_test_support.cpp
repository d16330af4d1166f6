#include "x11_test_support.h"

#include "gui/platform/software/png_image.h"

#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace tesk::x11test {
namespace {

constexpr int kXdndVersion = 5;

XErrorHandler xlibHandler = nullptr;

// The requests with which a test looks at a window.
bool readsAWindow(unsigned char request) {
    return request == X_GetImage || request == X_QueryTree || request == X_GetWindowAttributes ||
           request == X_GetGeometry || request == X_TranslateCoords;
}

int onReadingError(Display* display, XErrorEvent* error) {
    const bool passing = error->error_code == BadWindow || error->error_code == BadMatch ||
                         error->error_code == BadDrawable;
    if (passing && readsAWindow(error->request_code)) return 0;
    return xlibHandler != nullptr ? xlibHandler(display, error) : 0;
}

// Reads the display number Xvfb writes to the -displayfd pipe, waiting at most 10 s.
std::string readDisplayNumber(int fd) {
    std::string number;
    pollfd readable{fd, POLLIN, 0};
    while (poll(&readable, 1, 10000) > 0) {
        char c = 0;
        if (read(fd, &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    return number;
}

} // namespace

// ---- Tools -------------------------------------------------------------------------

bool installed(const std::string& program) {
    return std::system(("command -v '" + program + "' >/dev/null 2>&1").c_str()) == 0;
}

std::string notInstalled(const std::string& program, const std::string& package) {
    return program + " is not installed: the Debian package " + package +
           " brings it (scripts/setup installs every tool the tests need)";
}

void endWithParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have ended before the request was made.
    if (getppid() != parent) _exit(1);
}

// ---- Xvfb --------------------------------------------------------------------------

Xvfb::Xvfb(const std::vector<std::string>& extra) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        endWithParent(parent);
        const std::string fd = std::to_string(fds[1]);
        // Tall enough for the editor at scale 2 (1060 rows): pixels off the screen
        // cannot be read back. Like a desktop's server it stays as it is when its last
        // client leaves: a reset would refuse the next connection while it lasts.
        std::vector<const char*> args = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                                         "1024x1200x24", "-nolisten",  "tcp",      "-noreset"};
        for (const std::string& arg : extra)
            args.push_back(arg.c_str());
        args.push_back(nullptr);
        close(fds[0]);
        silenceOutput();
        execvp("Xvfb", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    close(fds[1]);
    const std::string number = readDisplayNumber(fds[0]);
    close(fds[0]);
    if (pid_ > 0 && !number.empty()) {
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
    }
}

Xvfb::~Xvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

// ---- Helpers -------------------------------------------------------------------------

void silenceOutput() {
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull < 0) return;
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    close(devNull);
}

bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        step();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

::Window makeTopLevel(Display* display, int width, int height) {
    const ::Window window = XCreateSimpleWindow(
        display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, 0, BlackPixel(display, DefaultScreen(display)));
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do {
        XWindowEvent(display, window, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
    return window;
}

::Window firstChild(Display* display, ::Window parent) {
    ::Window root = 0;
    ::Window up = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    ::Window child = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) && count > 0)
        child = children[0];
    if (children != nullptr) XFree(children);
    return child;
}

::Window focusWindow(Display* display) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

void movePointer(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
}

void setButton(Display* display, unsigned button, bool down) {
    XTestFakeButtonEvent(display, button, down ? True : False, CurrentTime);
    XSync(display, False);
}

void setKey(Display* display, unsigned long symbol, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down ? True : False, CurrentTime);
    XSync(display, False);
}

void typeKey(Display* display, unsigned long symbol, bool shift) {
    const KeyCode shiftCode = XKeysymToKeycode(display, XK_Shift_L);
    const KeyCode code = XKeysymToKeycode(display, symbol);
    if (shift) XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    XSync(display, False);
}

void typeText(Display* display, const std::string& text) {
    for (const char c : text) {
        const char name[2] = {c, '\0'};
        const KeySym symbol = c == ' ' ? XK_space : c == '.' ? XK_period : XStringToKeysym(name);
        typeKey(display, symbol, c >= 'A' && c <= 'Z');
    }
}

void tolerateWindowsInPassing() {
    static std::once_flag installed;
    std::call_once(installed, [] { xlibHandler = XSetErrorHandler(&onReadingError); });
}

std::vector<std::uint8_t> captureRgb(Display* display, ::Window window, int width, int height) {
    tolerateWindowsInPassing();
    std::vector<std::uint8_t> rgb;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return rgb;
    rgb.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            rgb.push_back(static_cast<std::uint8_t>((pixel & image->red_mask) >> 16));
            rgb.push_back(static_cast<std::uint8_t>((pixel & image->green_mask) >> 8));
            rgb.push_back(static_cast<std::uint8_t>(pixel & image->blue_mask));
        }
    }
    XDestroyImage(image);
    return rgb;
}

bool showsPicture(const std::vector<std::uint8_t>& rgb) {
    std::size_t differing = 0;
    for (std::size_t i = 3; i + 2 < rgb.size(); i += 3)
        differing += rgb[i] != rgb[0] || rgb[i + 1] != rgb[1] || rgb[i + 2] != rgb[2];
    return differing > rgb.size() / 3 / 10;
}

std::vector<std::uint8_t> snapshotRgb(const std::string& tool, const std::string& options) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("tesk_snapshot_" + std::to_string(getpid()) + ".png");
    const std::string command = tool + " " + options + " '" + path.string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> png((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    gui::RgbImage image;
    gui::decodePng(png.data(), png.size(), image);
    return image.rgb;
}

// ---- Drag source ---------------------------------------------------------------------

DragSource::DragSource(Display* display, std::vector<std::string> types, std::string data)
    : display_(display),
      window_(XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)),
      data_(std::move(data)) {
    for (const std::string& type : types)
        types_.push_back(XInternAtom(display_, type.c_str(), False));
    if (types_.size() > 3) {
        XChangeProperty(display_, window_, XInternAtom(display_, "XdndTypeList", False), XA_ATOM,
                        32, PropModeReplace, reinterpret_cast<const unsigned char*>(types_.data()),
                        static_cast<int>(types_.size()));
    }
    XSetSelectionOwner(display_, XInternAtom(display_, "XdndSelection", False), window_,
                       CurrentTime);
    XSync(display_, False);
}

DragSource::~DragSource() {
    XDestroyWindow(display_, window_);
    XSync(display_, False);
}

void DragSource::send(Atom type, long l1, long l2, long l3, long l4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target_;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(window_);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display_, target_, False, NoEventMask, &event);
    XSync(display_, False);
}

void DragSource::enterAndMove(::Window target, int x, int y) {
    target_ = target;
    long types[3] = {};
    for (std::size_t i = 0; i < types_.size() && i < 3; ++i)
        types[i] = static_cast<long>(types_[i]);
    const long flags = (long{kXdndVersion} << 24) | (types_.size() > 3 ? 1 : 0);
    send(XInternAtom(display_, "XdndEnter", False), flags, types[0], types[1], types[2]);
    send(XInternAtom(display_, "XdndPosition", False), 0, (long{x} << 16) | y, CurrentTime,
         static_cast<long>(XInternAtom(display_, "XdndActionCopy", False)));
}

void DragSource::drop() {
    send(XInternAtom(display_, "XdndDrop", False), 0, CurrentTime, 0, 0);
}

void DragSource::serve(const XSelectionRequestEvent& request) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = request.property;
    XChangeProperty(display_, request.requestor, request.property, request.target, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(data_.data()),
                    static_cast<int>(data_.size()));
    XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
    XSync(display_, False);
}

void DragSource::pump() {
    const Atom status = XInternAtom(display_, "XdndStatus", False);
    const Atom finished = XInternAtom(display_, "XdndFinished", False);
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == SelectionRequest) {
            serve(event.xselectionrequest);
        } else if (event.type == ClientMessage && event.xclient.message_type == status) {
            answers_.statusSeen = true;
            answers_.statusAccepts = (event.xclient.data.l[1] & 1) != 0;
            answers_.statusAction = static_cast<Atom>(event.xclient.data.l[4]);
        } else if (event.type == ClientMessage && event.xclient.message_type == finished) {
            answers_.finishedSeen = true;
            answers_.finishedAccepted = (event.xclient.data.l[1] & 1) != 0;
            answers_.finishedAction = static_cast<Atom>(event.xclient.data.l[2]);
        }
    }
}

} // namespace tesk::x11test
