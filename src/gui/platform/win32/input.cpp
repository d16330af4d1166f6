// Input queries, time and the paint pump: from the system, or while a press is
// delivered from the press and the mouse messages queued behind it.
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

ButtonState messageButtons(WPARAM flags) {
    // Messages speak of the logical buttons: the user's swap is already applied.
    ButtonState state = 0;
    if ((flags & MK_LBUTTON) != 0) state |= kPrimaryButton;
    if ((flags & MK_MBUTTON) != 0) state |= kMiddleButton;
    if ((flags & MK_RBUTTON) != 0) state |= kSecondaryButton;
    if ((flags & MK_SHIFT) != 0) state |= kShift;
    if ((flags & MK_CONTROL) != 0) state |= kControl;
    if ((GetKeyState(VK_MENU) & 0x8000) != 0) state |= kAlt;
    return state;
}

software::PointerState systemPointer() {
    // The asynchronous state is that of the physical buttons: the user's swap is
    // applied here so that "primary" means what the user configured.
    const bool left = held(VK_LBUTTON);
    const bool right = held(VK_RBUTTON);
    const bool swap = buttonsSwapped();
    software::PointerState state;
    if (swap ? right : left) state.buttons |= kPrimaryButton;
    if (held(VK_MBUTTON)) state.buttons |= kMiddleButton;
    if (swap ? left : right) state.buttons |= kSecondaryButton;
    if (held(VK_SHIFT)) state.buttons |= kShift;
    if (held(VK_CONTROL)) state.buttons |= kControl;
    if (held(VK_MENU)) state.buttons |= kAlt;
    POINT p{};
    GetCursorPos(&p);
    state.screen = {p.x, p.y};
    return state;
}

bool QueuedMouse::takeStep(software::PointerState& state) {
    MSG message;
    if (PeekMessageA(&message, hwnd_, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) == 0) return false;
    // Only moves and releases belong to this press; a further press (or a wheel step)
    // stays queued for its own delivery. The system already merges moves.
    const UINT kind = message.message;
    if (kind != WM_MOUSEMOVE && kind != WM_LBUTTONUP && kind != WM_RBUTTONUP &&
        kind != WM_MBUTTONUP)
        return false;
    PeekMessageA(&message, hwnd_, kind, kind, PM_REMOVE);
    POINT screen{static_cast<short>(LOWORD(message.lParam)),
                 static_cast<short>(HIWORD(message.lParam))};
    ClientToScreen(hwnd_, &screen);
    state = {messageButtons(message.wParam), {screen.x, screen.y}};
    return true;
}

} // namespace gui::win32

namespace gui::platform {

ButtonState readButtons() {
    if (software::PressReplay* replay = software::PressReplay::active())
        return replay->answer().buttons;
    return win32::systemPointer().buttons;
}

Point readCursor() {
    if (software::PressReplay* replay = software::PressReplay::active())
        return replay->answer().screen;
    return win32::systemPointer().screen;
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
