// Windows hosts hand the editor an HWND: a visible top-level window of a class
// of our own, whose messages this thread handles.
#include "platform.h"

#include <windows.h>

namespace tesk::validate {

namespace {

constexpr const char* kClassName = "TeskValidateHost";

/// Registers the window class once per process; false when it cannot.
bool registerClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        return RegisterClassA(&windowClass) != 0;
    }();
    return registered;
}

class Win32HostWindow final : public HostWindow {
  public:
    explicit Win32HostWindow(HWND window) : window_(window) {}
    ~Win32HostWindow() override {
        DestroyWindow(window_);
        drainEvents();
    }
    Win32HostWindow(const Win32HostWindow&) = delete;
    Win32HostWindow& operator=(const Win32HostWindow&) = delete;

    void* handle() const override { return window_; }
    void drainEvents() override {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    const char* kind() const override { return "a Win32 window"; }

  private:
    HWND window_;
};

} // namespace

std::unique_ptr<HostWindow> HostWindow::open(int width, int height) {
    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    RECT outer{0, 0, width, height};
    AdjustWindowRect(&outer, kStyle, FALSE);
    HWND window = registerClass()
                      ? CreateWindowExA(0, kClassName, "tesk-validate", kStyle, 0, 0,
                                        outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr)
                      : nullptr;
    if (window == nullptr) {
        throw Skipped("cannot make a window to open the editor in (system error " +
                      std::to_string(GetLastError()) +
                      "); run on a desktop (under Wine, an Xvfb will do)");
    }
    auto host = std::make_unique<Win32HostWindow>(window);
    host->drainEvents();
    return host;
}

} // namespace tesk::validate
