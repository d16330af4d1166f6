#include "gui/controls/toggle_button.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"

#include <cmath>

namespace gui {

ToggleButton::ToggleButton(const Rect& size, ControlListener* listener, std::int32_t tag,
                           Bitmap* background)
    : Control(size, listener, tag, background) {}

void ToggleButton::draw(DrawContext* ctx) {
    if (background != nullptr && ctx != nullptr) {
        const std::int32_t top = value == 0.0f ? 0 : background->height / 2;
        drawPicture(*ctx, *background, size, {0, top});
    }
    setDirty(false);
}

void ToggleButton::mouse(DrawContext* ctx, Point&) {
    if (!acceptsClick(readButtons(ctx))) return;
    value = std::trunc(value) != 0.0f ? 0.0f : 1.0f;
    pumpIdle();
    // Told on every click, changed or not: the editor re-reads the parameter anyway.
    if (listener != nullptr) listener->valueChanged(ctx, this);
}

} // namespace gui
