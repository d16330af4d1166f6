#include "gui/bitmap.h"

#include "gui/draw_context.h"
#include "gui/embedded_resources.h"
#include "gui/platform/platform.h"
#include "gui/png_image.h"

namespace gui {

Bitmap::Bitmap(std::int32_t resourceId) {
    const EmbeddedResource* resource = findEmbeddedResource(resourceId);
    RgbImage decoded;
    if (resource == nullptr || !decodePng(resource->data, resource->size, decoded)) return;
    image_ = platform::createSurface(decoded.width, decoded.height, decoded.rgb.data());
    width = decoded.width;
    height = decoded.height;
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
