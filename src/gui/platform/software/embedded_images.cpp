// Pictures for back ends that carry them as PNG files built into the binary
// (tesk_embed_resources).
#include "gui/platform/platform.h"
#include "gui/platform/software/embedded_resources.h"
#include "gui/platform/software/png_image.h"

#include <cstring>

namespace gui::platform {
namespace {

std::unique_ptr<Surface> decodeResource(const EmbeddedResource& resource) {
    RgbImage decoded;
    if (!decodePng(resource.data, resource.size, decoded)) return nullptr;
    return createSurface(decoded.width, decoded.height, decoded.rgb.data());
}

} // namespace

// A binary built with only the scale-1 pictures (a test's own) still shows them at
// every scale, pixel by pixel; copying each window pixel from the editor pixel it
// lies in keeps the picture's rows and columns where the frame puts them.
std::unique_ptr<Surface> loadResourceImage(std::int32_t id, Scale scale) {
    if (const EmbeddedResource* drawn = findEmbeddedResource(scaledResourceId(id, scale)))
        return decodeResource(*drawn);
    const EmbeddedResource* plain = findEmbeddedResource(id);
    std::unique_ptr<Surface> picture = plain != nullptr ? decodeResource(*plain) : nullptr;
    if (picture == nullptr || scale.isUnit()) return picture;
    auto enlarged =
        createSurface(scale.toWindow(picture->width()), scale.toWindow(picture->height()));
    for (std::int32_t y = 0; y < enlarged->height(); ++y) {
        for (std::int32_t x = 0; x < enlarged->width(); ++x)
            enlarged->copy(*picture, {x, y, x + 1, y + 1}, scale.toEditor(Point{x, y}), nullptr);
    }
    return enlarged;
}

namespace {

// A PNG file starts with its signature and then its header chunk: length 13,
// the type "IHDR", the width and the height (big-endian, 1 to 2^31 - 1).
constexpr unsigned char kPngStart[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                         0,    0,   0,   13,  'I',  'H',  'D',  'R'};

std::int32_t bigEndianSize(const unsigned char* bytes) {
    const std::uint32_t value = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                                std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
    return value <= 0x7FFFFFFFu ? static_cast<std::int32_t>(value) : 0;
}

} // namespace

ImageSize resourceImageSize(std::int32_t id) {
    const EmbeddedResource* resource = findEmbeddedResource(id);
    if (resource == nullptr || resource->size < sizeof kPngStart + 8 ||
        std::memcmp(resource->data, kPngStart, sizeof kPngStart) != 0) {
        return {};
    }
    const ImageSize size{bigEndianSize(resource->data + 16), bigEndianSize(resource->data + 20)};
    return size.width > 0 && size.height > 0 ? size : ImageSize{};
}

} // namespace gui::platform
