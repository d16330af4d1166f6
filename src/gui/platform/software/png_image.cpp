#include "gui/platform/software/png_image.h"

#include <png.h>

#include <cstring>

namespace gui {
namespace {

// Resources are editor artwork; a header claiming more than this is not one of ours.
constexpr std::size_t kMaxPixels = std::size_t{1} << 24;

} // namespace

bool decodePng(const unsigned char* data, std::size_t size, RgbImage& image) {
    image = {};
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (data == nullptr || png_image_begin_read_from_memory(&png, data, size) == 0) return false;
    if (std::size_t{png.width} * png.height > kMaxPixels) {
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    // An image with alpha is laid on white, the colour that transparent drawing skips.
    const png_color white{255, 255, 255};
    if (png_image_finish_read(&png, &white, pixels.data(), 0, nullptr) == 0) {
        png_image_free(&png);
        return false;
    }
    image.width = static_cast<std::int32_t>(png.width);
    image.height = static_cast<std::int32_t>(png.height);
    image.rgb = std::move(pixels);
    return true;
}

bool writePng(const char* path, const RgbImage& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    if (path == nullptr || image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != PNG_IMAGE_SIZE(png)) {
        return false;
    }
    return png_image_write_to_file(&png, path, 0, image.rgb.data(), 0, nullptr) != 0;
}

} // namespace gui
