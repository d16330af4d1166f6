// What the Win32 back end's files share: the module's instance, the mouse-button
// setting read at class registration, and the frame window with its edit boxes.
// Only this folder includes windows.h; nothing here leaves it. GUI thread only.
#pragma once

#include "gui/platform/platform.h"
#include "gui/platform/software/pixel_surface.h"
#include "gui/platform/software/press_replay.h"

#include <windows.h>

#include <oleidl.h>

namespace gui::win32 {

/// The module the toolkit is linked into: the plug-in's DLL, or a test program.
HINSTANCE moduleInstance();
/// Reads the system's swap-mouse-buttons setting and keeps it for readButtons.
void readSwappedButtons();
/// True when the physical left and right buttons are swapped (as last read).
bool buttonsSwapped();

/// The buttons and modifiers a mouse message carries (its MK_ flags; alt as the
/// keyboard state stood when the message was posted).
ButtonState messageButtons(WPARAM flags);
/// The pointer as the system has it now (the physical buttons, the user's swap applied).
software::PointerState systemPointer();

/// The mouse messages queued for one window.
class QueuedMouse final : public software::PressSource {
  public:
    explicit QueuedMouse(HWND hwnd) : hwnd_(hwnd) {}
    bool takeStep(software::PointerState& state) override;
    software::PointerState now() override { return systemPointer(); }

  private:
    HWND hwnd_;
};

/// Shows `area` of `pixels` at the same place on `dc`, clipped to both.
void showPixels(HDC dc, const software::PixelSurface& pixels, const Rect& area);

/// The frame's child window: its pixels live in memory and are blitted when painted.
class FrameWindow final : public platform::Window {
  public:
    /// Makes the child window of `parent` for `frame`; check `handle` afterwards.
    FrameWindow(HWND parent, const Rect& size, Frame* frame);
    /// Revokes the drop target and destroys the window unless the host already did.
    ~FrameWindow() override;
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    /// The native window; null when it could not be made or was destroyed.
    HWND handle() const { return hwnd_; }
    /// Screen position of the window's top-left corner.
    Point origin() const override;
    /// The window's pixels, drawn on in memory.
    platform::Surface& acquireSurface() override { return pixels_; }
    /// Shows the pixels drawn since they were last shown.
    void releaseSurface() override;
    /// The same, in the middle of an event: what a tracking control drew so far.
    void flush() override;
    /// Hands a drop of `count` items of `kind` to the frame; its answer.
    bool drop(void** items, std::int32_t count, std::int32_t kind);
    /// A WM_TIMER of the window itself becomes an idle event every `periodMs`.
    bool startIdleTimer(std::int32_t periodMs) override;

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT paint();
    void buttonDown(WPARAM flags, LPARAM position);
    void destroyed();

    software::PixelSurface pixels_;
    HWND hwnd_ = nullptr;
    IDropTarget* dropTarget_ = nullptr;
    software::PressReplay* replay_ = nullptr; ///< the press being delivered, if any
    bool oleInitialised_ = false;
};

/// Makes the drop target of `window`, holding one reference for the caller.
IDropTarget* createDropTarget(FrameWindow& window);
/// Replaces a ".lnk" name in `path` (a buffer of `capacity` bytes) by its target's
/// short path; true when it was a shortcut and it resolved.
bool resolveShortcut(char* path, std::size_t capacity);
/// The colours an edit child of a frame window is drawn in: answers its colour request.
LRESULT answerEditColours(HWND edit, HDC dc);

} // namespace gui::win32
