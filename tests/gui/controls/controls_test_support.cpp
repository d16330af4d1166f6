#include "controls_test_support.h"

namespace gui::test {

void PumpingEditor::pumpIdle() {
    ++pumps;
    if (frame != nullptr) frame->idle();
}

void RecordingListener::valueChanged(DrawContext* ctx, Control* control) {
    log_.push_back("changed " + std::to_string(control->getTag()));
    values.push_back(control->getValue());
    hadContext.push_back(ctx != nullptr);
}

void ControlsTest::SetUp() {
    HeadlessTest::SetUp();
    editor.frame = &frame;
    window.paintAll();
}

void ControlsTest::play(Point where, ButtonState buttons, std::vector<headless::InputStep> moves) {
    // The frame reads the buttons once before the control does.
    std::vector<headless::InputStep> steps{{buttons, where}, {buttons, where}};
    Point last = where;
    for (const headless::InputStep& step : moves) {
        steps.push_back(step);
        last = step.cursor;
    }
    // Held once more at the end: a control that reads the cursor before the buttons sees
    // the last position before it sees the release.
    if (!moves.empty()) steps.push_back(moves.back());
    steps.push_back({0, last});
    headless::scriptInput(std::move(steps));
    window.buttonDown(where);
}

void ControlsTest::drag(Point where, ButtonState buttons, const std::vector<Point>& path) {
    std::vector<headless::InputStep> moves;
    for (const Point& p : path)
        moves.push_back({buttons, p});
    play(where, buttons, std::move(moves));
}

Log ControlsTest::take() {
    Log taken;
    taken.swap(log);
    return taken;
}

} // namespace gui::test
