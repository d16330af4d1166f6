// Drawing contexts: the pen, fill, font and text colour a view draws with, over one
// platform surface, with an offset added to every coordinate. Views draw in editor
// pixels; the context converts to the surface's pixels by its frame's scale, so
// lines, fills, text and pictures all grow together. Contexts live for one event;
// the offscreen kind owns a memory surface and lives as long as its owner.
#pragma once

#include "gui/geometry.h"
#include "gui/scale.h"

#include <cstdint>
#include <memory>

namespace gui {

class Frame;

namespace platform {
class Font;
class Surface;
class Window;
} // namespace platform

/// One entry of the font table: the face and its size in pixels when none is given.
struct FontTableEntry {
    const char* face;
    std::int32_t defaultSize;
};

/// Number of fonts in the table; indices outside 0 .. kFontCount − 1 mean 0.
inline constexpr std::int32_t kFontCount = 8;

/// The table entry of `index`, where an index outside the table means 0.
const FontTableEntry& fontTableEntry(std::int32_t index);

/// Draws lines, rectangles and text on a surface for one event. GUI thread only.
class DrawContext {
  public:
    /// Makes a context for `frame` over `surface` of `window`, at the frame's scale (1
    /// without a frame); all three may be null, and without a surface every drawing
    /// operation does nothing.
    DrawContext(Frame* frame, platform::Surface* surface, platform::Window* window);
    virtual ~DrawContext();
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    /// Colour of lines and outlines.
    void setLineColor(Color color);
    /// Line style: 1 dotted, anything else solid.
    void setLineStyle(std::int32_t style);
    /// Colour of fills and of the cells of opaque text.
    void setFillColor(Color color);
    /// Colour of text.
    void setTextColor(Color color);
    /// Chooses font `index` of the table (outside 0..7 means 0) at `size` pixels of
    /// glyph height (0 means the table's size); style bits 1 bold, 2 italic,
    /// 4 underline. Index 0 is always bold.
    void setFont(std::int32_t index, std::int32_t size = 0, std::int32_t style = 0);

    /// Sets the current position.
    void moveTo(Point p);
    /// Draws a line from the current position to `p` (excluded), which becomes current.
    void lineTo(Point p);
    /// Draws the outline of `r`: columns left..right and rows top..bottom, both included.
    void outlineRect(const Rect& r);
    /// Fills the inside of `r`, columns left+1 .. right−1 and rows top+1 .. bottom−1.
    void fillRect(const Rect& r);
    /// Draws `text` on one line, vertically centred in `r` and clipped to it; align 1
    /// centres, 2 right-aligns, anything else left-aligns 1 pixel in from the left edge.
    /// With `opaque` the text cells are filled with the fill colour first.
    void drawText(const char* text, const Rect& r, bool opaque = false, std::int32_t align = 1);
    /// Copies `dest`'s width × height pixels of `source` from `from` to `dest`
    /// (translated by offset), skipping pixels equal to `*key` when given.
    void drawSurface(const platform::Surface& source, const Rect& dest, Point from,
                     const Color* key = nullptr);

    /// The buttons and modifier keys held at this moment.
    ButtonState readButtons() const;
    /// Stores the cursor's position now, relative to the window, in `p` (editor pixels).
    void readCursor(Point& p) const;
    /// Window pixels per editor pixel of the surface drawn on.
    Scale scale() const { return scale_; }

    /// The frame the context was made for, or null.
    Frame* getFrame() const { return frame_; }
    /// The surface drawn on, or null.
    platform::Surface* getSurface() const { return surface_; }
    /// The window the surface belongs to, or null.
    platform::Window* getWindow() const { return window_; }
    /// Index of the last font chosen.
    std::int32_t getFontIndex() const { return fontIndex_; }
    /// Size of the last font chosen.
    std::int32_t getFontSize() const { return fontSize_; }

    /// Added to every coordinate drawn at; (0, 0) at construction.
    Point offset;

  protected:
    /// Gives a context built without a surface the one it draws on from now on.
    void attachSurface(platform::Surface* surface) { surface_ = surface; }

  private:
    Point translate(Point p) const;
    Rect translate(const Rect& r) const;
    const platform::Font& currentFont();
    void drawScaledLine(Point from, Point to);

    Scale scale_;
    Point windowOrigin_;
    platform::Surface* surface_;
    platform::Window* window_;
    Frame* frame_;
    std::int32_t fontSize_ = 0;
    std::int32_t fontIndex_ = 0;
    std::int32_t fontStyle_ = 0;
    Color textColor_{255, 255, 255, 0};
    Color lineColor_{255, 255, 255, 0};
    Color fillColor_{0, 0, 0, 0};
    std::int32_t lineStyle_ = 0;
    // Made on the first text after a font change: controls choose a font on every draw,
    // often without drawing text.
    std::unique_ptr<platform::Font> font_;
    Point penPosition_;
    std::int64_t dotPhase_ = 0;
};

/// A context over a memory surface of its own, cleared to a background colour.
class OffscreenContext : public DrawContext {
  public:
    /// Makes a memory surface of width × height editor pixels for `frame`, at its scale,
    /// every pixel `background`.
    OffscreenContext(Frame* frame, std::int32_t width, std::int32_t height, Color background);
    ~OffscreenContext() override;

    /// Copies `destRect`'s width × height pixels from `source` of this surface (not
    /// translated) to `destRect` of `dest` (translated by dest's offset).
    void copyTo(DrawContext& dest, const Rect& destRect, const Point& source);

    /// Width of the memory surface in editor pixels.
    std::int32_t getWidth() const { return width_; }
    /// Height of the memory surface in editor pixels.
    std::int32_t getHeight() const { return height_; }

  private:
    std::int32_t height_;
    std::int32_t width_;
    std::unique_ptr<platform::Surface> memory_;
};

/// A context over a window's own surface for one event; gives the surface back to the
/// window when the event is handled. Without a window it draws nothing.
class WindowContext : public DrawContext {
  public:
    /// Takes the surface of `window` (may be null) for drawing on behalf of `frame`.
    WindowContext(Frame* frame, platform::Window* window);
    ~WindowContext() override;
};

} // namespace gui
