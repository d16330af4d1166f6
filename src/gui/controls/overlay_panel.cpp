#include "gui/controls/overlay_panel.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"

namespace gui {

OverlayPanel::OverlayPanel(const Rect& size, ControlListener* listener, std::int32_t tag,
                           Bitmap* background, const Rect& displayRect, const Point& offset)
    : Control(size, listener, tag, background), displayRect(displayRect), offset(offset) {}

void OverlayPanel::draw(DrawContext* ctx) {
    if (value != 0.0f && background != nullptr && ctx != nullptr) {
        drawPicture(*ctx, *background, displayRect, offset);
    }
    setDirty(false);
}

bool OverlayPanel::hitTest(const Point& where, ButtonState buttons) const {
    return where.isInside(size) && (buttons & kPrimaryButton) != 0;
}

bool OverlayPanel::isOpen() const {
    return frame != nullptr && frame->getModalView() == this;
}

void OverlayPanel::mouse(DrawContext* ctx, Point&) {
    if (!acceptsClick(readButtons(ctx))) return;
    value = value == 0.0f ? 1.0f : 0.0f;
    if (value == 1.0f) {
        open(ctx);
    } else {
        close(ctx);
    }
    setDirty(true);
}

void OverlayPanel::open(DrawContext* ctx) {
    // A panel that cannot become modal keeps value 1 but stays where it is.
    if (frame == nullptr || !frame->setModal(this)) return;
    savedSize = size;
    size = displayRect;
    draw(ctx);
    if (listener != nullptr) listener->valueChanged(ctx, this);
}

void OverlayPanel::close(DrawContext* ctx) {
    // Only a panel that really opened has a hot spot saved; one that never became
    // modal keeps its size rather than shrinking to an empty rectangle.
    if (isOpen()) {
        size = savedSize;
        frame->setModal(nullptr);
        frame->draw(ctx);
    }
    if (listener != nullptr) listener->valueChanged(ctx, this);
}

void OverlayPanel::closePanel() {
    setDirty(true);
    value = 0.0f;
    if (!isOpen()) return;
    size = savedSize;
    frame->setModal(nullptr);
    frame->drawView(nullptr);
}

} // namespace gui
