// Pictures for back ends that carry them as PNG files built into the binary
// (tesk_embed_resources).
#include "gui/platform/platform.h"
#include "gui/platform/software/embedded_resources.h"
#include "gui/platform/software/png_image.h"

namespace gui::platform {

std::unique_ptr<Surface> loadResourceImage(std::int32_t id) {
    const EmbeddedResource* resource = findEmbeddedResource(id);
    RgbImage decoded;
    if (resource == nullptr || !decodePng(resource->data, resource->size, decoded)) return nullptr;
    return createSurface(decoded.width, decoded.height, decoded.rgb.data());
}

} // namespace gui::platform
