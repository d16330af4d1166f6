// Helpers shared by the toolkit tests: pixel reading, the box around drawn ink, and a
// view that records what the frame asks of it.
#pragma once

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/platform/headless/headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <ostream>

namespace gui {

// Pixels are compared by red, green and blue; the spare byte is never drawn.
inline bool operator==(const Color& a, const Color& b) {
    return a.sameRgb(b);
}

inline void PrintTo(const Color& c, std::ostream* out) {
    *out << "(" << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << ")";
}

} // namespace gui

namespace gui::test {

inline constexpr Color kBlack{0, 0, 0, 0};
inline constexpr Color kWhite{255, 255, 255, 0};
inline constexpr Color kRed{255, 0, 0, 0};
inline constexpr Color kGreen{0, 255, 0, 0};
inline constexpr Color kBlue{0, 0, 255, 0};

/// Every toolkit test starts from the same scripted input and clock.
class HeadlessTest : public ::testing::Test {
  protected:
    void SetUp() override { headless::resetInput(); }
};

/// The pixel at (x, y) of a surface made by the headless back end.
inline Color pixelAt(const platform::Surface& surface, std::int32_t x, std::int32_t y) {
    return headless::pixelsOf(surface).pixel(x, y);
}

/// The smallest rectangle (right and bottom excluded) holding every pixel that is not
/// `background`; empty (all zero) when there is none.
Rect inkBox(const platform::Surface& surface, Color background);

/// Number of pixels of `surface` that are not `background`.
int countInk(const platform::Surface& surface, Color background);

/// The smallest rectangle (right and bottom excluded) holding every pixel of `color`.
Rect boxOf(const platform::Surface& surface, Color color);

/// Number of pixels of `surface` that are `color`.
int countOf(const platform::Surface& surface, Color color);

/// A view that writes what happens to it into a shared log, as "name:event".
class RecordingView : public View {
  public:
    RecordingView(const Rect& size, std::string name, std::vector<std::string>& log)
        : View(size), name_(std::move(name)), log_(log) {}
    ~RecordingView() override { log_.push_back(name_ + ":destroyed"); }

    void draw(DrawContext* ctx) override;
    void mouse(DrawContext*, Point&) override { log_.push_back(name_ + ":mouse"); }
    std::int32_t keyDown(VstKeyCode&) override;
    std::int32_t keyUp(VstKeyCode&) override;
    bool drop(void** items, std::int32_t count, std::int32_t kind, Point& where) override;
    bool wheel(DrawContext*, Point& where, float) override;
    void looseFocus(DrawContext* ctx) override;
    bool removed(View*) override;
    bool attached(View*) override;

    std::int32_t keyAnswer = -1;      ///< what keyDown and keyUp return
    bool dropAnswer = false;          ///< what drop returns
    Color fill = kGreen;              ///< the colour draw fills the view with
    Point lastWhere;                  ///< the point of the last wheel or drop
    std::vector<std::string> dropped; ///< the items of the last drop, as strings

  private:
    std::string name_;
    std::vector<std::string>& log_;
};

} // namespace gui::test
