// The base of every control kind: a view that shows and edits one float value,
// carries a tag and tells one listener about every change the user makes. It also
// holds the gestures the kinds share (reset click, edit bracket, wheel, arrow keys)
// so that each kind only decides which of them it uses.
#pragma once

#include "gui/view.h"

#include <cstdint>

namespace gui {

class Bitmap;
class Control;

/// Told about every change the user makes to a control. Implemented by the editor.
class ControlListener {
  public:
    virtual ~ControlListener() = default;
    /// `control`'s value (or text) was changed by the user; `ctx` is the context of the
    /// event behind the change, or null (arrow keys, an edit ended by the platform).
    /// GUI thread.
    virtual void valueChanged(DrawContext* ctx, Control* control) = 0;
};

/// A view with a value, a range, a tag and a listener. Setting the value never draws:
/// the control is dirty while its value differs from the value it last drew
/// (oldValue), and the frame's idle pass redraws it. GUI thread only.
class Control : public View {
  public:
    /// Makes a control over `size` telling `listener` (may be null) about changes to the
    /// value of `tag`, drawn from `background` (may be null; remembered while held).
    /// value 0, oldValue 1 (so it starts dirty), default 0.5, range 0..1, wheel step 0.1,
    /// double-click time the system's, at least 250 ms.
    Control(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background);
    /// Forgets the background.
    ~Control() override;

    /// Every kind draws itself and ends clean.
    void draw(DrawContext* ctx) override = 0;
    /// True when value differs from oldValue (NaN on either side counts as different)
    /// or the dirty flag is set.
    bool isDirty() const override;
    /// Stores the flag; true moves oldValue away from value (−1, or 0 when value is −1)
    /// to force a redraw, false makes oldValue = value.
    void setDirty(bool flag) override;

    /// Lets the host paint and idle through the frame, if the control has one.
    virtual void pumpIdle();
    /// Stores the value; no clamping and no redraw.
    virtual void setValue(float newValue);
    /// The current value.
    virtual float getValue() const;
    /// Sets the lower bound used by bounceValue.
    virtual void setMin(float newMin);
    /// The lower bound.
    virtual float getMin() const;
    /// Sets the upper bound used by bounceValue.
    virtual void setMax(float newMax);
    /// The upper bound.
    virtual float getMax() const;
    /// Sets the value the control counts as last drawn.
    virtual void setOldValue(float newOldValue);
    /// The value the control counts as last drawn.
    virtual float getOldValue() const;
    /// Sets the value restored by control-click.
    virtual void setDefaultValue(float newDefault);
    /// The value restored by control-click.
    virtual float getDefaultValue() const;
    /// Sets the tag the listener reads.
    virtual void setTag(std::int32_t newTag);
    /// Replaces the background picture (the old one forgotten, the new one remembered).
    virtual void setBackground(Bitmap* newBackground);
    /// The background picture, or null.
    virtual Bitmap* getBackground() const;
    /// Sets where in the background the control's picture starts.
    virtual void setBackOffset(const Point& offset);
    /// Takes the control's picture from the part of a full-window background under it.
    virtual void copyBackOffset();
    /// Sets the value change per wheel step or arrow key.
    virtual void setWheelStep(float step);
    /// The value change per wheel step or arrow key.
    virtual float getWheelStep() const;
    /// Pulls the value back into min..max.
    virtual void bounceValue();

    /// True when this click follows the previous one within the double-click time; the
    /// pair is then used up, so a third click starts a new pair.
    bool checkDoubleClick();
    /// The tag the listener reads.
    std::int32_t getTag() const { return tag; }
    /// The listener, or null.
    ControlListener* getListener() const { return listener; }
    /// Where in the background the control's picture starts.
    Point getBackOffset() const { return backOffset; }
    /// Milliseconds within which a second click counts as a double click.
    std::int32_t getDoubleClickTime() const { return doubleClickTime; }

  protected:
    /// True when the control takes a click with `buttons`: enabled, primary button down.
    bool acceptsClick(ButtonState buttons) const;
    /// Handles control-click (`buttons` exactly primary + control): restores the default
    /// and tells the listener if that changed anything. True when it was one.
    bool resetOnControlClick(DrawContext* ctx, ButtonState buttons);
    /// Tells the listener, when there is one and the control is dirty.
    void notifyIfDirty(DrawContext* ctx);
    /// Tells the host that the user starts changing the value; with `takeFocus` the
    /// control also becomes the frame's focus view, so that arrow keys reach it later.
    void beginEdit(bool takeFocus);
    /// Tells the host that the user has finished changing the value.
    void endEdit();
    /// The shared wheel gesture: `distance` steps, a tenth of a step each under shift.
    bool wheelGesture(DrawContext* ctx, float distance);
    /// The shared arrow-key gesture: ±1 step, a tenth under shift; −1 for other keys.
    std::int32_t arrowKeyGesture(const VstKeyCode& key);
    /// The buttons held now, read through `ctx` when there is one.
    static ButtonState readButtons(const DrawContext* ctx);
    /// The cursor now, in frame coordinates, read through `ctx` when there is one.
    Point readCursor(const DrawContext* ctx) const;
    /// trunc(v) as an integer, held to the 32-bit range, 0 for NaN: values set from
    /// outside are not clamped, and a float out of range must not reach an int cast.
    static std::int32_t truncate(float v);
    /// Draws `source`'s block at `dest` from `from`, transparently when the view's
    /// transparency flag is set.
    void drawPicture(DrawContext& ctx, Bitmap& source, const Rect& dest, const Point& from) const;

    ControlListener* listener;
    std::int32_t tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    float value = 0.0f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    float wheelStep = 0.1f;
    // The tick count of a first click still waiting for its second; compared by
    // unsigned difference so that the pairing survives the tick count's wrap.
    std::uint32_t lastClickTicks = 0;
    bool awaitingSecondClick = false;
    std::int32_t doubleClickTime;
    Bitmap* background;
    Point backOffset;
};

} // namespace gui
