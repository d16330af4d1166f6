// What the control tests share: a frame on a headless window with an editor and a
// listener that both write into one log, and mouse sequences played through the
// headless back end as a user would make them.
#pragma once

#include "gui/controls/control.h"
#include "gui/frame_editor.h"
#include "gui_test_support.h"

#include <string>
#include <vector>

namespace gui {

inline bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const Rect& r, std::ostream* out) {
    *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

} // namespace gui

namespace gui::test {

using Log = std::vector<std::string>;

/// Writes beginEdit and endEdit into the log, counts the idle pumps and lets the frame
/// redraw at each one, as the editor's idle pump does while a control tracks the mouse.
class PumpingEditor : public FrameEditor {
  public:
    explicit PumpingEditor(Log& log) : log_(log) {}
    void pumpIdle() override;
    void beginEdit(std::int32_t tag) override { log_.push_back("begin " + std::to_string(tag)); }
    void endEdit(std::int32_t tag) override { log_.push_back("end " + std::to_string(tag)); }

    Frame* frame = nullptr; ///< redrawn at every pump once set
    int pumps = 0;          ///< number of idle pumps so far

  private:
    Log& log_;
};

/// Writes every valueChanged into the log as "changed <tag>" and keeps the values told.
class RecordingListener : public ControlListener {
  public:
    explicit RecordingListener(Log& log) : log_(log) {}
    void valueChanged(DrawContext* ctx, Control* control) override;

    std::vector<float> values;    ///< the control's value at each call
    std::vector<bool> hadContext; ///< whether each call came with a context

  private:
    Log& log_;
};

/// A 400 × 300 frame on a headless window at the screen origin, already painted once.
class ControlsTest : public HeadlessTest {
  protected:
    void SetUp() override;

    /// Adds `control` to the frame (which takes the reference) and returns it.
    template <typename Kind> Kind* add(Kind* control) {
        frame.addView(control);
        return control;
    }
    /// Plays a click at `where` with `buttons`, then the steps of `moves` (cursor and
    /// buttons as the control polls them), then the release at the last cursor.
    void play(Point where, ButtonState buttons, std::vector<headless::InputStep> moves = {});
    /// Plays a drag with `buttons` held from `where` through `path`.
    void drag(Point where, ButtonState buttons, const std::vector<Point>& path);
    /// The log since the last call.
    Log take();
    /// The pixel of the window at (x, y).
    Color at(std::int32_t x, std::int32_t y) const { return window.pixels().pixel(x, y); }

    Log log;
    PumpingEditor editor{log};
    RecordingListener listener{log};
    Frame frame{{0, 0, 400, 300}, headless::parentWindow(), &editor};
    headless::HeadlessWindow& window = *headless::windowOf(frame.getWindow());
};

/// A bitmap loaded from the test resources, forgotten at the end of the scope.
class HeldBitmap {
  public:
    explicit HeldBitmap(std::int32_t id) : bitmap_(new Bitmap(id)) {}
    ~HeldBitmap() { bitmap_->forget(); }
    HeldBitmap(const HeldBitmap&) = delete;
    HeldBitmap& operator=(const HeldBitmap&) = delete;
    Bitmap* get() const { return bitmap_; }

  private:
    Bitmap* bitmap_;
};

/// A key record for host virtual key `virt` with modifier bits `modifier`.
inline VstKeyCode key(std::uint8_t virt, std::uint8_t modifier = 0) {
    return {0, virt, modifier};
}

} // namespace gui::test
