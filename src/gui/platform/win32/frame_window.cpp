// The frame's child window: one window class per loaded module, registered while
// any frame window exists; paint and button-down messages become window events.
// The window's pixels are drawn in memory and blitted, so what reaches the screen
// follows the software surface's rules exactly.
#include "gui/platform/win32/win32.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace gui::win32 {
namespace {

constexpr char kWindowTitle[] = "Window";
/// The one timer a frame window may run: its idle timer.
constexpr UINT_PTR kIdleTimerId = 1;

/// Frame windows alive in this process, and the class they share.
struct WindowClass {
    int useCount = 0;
    char name[32] = {};
};

WindowClass& windowClass() {
    static WindowClass registered;
    return registered;
}

/// Registers the class on first use; its name, or null when it cannot be registered.
const char* acquireClass(WNDPROC procedure) {
    WindowClass& wc = windowClass();
    if (wc.useCount++ > 0) return wc.name;
    // One class per loaded module, so that two copies of the plug-in never share one.
    std::snprintf(
        wc.name, sizeof wc.name, "Plugin%08llx",
        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(moduleInstance())));
    WNDCLASSA description{};
    description.style = CS_GLOBALCLASS;
    description.lpfnWndProc = procedure;
    description.hInstance = moduleInstance();
    description.hCursor = LoadCursor(nullptr, IDC_ARROW);
    description.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    description.lpszClassName = wc.name;
    if (RegisterClassA(&description) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        --wc.useCount;
        return nullptr;
    }
    readSwappedButtons();
    return wc.name;
}

void releaseClass() {
    WindowClass& wc = windowClass();
    if (wc.useCount > 0 && --wc.useCount == 0) UnregisterClassA(wc.name, moduleInstance());
}

/// BeginPaint and EndPaint around one paint, whatever happens in between.
struct PaintScope {
    explicit PaintScope(HWND window) : hwnd(window), dc(BeginPaint(window, &ps)) {}
    ~PaintScope() { EndPaint(hwnd, &ps); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HWND hwnd;
    PAINTSTRUCT ps{};
    HDC dc;
};

FrameWindow* windowOf(HWND hwnd) {
    return reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

} // namespace

FrameWindow::FrameWindow(HWND parent, const Rect& size, Frame* frame)
    : Window(frame), pixels_(size.width(), size.height(), nullptr) {
    // Drag and drop needs OLE on this thread; every successful call is paired below.
    oleInitialised_ = SUCCEEDED(OleInitialize(nullptr));
    const char* className = acquireClass(procedure);
    if (className == nullptr) return;
    hwnd_ = CreateWindowExA(0, className, kWindowTitle, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                            0, pixels_.width(), pixels_.height(), parent, nullptr, moduleInstance(),
                            nullptr);
    if (hwnd_ == nullptr) {
        releaseClass();
        return;
    }
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    dropTarget_ = createDropTarget(*this);
    if (dropTarget_ != nullptr && RegisterDragDrop(hwnd_, dropTarget_) != S_OK) {
        dropTarget_->Release();
        dropTarget_ = nullptr;
    }
}

FrameWindow::~FrameWindow() {
    if (hwnd_ != nullptr) {
        // Late messages must no longer reach this object.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        destroyed();
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
        releaseClass();
    }
    if (oleInitialised_) OleUninitialize();
}

void FrameWindow::destroyed() {
    if (replay_ != nullptr) replay_->detach();
    if (dropTarget_ == nullptr) return;
    RevokeDragDrop(hwnd_);
    dropTarget_->Release();
    dropTarget_ = nullptr;
}

Point FrameWindow::origin() const {
    RECT area{};
    if (hwnd_ != nullptr) GetWindowRect(hwnd_, &area);
    return {area.left, area.top};
}

void FrameWindow::releaseSurface() {
    flush();
}

void FrameWindow::flush() {
    const std::optional<Rect> touched = pixels_.takeTouched();
    if (hwnd_ == nullptr || !touched) return;
    HDC dc = GetDC(hwnd_);
    if (dc == nullptr) return;
    showPixels(dc, pixels_, *touched);
    ReleaseDC(hwnd_, dc);
}

bool FrameWindow::startIdleTimer(std::int32_t periodMs) {
    if (hwnd_ == nullptr || periodMs <= 0) return false;
    return SetTimer(hwnd_, kIdleTimerId, static_cast<UINT>(periodMs), nullptr) != 0;
}

bool FrameWindow::drop(void** items, std::int32_t count, std::int32_t kind) {
    return deliverDrop(items, count, kind);
}

LRESULT CALLBACK FrameWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    FrameWindow* window = windowOf(hwnd);
    if (window == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    // Nothing thrown below may reach the system's message dispatch.
    try {
        return window->onMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT FrameWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        if (GetUpdateRect(hwnd_, nullptr, FALSE) != 0) return paint();
        break;
    case WM_CTLCOLOREDIT:
        return answerEditColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        buttonDown(wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam != kIdleTimerId) break;
        deliverIdle();
        return 0;
    case WM_DESTROY: {
        // The host destroyed its window and ours with it.
        deliverDestroy();
        destroyed();
        break;
    }
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        releaseClass();
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT FrameWindow::paint() {
    const PaintScope scope(hwnd_);
    const RECT& r = scope.ps.rcPaint;
    const Rect area{r.left, r.top, r.right, r.bottom};
    platform::WindowEvent event;
    event.kind = platform::WindowEvent::Kind::paint;
    event.area = area;
    event.surface = &pixels_;
    deliver(event);
    if (scope.dc != nullptr) showPixels(scope.dc, pixels_, area);
    return 0;
}

void FrameWindow::buttonDown(WPARAM flags, LPARAM position) {
    // Both halves of the position word are read unsigned, as the window reports them.
    platform::WindowEvent event;
    event.kind = platform::WindowEvent::Kind::buttonDown;
    event.where = {LOWORD(position), HIWORD(position)};
    event.buttons = messageButtons(flags);
    POINT screen{event.where.x, event.where.y};
    ClientToScreen(hwnd_, &screen);
    event.screen = {screen.x, screen.y};
    event.time = static_cast<std::uint32_t>(GetMessageTime());
    // The press and the messages queued behind it answer the controls' queries: a UI
    // thread the host blocked for a while must not lose the click. The capture
    // brings the release here wherever the pointer goes.
    QueuedMouse queue(hwnd_);
    software::PressReplay replay(queue, {event.buttons, event.screen});
    replay_ = &replay;
    const HWND hwnd = hwnd_;
    SetCapture(hwnd);
    deliver(event);
    if (GetCapture() == hwnd) ReleaseCapture();
    replay_ = nullptr;
}

} // namespace gui::win32

namespace gui::platform {

std::unique_ptr<Window> Window::create(void* parent, const Rect& size, Frame* frame) {
    if (parent == nullptr) return nullptr;
    auto window = std::make_unique<win32::FrameWindow>(static_cast<HWND>(parent), size, frame);
    if (window->handle() == nullptr) return nullptr;
    return window;
}

} // namespace gui::platform
