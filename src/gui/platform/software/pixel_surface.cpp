#include "gui/platform/software/pixel_surface.h"

#include "gui/platform/software/text_font.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace gui::software {
namespace {

std::int64_t floorDiv2(std::int64_t value) {
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

/// round(i × d / n) for 0 ≤ i < n and 0 ≤ d ≤ n < 2^32, without overflowing.
std::int64_t mulDivRound(std::int64_t i, std::int64_t d, std::int64_t n) {
    const auto product = static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(d);
    const auto quotient = product / static_cast<std::uint64_t>(n);
    const auto remainder = product % static_cast<std::uint64_t>(n);
    return static_cast<std::int64_t>(quotient + (2 * remainder >= static_cast<std::uint64_t>(n)));
}

/// Steps i in [0, n) at which start + sign × i lies in [0, extent).
void stepsInside(std::int64_t start, std::int64_t sign, std::int64_t n, std::int64_t extent,
                 std::int64_t& first, std::int64_t& end) {
    if (sign > 0) {
        first = std::max<std::int64_t>(0, -start);
        end = std::min(n, extent - start);
    } else {
        first = std::max<std::int64_t>(0, start - extent + 1);
        end = std::min(n, start + 1);
    }
}

/// Moves a copy's start on one axis so that both ends lie on their surfaces.
bool clipAxis(std::int64_t& dest, std::int64_t& source, std::int64_t& length,
              std::int64_t destExtent, std::int64_t sourceExtent) {
    const std::int64_t skip = std::max<std::int64_t>({0, -dest, -source});
    dest += skip;
    source += skip;
    length = std::min({length - skip, destExtent - dest, sourceExtent - source});
    return length > 0;
}

std::uint8_t mix(std::uint8_t under, std::uint8_t over, std::uint8_t coverage) {
    return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
}

} // namespace

PixelSurface::PixelSurface(std::int32_t width, std::int32_t height, const std::uint8_t* rgb)
    : width_(std::max(0, width)), height_(std::max(0, height)),
      rgb_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0) {
    if (rgb != nullptr) std::memcpy(rgb_.data(), rgb, rgb_.size());
}

std::uint8_t* PixelSurface::at(std::int64_t x, std::int64_t y) {
    return rgb_.data() + (y * width_ + x) * 3;
}

Color PixelSurface::pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const std::uint8_t* p = rgb_.data() + (static_cast<std::size_t>(y) * width_ + x) * 3;
    return {p[0], p[1], p[2], 0};
}

void PixelSurface::put(std::int64_t x, std::int64_t y, Color color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* p = at(x, y);
    p[0] = color.red;
    p[1] = color.green;
    p[2] = color.blue;
}

void PixelSurface::blend(std::int64_t x, std::int64_t y, Color color, std::uint8_t coverage) {
    if (coverage == 0 || x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* p = at(x, y);
    p[0] = mix(p[0], color.red, coverage);
    p[1] = mix(p[1], color.green, coverage);
    p[2] = mix(p[2], color.blue, coverage);
}

PixelSurface::Area PixelSurface::clipped(Area area) const {
    area.left = std::max<std::int64_t>(area.left, 0);
    area.top = std::max<std::int64_t>(area.top, 0);
    area.right = std::min<std::int64_t>(area.right, width_);
    area.bottom = std::min<std::int64_t>(area.bottom, height_);
    return area;
}

void PixelSurface::touch(const Area& area) {
    const Area inside = clipped(area);
    if (inside.left >= inside.right || inside.top >= inside.bottom) return;
    const Rect r{static_cast<std::int32_t>(inside.left), static_cast<std::int32_t>(inside.top),
                 static_cast<std::int32_t>(inside.right), static_cast<std::int32_t>(inside.bottom)};
    touched_ = touched_ ? unite(*touched_, r) : r;
}

std::optional<Rect> PixelSurface::takeTouched() {
    std::optional<Rect> area;
    area.swap(touched_);
    return area;
}

void PixelSurface::fillArea(const Area& area, Color color) {
    const Area inside = clipped(area);
    touch(inside);
    for (std::int64_t y = inside.top; y < inside.bottom; ++y) {
        std::uint8_t* p = at(inside.left, y);
        for (std::int64_t x = inside.left; x < inside.right; ++x, p += 3) {
            p[0] = color.red;
            p[1] = color.green;
            p[2] = color.blue;
        }
    }
}

void PixelSurface::fill(const Rect& area, Color color) {
    fillArea({area.left, area.top, area.right, area.bottom}, color);
}

void PixelSurface::drawLine(Point from, Point to, const platform::Pen& pen, std::int64_t& phase) {
    const std::int64_t dx = std::int64_t{to.x} - from.x;
    const std::int64_t dy = std::int64_t{to.y} - from.y;
    const std::int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) return;
    // Walk the longer axis one pixel a step, visiting only the steps on the surface.
    const bool alongX = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = alongX ? from.x : from.y;
    const std::int64_t minor = alongX ? from.y : from.x;
    const std::int64_t majorSign = (alongX ? dx : dy) > 0 ? 1 : -1;
    const std::int64_t minorDelta = alongX ? dy : dx;
    std::int64_t first = 0;
    std::int64_t end = 0;
    stepsInside(major, majorSign, steps, alongX ? width_ : height_, first, end);
    const std::int64_t across = std::max(pen.width, 1);
    const std::int64_t dot = std::max(pen.dotLength, 1);
    touch({std::min<std::int64_t>(from.x, to.x), std::min<std::int64_t>(from.y, to.y),
           std::max<std::int64_t>(from.x, to.x) + (alongX ? 1 : across),
           std::max<std::int64_t>(from.y, to.y) + (alongX ? across : 1)});
    for (std::int64_t i = first; i < end; ++i) {
        if (pen.dotted && ((phase + i) / dot) % 2 == 1) continue;
        const std::int64_t offset = mulDivRound(i, std::llabs(minorDelta), steps);
        const std::int64_t m = major + majorSign * i;
        const std::int64_t n = minor + (minorDelta < 0 ? -offset : offset);
        for (std::int64_t k = 0; k < across; ++k)
            put(alongX ? m : n + k, alongX ? n + k : m, pen.color);
    }
    phase += steps;
}

void PixelSurface::drawText(const char* text, const Rect& box, platform::TextAlign align,
                            const platform::Font& font, Color color, const Color* cells) {
    const auto& face = static_cast<const TextFont&>(font);
    if (text == nullptr || !face.valid()) return;
    const Area clip = clipped({box.left, box.top, box.right, box.bottom});
    if (clip.left >= clip.right || clip.top >= clip.bottom) return;
    touch(clip);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::int64_t textWidth = 0;
    for (const unsigned char* c = bytes; *c != 0; ++c)
        textWidth += face.glyph(*c).advance;
    const std::int64_t boxWidth = std::int64_t{box.right} - box.left;
    std::int64_t x = box.left;
    if (align == platform::TextAlign::center) x += floorDiv2(boxWidth - textWidth);
    if (align == platform::TextAlign::right) x = box.right - textWidth;
    const std::int64_t top =
        box.top + floorDiv2(std::int64_t{box.bottom} - box.top - face.cellHeight());
    const std::int64_t baseline = top + face.ascent();
    const auto inClip = [&clip](Area a) {
        return Area{std::max(a.left, clip.left), std::max(a.top, clip.top),
                    std::min(a.right, clip.right), std::min(a.bottom, clip.bottom)};
    };
    if (cells != nullptr)
        fillArea(inClip({x, top, x + textWidth, top + face.cellHeight()}), *cells);
    const std::int64_t textLeft = x;
    for (const unsigned char* c = bytes; *c != 0; ++c) {
        const GlyphImage& g = face.glyph(*c);
        if (x + g.left >= clip.right) break;
        for (std::int32_t row = 0; row < g.rows; ++row) {
            const std::int64_t y = baseline - g.top + row;
            if (y < clip.top || y >= clip.bottom) continue;
            for (std::int32_t col = 0; col < g.width; ++col) {
                const std::int64_t px = x + g.left + col;
                if (px < clip.left || px >= clip.right) continue;
                blend(px, y, color, g.coverage[static_cast<std::size_t>(row) * g.width + col]);
            }
        }
        x += g.advance;
    }
    if (face.underlineThickness() > 0) {
        const std::int64_t lineTop = baseline + face.underlineOffset();
        fillArea(
            inClip({textLeft, lineTop, textLeft + textWidth, lineTop + face.underlineThickness()}),
            color);
    }
}

void PixelSurface::copy(const platform::Surface& source, const Rect& dest, Point from,
                        const Color* key) {
    const auto& pixels = static_cast<const PixelSurface&>(source);
    if (&pixels == this) {
        // Copying within one surface reads from a snapshot so overlapping blocks stay intact.
        const PixelSurface snapshot = *this;
        copy(snapshot, dest, from, key);
        return;
    }
    std::int64_t dx = dest.left;
    std::int64_t dy = dest.top;
    std::int64_t sx = from.x;
    std::int64_t sy = from.y;
    std::int64_t w = std::int64_t{dest.right} - dest.left;
    std::int64_t h = std::int64_t{dest.bottom} - dest.top;
    if (!clipAxis(dx, sx, w, width_, pixels.width_)) return;
    if (!clipAxis(dy, sy, h, height_, pixels.height_)) return;
    copyBlock(pixels, dx, dy, sx, sy, w, h, key);
}

void PixelSurface::copyBlock(const PixelSurface& source, std::int64_t dx, std::int64_t dy,
                             std::int64_t sx, std::int64_t sy, std::int64_t w, std::int64_t h,
                             const Color* key) {
    touch({dx, dy, dx + w, dy + h});
    for (std::int64_t row = 0; row < h; ++row) {
        const std::uint8_t* in = source.rgb_.data() + ((sy + row) * source.width_ + sx) * 3;
        std::uint8_t* out = at(dx, dy + row);
        if (key == nullptr) {
            std::memcpy(out, in, static_cast<std::size_t>(w) * 3);
            continue;
        }
        for (std::int64_t col = 0; col < w; ++col, in += 3, out += 3) {
            if (in[0] == key->red && in[1] == key->green && in[2] == key->blue) continue;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}

} // namespace gui::software
