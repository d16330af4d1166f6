#include "gui/controls/step_switch.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace gui {
namespace {

// Position k has the value k × 0.1; a sum more than half a step past the last
// position wraps to the first.
constexpr float kPositionStep = 0.1f;
constexpr float kHalfStep = 0.05f;
constexpr float kFramesPerUnit = 10.0f;

} // namespace

StepSwitch::StepSwitch(const Rect& size, ControlListener* listener, std::int32_t tag,
                       std::int32_t imageCount, std::int32_t imageHeight, std::int32_t positions,
                       Bitmap* background, const Point& offset)
    : Control(size, listener, tag, background), offset(offset), imageCount(imageCount),
      imageHeight(imageHeight), positions(std::min(positions, kMaxPositions)) {
    defaultValue = 0.0f;
}

void StepSwitch::draw(DrawContext* ctx) {
    if (background != nullptr && ctx != nullptr) {
        const std::int32_t frameIndex = truncate(value * kFramesPerUnit);
        // A value set from far outside the range points far outside the strip, where
        // nothing is drawn; the product must not overflow on the way there.
        const std::int64_t top = std::int64_t{frameIndex} * imageHeight;
        const auto limit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max());
        drawPicture(*ctx, *background, size,
                    {0, static_cast<std::int32_t>(std::clamp(top, -limit, limit))});
    }
    setDirty(false);
}

void StepSwitch::mouse(DrawContext* ctx, Point&) {
    const ButtonState buttons = readButtons(ctx);
    if (!acceptsClick(buttons) || resetOnControlClick(ctx, buttons)) return;
    beginEdit(false);
    value += kPositionStep;
    if (value > static_cast<float>(positions) * kPositionStep - kHalfStep) value = 0.0f;
    notifyIfDirty(ctx);
    waitForButtonChange(ctx, buttons);
    endEdit();
}

void StepSwitch::waitForButtonChange(const DrawContext* ctx, ButtonState pressed) {
    // One click is one step however long the button is held; the host stays alive.
    while (readButtons(ctx) == pressed)
        pumpIdle();
}

} // namespace gui
