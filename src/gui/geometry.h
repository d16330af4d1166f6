// The value types every part of the toolkit shares: points, rectangles, colours
// and the button-and-modifier bit set read while the mouse is tracked.
#pragma once

#include <cstdint>

namespace gui {

struct Rect;

/// A position in window pixels, y growing downwards.
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;

    /// True when the point lies in `r`, both edges included (the hit test of faders).
    bool isInside(const Rect& r) const;
};

/// Left, top, right, bottom in window pixels; hit and intersection tests include both edges.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    /// right − left.
    std::int32_t width() const { return right - left; }
    /// bottom − top.
    std::int32_t height() const { return bottom - top; }
};

inline bool Point::isInside(const Rect& r) const {
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

/// The smallest rectangle holding both `a` and `b`.
inline Rect unite(const Rect& a, const Rect& b) {
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
            a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

/// Red, green, blue and a spare byte that no drawing reads.
struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t spare = 0;

    /// True when red, green and blue are equal; the spare byte is ignored.
    bool sameRgb(const Color& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

/// Mouse buttons and modifier keys held at one moment: a bit set of the values below.
using ButtonState = std::int32_t;

inline constexpr ButtonState kPrimaryButton = 1;
inline constexpr ButtonState kMiddleButton = 2;
inline constexpr ButtonState kSecondaryButton = 4;
inline constexpr ButtonState kShift = 8;
inline constexpr ButtonState kControl = 16;
inline constexpr ButtonState kAlt = 32;

/// The key record the host hands to the editor: character, virtual key, modifier bits.
/// Same layout as the host's record, so the editor passes it across by value.
struct VstKeyCode {
    std::int32_t character = 0;
    std::uint8_t virt = 0;
    std::uint8_t modifier = 0;
};

} // namespace gui
