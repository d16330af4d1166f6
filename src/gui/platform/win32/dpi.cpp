// The desktop's scale on Windows: the DPI of the host's window, read only where the
// host has declared itself DPI aware. A host that has not is drawn at 96 DPI and
// enlarged by the system as a whole, our window with it, so drawing larger there
// would enlarge the editor twice.
#include "gui/platform/win32/win32.h"

namespace gui::win32 {
namespace {

// The DPI functions arrived with Windows 10 (1607) and are looked up, so the module
// still loads on older systems, where every window is drawn at 96 DPI.
using AwarenessContext = HANDLE;
using ContextOfWindow = AwarenessContext(WINAPI*)(HWND);
using ContextOfThread = AwarenessContext(WINAPI*)();
using AwarenessOf = int(WINAPI*)(AwarenessContext);
using DpiOfWindow = UINT(WINAPI*)(HWND);
using DpiOfSystem = UINT(WINAPI*)();

constexpr int kDpiUnaware = 0; // DPI_AWARENESS_UNAWARE
constexpr double kUnscaledDpi = 96.0;

template <class Function> Function user32(const char* name) {
    HMODULE user = GetModuleHandleA("user32.dll");
    return user != nullptr ? reinterpret_cast<Function>(
                                 reinterpret_cast<void (*)()>(GetProcAddress(user, name)))
                           : nullptr;
}

/// The awareness of `parent`, or of the calling thread without one; unaware when the
/// system cannot say.
int hostAwareness(HWND parent) {
    const auto awarenessOf = user32<AwarenessOf>("GetAwarenessFromDpiAwarenessContext");
    const auto ofWindow = user32<ContextOfWindow>("GetWindowDpiAwarenessContext");
    const auto ofThread = user32<ContextOfThread>("GetThreadDpiAwarenessContext");
    if (awarenessOf == nullptr || ofWindow == nullptr || ofThread == nullptr) return kDpiUnaware;
    return awarenessOf(parent != nullptr ? ofWindow(parent) : ofThread());
}

/// The DPI a window inside `parent` is drawn at (the system's without a parent).
UINT hostDpi(HWND parent) {
    const auto ofWindow = user32<DpiOfWindow>("GetDpiForWindow");
    const auto ofSystem = user32<DpiOfSystem>("GetDpiForSystem");
    if (parent != nullptr && ofWindow != nullptr) return ofWindow(parent);
    return ofSystem != nullptr ? ofSystem() : 0;
}

} // namespace
} // namespace gui::win32

namespace gui::platform {

double desktopScale(void* parent) {
    const auto window = static_cast<HWND>(parent);
    if (win32::hostAwareness(window) == win32::kDpiUnaware) return 1.0;
    const UINT dpi = win32::hostDpi(window);
    return dpi > 0 ? dpi / win32::kUnscaledDpi : 1.0;
}

} // namespace gui::platform
