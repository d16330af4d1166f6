#include "gui/bitmap.h"

#include "gui/draw_context.h"
#include "gui/platform/platform.h"

namespace gui {

// An effect makes its editor, and so the editor's background, when the host
// makes the effect; a host that never opens the window (a plug-in scan, an
// offline render) should not wait for the pixels.
Bitmap::Bitmap(std::int32_t resourceId) : resourceId_(resourceId) {
    const platform::ImageSize size = platform::resourceImageSize(resourceId);
    width = size.width;
    height = size.height;
}

Bitmap::~Bitmap() = default;

void Bitmap::forget() {
    if (refCount_ <= 0) return;
    if (--refCount_ == 0) delete this;
}

const platform::Surface* Bitmap::image() {
    if (!decoded_ && width > 0) image_ = platform::loadResourceImage(resourceId_);
    decoded_ = true;
    return image_.get();
}

void Bitmap::draw(DrawContext& ctx, const Rect& dest, const Point& source) {
    if (const platform::Surface* picture = image()) ctx.drawSurface(*picture, dest, source);
}

void Bitmap::drawTransparent(DrawContext& ctx, const Rect& dest, const Point& source) {
    if (const platform::Surface* picture = image())
        ctx.drawSurface(*picture, dest, source, &transparentColor);
}

} // namespace gui
