#include "gui/bitmap.h"

#include "gui/draw_context.h"
#include "gui/platform/platform.h"

namespace gui {

Bitmap::Bitmap(std::int32_t resourceId) : image_(platform::loadResourceImage(resourceId)) {
    if (image_ == nullptr) return;
    width = image_->width();
    height = image_->height();
}

Bitmap::~Bitmap() = default;

void Bitmap::forget() {
    if (refCount_ <= 0) return;
    if (--refCount_ == 0) delete this;
}

void Bitmap::draw(DrawContext& ctx, const Rect& dest, const Point& source) {
    if (image_ != nullptr) ctx.drawSurface(*image_, dest, source);
}

void Bitmap::drawTransparent(DrawContext& ctx, const Rect& dest, const Point& source) {
    if (image_ != nullptr) ctx.drawSurface(*image_, dest, source, &transparentColor);
}

} // namespace gui
