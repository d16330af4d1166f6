// The fader: offscreen composition of background and handle, free clicks, handle
// grabs and shift fine adjustment, played through the headless window.
#include "controls_test_support.h"
#include "gui/controls/fader.h"

namespace gui::test {
namespace {

constexpr Color kHandle{200, 0, 0, 0}; // resource 2001: 20 × 20, top-left pixel white

// An HFader over (10, 20, 110, 40) travelling from 10 to 90 (80 pixels) with a 20 × 20
// handle, value 0 at the left, over the artwork seen from its own corner.
class FaderTest : public ControlsTest {
  protected:
    void show(float v) {
        fader->setValue(v);
        frame.idle();
        take();
    }
    /// Where the handle was drawn, in window pixels.
    Rect handleBox() const { return boxOf(window.pixels(), kHandle); }

    HeldBitmap handle{2001};
    HeldBitmap artwork{1010};
    HFader* fader = add(new HFader({10, 20, 110, 40}, &listener, 13, 10, 90, handle.get(),
                                   artwork.get(), {10, 20}, kFaderLeft));
};

TEST_F(FaderTest, HandleIsComposedOverTheBackgroundAlongTheTrack) {
    EXPECT_EQ(fader->getStyle(), kFaderLeft | kFaderHorizontal);
    EXPECT_EQ(fader->getRangeHandle(), 80);
    show(0.0f);
    EXPECT_EQ(handleBox(), (Rect{10, 20, 30, 40}));
    EXPECT_EQ(at(10, 20), (Color{10, 20, 64, 0})) << "white handle pixel shows the artwork";
    EXPECT_EQ(at(50, 30), (Color{50, 30, 64, 0}));
    show(1.0f);
    EXPECT_EQ(handleBox(), (Rect{90, 20, 110, 40}));
    EXPECT_EQ(at(20, 30), (Color{20, 30, 64, 0})) << "the old handle is gone in one copy";
    show(0.5f);
    EXPECT_EQ(handleBox(), (Rect{50, 20, 70, 40}));
    show(1.5f);
    EXPECT_EQ(handleBox(), Rect{}) << "past the end the far edge is held: no handle left";

    fader->setDrawTransparentHandle(false);
    show(1.0f);
    EXPECT_EQ(at(90, 20), kWhite) << "a plain handle copies its white too";
}

TEST_F(FaderTest, FreeClickCentresTheHandleOnTheCursorAndDragsClamp) {
    show(0.0f);
    drag({60, 30}, kPrimaryButton, {{100, 30}});
    ASSERT_EQ(listener.values.size(), 2u);
    EXPECT_FLOAT_EQ(listener.values[0], (60.0f - 19.0f) / 80.0f);
    EXPECT_FLOAT_EQ(fader->getValue(), 1.0f) << "1.0125 held at max";
    EXPECT_EQ(take(), (Log{"begin 13", "changed 13", "changed 13", "end 13"}));
    EXPECT_EQ(frame.getFocusView(), fader);
    EXPECT_EQ(handleBox(), (Rect{90, 20, 110, 40})) << "drawn by the idle pumps";
}

TEST_F(FaderTest, ShiftMovesATenthAsFarAroundTheValueWhereItWasPressed) {
    show(0.0f);
    play({59, 30}, kPrimaryButton,
         {{kPrimaryButton | kShift, {59, 30}}, {kPrimaryButton | kShift, {139, 30}}});
    EXPECT_FLOAT_EQ(fader->getValue(), 0.6f);

    show(0.2f);
    drag({59, 30}, kPrimaryButton | kShift, {{139, 30}});
    EXPECT_FLOAT_EQ(fader->getValue(), 0.2f + 1.3f / 10.0f) << "shift from the start";
}

TEST_F(FaderTest, WithoutFreeClickOnlyTheHandleCanBeGrabbedAndKeepsItsOffset) {
    fader->setFreeClick(false);
    show(0.33f); // handle at trunc(26.4) = 26: x 36 .. 56
    play({80, 30}, kPrimaryButton);
    EXPECT_FLOAT_EQ(fader->getValue(), 0.33f);
    EXPECT_EQ(take(), Log{}) << "a click on the track starts nothing";

    play({40, 30}, kPrimaryButton);
    EXPECT_FLOAT_EQ(fader->getValue(), 26.0f / 80.0f);
    EXPECT_EQ(take(), (Log{"begin 13", "changed 13", "end 13"}));
    show(0.5f); // handle at x 50 .. 70
    drag({70, 40}, kPrimaryButton, {{80, 40}});
    EXPECT_FLOAT_EQ(fader->getValue(), 0.625f) << "grabbed on its corner, moved 10 pixels";
}

TEST_F(FaderTest, ControlClickResetsAndKeysAndWheelStep) {
    show(0.8f);
    play({30, 30}, kPrimaryButton | kControl);
    EXPECT_FLOAT_EQ(fader->getValue(), 0.5f);
    EXPECT_EQ(take(), Log{"changed 13"});
    VstKeyCode left = key(11);
    EXPECT_EQ(frame.keyDown(left), 1);
    EXPECT_FLOAT_EQ(fader->getValue(), 0.4f);
    Point where;
    headless::setInput(0, {30, 30});
    EXPECT_TRUE(frame.wheel(nullptr, where, 2.0f));
    EXPECT_FLOAT_EQ(fader->getValue(), 0.6f);
}

TEST_F(FaderTest, WithoutDirectionBitsValueZeroIsDrawnAtTheFarEndButDraggedFromTheNear) {
    auto* plain =
        add(new HFader({10, 100, 110, 120}, &listener, 8, 10, 90, handle.get(), nullptr, {}, 0));
    frame.idle();
    EXPECT_EQ(at(100, 110), kHandle) << "value 0 at the right end";
    EXPECT_EQ(at(20, 110), kBlack);
    drag({39, 110}, kPrimaryButton, {{39, 110}});
    EXPECT_FLOAT_EQ(plain->getValue(), 0.25f) << "20 pixels from the left end";
    EXPECT_EQ(at(75, 110), kHandle) << "drawn three quarters from the left";
}

TEST_F(FaderTest, VerticalFaderWithZeroAtTheBottom) {
    auto* vertical = add(new Fader({200, 10, 220, 110}, &listener, 4, 10, 90, handle.get(), nullptr,
                                   {}, kFaderBottom));
    vertical->setValue(0.0f);
    frame.idle();
    EXPECT_EQ(at(210, 95), kHandle) << "value 0 at the bottom";
    EXPECT_EQ(at(210, 85), kBlack);
    drag({210, 59}, kPrimaryButton, {{210, 29}});
    EXPECT_FLOAT_EQ(listener.values.front(), 0.5f);
    EXPECT_FLOAT_EQ(vertical->getValue(), 1.0f - 10.0f / 80.0f);
}

TEST_F(FaderTest, TheOffscreenLivesWhileAttached) {
    frame.removeView(fader, false);
    fader->setDirty(true);
    WindowContext ctx(&frame, frame.getWindow());
    fader->draw(&ctx);
    EXPECT_TRUE(fader->isDirty()) << "not attached: nothing drawn";
    frame.addView(fader);
    fader->draw(&ctx);
    EXPECT_FALSE(fader->isDirty());
}

} // namespace
} // namespace gui::test
