#include "gui/controls/fader.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"

#include <algorithm>

namespace gui {
namespace {

constexpr std::int32_t kZeroAtStart = kFaderLeft | kFaderTop;
constexpr std::int32_t kZeroAtEnd = kFaderRight | kFaderBottom;
constexpr Color kOffscreenBackground{0, 0, 0, 0};

} // namespace

Fader::Fader(const Rect& size, ControlListener* listener, std::int32_t tag, std::int32_t minPos,
             std::int32_t maxPos, Bitmap* handle, Bitmap* background, const Point& offset,
             std::int32_t style)
    : Control(size, listener, tag, background), offset(offset), handle(handle),
      handleWidth(handle != nullptr ? handle->width : 1),
      handleHeight(handle != nullptr ? handle->height : 1), rangeHandle(maxPos - minPos),
      style(style),
      minPos((style & kFaderHorizontal) != 0 ? minPos - size.left : minPos - size.top),
      width(size.right - size.left), height(size.bottom - size.top) {
    if (handle != nullptr) handle->remember();
    setOffsetHandle({0, 0});
}

Fader::~Fader() {
    if (handle != nullptr) handle->forget();
}

// ---- Settings ----------------------------------------------------------------------

void Fader::setDrawTransparentHandle(bool transparent) {
    drawTransparentHandle = transparent;
}

void Fader::setFreeClick(bool free) {
    freeClick = free;
}

bool Fader::getFreeClick() const {
    return freeClick;
}

void Fader::setOffsetHandle(const Point& p) {
    offsetHandle = p;
    if (horizontal()) {
        minTmp = p.x + minPos;
        maxTmp = minTmp + rangeHandle + handleWidth;
    } else {
        minTmp = p.y + minPos;
        maxTmp = minTmp + rangeHandle + handleHeight;
    }
}

void Fader::setHandle(Bitmap* newHandle) {
    if (handle != nullptr) handle->forget();
    handle = newHandle;
    if (handle == nullptr) return;
    handle->remember();
    handleWidth = handle->width;
    handleHeight = handle->height;
}

Bitmap* Fader::getHandle() const {
    return handle;
}

void Fader::setZoomFactor(float factor) {
    zoomFactor = factor;
}

float Fader::getZoomFactor() const {
    return zoomFactor;
}

bool Fader::attached(View* parent) {
    offscreen = std::make_unique<OffscreenContext>(frame, width, height, kOffscreenBackground);
    return Control::attached(parent);
}

bool Fader::removed(View* parent) {
    offscreen.reset();
    return Control::removed(parent);
}

// ---- Drawing -----------------------------------------------------------------------

float Fader::drawnFraction() const {
    // Without a direction bit the handle is drawn from the far end.
    return (style & kZeroAtStart) != 0 ? value : 1.0f - value;
}

Rect Fader::handleRect() const {
    const std::int32_t x = truncate(static_cast<float>(rangeHandle) * drawnFraction());
    Rect r;
    if (horizontal()) {
        r.top = offsetHandle.y;
        r.bottom = r.top + handleHeight;
        r.left = std::max(x + offsetHandle.x, minTmp);
        r.right = std::min(r.left + handleWidth, maxTmp);
    } else {
        r.left = offsetHandle.x;
        r.right = r.left + handleWidth;
        r.top = std::max(x + offsetHandle.y, minTmp);
        r.bottom = std::min(r.top + handleHeight, maxTmp);
    }
    return r;
}

void Fader::draw(DrawContext* ctx) {
    if (offscreen == nullptr || ctx == nullptr) return;
    if (background != nullptr) drawPicture(*offscreen, *background, {0, 0, width, height}, offset);
    if (handle != nullptr) {
        if (drawTransparentHandle) {
            handle->drawTransparent(*offscreen, handleRect());
        } else {
            handle->draw(*offscreen, handleRect());
        }
    }
    offscreen->copyTo(*ctx, size, {0, 0});
    setDirty(false);
}

// ---- Input -------------------------------------------------------------------------

std::int32_t Fader::keyDown(VstKeyCode& key) {
    return arrowKeyGesture(key);
}

bool Fader::wheel(DrawContext* ctx, Point&, float distance) {
    return wheelGesture(ctx, distance);
}

bool Fader::grabPoint(const Point& where, std::int32_t& delta) const {
    const std::int32_t c = horizontal() ? size.left + offsetHandle.x : size.top + offsetHandle.y;
    if (freeClick) {
        // The handle's centre follows the cursor.
        delta = c + (horizontal() ? handleWidth : handleHeight) / 2 - 1;
        return true;
    }
    const std::int32_t x = truncate(static_cast<float>(rangeHandle) * drawnFraction());
    Rect grip;
    if (horizontal()) {
        grip = {c + x, size.top + offsetHandle.y, c + x + handleWidth,
                size.top + offsetHandle.y + handleHeight};
    } else {
        grip = {size.left + offsetHandle.x, c + x, size.left + offsetHandle.x + handleWidth,
                c + x + handleHeight};
    }
    if (!where.isInside(grip)) return false;
    // The handle keeps its offset to the cursor.
    delta = horizontal() ? c + where.x - grip.left : c + where.y - grip.top;
    return true;
}

void Fader::mouse(DrawContext* ctx, Point& where) {
    // Without travel there is no position to turn into a value (it would divide by 0).
    if (!mouseEnabled || rangeHandle == 0) return;
    const ButtonState buttons = readButtons(ctx);
    if (resetOnControlClick(ctx, buttons) || (buttons & kPrimaryButton) == 0) return;
    std::int32_t delta = 0;
    if (!grabPoint(where, delta)) return;
    track(ctx, where, buttons, delta);
}

void Fader::track(DrawContext* ctx, Point where, ButtonState buttons, std::int32_t delta) {
    ButtonState lastButtons = buttons;
    float reference = value;
    beginEdit(true);
    while ((buttons & kPrimaryButton) != 0) {
        const bool shift = (buttons & kShift) != 0;
        if (buttons != lastButtons && shift) {
            // Fine adjustment works around the value at which shift was pressed.
            reference = value;
            lastButtons = buttons;
        } else if (!shift) {
            reference = value;
        }
        const std::int32_t pos = horizontal() ? where.x : where.y;
        value = static_cast<float>(pos - delta) / static_cast<float>(rangeHandle);
        if ((style & kZeroAtEnd) != 0) value = 1.0f - value;
        if (shift) value = reference + (value - reference) / zoomFactor;
        bounceValue();
        notifyIfDirty(ctx);
        where = readCursor(ctx);
        pumpIdle();
        buttons = readButtons(ctx);
    }
    endEdit();
}

HFader::HFader(const Rect& size, ControlListener* listener, std::int32_t tag, std::int32_t minPos,
               std::int32_t maxPos, Bitmap* handle, Bitmap* background, const Point& offset,
               std::int32_t style)
    : Fader(size, listener, tag, minPos, maxPos, handle, background, offset,
            style | kFaderHorizontal) {}

} // namespace gui
