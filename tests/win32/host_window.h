// What a Windows host does around an editor: a top-level window to open it in,
// a message loop that also gives the editor its idle time, and real input (the
// system's cursor and buttons, as a user moves and presses them).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tesk::test {

/// A visible top-level window whose client area is width × height.
class HostWindow {
  public:
    HostWindow(int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND handle() const { return hwnd_; }
    /// The first child window (the editor's frame window), or null.
    HWND child() const { return GetWindow(hwnd_, GW_CHILD); }

  private:
    HWND hwnd_ = nullptr;
};

/// Handles this thread's messages, calling `idle` (the editor's idle, as hosts do)
/// every 20 ms, until `done` holds or `timeout` milliseconds pass; its last answer.
/// The default bounds only how long a failing test takes.
bool pumpMessagesUntil(const std::function<bool()>& done, const std::function<void()>& idle,
                       DWORD timeout = 20000);
/// True while input sent to this thread's windows waits in its queue. Wine queues what
/// SendInput sends before it returns.
bool inputWaiting();
/// Moves the cursor to `x`, `y` of `window`'s client area.
void moveCursor(HWND window, int x, int y);
/// Presses (true) or releases (false) the left mouse button where the cursor is.
void pressLeftButton(bool down);
/// The window's class name.
std::string className(HWND window);
/// The colour shown at `x`, `y` of `window`'s client area, as 0xBBGGRR.
COLORREF shownPixel(HWND window, int x, int y);
/// The pixels `window`'s client area shows, rows top first, each 0x00RRGGBB.
std::vector<std::uint32_t> shownPixels(HWND window);
/// True when `window`'s client area shows a picture, far from one flat colour: more
/// than a tenth of its pixels differ from the top-left one.
bool showsPicture(HWND window);

} // namespace tesk::test
