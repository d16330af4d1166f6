// A rectangle of the editor's window that draws itself, takes clicks, keys, wheel
// steps and drops, and says when it needs redrawing. Reference counted.
#pragma once

#include "gui/geometry.h"

#include <cstdint>

namespace gui {

class DrawContext;
class Frame;
class FrameEditor;

/// The base of everything the frame holds. GUI thread only.
class View {
  public:
    /// Makes a view over `size` with a count of 1, held by the creator.
    explicit View(const Rect& size);
    /// Takes the view out of every frame that still points at it.
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    /// Draws the view; the base only marks it clean.
    virtual void draw(DrawContext* ctx);
    /// Draws the part of the view inside `update`; the base draws all of it.
    virtual void drawRect(DrawContext* ctx, const Rect& update);
    /// True when `r` touches the view, edges included.
    virtual bool intersects(const Rect& r) const;
    /// Handles a click at `where`; the base ignores it.
    virtual void mouse(DrawContext* ctx, Point& where);
    /// Draws the view if it is dirty and marks it clean.
    virtual void update(DrawContext* ctx);
    /// Receives `message` from `sender`; the base answers 0.
    virtual std::int32_t notify(View* sender, const char* message);
    /// Handles a key press; −1 when not handled.
    virtual std::int32_t keyDown(VstKeyCode& key);
    /// Handles a key release; −1 when not handled.
    virtual std::int32_t keyUp(VstKeyCode& key);
    /// Takes dropped items (kind 0 file paths, kind 1 one text); false when refused.
    virtual bool drop(void** items, std::int32_t count, std::int32_t kind, Point& where);
    /// Handles a wheel movement of `distance` steps; false when not handled.
    virtual bool wheel(DrawContext* ctx, Point& where, float distance);
    /// Called when the view stops being the frame's focus view.
    virtual void looseFocus(DrawContext* ctx);
    /// Called when the view should start taking keyboard input.
    virtual void takeFocus(DrawContext* ctx);
    /// True when the view must be redrawn.
    virtual bool isDirty() const;
    /// Marks the view as needing a redraw, or not.
    virtual void setDirty(bool dirty);
    /// Lets the view take clicks, drops, wheel steps and keys, or not.
    virtual void setMouseEnabled(bool enabled);
    /// True when the view takes clicks and drops.
    virtual bool getMouseEnabled() const;
    /// Stores the mouse area; only its accessors read it.
    virtual void setMouseArea(const Rect& area);
    /// Copies the mouse area into `area` and returns it.
    virtual Rect& getMouseArea(Rect& area) const;
    /// True when `where` lies in the view's size, edges included; buttons are ignored.
    virtual bool hitTest(const Point& where, ButtonState buttons) const;
    /// Makes controls draw their background picture transparently, or not.
    virtual void setTransparency(bool transparent);
    /// True when the background picture is drawn transparently.
    virtual bool getTransparency() const;
    /// Moves or resizes the view and marks it dirty.
    virtual void setViewSize(const Rect& size);
    /// Copies the view's size into `size` and returns it.
    virtual Rect& getViewSize(Rect& size) const;
    /// Sets the view whose top-left is the drawing origin of a text field.
    virtual void setParentView(View* parent);
    /// Sets the frame the view belongs to.
    virtual void setFrame(Frame* frame);
    /// The editor of the view's frame; null without a frame.
    virtual FrameEditor* getEditor() const;
    /// Called when `parent` lets go of the view; true.
    virtual bool removed(View* parent);
    /// Called when `parent` takes the view in; true.
    virtual bool attached(View* parent);
    /// Removes a holder and deletes the view when none is left; does nothing when the
    /// count is already 0 or below.
    virtual void forget();
    /// Adds a holder.
    virtual void remember();
    /// Number of holders.
    virtual std::int32_t getRefCount() const;

    /// Has the frame draw the view at once.
    void redraw();
    /// The frame the view was added to, or null.
    Frame* getFrame() const { return frame; }

  protected:
    std::int32_t refCount = 1;
    Rect size;
    Rect mouseArea;
    Frame* frame = nullptr;
    View* parentView = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparency = false;
};

} // namespace gui
