// The control base: the dirty scheme, double-click timing, and the gestures every
// dragging kind shares (reset click, arrow keys, wheel), played on a knob.
#include "controls_test_support.h"
#include "gui/controls/rotary_knob.h"

#include <cmath>
#include <limits>

namespace gui::test {
namespace {

/// The smallest concrete control: draws nothing, ends clean.
class PlainControl : public Control {
  public:
    PlainControl(ControlListener* listener, Bitmap* background = nullptr)
        : Control({0, 0, 10, 10}, listener, 5, background) {}
    void draw(DrawContext*) override { setDirty(false); }
};

using ControlTest = ControlsTest;

TEST_F(ControlTest, DirtyWhileTheValueDiffersFromTheLastDrawnOne) {
    PlainControl* c = add(new PlainControl(&listener));
    EXPECT_TRUE(c->isDirty()) << "value 0 against oldValue 1";
    frame.idle();
    EXPECT_FALSE(c->isDirty());
    c->setValue(0.3f);
    EXPECT_TRUE(c->isDirty());
    c->setValue(0.0f);
    EXPECT_FALSE(c->isDirty()) << "back to the drawn value before the next idle";

    c->setDirty(true);
    EXPECT_TRUE(c->isDirty());
    EXPECT_FLOAT_EQ(c->getOldValue(), -1.0f);
    c->setValue(-1.0f);
    c->setDirty(false);
    c->setDirty(true);
    EXPECT_FLOAT_EQ(c->getOldValue(), 0.0f) << "moved away from a value of −1 too";
    EXPECT_TRUE(c->isDirty());

    c->setValue(std::numeric_limits<float>::quiet_NaN());
    c->setDirty(false);
    EXPECT_TRUE(c->isDirty()) << "a NaN never equals the drawn value";
}

TEST_F(ControlTest, FieldsStartAsDocumentedAndSettersDoNotClamp) {
    headless::setDoubleClickTime(200);
    PlainControl c(nullptr);
    EXPECT_EQ(c.getDoubleClickTime(), 250) << "raised to the least usable time";
    EXPECT_FLOAT_EQ(c.getDefaultValue(), 0.5f);
    EXPECT_FLOAT_EQ(c.getWheelStep(), 0.1f);
    c.setValue(7.0f);
    EXPECT_FLOAT_EQ(c.getValue(), 7.0f);
    c.setMin(-1.0f);
    c.setMax(2.0f);
    c.bounceValue();
    EXPECT_FLOAT_EQ(c.getValue(), 2.0f);
    c.setValue(-3.0f);
    c.bounceValue();
    EXPECT_FLOAT_EQ(c.getValue(), -1.0f);

    headless::setDoubleClickTime(700);
    EXPECT_EQ(PlainControl(nullptr).getDoubleClickTime(), 700);
}

TEST_F(ControlTest, BackgroundIsHeldWhileInUseAndBackOffsetCopiesThePosition) {
    HeldBitmap first(1001);
    HeldBitmap second(1010);
    {
        Control* c = new PlainControl(nullptr, first.get());
        EXPECT_EQ(first.get()->getRefCount(), 2);
        c->setBackground(second.get());
        EXPECT_EQ(first.get()->getRefCount(), 1);
        EXPECT_EQ(second.get()->getRefCount(), 2);
        c->setViewSize({30, 40, 50, 60});
        c->copyBackOffset();
        EXPECT_EQ(c->getBackOffset().x, 30);
        EXPECT_EQ(c->getBackOffset().y, 40);
        c->forget();
    }
    EXPECT_EQ(second.get()->getRefCount(), 1);
}

TEST_F(ControlTest, DoubleClicksPairUpWithinTheTimeAndAThirdClickStartsOver) {
    PlainControl* c = add(new PlainControl(nullptr));
    EXPECT_FALSE(c->checkDoubleClick());
    headless::advanceTicks(100);
    EXPECT_TRUE(c->checkDoubleClick());
    headless::advanceTicks(100);
    EXPECT_FALSE(c->checkDoubleClick()) << "the pair is used up";
    headless::advanceTicks(500);
    EXPECT_FALSE(c->checkDoubleClick()) << "500 ms is not within 500 ms";
    headless::advanceTicks(499);
    EXPECT_TRUE(c->checkDoubleClick());

    PlainControl unattached(nullptr);
    EXPECT_FALSE(unattached.checkDoubleClick());
    EXPECT_FALSE(unattached.checkDoubleClick()) << "no frame, no clock, no double click";
}

TEST_F(ControlTest, DoubleClicksStillPairWhenTheTickCountPassesTheSignedLimit) {
    PlainControl* c = add(new PlainControl(nullptr));
    headless::advanceTicks(0x7fffffffu - 1000 - 50); // the clock starts at 1000
    EXPECT_FALSE(c->checkDoubleClick());
    headless::advanceTicks(100); // now past 2^31: negative as a signed tick count
    EXPECT_TRUE(c->checkDoubleClick());
    EXPECT_FALSE(c->checkDoubleClick());
    headless::advanceTicks(100);
    EXPECT_TRUE(c->checkDoubleClick());
}

class KnobGestureTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        knob = add(new RotaryKnob({100, 100, 140, 140}, &listener, 3, nullptr, nullptr, {}));
    }
    /// Sets `v` and lets the idle pass draw it, so that it counts as shown.
    void show(float v) {
        knob->setValue(v);
        frame.idle();
        take();
    }
    RotaryKnob* knob = nullptr;
};

TEST_F(KnobGestureTest, ControlClickResetsOnceWithoutEditBracket) {
    show(0.8f);
    play({120, 120}, kPrimaryButton | kControl);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(take(), Log{"changed 3"});

    show(0.5f);
    play({120, 120}, kPrimaryButton | kControl);
    EXPECT_EQ(take(), Log{}) << "already at the default: nobody is told";

    play({100, 120}, kPrimaryButton | kControl | kShift);
    EXPECT_NEAR(knob->getValue(), 1.0f / 6.0f, 1e-6) << "25 is a plain click at the left";
    EXPECT_EQ(take(), (Log{"begin 3", "changed 3", "end 3"}));
}

TEST_F(KnobGestureTest, ArrowKeysStepClampAndTellTheListenerOnlyOnChange) {
    show(0.95f);
    VstKeyCode up = key(12);
    EXPECT_EQ(frame.keyDown(up), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(take(), Log{"changed 3"});
    EXPECT_FALSE(listener.hadContext.back()) << "keys come without a context";
    frame.idle();
    EXPECT_EQ(frame.keyDown(up), 1);
    EXPECT_EQ(take(), Log{}) << "drawn at 1.0 and still 1.0";

    VstKeyCode shiftLeft = key(11, 1);
    knob->setMouseEnabled(false);
    EXPECT_EQ(frame.keyDown(shiftLeft), 1) << "keys work with the mouse disabled";
    EXPECT_FLOAT_EQ(knob->getValue(), 0.99f);
    VstKeyCode down = key(14);
    EXPECT_EQ(knob->keyDown(down), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.89f);
    VstKeyCode other = key(15);
    EXPECT_EQ(knob->keyDown(other), -1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.89f);
}

TEST_F(KnobGestureTest, WheelStepsAreTenthsUnderShiftAndNeedTheMouse) {
    show(0.0f);
    Point where;
    headless::setInput(kShift, {120, 120});
    EXPECT_TRUE(frame.wheel(nullptr, where, 1.0f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.01f);
    EXPECT_EQ(take(), Log{"changed 3"});
    EXPECT_TRUE(listener.hadContext.back());

    headless::setInput(0, {120, 120});
    EXPECT_TRUE(frame.wheel(nullptr, where, -2.0f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f) << "−0.19 held at min";

    knob->setMouseEnabled(false);
    EXPECT_FALSE(frame.wheel(nullptr, where, 1.0f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
}

} // namespace
} // namespace gui::test
