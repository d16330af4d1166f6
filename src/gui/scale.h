// The scale of a frame: how many window pixels one editor pixel covers. Views keep
// their rectangles in editor pixels; the frame and its drawing contexts convert with
// a Scale where they meet the window system, and nowhere else.
#pragma once

#include "gui/geometry.h"

#include <cstdint>

namespace gui {

/// 1, 1.5 or 2 window pixels per editor pixel, kept in halves so that every
/// conversion is exact integer arithmetic. Any thread (a plain value).
class Scale {
  public:
    /// Scale 1.
    constexpr Scale() = default;

    /// The supported scale nearest `factor`: below 1.25 gives 1, below 1.75 gives 1.5,
    /// anything larger 2; NaN gives 1. The artwork exists at these three scales.
    static Scale nearest(double factor);

    /// The factor itself: 1.0, 1.5 or 2.0.
    double factor() const { return halves_ / 2.0; }
    /// True at scale 1, where every conversion returns its argument.
    bool isUnit() const { return halves_ == 2; }

    /// The first window pixel of editor column or row `v`: floor(v × factor).
    std::int32_t toWindow(std::int32_t v) const;
    /// `p` with both coordinates converted by toWindow.
    Point toWindow(Point p) const { return {toWindow(p.x), toWindow(p.y)}; }
    /// The window pixels of the editor pixels left .. right − 1 and top .. bottom − 1:
    /// neighbouring rectangles stay neighbours.
    Rect toWindow(const Rect& r) const;
    /// The editor column or row that window pixel `p` lies in.
    std::int32_t toEditor(std::int32_t p) const;
    /// `p` with both coordinates converted by toEditor.
    Point toEditor(Point p) const { return {toEditor(p.x), toEditor(p.y)}; }
    /// The editor pixels that hold the window pixels left .. right − 1 and
    /// top .. bottom − 1 (an area to repaint).
    Rect coveringEditorArea(const Rect& r) const;
    /// A length such as a font height, times the factor, halves rounded up.
    std::int32_t length(std::int32_t v) const;

    bool operator==(const Scale&) const = default;

  private:
    constexpr explicit Scale(std::int32_t halves) : halves_(halves) {}

    std::int32_t halves_ = 2;
};

} // namespace gui
