// Input queries, time and the paint pump, straight from the system.
#include "gui/platform/win32/win32.h"

namespace {

bool swapped = false;

bool held(int virtualKey) {
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

} // namespace

namespace gui::win32 {

void readSwappedButtons() {
    swapped = GetSystemMetrics(SM_SWAPBUTTON) > 0;
}

bool buttonsSwapped() {
    return swapped;
}

} // namespace gui::win32

namespace gui::platform {

ButtonState readButtons() {
    // The asynchronous state is that of the physical buttons: the user's swap is
    // applied here so that "primary" means what the user configured.
    const bool left = held(VK_LBUTTON);
    const bool right = held(VK_RBUTTON);
    const bool swap = win32::buttonsSwapped();
    ButtonState state = 0;
    if (swap ? right : left) state |= kPrimaryButton;
    if (held(VK_MBUTTON)) state |= kMiddleButton;
    if (swap ? left : right) state |= kSecondaryButton;
    if (held(VK_SHIFT)) state |= kShift;
    if (held(VK_CONTROL)) state |= kControl;
    if (held(VK_MENU)) state |= kAlt;
    return state;
}

Point readCursor() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

std::uint32_t tickCount() {
    return GetTickCount();
}

std::int32_t doubleClickTime() {
    return static_cast<std::int32_t>(GetDoubleClickTime());
}

void sleepMs(std::int32_t milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds > 0 ? milliseconds : 0));
}

bool dispatchPendingPaint() {
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE) == 0) return false;
    DispatchMessageA(&message);
    return true;
}

} // namespace gui::platform
