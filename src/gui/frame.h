// The one top-level view: owns the native child window inside the host's editor
// window, holds the flat list of views, dispatches clicks, keys, wheel steps and
// drops to them, and redraws what is dirty when the editor idles. The frame is where
// the editor's pixels meet the window's: its scale turns every position the window
// reports into editor pixels, and its drawing contexts draw at that scale.
#pragma once

#include "gui/scale.h"
#include "gui/view.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace gui {

class Bitmap;
class FrameEditor;

namespace platform {
class EditBox;
class EditBoxListener;
class FontCacheHold;
class Window;
struct EditBoxStyle;
struct WindowEvent;
} // namespace platform

/// Sets the process-wide knob mode (2 linear, anything else circular); any thread.
void setKnobMode(std::int32_t mode);

/// The editor's window and the views in it. GUI thread only.
class Frame : public View {
  public:
    /// Makes a frame of `size` (editor pixels) inside `parentWindow`, reporting to
    /// `editor` (may be null), whose window is `scale` times as large. Without a parent
    /// window no window is made and the frame is only a container.
    Frame(const Rect& size, void* parentWindow, FrameEditor* editor, Scale scale = {});
    /// Removes and forgets every child, forgets the background, closes the window.
    ~Frame() override;

    /// Draws the background, every child in order, then the modal view.
    void draw(DrawContext* ctx) override;
    /// Draws the background and the children that touch `update`, then the modal view.
    void drawRect(DrawContext* ctx, const Rect& update) override;
    /// Ends any focus, then gives the click to the modal view alone or to the last
    /// added enabled child that the point hits.
    void mouse(DrawContext* ctx, Point& where) override;
    /// Redraws the modal view alone while one is set, all when the frame is dirty,
    /// else each dirty child.
    void update(DrawContext* ctx) override;
    /// Offers the key to the focus view, the modal view, then the children last first;
    /// the first answer other than −1 is returned.
    std::int32_t keyDown(VstKeyCode& key) override;
    /// Like keyDown, for a key release.
    std::int32_t keyUp(VstKeyCode& key) override;
    /// Offers dropped items to the enabled children under `where`, last first; refused
    /// while a modal or focus view is set.
    bool drop(void** items, std::int32_t count, std::int32_t kind, Point& where) override;
    /// Gives the wheel step to the view under the cursor (with `where` replaced by the
    /// cursor position); false when there is none.
    bool wheel(DrawContext* ctx, Point& where, float distance) override;
    /// The editor the frame reports to.
    FrameEditor* getEditor() const override;

    /// Appends `view`, taking over the caller's reference; false when the list cannot
    /// grow (the view is then not added).
    bool addView(View* view);
    /// Removes the first entry equal to `view` and, with `withForget`, forgets it.
    bool removeView(View* view, const bool& withForget = true);
    /// Ends the focus, then removes every child and, with `withForget`, forgets it.
    bool removeAll(const bool& withForget = true);
    /// True when `view` is a child.
    bool isChild(View* view) const;
    /// Number of children.
    std::int32_t getViewCount() const;
    /// The child at `index`, or null outside 0 .. count − 1.
    View* getView(std::int32_t index) const;
    /// Replaces the background drawn behind every child (remembered while held).
    void setBackground(Bitmap* background);

    /// Makes `view` the focus view; the previous one loses its focus afterwards.
    void setFocus(View* view);
    /// The focus view, or null.
    View* getFocusView() const { return focusView_; }
    /// Makes `view` the modal view; false when another one is set. Null always succeeds.
    bool setModal(View* view);
    /// The modal view, or null.
    View* getModalView() const { return modalView_; }

    /// Lets the host paint and idle while a control tracks the mouse; what the control
    /// has drawn so far is on the screen first.
    void pumpIdle();
    /// The millisecond tick count with an editor, else 0: while a press is handled,
    /// the time of the press, so that double clicks are timed by their events.
    std::int32_t getTicks() const;
    /// The process-wide knob mode: 2 linear, anything else circular.
    std::int32_t knobMode() const;
    /// Tells the host, through the editor, that parameter `tag` starts changing.
    void beginEdit(std::int32_t tag);
    /// Tells the host, through the editor, that parameter `tag` has stopped changing.
    void endEdit(std::int32_t tag);
    /// Stores the cursor's position relative to the window in `p`, in editor pixels
    /// (screen position without a window).
    void cursorPosition(Point& p) const;
    /// Window pixels per editor pixel, fixed when the frame is made.
    Scale scale() const { return scale_; }
    /// Opens the window system's edit box over `style.area` (editor pixels, as is the
    /// font height) of the frame's window; null without a window or when it cannot be
    /// made.
    std::unique_ptr<platform::EditBox> openEditBox(const platform::EditBoxStyle& style,
                                                   const char* text,
                                                   platform::EditBoxListener& listener);
    /// The modal view, or else the last added child under the cursor, enabled or not.
    View* viewUnderCursor() const;
    /// Draws `view` at once if it is a child, else the whole frame.
    void drawView(View* view);
    /// Handles the window's queued events, then redraws what is dirty, once the window
    /// has been painted and while it is open.
    void idle();
    /// True when a modal view is set, the frame is dirty or any child is dirty.
    bool isSomethingDirty() const;

    /// The frame's own window, or null.
    platform::Window* getWindow() const { return window_.get(); }
    /// False once the host has destroyed the window.
    bool isOpen() const { return open_; }
    /// The host's window the frame lives in; null once the window is destroyed.
    void* getParentWindow() const { return parentWindow_; }
    /// Handles one event of the frame's window; called by the platform layer. The
    /// answer is whether a drop was taken (false for other events).
    bool onWindowEvent(const platform::WindowEvent& event);

    /// Clears every pointer the frames of this thread hold to `view`, which is being
    /// destroyed.
    static void viewDestroyed(View* view);

  private:
    using KeyHandler = std::int32_t (View::*)(VstKeyCode&);

    void unlink(View* view);
    void release(View* view, bool withForget);
    std::int32_t offerKey(VstKeyCode& key, KeyHandler handler);
    View* findTarget(const Point& where, ButtonState buttons) const;

    FrameEditor* editor_;
    void* parentWindow_;
    Scale scale_;
    Bitmap* background_ = nullptr;
    std::vector<View*> views_;
    View* modalView_ = nullptr;
    View* focusView_ = nullptr;
    std::optional<std::uint32_t> pressTime_;
    bool firstDrawPending_ = true;
    bool open_ = true;
    // The thread's fonts, kept from one paint to the next and released with the last
    // frame of the thread.
    std::unique_ptr<platform::FontCacheHold> fontCache_;
    std::unique_ptr<platform::Window> window_;
    Frame* nextLiveFrame_ = nullptr;
};

} // namespace gui
