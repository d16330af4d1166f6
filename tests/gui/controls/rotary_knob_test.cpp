// The rotary knob: the value-to-point and point-to-value geometry, its drawing, and
// circular and linear drags played through the headless window.
#include "controls_test_support.h"
#include "gui/controls/rotary_knob.h"

namespace gui::test {
namespace {

// A 40-pixel knob (radius 20) at (100, 100) without handle picture: inset 3.
class RotaryKnobTest : public ControlsTest {
  protected:
    void TearDown() override { setKnobMode(0); }
    Point pointFor(float v) {
        knob->setValue(v);
        Point p;
        knob->valueToPoint(p);
        return p;
    }
    /// Sets `v` and lets the idle pass draw it, so that only later changes are told.
    void show(float v) {
        knob->setValue(v);
        frame.idle();
        take();
    }
    float valueAt(std::int32_t x, std::int32_t y) const { return knob->valueFromPoint({x, y}); }
    /// Frame coordinates of a point given relative to the knob.
    static Point on(std::int32_t x, std::int32_t y) { return {100 + x, 100 + y}; }

    RotaryKnob* knob =
        add(new RotaryKnob({100, 100, 140, 140}, &listener, 2, nullptr, nullptr, {}));
};

TEST_F(RotaryKnobTest, HandlePointsFollowTheDefaultArc) {
    EXPECT_EQ(knob->getInset(), 3);
    Point p = pointFor(0.0f);
    EXPECT_EQ(p.x, 8);
    EXPECT_EQ(p.y, 32);
    p = pointFor(1.0f);
    EXPECT_EQ(p.x, 32);
    EXPECT_EQ(p.y, 32);
    p = pointFor(0.5f);
    EXPECT_EQ(p.x, 20);
    EXPECT_EQ(p.y, 3);
}

TEST_F(RotaryKnobTest, PointsMapBackToValuesAndTheGapSnapsToTheNearerEnd) {
    EXPECT_NEAR(valueAt(20, 0), 0.5f, 1e-6);
    EXPECT_NEAR(valueAt(0, 20), 1.0f / 6.0f, 1e-6);
    EXPECT_NEAR(valueAt(40, 20), 5.0f / 6.0f, 1e-6);
    EXPECT_FLOAT_EQ(valueAt(15, 40), 0.0f) << "gap, left of straight down";
    EXPECT_FLOAT_EQ(valueAt(25, 40), 1.0f) << "gap, right of straight down";

    // A counter-clockwise arc mirrors the rules: min at lower right, max at lower left.
    knob->setStartAngle(-0.7853982f);
    knob->setRangeAngle(4.712389f);
    EXPECT_NEAR(valueAt(20, 0), 0.5f, 1e-6);
    EXPECT_NEAR(valueAt(0, 20), 5.0f / 6.0f, 1e-6);
    EXPECT_FLOAT_EQ(valueAt(15, 40), 1.0f);
    EXPECT_FLOAT_EQ(valueAt(25, 40), 0.0f);
}

TEST_F(RotaryKnobTest, WithoutPictureAShadowedPointerRunsFromTheArcToTheCentre) {
    knob->setValue(0.5f);
    knob->setShadowColor(kBlue);
    knob->setHandleColor(kRed);
    frame.idle();
    // The handle point is (120, 103); the centre (120, 120).
    EXPECT_EQ(boxOf(window.pixels(), kBlue), (Rect{119, 103, 120, 120}));
    EXPECT_EQ(boxOf(window.pixels(), kRed), (Rect{120, 102, 121, 119}));
}

TEST_F(RotaryKnobTest, AHandlePictureIsCentredOnThePointAndSetsTheInset) {
    HeldBitmap handle(2002); // 10 × 4, green, top-left pixel white
    knob->setHandleBitmap(handle.get());
    EXPECT_EQ(knob->getInset(), 7) << "trunc(10 / 2 + 2.5)";
    EXPECT_EQ(handle.get()->getRefCount(), 2);
    knob->setValue(0.5f); // point (20, 7) with inset 7
    frame.idle();
    const Color green{0, 200, 0, 0};
    EXPECT_EQ(boxOf(window.pixels(), green), (Rect{115, 105, 125, 109}));
    EXPECT_EQ(countOf(window.pixels(), green), 39) << "the white pixel is not drawn";
    knob->setHandleBitmap(nullptr);
    EXPECT_EQ(knob->getInset(), 7) << "kept without a picture";
    EXPECT_EQ(handle.get()->getRefCount(), 1);
}

TEST_F(RotaryKnobTest, CircularDragJumpsToTheCursorAndHoldsTheEndAcrossTheGap) {
    show(0.2f);
    drag(on(20, 0), kPrimaryButton, {on(40, 20), on(25, 40), on(15, 40), on(6, 34)});
    EXPECT_FLOAT_EQ(listener.values.front(), 0.5f) << "the first pass takes the click point";
    EXPECT_NEAR(listener.values[1], 5.0f / 6.0f, 1e-6);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f) << "not 0 after passing through the gap";
    EXPECT_EQ(listener.values.size(), 3u) << "the pinned passes change nothing";
    const Log expected{"begin 2", "changed 2", "changed 2", "changed 2", "end 2"};
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(frame.getFocusView(), knob) << "arrow keys go to it afterwards";
    EXPECT_FALSE(knob->isDirty()) << "drawn by the idle pumps during the drag";
}

TEST_F(RotaryKnobTest, LinearDragFollowsTheTravelUpAndRight) {
    setKnobMode(2);
    show(0.2f);
    drag(on(20, 20), kPrimaryButton, {on(70, 20), on(120, 20)});
    EXPECT_FLOAT_EQ(listener.values.front(), 0.45f) << "the click itself changes nothing";
    EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6);

    knob->setValue(0.2f);
    drag(on(20, 20), kPrimaryButton | kShift, {on(70, 20), on(120, 20)});
    EXPECT_NEAR(knob->getValue(), 0.2f + 0.5f / 1.5f, 1e-6);

    knob->setValue(0.2f);
    drag(on(20, 20), kPrimaryButton, {on(20, -30), on(20, -230), on(20, -30)});
    EXPECT_NEAR(knob->getValue(), 0.45f, 1e-6) << "beyond the end and back retraces the path";
}

TEST_F(RotaryKnobTest, PressingShiftHalfWayDoesNotMakeTheValueJump) {
    setKnobMode(2);
    show(0.2f);
    play(on(20, 20), kPrimaryButton,
         {{kPrimaryButton, on(70, 20)},
          {kPrimaryButton | kShift, on(70, 20)},
          {kPrimaryButton | kShift, on(71, 20)},
          {kPrimaryButton | kShift, on(120, 20)}});
    ASSERT_EQ(listener.values.size(), 3u);
    EXPECT_NEAR(listener.values[0], 0.45f, 1e-6);
    EXPECT_NEAR(listener.values[1], 0.45f + 1.0f / 300.0f, 1e-6) << "one pixel, fine";
    EXPECT_NEAR(knob->getValue(), 0.45f + 50.0f / 300.0f, 1e-6);
}

TEST_F(RotaryKnobTest, AltSwapsTheHostsKnobMode) {
    setKnobMode(2);
    knob->setValue(0.2f);
    drag(on(20, 0), kPrimaryButton | kAlt, {on(20, 0)});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f) << "circular: the value jumps to the cursor";

    setKnobMode(0);
    knob->setValue(0.2f);
    drag(on(20, 0), kPrimaryButton | kAlt, {on(30, 0)});
    EXPECT_NEAR(knob->getValue(), 0.25f, 1e-6) << "linear: 10 pixels right";
}

TEST_F(RotaryKnobTest, DisabledOrSecondaryClicksDoNothing) {
    play(on(20, 0), kSecondaryButton);
    knob->setMouseEnabled(false);
    play(on(20, 0), kPrimaryButton);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
    EXPECT_EQ(take(), Log{});
}

} // namespace
} // namespace gui::test
