#include "gui/draw_context.h"

#include "gui/frame.h"
#include "gui/platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace gui {
namespace {

constexpr FontTableEntry kFontTable[kFontCount] = {
    {"Arial", 12}, {"Arial", 18}, {"Arial", 14}, {"Arial", 12},
    {"Arial", 11}, {"Arial", 10}, {"Arial", 9},  {"Symbol", 13},
};
constexpr std::int32_t kBoldFontIndex = 0;
constexpr std::int32_t kDecorativeFontIndex = 7;

constexpr std::int32_t kStyleBold = 1;
constexpr std::int32_t kStyleItalic = 2;
constexpr std::int32_t kStyleUnderline = 4;

constexpr std::int32_t kAlignCenter = 1;
constexpr std::int32_t kAlignRight = 2;

/// a + b, held at the ends of the 32-bit range instead of wrapping.
std::int32_t addClamped(std::int32_t a, std::int32_t b) {
    const std::int64_t sum = std::int64_t{a} + b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool validFontIndex(std::int32_t index) {
    return index >= 0 && index < kFontCount;
}

Scale scaleOf(const Frame* frame) {
    return frame != nullptr ? frame->scale() : Scale{};
}

/// Where a line's walk starts or stops on one axis at `scale`: the first window pixel
/// of editor pixel `v` when walking towards larger coordinates, its last one when
/// walking back, so that the same editor pixels are covered either way.
std::int32_t lineEnd(const Scale& scale, std::int32_t v, bool backwards) {
    return backwards ? addClamped(scale.toWindow(addClamped(v, 1)), -1) : scale.toWindow(v);
}

} // namespace

const FontTableEntry& fontTableEntry(std::int32_t index) {
    return kFontTable[validFontIndex(index) ? index : 0];
}

DrawContext::DrawContext(Frame* frame, platform::Surface* surface, platform::Window* window)
    : scale_(scaleOf(frame)), surface_(surface), window_(window), frame_(frame) {
    if (window_ != nullptr) windowOrigin_ = window_->origin();
}

DrawContext::~DrawContext() = default;

void DrawContext::setLineColor(Color color) {
    lineColor_ = color;
}

void DrawContext::setLineStyle(std::int32_t style) {
    lineStyle_ = style;
    dotPhase_ = 0;
}

void DrawContext::setFillColor(Color color) {
    fillColor_ = color;
}

void DrawContext::setTextColor(Color color) {
    textColor_ = color;
}

void DrawContext::setFont(std::int32_t index, std::int32_t size, std::int32_t style) {
    fontIndex_ = validFontIndex(index) ? index : 0;
    fontSize_ = size == 0 ? kFontTable[fontIndex_].defaultSize : size;
    fontStyle_ = style;
    font_.reset();
}

const platform::Font& DrawContext::currentFont() {
    if (font_ == nullptr) {
        if (fontSize_ == 0) fontSize_ = kFontTable[fontIndex_].defaultSize;
        platform::FontRequest request;
        request.face = kFontTable[fontIndex_].face;
        request.height = scale_.length(fontSize_);
        request.bold = (fontStyle_ & kStyleBold) != 0 || fontIndex_ == kBoldFontIndex;
        request.italic = (fontStyle_ & kStyleItalic) != 0;
        request.underline = (fontStyle_ & kStyleUnderline) != 0;
        request.decorative = fontIndex_ == kDecorativeFontIndex;
        font_ = platform::createFont(request);
    }
    return *font_;
}

Point DrawContext::translate(Point p) const {
    return {addClamped(p.x, offset.x), addClamped(p.y, offset.y)};
}

Rect DrawContext::translate(const Rect& r) const {
    return {addClamped(r.left, offset.x), addClamped(r.top, offset.y),
            addClamped(r.right, offset.x), addClamped(r.bottom, offset.y)};
}

void DrawContext::moveTo(Point p) {
    penPosition_ = p;
    dotPhase_ = 0;
}

void DrawContext::lineTo(Point p) {
    if (surface_ != nullptr) drawScaledLine(translate(penPosition_), translate(p));
    penPosition_ = p;
}

// A line covers the window pixels of the editor pixels it passes, as many across as
// one editor pixel has there, and its dots grow with it.
void DrawContext::drawScaledLine(Point from, Point to) {
    const bool alongX =
        std::abs(std::int64_t{to.x} - from.x) >= std::abs(std::int64_t{to.y} - from.y);
    const bool backX = alongX && to.x < from.x;
    const bool backY = !alongX && to.y < from.y;
    const std::int32_t across = alongX ? from.y : from.x;
    platform::Pen pen{lineColor_, lineStyle_ == 1};
    pen.width = scale_.toWindow(addClamped(across, 1)) - scale_.toWindow(across);
    pen.dotLength = scale_.length(pen.dotLength);
    surface_->drawLine({lineEnd(scale_, from.x, backX), lineEnd(scale_, from.y, backY)},
                       {lineEnd(scale_, to.x, backX), lineEnd(scale_, to.y, backY)}, pen,
                       dotPhase_);
}

void DrawContext::outlineRect(const Rect& r) {
    moveTo({r.left, r.top});
    lineTo({r.right, r.top});
    lineTo({r.right, r.bottom});
    lineTo({r.left, r.bottom});
    lineTo({r.left, r.top});
}

void DrawContext::fillRect(const Rect& r) {
    if (surface_ == nullptr) return;
    const Rect inside = translate(r);
    surface_->fill(scale_.toWindow(Rect{addClamped(inside.left, 1), addClamped(inside.top, 1),
                                        inside.right, inside.bottom}),
                   fillColor_);
}

void DrawContext::drawText(const char* text, const Rect& r, bool opaque, std::int32_t align) {
    if (text == nullptr || surface_ == nullptr) return;
    Rect box = translate(r);
    platform::TextAlign placement = platform::TextAlign::left;
    if (align == kAlignCenter) {
        placement = platform::TextAlign::center;
    } else if (align == kAlignRight) {
        placement = platform::TextAlign::right;
    } else {
        box.left = addClamped(box.left, 1);
    }
    surface_->drawText(text, scale_.toWindow(box), placement, currentFont(), textColor_,
                       opaque ? &fillColor_ : nullptr);
}

void DrawContext::drawSurface(const platform::Surface& source, const Rect& dest, Point from,
                              const Color* key) {
    if (surface_ != nullptr)
        surface_->copy(source, scale_.toWindow(translate(dest)), scale_.toWindow(from), key);
}

ButtonState DrawContext::readButtons() const {
    return platform::readButtons();
}

void DrawContext::readCursor(Point& p) const {
    const Point screen = platform::readCursor();
    p = scale_.toEditor(Point{screen.x - windowOrigin_.x, screen.y - windowOrigin_.y});
}

OffscreenContext::OffscreenContext(Frame* frame, std::int32_t width, std::int32_t height,
                                   Color background)
    : DrawContext(frame, nullptr, nullptr), height_(height), width_(width),
      memory_(platform::createSurface(scaleOf(frame).toWindow(width),
                                      scaleOf(frame).toWindow(height))) {
    attachSurface(memory_.get());
    // A fresh memory surface writes text in black until told otherwise.
    setTextColor({0, 0, 0, 0});
    setFillColor(background);
    setLineColor(background);
    fillRect({0, 0, width, height});
    outlineRect({0, 0, width, height});
}

OffscreenContext::~OffscreenContext() = default;

void OffscreenContext::copyTo(DrawContext& dest, const Rect& destRect, const Point& source) {
    dest.drawSurface(*memory_, destRect, source);
}

WindowContext::WindowContext(Frame* frame, platform::Window* window)
    : DrawContext(frame, window != nullptr ? &window->acquireSurface() : nullptr, window) {}

WindowContext::~WindowContext() {
    if (getWindow() != nullptr) getWindow()->releaseSurface();
}

} // namespace gui
