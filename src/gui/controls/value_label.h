// A control that shows its value as text in a rectangle, formatted by a function the
// editor gives it ("%2.2f" without one), over a fill with a plain or embossed frame or
// over a background picture, with an optional shadow under the text.
#pragma once

#include "gui/controls/control.h"

#include <cstdint>

namespace gui {

/// Formats `value` into `text` (at most 255 characters and a terminator).
using ValueToTextFunction = void (*)(float value, char* text);
/// Formats `value` into `text` with the label's user data.
using ValueToTextWithDataFunction = void (*)(float value, char* text, void* data);

/// Style bits of labels and text fields.
inline constexpr std::int32_t kLabelShadow = 0x4;
/// Sunken frame: top and left edges in backColor, bottom and right in frameColor.
inline constexpr std::int32_t kLabelSunken = 0x80;
/// Raised frame: top and left edges in frameColor, bottom and right in backColor.
inline constexpr std::int32_t kLabelRaised = 0x100;
/// No text is drawn.
inline constexpr std::int32_t kLabelNoText = 0x800;
/// Nothing is drawn; the label also starts clean.
inline constexpr std::int32_t kLabelNoDraw = 0x1000;
/// Text fields only: editing starts on a double click.
inline constexpr std::int32_t kLabelDoubleClick = 0x2000;

/// Size of the text buffers of labels and fields: 255 characters and a terminator.
inline constexpr std::int32_t kLabelTextSize = 256;

/// Shows the value as text; takes no clicks of its own. Its setters mark it dirty only
/// on a real change. GUI thread only.
class ValueLabel : public Control {
  public:
    /// Makes a label over `size` (no listener, tag 0) over `background` (may be null) with
    /// the style bits above. Centred white text of font 3 on black.
    ValueLabel(const Rect& size, Bitmap* background, std::int32_t style);

    /// Draws the formatted value; ends clean.
    void draw(DrawContext* ctx) override;

    /// Chooses font `index` of the font table.
    virtual void setFont(std::int32_t index);
    /// Sets the text colour (dirty only when red, green or blue differ).
    virtual void setFontColor(Color color);
    /// Sets the fill colour, also the light edge of a sunken frame (same dirty rule).
    virtual void setBackColor(Color color);
    /// Sets the frame colour, also the light edge of a raised frame (same dirty rule).
    virtual void setFrameColor(Color color);
    /// Sets the colour of the text shadow (same dirty rule).
    virtual void setShadowColor(Color color);
    /// Sets the alignment: 1 centred, 2 right, anything else left.
    virtual void setAlign(std::int32_t newAlign);
    /// Sets a formatting function taking `data`; it wins over setValueToText's.
    virtual void setValueToTextWithData(ValueToTextWithDataFunction function, void* data);
    /// Sets the formatting function (null: "%2.2f").
    virtual void setValueToText(ValueToTextFunction function);
    /// Stores a word that nothing reads.
    virtual void setSpare(std::int32_t word);
    /// Replaces the style bits.
    virtual void setStyle(std::int32_t newStyle);
    /// Sets the font style bits: 1 bold, 2 italic, 4 underline.
    virtual void setTextFace(std::int32_t face);
    /// Draws the text without (true) or with (false) filling its cells.
    virtual void setTextTransparency(bool transparent);

    /// Index of the font in the font table.
    std::int32_t getFont() const { return fontIndex; }
    /// Text colour.
    Color getFontColor() const { return fontColor; }
    /// Fill colour.
    Color getBackColor() const { return backColor; }
    /// Frame colour.
    Color getFrameColor() const { return frameColor; }
    /// Alignment.
    std::int32_t getAlign() const { return align; }
    /// Style bits.
    std::int32_t getStyle() const { return style; }

  protected:
    /// Draws the background, the frame and `text` as the style says; ends clean.
    /// `picture` (may be null) is drawn instead of the control's background.
    void drawLabel(DrawContext* ctx, const char* text, Bitmap* picture);
    /// User data handed to the formatting functions that take it.
    void* userData = nullptr;

  private:
    void setColor(Color& field, Color color);
    void drawBackground(DrawContext& ctx, Bitmap* picture);
    void drawEmbossedFrame(DrawContext& ctx) const;
    void drawText(DrawContext& ctx, const char* text);

    ValueToTextFunction valueToText = nullptr;
    ValueToTextWithDataFunction valueToTextWithData = nullptr;
    std::int32_t spare = 0;
    std::int32_t align = 1;
    std::int32_t style;
    std::int32_t fontIndex = 3;
    std::int32_t textFace = 0;
    Color fontColor{255, 255, 255, 0};
    Color backColor{0, 0, 0, 0};
    Color frameColor{0, 0, 0, 0};
    Color shadowColor{255, 0, 0, 0};
    bool textTransparent = true;
};

} // namespace gui
