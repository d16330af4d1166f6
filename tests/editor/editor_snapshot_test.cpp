// The whole editor as drawn, checked at chosen pixels: the artwork under the
// knobs, where the handle dots sit, and the info panel's texts in their cells.
#include "editor_fixture.h"

#include "gui/controls/rotary_knob.h"
#include "gui/controls/value_label.h"
#include "gui/platform/software/embedded_resources.h"
#include "gui/platform/software/png_image.h"

namespace tesk::test {
namespace {

using gui::Color;
using gui::Point;
using gui::Rect;

class EditorSnapshotTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        const gui::EmbeddedResource* art = gui::findEmbeddedResource(128);
        ASSERT_NE(art, nullptr);
        ASSERT_TRUE(gui::decodePng(art->data, art->size, background));
    }

    Color drawn(int x, int y) const { return window().pixels().pixel(x, y); }
    Color artwork(int x, int y) const {
        const std::size_t at = (static_cast<std::size_t>(y) * background.width + x) * 3;
        return {background.rgb[at], background.rgb[at + 1], background.rgb[at + 2], 0};
    }
    static bool same(Color a, Color b) { return a.sameRgb(b); }

    // Pixels of `r` that differ from the artwork, as a bounding box (right and bottom excluded).
    Rect changedBox(const Rect& r, int& count) const {
        Rect box{r.right, r.bottom, r.left, r.top};
        count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (!same(drawn(x, y), artwork(x, y))) {
                    ++count;
                    box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                           std::max(box.bottom, y + 1)};
                }
        return box;
    }

    gui::RgbImage background;
};

Rect sizeOf(const gui::View* view) {
    Rect r;
    view->getViewSize(r);
    return r;
}

TEST_F(EditorSnapshotTest, KnobsRepaintTheArtworkAndDrawOneHandleDotAtTheValue) {
    effect->dispatch(effSetProgram, 0, 12, nullptr, 0.0f);
    for (float value : {0.0f, 0.5f, 1.0f}) {
        effect->setParameter(parameterIndex(ParamKind::FeedBack, 0), value);
        openEditor();
        gui::RotaryKnob* knob = editor().lineControls(0).feedbackKnob;
        const Rect r = sizeOf(knob);
        Point handle;
        knob->valueToPoint(handle);
        int count = 0;
        const Rect box = changedBox(r, count);
        // The dot is a 4 x 4 picture with its corners left out: a handful of pixels
        // around the value's point, and the rest of the knob is the artwork.
        EXPECT_GT(count, 4) << value;
        EXPECT_LE(count, 16) << value;
        EXPECT_LE(box.right - box.left, 4) << value;
        EXPECT_LE(box.bottom - box.top, 4) << value;
        const Point at{r.left + handle.x, r.top + handle.y};
        EXPECT_LE(std::abs((box.left + box.right) / 2 - at.x), 2) << value;
        EXPECT_LE(std::abs((box.top + box.bottom) / 2 - at.y), 2) << value;
        effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    }
}

TEST_F(EditorSnapshotTest, OffLinesShowTheDimHandle) {
    // Program 12: line 1 on, line 2 off, both knobs at the same value.
    effect->dispatch(effSetProgram, 0, 12, nullptr, 0.0f);
    openEditor();
    const Rect on = sizeOf(editor().lineControls(0).feedbackKnob);
    const Rect off = sizeOf(editor().lineControls(1).feedbackKnob);
    Point handle;
    editor().lineControls(0).feedbackKnob->valueToPoint(handle);
    const Color onDot = drawn(on.left + handle.x, on.top + handle.y);
    const Color offDot = drawn(off.left + handle.x, off.top + handle.y);
    EXPECT_FALSE(same(onDot, offDot));
    effect->setParameter(parameterIndex(ParamKind::IsDelayOn, 1), 1.0f);
    idle();
    EXPECT_TRUE(same(drawn(off.left + handle.x, off.top + handle.y), onDot));
}

TEST_F(EditorSnapshotTest, InfoTextsAreInkedInsideTheirCells) {
    openEditor();
    const Color panel{77, 184, 183, 0};
    for (int which = 0; which < DelayEditor::kNumInfoLabels; ++which) {
        const Rect cell = sizeOf(editor().infoLabel(static_cast<DelayEditor::InfoLabel>(which)));
        int ink = 0;
        for (int y = cell.top; y < cell.bottom; ++y)
            for (int x = cell.left; x < cell.right; ++x)
                if (!same(drawn(x, y), panel)) ++ink;
        EXPECT_GT(ink, 10) << "label " << which;
        // The cell's own edge is filled with the panel colour, not ink.
        for (int x = cell.left; x < cell.right; ++x) {
            EXPECT_TRUE(same(drawn(x, cell.top), panel)) << which;
            EXPECT_TRUE(same(drawn(x, cell.bottom - 1), panel)) << which;
        }
    }
    // The line label is white, the numbers in the info colour.
    const Rect label = sizeOf(editor().infoLabel(DelayEditor::kLineLabel));
    bool white = false;
    for (int y = label.top; y < label.bottom; ++y)
        for (int x = label.left; x < label.right; ++x) white = white || same(drawn(x, y), {255, 255, 255, 0});
    EXPECT_TRUE(white);
}

TEST_F(EditorSnapshotTest, AreasWithoutControlsShowTheArtworkUnchanged) {
    openEditor();
    for (Point p : {Point{5, 80}, Point{190, 300}, Point{370, 520}, Point{100, 480}, Point{3, 3}})
        EXPECT_TRUE(same(drawn(p.x, p.y), artwork(p.x, p.y))) << p.x << "," << p.y;
}

} // namespace
} // namespace tesk::test
