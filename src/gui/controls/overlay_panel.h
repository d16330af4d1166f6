// A hot spot that, clicked, grows into a large picture shown over the editor (an
// about or help page) and takes every click until it is clicked again.
#pragma once

#include "gui/controls/control.h"

namespace gui {

/// Closed: size is the hot spot, value 0, nothing drawn. Open: size is displayRect,
/// value 1, the frame's modal view. GUI thread only.
class OverlayPanel : public Control {
  public:
    /// Makes a panel whose hot spot is `size`, for `tag`, reporting to `listener` (may be
    /// null), showing `background` (may be null) from `offset` over `displayRect` while
    /// open.
    OverlayPanel(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background,
                 const Rect& displayRect, const Point& offset);

    /// Draws the picture over displayRect while open (value ≠ 0); nothing while closed.
    void draw(DrawContext* ctx) override;
    /// A primary click opens the panel (as the frame's modal view) or closes it.
    void mouse(DrawContext* ctx, Point& where) override;
    /// True when `where` lies in size (edges included) and the primary button is down.
    bool hitTest(const Point& where, ButtonState buttons) const override;

    /// Closes the panel from outside: back to the hot spot, value 0, no longer modal
    /// (the whole frame is then redrawn).
    virtual void closePanel();

    /// The rectangle the panel occupies while open.
    Rect getDisplayRect() const { return displayRect; }
    /// True while the panel is the frame's modal view.
    bool isOpen() const;

  private:
    void open(DrawContext* ctx);
    void close(DrawContext* ctx);

    Rect displayRect;
    Rect savedSize;
    Point offset;
};

} // namespace gui
