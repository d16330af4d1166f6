// PNG files to and from packed RGB pixels, through libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gui {

/// Packed RGB rows, 8 bits a channel.
struct RgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

/// Decodes a PNG held in memory into `image`; false (and `image` empty) when the data
/// is not a readable PNG. Colour types other than RGB are converted.
bool decodePng(const unsigned char* data, std::size_t size, RgbImage& image);

/// Writes `image` to the file `path` as an RGB PNG; false when it cannot be written.
bool writePng(const char* path, const RgbImage& image);

} // namespace gui
