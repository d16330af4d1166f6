// An on/off button: the upper half of its picture shows off, the lower half on.
#pragma once

#include "gui/controls/control.h"

namespace gui {

/// Value 0 is off, anything else shows on; a click flips between 0 and 1.
/// GUI thread only.
class ToggleButton : public Control {
  public:
    /// Makes a button over `size` for `tag`, reporting to `listener` (may be null), drawn
    /// from the two-picture strip `background` (may be null).
    ToggleButton(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background);

    /// Draws the off half for value 0 and the on half for any other value; ends clean.
    void draw(DrawContext* ctx) override;
    /// A primary click sets 1 when trunc(value) is 0, else 0, and tells the listener
    /// even when nothing changed. No reset gesture and no edit bracket.
    void mouse(DrawContext* ctx, Point& where) override;
};

} // namespace gui
