// The headless back end: windows are pixel surfaces in memory and input is scripted,
// so the toolkit, the editor and the snapshot tool run without a display. Besides the
// platform boundary it offers the controls a test needs: clicks, scripted button and
// cursor states, a tick clock that only moves when told, drops, the edit box, and the
// window's pixels (also as a PNG file). GUI thread only.
#pragma once

#include "gui/platform/platform.h"
#include "gui/platform/software/pixel_surface.h"
#include "gui/platform/software/software_edit_box.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gui::headless {

/// One moment of scripted input: what readButtons and readCursor report.
struct InputStep {
    ButtonState buttons = 0;
    Point cursor; ///< screen position
};

/// A frame's window held in memory, placed at a screen position.
class HeadlessWindow final : public platform::Window {
  public:
    /// Makes a window of `size`'s width and height reporting to `frame`, needing a paint.
    HeadlessWindow(const Rect& size, Frame* frame);
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    /// The screen position set by moveTo; (0, 0) at first.
    Point origin() const override { return origin_; }
    /// The window's pixels, drawn on directly.
    platform::Surface& acquireSurface() override { return pixels_; }
    /// Nothing to show: the pixels are the window.
    void releaseSurface() override {}

    /// Moves the window's top-left corner to `origin` on the screen.
    void moveTo(Point origin) { origin_ = origin; }
    /// Adds `area` to the part that needs a paint.
    void invalidate(const Rect& area);
    /// Delivers the pending paint, if any; true when there was one.
    bool paintPending();
    /// Paints the whole window now, as after it was uncovered.
    void paintAll();
    /// Delivers a press of the button at `where` (window pixels).
    void buttonDown(Point where);
    /// Destroys the window as the host does when it closes its own window.
    void destroy();
    /// Drops file paths (kind 0) at the cursor; the frame's answer.
    bool dropFiles(const std::vector<std::string>& paths);
    /// Drops a text (kind 1) at the cursor; the frame's answer.
    bool dropText(const std::string& text);
    /// The window's pixels.
    const software::PixelSurface& pixels() const { return pixels_; }
    /// Writes the window's pixels to `path` as a PNG; false when it cannot be written.
    bool savePng(const char* path) const;

  private:
    bool dropOnLiveWindow(void** items, std::int32_t count, std::int32_t kind);

    software::PixelSurface pixels_;
    Point origin_;
    std::optional<Rect> pending_;
    bool destroyed_ = false;
};

/// The edit box drawn over a headless window; tests type into it through the keys
/// of SoftwareEditBox (typeCharacter, type, pressKey, pressReturn, loseFocus).
class HeadlessEditBox final : public software::SoftwareEditBox {
  public:
    /// Opens a box on `window` with `text` (cut to kMaxText), all of it selected, and
    /// draws it over the window's pixels.
    HeadlessEditBox(HeadlessWindow& window, const platform::EditBoxStyle& style, const char* text,
                    platform::EditBoxListener& listener);
    /// Closes the box; the window paints the area it covered again.
    ~HeadlessEditBox() override;

    /// The window the box lies on.
    const HeadlessWindow& window() const { return window_; }

  private:
    void changed() override { paint(window_.acquireSurface()); }

    HeadlessWindow& window_;
};

/// A parent window handle under which frames get a headless window.
void* parentWindow();
/// The headless window of a frame's platform window, or null.
HeadlessWindow* windowOf(platform::Window* window);
/// The pixels of any surface this back end made.
const software::PixelSurface& pixelsOf(const platform::Surface& surface);

/// Reports `buttons` and `cursor` from now on, dropping any script.
void setInput(ButtonState buttons, Point cursor);
/// Reports the steps in turn: each readButtons takes the next step and readCursor
/// reports the cursor of the step last taken; the last step stays in force.
void scriptInput(std::vector<InputStep> steps);
/// Number of scripted steps not yet taken.
std::size_t pendingInputSteps();
/// Moves the tick clock on by `milliseconds` (the clock moves only when told, and by
/// sleepMs).
void advanceTicks(std::uint32_t milliseconds);
/// Sets what doubleClickTime reports.
void setDoubleClickTime(std::int32_t milliseconds);
/// Sets what desktopScale reports, as a desktop set to `factor` would.
void setDesktopScale(double factor);
/// No buttons, cursor at (0, 0), the clock at its start, double-click time 500 ms,
/// desktop scale 1.
void resetInput();
/// The edit box opened last and still open (the one with the keyboard focus), or null.
HeadlessEditBox* activeEditBox();

} // namespace gui::headless
