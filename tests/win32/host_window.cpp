#include "host_window.h"

namespace tesk::test {
namespace {

constexpr char kHostClass[] = "TeskTestHost";

ATOM registerHostClass() {
    static const ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = kHostClass;
        return RegisterClassA(&wc);
    }();
    return atom;
}

} // namespace

HostWindow::HostWindow(int width, int height) {
    registerHostClass();
    RECT area{0, 0, width, height};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRect(&area, style, FALSE);
    hwnd_ = CreateWindowExA(0, kHostClass, "TeskDelay", style, 40, 40, area.right - area.left,
                            area.bottom - area.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                            nullptr);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

HostWindow::~HostWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool pumpMessagesUntil(const std::function<bool()>& done, const std::function<void()>& idle,
                       DWORD timeout) {
    const DWORD start = GetTickCount();
    DWORD lastIdle = 0;
    while (GetTickCount() - start < timeout) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (idle && GetTickCount() - lastIdle >= 20) {
            idle();
            lastIdle = GetTickCount();
        }
        if (done()) return true;
        Sleep(5);
    }
    return done();
}

bool inputWaiting() {
    return (HIWORD(GetQueueStatus(QS_INPUT)) & QS_INPUT) != 0;
}

void moveCursor(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
}

void pressLeftButton(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
}

std::string className(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

COLORREF shownPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

std::vector<std::uint32_t> shownPixels(HWND window) {
    RECT area{};
    GetClientRect(window, &area);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = area.right;
    format.bmiHeader.biHeight = -area.bottom; // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy == nullptr) return {};
    HDC shown = GetDC(window);
    HDC memory = CreateCompatibleDC(shown);
    HGDIOBJ previous = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, area.right, area.bottom, shown, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> rgb(pixels,
                                   pixels + static_cast<std::size_t>(area.right) * area.bottom);
    for (auto& pixel : rgb)
        pixel &= 0xFFFFFFu;
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(window, shown);
    DeleteObject(copy);
    return rgb;
}

bool showsPicture(HWND window) {
    const std::vector<std::uint32_t> pixels = shownPixels(window);
    std::size_t differing = 0;
    for (std::uint32_t pixel : pixels)
        differing += pixel != pixels.front();
    return !pixels.empty() && differing > pixels.size() / 10;
}

} // namespace tesk::test
