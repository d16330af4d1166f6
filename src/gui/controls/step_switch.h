// A switch of up to ten positions showing one frame of a vertical picture strip;
// each click moves it on by one position and the click after the last returns it
// to the first.
#pragma once

#include "gui/controls/control.h"

namespace gui {

/// Positions are the values 0, 0.1, 0.2, …; position k shows frame k of the strip.
/// GUI thread only.
class StepSwitch : public Control {
  public:
    /// The most positions a switch has.
    static constexpr std::int32_t kMaxPositions = 10;

    /// Makes a switch over `size` for `tag`, reporting to `listener` (may be null), with
    /// `imageCount` frames of `imageHeight` pixels in the strip `background` (may be null);
    /// `positions` above 10 count as 10; `offset` is stored only (frames are always
    /// taken from x = 0). The default value is 0.
    StepSwitch(const Rect& size, ControlListener* listener, std::int32_t tag,
               std::int32_t imageCount, std::int32_t imageHeight, std::int32_t positions,
               Bitmap* background, const Point& offset);

    /// Draws the strip's frame for the value, then ends clean.
    void draw(DrawContext* ctx) override;
    /// Control-click resets; any other primary click advances one position, tells the
    /// listener if the value changed and waits (pumping idle) until the buttons change.
    void mouse(DrawContext* ctx, Point& where) override;

    /// Number of selectable positions (1..10).
    std::int32_t getPositions() const { return positions; }
    /// Number of frames in the strip, as given.
    std::int32_t getImageCount() const { return imageCount; }
    /// Height of one frame of the strip in pixels.
    std::int32_t getImageHeight() const { return imageHeight; }
    /// The offset given at construction.
    Point getOffset() const { return offset; }

  private:
    void waitForButtonChange(const DrawContext* ctx, ButtonState pressed);

    Point offset;
    std::int32_t imageCount;
    std::int32_t imageHeight;
    std::int32_t positions;
};

} // namespace gui
