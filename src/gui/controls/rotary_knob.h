// A circular knob over a background picture, with a handle bitmap or a two-line
// pointer that sits on a circle and turns with the value. The value maps linearly
// onto an arc (by default 270°, clockwise from lower left to lower right); dragging
// follows the cursor's angle (circular) or its travel up and right (linear).
#pragma once

#include "gui/controls/control.h"

namespace gui {

/// The editor's main control. GUI thread only.
class RotaryKnob : public Control {
  public:
    /// Makes a knob over `size` for `tag`, reporting to `listener` (may be null), drawing
    /// `background` (may be null) from `offset` and `handle` (may be null: a drawn pointer
    /// then) on the value's point of the arc. Angles 5π/4 and −3π/2; inset from the
    /// handle's width (3 without one); zoom factor 1.5.
    RotaryKnob(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background,
               Bitmap* handle, const Point& offset);
    /// Forgets the handle.
    ~RotaryKnob() override;

    /// Draws the background, then the handle; ends clean.
    void draw(DrawContext* ctx) override;
    /// Control-click resets; a primary click drags the value (circular or linear by the
    /// host's knob mode, swapped while alt is held) until the button is released.
    void mouse(DrawContext* ctx, Point& where) override;
    /// Arrow keys step the value (a tenth of a step under shift).
    std::int32_t keyDown(VstKeyCode& key) override;
    /// Wheel steps change the value (a tenth of a step under shift).
    bool wheel(DrawContext* ctx, Point& where, float distance) override;

    /// Draws the handle bitmap, or the pointer lines, at the value's point.
    virtual void drawHandle(DrawContext* ctx);
    /// Sets the angle of the min value (radians, counter-clockwise from +x).
    virtual void setStartAngle(float angle);
    /// The angle of the min value.
    virtual float getStartAngle() const;
    /// Sets the signed arc from min to max (negative turns clockwise).
    virtual void setRangeAngle(float angle);
    /// The signed arc from min to max.
    virtual float getRangeAngle() const;
    /// Stores the handle's point for the value, relative to the knob's top-left, in `p`.
    virtual void valueToPoint(Point& p) const;
    /// The value for point `p` relative to the knob's top-left; points in the free part
    /// of the circle give the nearer end.
    virtual float valueFromPoint(const Point& p) const;
    /// Sets how far inside the knob's radius the handle circle lies, in pixels.
    virtual void setInset(std::int32_t pixels);
    /// Sets the colour of the pointer's shadow line and marks the knob dirty.
    virtual void setShadowColor(Color color);
    /// Sets the colour of the pointer line and marks the knob dirty.
    virtual void setHandleColor(Color color);
    /// Replaces the handle picture (null: the drawn pointer, inset kept); a picture sets
    /// the inset to trunc(width / 2 + 2.5).
    virtual void setHandleBitmap(Bitmap* handle);
    /// Sets how much slower a linear drag moves while shift is held.
    virtual void setZoomFactor(float factor);
    /// How much slower a linear drag moves while shift is held.
    virtual float getZoomFactor() const;

    /// Pixels between the knob's radius and the handle circle.
    std::int32_t getInset() const { return inset; }
    /// The handle picture, or null.
    Bitmap* getHandleBitmap() const { return handle; }

  private:
    void updateCoefficients();
    bool linearDrag(ButtonState buttons, std::int32_t knobMode) const;
    float linearSpan(ButtonState buttons) const;
    Point local(const Point& where) const;
    void trackCircular(DrawContext* ctx, Point where);
    void trackLinear(DrawContext* ctx, Point where, ButtonState buttons);

    Point offset;
    Color handleColor{255, 255, 255, 0};
    Color shadowColor{127, 127, 127, 0};
    Bitmap* handle;
    std::int32_t inset;
    float startAngle = 0.0f;
    float rangeAngle = 0.0f;
    float halfGap = 0.0f;
    float aCoef = 0.0f;
    float bCoef = 0.0f;
    float radius;
    float zoomFactor = 1.5f;
};

} // namespace gui
