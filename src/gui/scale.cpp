#include "gui/scale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gui {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

/// `v` held inside the 32-bit range: translated coordinates may lie far outside.
std::int32_t clamped(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

/// The editor pixel of window pixel `p` at `halves`: floor((2p + 1) / h).
std::int64_t editorPixel(std::int64_t p, std::int32_t halves) {
    return floorDiv(2 * p + 1, halves);
}

} // namespace

Scale Scale::nearest(double factor) {
    if (!(factor >= 1.25)) return Scale{2};
    return Scale{factor < 1.75 ? 3 : 4};
}

std::int32_t Scale::toWindow(std::int32_t v) const {
    return clamped(floorDiv(std::int64_t{v} * halves_, 2));
}

Rect Scale::toWindow(const Rect& r) const {
    return {toWindow(r.left), toWindow(r.top), toWindow(r.right), toWindow(r.bottom)};
}

// Window pixel p lies in editor pixel L when floor(L × h / 2) <= p < floor((L + 1) × h / 2),
// which is L = floor((2p + 1) / h).
std::int32_t Scale::toEditor(std::int32_t p) const {
    return clamped(editorPixel(p, halves_));
}

Rect Scale::coveringEditorArea(const Rect& r) const {
    return {toEditor(r.left), toEditor(r.top),
            clamped(editorPixel(r.right - std::int64_t{1}, halves_) + 1),
            clamped(editorPixel(r.bottom - std::int64_t{1}, halves_) + 1)};
}

std::int32_t Scale::length(std::int32_t v) const {
    return clamped(floorDiv(std::int64_t{v} * halves_ + 1, 2));
}

} // namespace gui
