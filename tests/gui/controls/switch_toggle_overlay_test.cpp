// The picture-strip kinds: the step switch, the on/off button and the overlay panel,
// each clicked through the headless window.
#include "controls_test_support.h"
#include "gui/controls/overlay_panel.h"
#include "gui/controls/step_switch.h"
#include "gui/controls/toggle_button.h"

namespace gui::test {
namespace {

// Resource 1001 is a 16 × 144 strip whose pixel (x, y) is (16 x, y, 200): the colour
// of a drawn pixel tells which row of the strip it came from.
constexpr std::int32_t kStrip = 1001;

Color stripRow(std::int32_t row) {
    return {0, static_cast<std::uint8_t>(row), 200, 0};
}

class StepSwitchTest : public ControlsTest {
  protected:
    StepSwitch* makeSwitch(std::int32_t positions) {
        return add(
            new StepSwitch({20, 30, 36, 46}, &listener, 17, 9, 16, positions, strip.get(), {5, 5}));
    }
    void click() { play({25, 35}, kPrimaryButton); }
    HeldBitmap strip{kStrip};
};

TEST_F(StepSwitchTest, ThreePositionsCycleWithOneEditBracketPerClick) {
    StepSwitch* s = makeSwitch(3);
    EXPECT_FLOAT_EQ(s->getDefaultValue(), 0.0f);
    const float expected[] = {0.1f, 0.2f, 0.0f};
    for (float v : expected) {
        click();
        EXPECT_FLOAT_EQ(s->getValue(), v);
        EXPECT_EQ(take(), (Log{"begin 17", "changed 17", "end 17"}));
    }
}

TEST_F(StepSwitchTest, TwelvePositionsActAsTenAndEveryPositionShowsItsOwnFrame) {
    StepSwitch* s = makeSwitch(12);
    EXPECT_EQ(s->getPositions(), 10);
    for (int k = 1; k <= 10; ++k) {
        click();
        frame.idle();
        const int position = k % 10;
        EXPECT_NEAR(s->getValue(), position * 0.1f, 1e-6);
        if (position == 9) continue; // the strip holds frames 0 to 8 only
        EXPECT_EQ(at(20, 30), stripRow(16 * position)) << "click " << k;
        EXPECT_EQ(at(20, 45), stripRow(16 * position + 15)) << "click " << k;
    }
}

// A value from far outside points far outside the strip: nothing new is drawn (and,
// under UBSan, nothing overflows on the way).
TEST_F(StepSwitchTest, AValueFarOutsideTheRangeDrawsNothing) {
    StepSwitch* s = makeSwitch(9);
    frame.idle();
    const auto before = at(20, 30);
    for (const float far : {-1.02e34f, 1e30f, 3.0e9f}) {
        s->setValue(far);
        frame.idle();
        EXPECT_EQ(at(20, 30), before) << far;
    }
}

TEST_F(StepSwitchTest, OnePositionStaysAtZeroAndTellsNobody) {
    StepSwitch* s = makeSwitch(1);
    frame.idle();
    take();
    click();
    click();
    EXPECT_FLOAT_EQ(s->getValue(), 0.0f);
    EXPECT_EQ(take(), (Log{"begin 17", "end 17", "begin 17", "end 17"}));
}

TEST_F(StepSwitchTest, ControlClickResetsToZeroWithoutEditBracket) {
    StepSwitch* s = makeSwitch(4);
    s->setValue(0.2f);
    frame.idle();
    take();
    play({25, 35}, kPrimaryButton | kControl);
    EXPECT_FLOAT_EQ(s->getValue(), 0.0f);
    EXPECT_EQ(take(), Log{"changed 17"});
}

TEST_F(StepSwitchTest, HoldingTheButtonKeepsTheHostAliveAndStepsOnlyOnce) {
    StepSwitch* s = makeSwitch(4);
    play({25, 35}, kPrimaryButton,
         {{kPrimaryButton, {25, 35}}, {kPrimaryButton, {25, 35}}, {kPrimaryButton, {25, 35}}});
    EXPECT_FLOAT_EQ(s->getValue(), 0.1f);
    EXPECT_EQ(editor.pumps, 4);
    EXPECT_EQ(take().back(), "end 17");

    s->setMouseEnabled(false);
    click();
    EXPECT_FLOAT_EQ(s->getValue(), 0.1f);
    play({25, 35}, kSecondaryButton);
    EXPECT_EQ(take(), Log{});
}

class ToggleButtonTest : public ControlsTest {
  protected:
    HeldBitmap strip{kStrip};
    ToggleButton* button = add(new ToggleButton({50, 60, 66, 76}, &listener, 9, strip.get()));
    void click() { play({55, 65}, kPrimaryButton); }
};

TEST_F(ToggleButtonTest, AnyNonZeroValueShowsTheLowerHalf) {
    frame.idle();
    EXPECT_EQ(at(50, 60), stripRow(0));
    button->setValue(0.5f);
    frame.idle();
    EXPECT_EQ(at(50, 60), stripRow(72));
    EXPECT_EQ(at(50, 75), stripRow(87));
}

TEST_F(ToggleButtonTest, ClicksFlipByTheIntegerPartAndAlwaysTellTheListener) {
    button->setValue(0.5f);
    click();
    EXPECT_FLOAT_EQ(button->getValue(), 1.0f) << "trunc(0.5) is 0";
    click();
    EXPECT_FLOAT_EQ(button->getValue(), 0.0f);
    button->setValue(1.5f);
    click();
    EXPECT_FLOAT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(take(), (Log{"changed 9", "changed 9", "changed 9"})) << "no edit bracket";
    EXPECT_EQ(editor.pumps, 3);

    play({55, 65}, kPrimaryButton | kControl);
    EXPECT_FLOAT_EQ(button->getValue(), 1.0f) << "control-click is just a click here";
}

class OverlayPanelTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        behind = add(new RecordingView({0, 0, 400, 300}, "behind", log));
        panel = add(new OverlayPanel({10, 10, 30, 20}, &listener, 62, about.get(),
                                     {100, 50, 116, 194}, {0, 0}));
        window.paintAll();
        take();
    }
    HeldBitmap about{kStrip};
    RecordingView* behind = nullptr;
    OverlayPanel* panel = nullptr;
};

TEST_F(OverlayPanelTest, OpensAsTheModalViewAndTakesEveryClickUntilClosed) {
    play({15, 15}, kPrimaryButton);
    EXPECT_TRUE(panel->isOpen());
    EXPECT_FLOAT_EQ(panel->getValue(), 1.0f);
    Rect area;
    EXPECT_EQ(panel->getViewSize(area).left, 100);
    EXPECT_EQ(at(100, 50), stripRow(0)) << "drawn at once";
    EXPECT_EQ(at(115, 193), (Color{240, 143, 200, 0}));
    EXPECT_EQ(take(), Log{"changed 62"});

    play({15, 15}, kPrimaryButton);
    play({200, 250}, kPrimaryButton);
    EXPECT_TRUE(panel->isOpen()) << "clicks outside the panel do nothing";
    EXPECT_EQ(take(), Log{});

    play({110, 100}, kPrimaryButton);
    EXPECT_FALSE(panel->isOpen());
    EXPECT_EQ(frame.getModalView(), nullptr);
    EXPECT_EQ(panel->getViewSize(area).right, 30);
    EXPECT_EQ(at(100, 50), kGreen) << "the whole frame is drawn over the panel";
    EXPECT_EQ(take(), (Log{"behind:draw", "changed 62"}));
    play({15, 15}, kPrimaryButton);
    EXPECT_EQ(take(), Log{"changed 62"}) << "hot spot clickable again";
}

TEST_F(OverlayPanelTest, ThePanelDoesNotOpenOverAnotherModalViewNorLoseItsHotSpot) {
    RecordingView other({0, 0, 1, 1}, "other", log);
    frame.setModal(&other);
    take();
    headless::setInput(kPrimaryButton, {15, 15});
    WindowContext ctx(&frame, frame.getWindow());
    Point where{15, 15};
    panel->mouse(&ctx, where);
    EXPECT_FLOAT_EQ(panel->getValue(), 1.0f);
    EXPECT_EQ(frame.getModalView(), &other);
    EXPECT_EQ(at(100, 50), kGreen) << "the editor is left as it was";
    EXPECT_EQ(take(), Log{});

    frame.setModal(nullptr);
    take();
    play({15, 15}, kPrimaryButton);
    EXPECT_FLOAT_EQ(panel->getValue(), 0.0f);
    Rect area;
    EXPECT_EQ(panel->getViewSize(area).left, 10) << "a panel that never opened keeps its spot";
    EXPECT_EQ(take(), Log{"changed 62"});
    play({15, 15}, kPrimaryButton);
    EXPECT_TRUE(panel->isOpen());
}

TEST_F(OverlayPanelTest, ClosePanelRestoresTheHotSpotAndRedrawsTheFrame) {
    play({15, 15}, kPrimaryButton);
    take();
    panel->closePanel();
    EXPECT_FALSE(panel->isOpen());
    EXPECT_FLOAT_EQ(panel->getValue(), 0.0f);
    EXPECT_EQ(at(100, 50), kGreen);
    EXPECT_EQ(take(), Log{"behind:draw"});
    panel->closePanel();
    Rect area;
    EXPECT_EQ(panel->getViewSize(area).left, 10) << "closing a closed panel changes nothing";
    EXPECT_FALSE(panel->hitTest({15, 15}, 0)) << "only with the primary button down";
    EXPECT_TRUE(panel->hitTest({30, 20}, kPrimaryButton));
}

} // namespace
} // namespace gui::test
