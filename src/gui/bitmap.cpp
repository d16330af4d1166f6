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

// A frame draws at one scale, so one decoded picture is kept: the last scale asked for.
const platform::Surface* Bitmap::image(Scale scale) {
    if (decoded_ && decodedScale_ == scale) return image_.get();
    image_.reset();
    if (width > 0) image_ = platform::loadResourceImage(resourceId_, scale);
    decoded_ = true;
    decodedScale_ = scale;
    return image_.get();
}

void Bitmap::draw(DrawContext& ctx, const Rect& dest, const Point& source) {
    if (const platform::Surface* picture = image(ctx.scale()))
        ctx.drawSurface(*picture, dest, source);
}

void Bitmap::drawTransparent(DrawContext& ctx, const Rect& dest, const Point& source) {
    if (const platform::Surface* picture = image(ctx.scale()))
        ctx.drawSurface(*picture, dest, source, &transparentColor);
}

} // namespace gui
