// The software surface: RGB pixels in memory with the drawing rules of the toolkit,
// shared by every back end that only has to blit finished pixels.
#pragma once

#include "gui/platform/platform.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace gui::software {

/// RGB pixels, 8 bits a channel, rows top to bottom. GUI thread only.
class PixelSurface final : public platform::Surface {
  public:
    /// Makes width × height pixels from packed `rgb` rows, or black without them.
    PixelSurface(std::int32_t width, std::int32_t height, const std::uint8_t* rgb);

    /// Width in pixels.
    std::int32_t width() const override { return width_; }
    /// Height in pixels.
    std::int32_t height() const override { return height_; }
    /// Draws a line `pen.width` pixels thick, end point excluded, dotted in the pen's length.
    void drawLine(Point from, Point to, const platform::Pen& pen, std::int64_t& phase) override;
    /// Fills the area, right and bottom edges excluded.
    void fill(const Rect& area, Color color) override;
    /// Draws anti-aliased text with FreeType, placed and clipped in `box`.
    void drawText(const char* text, const Rect& box, platform::TextAlign align,
                  const platform::Font& font, Color color, const Color* cells) override;
    /// Copies a block, skipping `*key` pixels when given; overlapping copies are safe.
    void copy(const platform::Surface& source, const Rect& dest, Point from,
              const Color* key) override;

    /// The pixel at (x, y); black outside the surface.
    Color pixel(std::int32_t x, std::int32_t y) const;
    /// The packed RGB rows, width × height × 3 bytes.
    const std::vector<std::uint8_t>& rgb() const { return rgb_; }
    /// The bounding box of every pixel drawn on since the last call, if any; a window
    /// back end shows just that much.
    std::optional<Rect> takeTouched();

  private:
    /// A rectangle in 64-bit coordinates: translated coordinates may pass 32 bits.
    struct Area {
        std::int64_t left, top, right, bottom;
    };

    Area clipped(Area area) const;
    void touch(const Area& area);
    void fillArea(const Area& area, Color color);
    void put(std::int64_t x, std::int64_t y, Color color);
    void blend(std::int64_t x, std::int64_t y, Color color, std::uint8_t coverage);
    std::uint8_t* at(std::int64_t x, std::int64_t y);
    void copyBlock(const PixelSurface& source, std::int64_t dx, std::int64_t dy, std::int64_t sx,
                   std::int64_t sy, std::int64_t w, std::int64_t h, const Color* key);

    std::int32_t width_;
    std::int32_t height_;
    std::vector<std::uint8_t> rgb_;
    std::optional<Rect> touched_;
};

} // namespace gui::software
