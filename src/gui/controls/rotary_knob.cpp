#include "gui/controls/rotary_knob.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"

#include <cmath>

namespace gui {
namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kDefaultStartAngle = 3.9269907f; // 5π/4: lower left
constexpr float kDefaultRangeAngle = -4.712389f; // −3π/2: clockwise to lower right
constexpr std::int32_t kPointerInset = 3;
// A linear drag covers the whole range in this many pixels (times the zoom factor
// under shift).
constexpr float kLinearTravel = 200.0f;
constexpr std::int32_t kLinearKnobMode = 2;

std::int32_t insetFor(const Bitmap& handle) {
    return static_cast<std::int32_t>(static_cast<float>(handle.width) * 0.5f + 2.5f);
}

/// `a` brought back into −2π .. 2π by one turn, for the gap tests.
float wrapOnce(float a) {
    if (a < 0.0f) return a + kTwoPi;
    if (a > kTwoPi) return a - kTwoPi;
    return a;
}

} // namespace

RotaryKnob::RotaryKnob(const Rect& size, ControlListener* listener, std::int32_t tag,
                       Bitmap* background, Bitmap* handle, const Point& offset)
    : Control(size, listener, tag, background), offset(offset), handle(handle),
      inset(handle != nullptr ? insetFor(*handle) : kPointerInset),
      radius(static_cast<float>(size.right - size.left) * 0.5f) {
    if (handle != nullptr) handle->remember();
    setStartAngle(kDefaultStartAngle);
    setRangeAngle(kDefaultRangeAngle);
}

RotaryKnob::~RotaryKnob() {
    if (handle != nullptr) handle->forget();
}

// ---- Geometry ----------------------------------------------------------------------

void RotaryKnob::updateCoefficients() {
    aCoef = (vmax - vmin) / rangeAngle;
    bCoef = vmin - aCoef * startAngle;
    halfGap = (kTwoPi - std::fabs(rangeAngle)) * 0.5f;
    setDirty(true);
}

void RotaryKnob::setStartAngle(float angle) {
    startAngle = angle;
    updateCoefficients();
}

float RotaryKnob::getStartAngle() const {
    return startAngle;
}

void RotaryKnob::setRangeAngle(float angle) {
    rangeAngle = angle;
    updateCoefficients();
}

float RotaryKnob::getRangeAngle() const {
    return rangeAngle;
}

void RotaryKnob::valueToPoint(Point& p) const {
    const double angle = (static_cast<double>(value) - bCoef) / aCoef;
    const double onCircle = static_cast<double>(radius) - inset;
    p.x = truncate(static_cast<float>(radius + std::cos(angle) * onCircle + 0.5));
    p.y = truncate(static_cast<float>(radius - std::sin(angle) * onCircle + 0.5));
}

float RotaryKnob::valueFromPoint(const Point& p) const {
    float alpha = std::atan2(radius - static_cast<float>(p.y), static_cast<float>(p.x) - radius);
    if (alpha < 0.0f) alpha += kTwoPi;
    alpha -= startAngle;
    if (rangeAngle < 0.0f) {
        float beta = alpha - rangeAngle;
        const float w = wrapOnce(beta);
        const float gapMiddle = halfGap - rangeAngle;
        // A point in the free part of the circle snaps to the nearer end.
        if (w > gapMiddle) return vmax;
        if (w > -rangeAngle) return vmin;
        if (beta > gapMiddle) {
            beta -= kTwoPi;
        } else if (beta < -halfGap) {
            beta += kTwoPi;
        }
        return vmax + beta * aCoef;
    }
    const float w = wrapOnce(alpha);
    const float gapMiddle = rangeAngle + halfGap;
    if (w > gapMiddle) return vmin;
    if (w > rangeAngle) return vmax;
    if (alpha > gapMiddle) {
        alpha -= kTwoPi;
    } else if (alpha < -halfGap) {
        alpha += kTwoPi;
    }
    return vmin + alpha * aCoef;
}

void RotaryKnob::setInset(std::int32_t pixels) {
    inset = pixels;
}

void RotaryKnob::setShadowColor(Color color) {
    shadowColor = color;
    setDirty(true);
}

void RotaryKnob::setHandleColor(Color color) {
    handleColor = color;
    setDirty(true);
}

void RotaryKnob::setHandleBitmap(Bitmap* newHandle) {
    if (handle != nullptr) handle->forget();
    handle = newHandle;
    if (handle == nullptr) return;
    handle->remember();
    inset = insetFor(*handle);
}

void RotaryKnob::setZoomFactor(float factor) {
    zoomFactor = factor;
}

float RotaryKnob::getZoomFactor() const {
    return zoomFactor;
}

// ---- Drawing -----------------------------------------------------------------------

void RotaryKnob::draw(DrawContext* ctx) {
    if (ctx != nullptr) {
        if (background != nullptr) drawPicture(*ctx, *background, size, offset);
        drawHandle(ctx);
    }
    setDirty(false);
}

void RotaryKnob::drawHandle(DrawContext* ctx) {
    if (ctx == nullptr) return;
    Point p;
    valueToPoint(p);
    if (handle != nullptr) {
        const std::int32_t left = size.left + p.x - handle->width / 2;
        const std::int32_t top = size.top + p.y - handle->height / 2;
        handle->drawTransparent(*ctx, {left, top, left + handle->width, top + handle->height});
        return;
    }
    const Point centre{size.left + (size.right - size.left) / 2,
                       size.top + (size.bottom - size.top) / 2};
    // The shadow one pixel left, the pointer one pixel up from it.
    ctx->setLineColor(shadowColor);
    ctx->moveTo({size.left + p.x - 1, size.top + p.y});
    ctx->lineTo({centre.x - 1, centre.y});
    ctx->setLineColor(handleColor);
    ctx->moveTo({size.left + p.x, size.top + p.y - 1});
    ctx->lineTo({centre.x, centre.y - 1});
}

// ---- Input -------------------------------------------------------------------------

std::int32_t RotaryKnob::keyDown(VstKeyCode& key) {
    return arrowKeyGesture(key);
}

bool RotaryKnob::wheel(DrawContext* ctx, Point&, float distance) {
    return wheelGesture(ctx, distance);
}

bool RotaryKnob::linearDrag(ButtonState buttons, std::int32_t knobMode) const {
    // Alt swaps whichever way the host chose.
    return (knobMode == kLinearKnobMode) != ((buttons & kAlt) != 0);
}

float RotaryKnob::linearSpan(ButtonState buttons) const {
    return (buttons & kShift) != 0 ? zoomFactor * kLinearTravel : kLinearTravel;
}

Point RotaryKnob::local(const Point& where) const {
    return {where.x - size.left, where.y - size.top};
}

void RotaryKnob::mouse(DrawContext* ctx, Point& where) {
    const ButtonState buttons = readButtons(ctx);
    if (!acceptsClick(buttons) || resetOnControlClick(ctx, buttons)) return;
    const std::int32_t knobMode = frame != nullptr ? frame->knobMode() : 0;
    if (linearDrag(buttons, knobMode)) {
        trackLinear(ctx, where, buttons);
    } else {
        trackCircular(ctx, where);
    }
}

void RotaryKnob::trackCircular(DrawContext* ctx, Point where) {
    const float halfRange = (vmax - vmin) * 0.5f;
    float previous = valueFromPoint(local(where));
    beginEdit(true);
    Point last{-1, -1};
    ButtonState buttons = 0;
    do {
        buttons = readButtons(ctx);
        if (where.x != last.x || where.y != last.y) {
            last = where;
            const float v = valueFromPoint(local(where));
            value = v;
            // A jump across the gap holds the value at the end it came from until the
            // cursor comes back.
            if (previous - v > halfRange) {
                value = vmax;
            } else if (v - previous > halfRange) {
                value = vmin;
            } else {
                previous = v;
            }
            notifyIfDirty(ctx);
        }
        where = readCursor(ctx);
        pumpIdle();
    } while ((buttons & kPrimaryButton) != 0);
    endEdit();
}

void RotaryKnob::trackLinear(DrawContext* ctx, Point where, ButtonState buttons) {
    const Point start = where;
    float entry = value;
    float coef = (vmax - vmin) / linearSpan(buttons);
    ButtonState lastButtons = buttons;
    beginEdit(true);
    Point last{-1, -1};
    do {
        buttons = readButtons(ctx);
        if (where.x != last.x || where.y != last.y) {
            last = where;
            const auto diff = static_cast<float>((where.x - start.x) + (start.y - where.y));
            if (buttons != lastButtons) {
                // Re-anchor so that pressing or releasing shift does not make the value jump.
                const float newCoef = (vmax - vmin) / linearSpan(buttons);
                entry += (coef - newCoef) * diff;
                coef = newCoef;
                lastButtons = buttons;
            }
            value = entry + diff * coef;
            bounceValue();
            notifyIfDirty(ctx);
        }
        where = readCursor(ctx);
        pumpIdle();
    } while ((buttons & kPrimaryButton) != 0);
    endEdit();
}

} // namespace gui
