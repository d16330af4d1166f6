// The surface half of the boundary for back ends that draw in memory and blit.
#include "gui/platform/platform.h"
#include "gui/platform/software/pixel_surface.h"
#include "gui/platform/software/text_font.h"

namespace gui::platform {

std::unique_ptr<Font> createFont(const FontRequest& request) {
    return std::make_unique<software::TextFont>(request);
}

std::unique_ptr<FontCacheHold> holdFontCache() {
    return std::make_unique<software::FontCacheShare>();
}

std::unique_ptr<Surface> createSurface(std::int32_t width, std::int32_t height,
                                       const std::uint8_t* rgb) {
    return std::make_unique<software::PixelSurface>(width, height, rgb);
}

} // namespace gui::platform
