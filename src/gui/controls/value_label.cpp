#include "gui/controls/value_label.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"

#include <cstdio>

namespace gui {
namespace {

constexpr std::int32_t kEmbossed = kLabelSunken | kLabelRaised;

} // namespace

ValueLabel::ValueLabel(const Rect& size, Bitmap* background, std::int32_t style)
    : Control(size, nullptr, 0, background), style(style) {
    if ((style & kLabelNoDraw) != 0) setDirty(false);
}

void ValueLabel::draw(DrawContext* ctx) {
    char text[kLabelTextSize] = {};
    if (valueToTextWithData != nullptr) {
        valueToTextWithData(value, text, userData);
    } else if (valueToText != nullptr) {
        valueToText(value, text);
    } else {
        std::snprintf(text, sizeof text, "%2.2f", static_cast<double>(value));
    }
    drawLabel(ctx, text, nullptr);
}

// ---- Settings ----------------------------------------------------------------------

void ValueLabel::setColor(Color& field, Color color) {
    // The spare byte is never drawn, so a change there needs no redraw.
    if (!field.sameRgb(color)) setDirty(true);
    field = color;
}

void ValueLabel::setFont(std::int32_t index) {
    if (index != fontIndex) setDirty(true);
    fontIndex = index;
}

void ValueLabel::setFontColor(Color color) {
    setColor(fontColor, color);
}

void ValueLabel::setBackColor(Color color) {
    setColor(backColor, color);
}

void ValueLabel::setFrameColor(Color color) {
    setColor(frameColor, color);
}

void ValueLabel::setShadowColor(Color color) {
    setColor(shadowColor, color);
}

void ValueLabel::setAlign(std::int32_t newAlign) {
    if (newAlign != align) setDirty(true);
    align = newAlign;
}

void ValueLabel::setValueToTextWithData(ValueToTextWithDataFunction function, void* data) {
    valueToTextWithData = function;
    userData = data;
}

void ValueLabel::setValueToText(ValueToTextFunction function) {
    valueToText = function;
}

void ValueLabel::setSpare(std::int32_t word) {
    spare = word;
}

void ValueLabel::setStyle(std::int32_t newStyle) {
    if (newStyle == style) return;
    style = newStyle;
    setDirty(true);
}

void ValueLabel::setTextFace(std::int32_t face) {
    if (face != textFace) setDirty(true);
    textFace = face;
}

void ValueLabel::setTextTransparency(bool transparent) {
    textTransparent = transparent;
}

// ---- Drawing -----------------------------------------------------------------------

void ValueLabel::drawLabel(DrawContext* ctx, const char* text, Bitmap* picture) {
    setDirty(false);
    if ((style & kLabelNoDraw) != 0 || ctx == nullptr) return;
    drawBackground(*ctx, picture);
    if ((style & kEmbossed) != 0) drawEmbossedFrame(*ctx);
    if ((style & kLabelNoText) != 0 || text == nullptr || text[0] == '\0') return;
    drawText(*ctx, text);
}

void ValueLabel::drawBackground(DrawContext& ctx, Bitmap* picture) {
    Bitmap* shown = picture != nullptr ? picture : background;
    if (shown != nullptr) {
        drawPicture(ctx, *shown, size, backOffset);
        return;
    }
    if (transparency) return;
    ctx.setFillColor(backColor);
    ctx.fillRect(size);
    if ((style & kEmbossed) != 0) return;
    ctx.setLineColor(frameColor);
    ctx.outlineRect(size);
}

void ValueLabel::drawEmbossedFrame(DrawContext& ctx) const {
    const bool sunken = (style & kLabelSunken) != 0;
    ctx.setLineColor(sunken ? backColor : frameColor);
    ctx.moveTo({size.left, size.bottom});
    ctx.lineTo({size.left, size.top});
    ctx.lineTo({size.right + 1, size.top});
    ctx.setLineColor(sunken ? frameColor : backColor);
    ctx.moveTo({size.right, size.top + 1});
    ctx.lineTo({size.right, size.bottom});
    ctx.lineTo({size.left, size.bottom});
}

void ValueLabel::drawText(DrawContext& ctx, const char* text) {
    ctx.setFont(fontIndex, 0, textFace);
    if ((style & kLabelShadow) != 0) {
        ctx.setTextColor(shadowColor);
        const Rect shadow{size.left + 1, size.top + 1, size.right + 1, size.bottom + 1};
        ctx.drawText(text, shadow, !textTransparent, align);
    }
    ctx.setTextColor(fontColor);
    ctx.drawText(text, size, !textTransparent, align);
}

} // namespace gui
