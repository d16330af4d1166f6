// A linear slider: a handle picture moving along a straight track over a background
// picture. Background and handle are composed in a private offscreen surface and
// copied to the screen in one block, so no intermediate state ever shows.
#pragma once

#include "gui/controls/control.h"

#include <memory>

namespace gui {

class OffscreenContext;

/// Style bit of a fader: horizontal (clear: vertical).
inline constexpr std::int32_t kFaderHorizontal = 1;
/// Value 0 at the left end (horizontal).
inline constexpr std::int32_t kFaderLeft = 8;
/// Value 0 at the right end (horizontal).
inline constexpr std::int32_t kFaderRight = 16;
/// Value 0 at the top end (vertical).
inline constexpr std::int32_t kFaderTop = 32;
/// Value 0 at the bottom end (vertical).
inline constexpr std::int32_t kFaderBottom = 64;

/// A slider, vertical unless the style has the horizontal bit. GUI thread only.
class Fader : public Control {
  public:
    /// Makes a fader over `size` for `tag`, reporting to `listener` (may be null), whose
    /// handle travels from `minPos` to `maxPos` (frame coordinates along its axis), with
    /// the `handle` picture (may be null: 1 × 1, not drawn) over `background` (may be
    /// null) taken from `offset`, and the style bits above. Offset handle (0, 0), zoom
    /// factor 10, free click on, transparent handle.
    Fader(const Rect& size, ControlListener* listener, std::int32_t tag, std::int32_t minPos,
          std::int32_t maxPos, Bitmap* handle, Bitmap* background, const Point& offset,
          std::int32_t style);
    /// Forgets the handle.
    ~Fader() override;

    /// Composes background and handle offscreen and copies them to `ctx` in one block;
    /// draws nothing while not attached. Ends clean.
    void draw(DrawContext* ctx) override;
    /// Control-click resets; a primary click (anywhere with free click, else on the
    /// handle) drags the value until the button is released; shift slows it down.
    void mouse(DrawContext* ctx, Point& where) override;
    /// Arrow keys step the value (a tenth of a step under shift).
    std::int32_t keyDown(VstKeyCode& key) override;
    /// Wheel steps change the value (a tenth of a step under shift).
    bool wheel(DrawContext* ctx, Point& where, float distance) override;
    /// Deletes the offscreen surface.
    bool removed(View* parent) override;
    /// Makes the offscreen surface, of the fader's size.
    bool attached(View* parent) override;

    /// Draws the handle transparently (white skipped) or plainly.
    virtual void setDrawTransparentHandle(bool transparent);
    /// Lets a click anywhere move the handle there (true) or only a click on the handle
    /// start a drag (false).
    virtual void setFreeClick(bool free);
    /// True when a click anywhere moves the handle there.
    virtual bool getFreeClick() const;
    /// Sets the origin of the handle's track inside the fader and the travel's limits.
    virtual void setOffsetHandle(const Point& p);
    /// Replaces the handle picture (may be null); the travel's limits are kept.
    virtual void setHandle(Bitmap* newHandle);
    /// The handle picture, or null.
    virtual Bitmap* getHandle() const;
    /// Sets how much slower a drag moves while shift is held.
    virtual void setZoomFactor(float factor);
    /// How much slower a drag moves while shift is held.
    virtual float getZoomFactor() const;

    /// The style bits.
    std::int32_t getStyle() const { return style; }
    /// Travel of the handle in pixels.
    std::int32_t getRangeHandle() const { return rangeHandle; }
    /// Origin of the handle's track inside the fader.
    Point getOffsetHandle() const { return offsetHandle; }

  private:
    bool horizontal() const { return (style & kFaderHorizontal) != 0; }
    float drawnFraction() const;
    Rect handleRect() const;
    bool grabPoint(const Point& where, std::int32_t& delta) const;
    void track(DrawContext* ctx, Point where, ButtonState buttons, std::int32_t delta);

    Point offset;
    Point offsetHandle;
    Bitmap* handle;
    std::unique_ptr<OffscreenContext> offscreen;
    std::int32_t handleWidth;
    std::int32_t handleHeight;
    std::int32_t rangeHandle;
    std::int32_t style;
    std::int32_t minTmp = 0;
    std::int32_t maxTmp = 0;
    std::int32_t minPos;
    std::int32_t width;
    std::int32_t height;
    float zoomFactor = 10.0f;
    bool drawTransparentHandle = true;
    bool freeClick = true;
};

/// A fader with the horizontal style bit forced on. GUI thread only.
class HFader : public Fader {
  public:
    /// Makes a horizontal fader; the arguments are those of Fader.
    HFader(const Rect& size, ControlListener* listener, std::int32_t tag, std::int32_t minPos,
           std::int32_t maxPos, Bitmap* handle, Bitmap* background, const Point& offset,
           std::int32_t style);
};

} // namespace gui
