#include "gui/controls/control.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/platform/platform.h"

#include <algorithm>
#include <cmath>

namespace gui {
namespace {

// Shorter double-click times make a double click nearly impossible to hit.
constexpr std::int32_t kMinDoubleClickTime = 250;
// Primary button with control and nothing else: the reset-to-default click.
constexpr ButtonState kResetClick = kPrimaryButton | kControl;

// Host virtual keys of the arrows and the key modifier bit of shift.
constexpr std::uint8_t kKeyLeft = 11;
constexpr std::uint8_t kKeyUp = 12;
constexpr std::uint8_t kKeyRight = 13;
constexpr std::uint8_t kKeyDown = 14;
constexpr std::uint8_t kKeyModifierShift = 1;

// Under shift the wheel and the arrow keys move in tenths of a step.
constexpr float kFineStep = 0.1f;

} // namespace

Control::Control(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background)
    : View(size), listener(listener), tag(tag),
      doubleClickTime(std::max(platform::doubleClickTime(), kMinDoubleClickTime)),
      background(background) {
    if (background != nullptr) background->remember();
}

Control::~Control() {
    if (background != nullptr) background->forget();
}

bool Control::isDirty() const {
    // A NaN on either side compares unequal, so it always counts as a change.
    return value != oldValue || View::isDirty();
}

void Control::setDirty(bool flag) {
    View::setDirty(flag);
    if (flag) {
        oldValue = value == -1.0f ? 0.0f : -1.0f;
    } else {
        oldValue = value;
    }
}

void Control::pumpIdle() {
    if (frame != nullptr) frame->pumpIdle();
}

void Control::setValue(float newValue) {
    value = newValue;
}

float Control::getValue() const {
    return value;
}

void Control::setMin(float newMin) {
    vmin = newMin;
}

float Control::getMin() const {
    return vmin;
}

void Control::setMax(float newMax) {
    vmax = newMax;
}

float Control::getMax() const {
    return vmax;
}

void Control::setOldValue(float newOldValue) {
    oldValue = newOldValue;
}

float Control::getOldValue() const {
    return oldValue;
}

void Control::setDefaultValue(float newDefault) {
    defaultValue = newDefault;
}

float Control::getDefaultValue() const {
    return defaultValue;
}

void Control::setTag(std::int32_t newTag) {
    tag = newTag;
}

void Control::setBackground(Bitmap* newBackground) {
    if (background != nullptr) background->forget();
    background = newBackground;
    if (background != nullptr) background->remember();
}

Bitmap* Control::getBackground() const {
    return background;
}

void Control::setBackOffset(const Point& offset) {
    backOffset = offset;
}

void Control::copyBackOffset() {
    backOffset = {size.left, size.top};
}

void Control::setWheelStep(float step) {
    wheelStep = step;
}

float Control::getWheelStep() const {
    return wheelStep;
}

void Control::bounceValue() {
    if (value > vmax) {
        value = vmax;
    } else if (value < vmin) {
        value = vmin;
    }
}

bool Control::checkDoubleClick() {
    // Without an editor the frame has no clock, and no two clicks can be timed.
    if (frame == nullptr || frame->getEditor() == nullptr) return false;
    const auto now = static_cast<std::uint32_t>(frame->getTicks());
    const auto window = static_cast<std::uint32_t>(doubleClickTime);
    if (awaitingSecondClick && now - lastClickTicks < window) {
        awaitingSecondClick = false;
        return true;
    }
    lastClickTicks = now;
    awaitingSecondClick = true;
    return false;
}

// ---- Shared gestures ---------------------------------------------------------------

bool Control::acceptsClick(ButtonState buttons) const {
    return mouseEnabled && (buttons & kPrimaryButton) != 0;
}

bool Control::resetOnControlClick(DrawContext* ctx, ButtonState buttons) {
    if (buttons != kResetClick) return false;
    value = defaultValue;
    notifyIfDirty(ctx);
    return true;
}

void Control::notifyIfDirty(DrawContext* ctx) {
    if (listener != nullptr && isDirty()) listener->valueChanged(ctx, this);
}

void Control::beginEdit(bool takeFocus) {
    if (frame == nullptr) return;
    frame->beginEdit(tag);
    if (takeFocus) frame->setFocus(this);
}

void Control::endEdit() {
    if (frame != nullptr) frame->endEdit(tag);
}

bool Control::wheelGesture(DrawContext* ctx, float distance) {
    if (!mouseEnabled) return false;
    const float step = distance * wheelStep;
    value += (readButtons(ctx) & kShift) != 0 ? step * kFineStep : step;
    bounceValue();
    notifyIfDirty(ctx);
    return true;
}

std::int32_t Control::arrowKeyGesture(const VstKeyCode& key) {
    float direction = 0.0f;
    if (key.virt == kKeyLeft || key.virt == kKeyDown) {
        direction = -1.0f;
    } else if (key.virt == kKeyUp || key.virt == kKeyRight) {
        direction = 1.0f;
    } else {
        return -1;
    }
    const float step = direction * wheelStep;
    value += (key.modifier & kKeyModifierShift) != 0 ? step * kFineStep : step;
    bounceValue();
    notifyIfDirty(nullptr);
    return 1;
}

ButtonState Control::readButtons(const DrawContext* ctx) {
    return ctx != nullptr ? ctx->readButtons() : platform::readButtons();
}

Point Control::readCursor(const DrawContext* ctx) const {
    Point where;
    if (ctx != nullptr) {
        ctx->readCursor(where);
    } else if (frame != nullptr) {
        frame->cursorPosition(where);
    } else {
        where = platform::readCursor();
    }
    return where;
}

std::int32_t Control::truncate(float v) {
    if (std::isnan(v)) return 0;
    constexpr float kLimit = 2147483520.0f; // the largest float below 2^31
    return static_cast<std::int32_t>(std::clamp(v, -kLimit, kLimit));
}

void Control::drawPicture(DrawContext& ctx, Bitmap& source, const Rect& dest,
                          const Point& from) const {
    if (transparency) {
        source.drawTransparent(ctx, dest, from);
    } else {
        source.draw(ctx, dest, from);
    }
}

} // namespace gui
