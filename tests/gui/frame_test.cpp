// The frame's child list, dispatch orders, focus and modal view, idle redraws and the
// services it forwards to the editor.
#include "gui/frame_editor.h"
#include "gui_test_support.h"

namespace gui::test {
namespace {

using Log = std::vector<std::string>;

/// An editor that writes what the frame asks of it into the log.
class LoggingEditor : public FrameEditor {
  public:
    explicit LoggingEditor(Log& log) : log_(log) {}
    void pumpIdle() override { log_.push_back("editor:pumpIdle"); }
    void beginEdit(std::int32_t tag) override {
        log_.push_back("editor:beginEdit" + std::to_string(tag));
    }
    void endEdit(std::int32_t tag) override {
        log_.push_back("editor:endEdit" + std::to_string(tag));
    }

  private:
    Log& log_;
};

class FrameTest : public HeadlessTest {
  protected:
    Log log;
    LoggingEditor editor{log};
    Frame frame{{0, 0, 100, 100}, headless::parentWindow(), &editor};
    headless::HeadlessWindow& window = *headless::windowOf(frame.getWindow());

    RecordingView* add(const char* name, const Rect& size) {
        auto* view = new RecordingView(size, name, log);
        frame.addView(view);
        return view;
    }

    /// The log since the last call.
    Log take() {
        Log taken;
        taken.swap(log);
        return taken;
    }

    Color at(std::int32_t x, std::int32_t y) const { return window.pixels().pixel(x, y); }
};

TEST_F(FrameTest, ChildListKeepsOrderAndBounds) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    RecordingView* b = add("B", {0, 0, 10, 10});
    EXPECT_EQ(take(), (Log{"A:attached", "B:attached"}));
    EXPECT_EQ(a->getFrame(), &frame);
    EXPECT_EQ(frame.getViewCount(), 2);
    EXPECT_EQ(frame.getView(0), a);
    EXPECT_EQ(frame.getView(1), b);
    EXPECT_EQ(frame.getView(-1), nullptr);
    EXPECT_EQ(frame.getView(2), nullptr);
    EXPECT_TRUE(frame.isChild(b));
    EXPECT_FALSE(frame.addView(nullptr));

    EXPECT_TRUE(frame.removeView(a, false));
    EXPECT_EQ(take(), (Log{"A:removed"}));
    EXPECT_EQ(a->getFrame(), nullptr);
    EXPECT_FALSE(frame.isChild(a));
    EXPECT_EQ(frame.getView(0), b);
    EXPECT_TRUE(frame.removeView(a, true)) << "not a child: nothing happens, still true";
    EXPECT_EQ(take(), Log{});
    a->forget();
    EXPECT_EQ(take(), (Log{"A:destroyed"}));
}

TEST_F(FrameTest, ListGrowsPastItsFirstBlock) {
    for (int i = 0; i < 45; ++i)
        add("V", {0, 0, 1, 1});
    EXPECT_EQ(frame.getViewCount(), 45);
}

TEST_F(FrameTest, RemoveAllEndsFocusThenRemovesAndForgetsInOrder) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    add("B", {0, 0, 10, 10});
    frame.setFocus(a);
    take();
    frame.removeAll();
    EXPECT_EQ(take(),
              (Log{"A:looseFocus", "A:removed", "A:destroyed", "B:removed", "B:destroyed"}));
    EXPECT_EQ(frame.getViewCount(), 0);
    EXPECT_EQ(frame.getFocusView(), nullptr);
}

TEST_F(FrameTest, ClickGoesToTheLastAddedEnabledChildHit) {
    RecordingView* a = add("A", {0, 0, 50, 50});
    RecordingView* b = add("B", {20, 20, 70, 70});
    take();
    window.buttonDown({30, 30});
    EXPECT_EQ(take(), (Log{"B:mouse"}));
    b->setMouseEnabled(false);
    window.buttonDown({30, 30});
    EXPECT_EQ(take(), (Log{"A:mouse"}));
    window.buttonDown({50, 50});
    EXPECT_EQ(take(), (Log{"A:mouse"})) << "edges belong to the view";
    window.buttonDown({80, 80});
    EXPECT_EQ(take(), Log{});
    a->setMouseEnabled(false);
    window.buttonDown({10, 10});
    EXPECT_EQ(take(), Log{});
}

TEST_F(FrameTest, ModalViewTakesClicksAlone) {
    add("A", {0, 0, 100, 100});
    RecordingView* modal = new RecordingView({60, 60, 90, 90}, "M", log);
    EXPECT_TRUE(frame.setModal(modal));
    take();
    window.buttonDown({10, 10});
    EXPECT_EQ(take(), Log{});
    window.buttonDown({70, 70});
    EXPECT_EQ(take(), (Log{"M:mouse"}));
    frame.setModal(nullptr);
    modal->forget();
}

TEST_F(FrameTest, ClickEndsTheFocusBeforeItIsDispatched) {
    RecordingView* a = add("A", {0, 0, 50, 50});
    frame.setFocus(a);
    take();
    window.buttonDown({10, 10});
    EXPECT_EQ(take(), (Log{"A:looseFocus", "A:mouse"}));
    EXPECT_EQ(frame.getFocusView(), nullptr);
}

TEST_F(FrameTest, SetFocusStoresTheNewViewBeforeTheOldOneLosesIt) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    RecordingView* b = add("B", {0, 0, 10, 10});
    frame.setFocus(a);
    take();
    frame.setFocus(b);
    EXPECT_EQ(take(), (Log{"A:looseFocus"}));
    EXPECT_EQ(frame.getFocusView(), b);
}

TEST_F(FrameTest, KeysGoToFocusThenModalThenChildrenLastFirst) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    add("B", {0, 0, 10, 10});
    RecordingView* focus = new RecordingView({0, 0, 1, 1}, "F", log);
    RecordingView* modal = new RecordingView({0, 0, 1, 1}, "M", log);
    frame.setFocus(focus);
    frame.setModal(modal);
    take();
    VstKeyCode key{0, 12, 0};
    EXPECT_EQ(frame.keyDown(key), -1);
    EXPECT_EQ(take(), (Log{"F:keyDown", "M:keyDown", "B:keyDown", "A:keyDown"}));
    a->keyAnswer = 1;
    EXPECT_EQ(frame.keyUp(key), 1);
    EXPECT_EQ(take(), (Log{"F:keyUp", "M:keyUp", "B:keyUp", "A:keyUp"}));
    modal->keyAnswer = 0;
    EXPECT_EQ(frame.keyDown(key), 0) << "0 counts as handled";
    EXPECT_EQ(take(), (Log{"F:keyDown", "M:keyDown"}));
    frame.setModal(nullptr);
    frame.setFocus(nullptr);
    focus->forget();
    modal->forget();
}

TEST_F(FrameTest, WheelGoesToTheViewUnderTheCursorEvenWhenDisabled) {
    RecordingView* a = add("A", {0, 0, 50, 50});
    RecordingView* b = add("B", {20, 20, 70, 70});
    b->setMouseEnabled(false);
    window.moveTo({100, 200});
    headless::setInput(0, {130, 230});
    take();
    Point ignored{1, 1};
    EXPECT_TRUE(frame.wheel(nullptr, ignored, 1.0f));
    EXPECT_EQ(take(), (Log{"B:wheel"}));
    EXPECT_EQ(b->lastWhere.x, 30);
    EXPECT_EQ(b->lastWhere.y, 30);
    EXPECT_EQ(frame.viewUnderCursor(), b);

    headless::setInput(0, {105, 205});
    EXPECT_TRUE(frame.wheel(nullptr, ignored, -1.0f));
    EXPECT_EQ(take(), (Log{"A:wheel"}));
    EXPECT_EQ(a->lastWhere.x, 5);

    headless::setInput(0, {190, 290});
    EXPECT_FALSE(frame.wheel(nullptr, ignored, 1.0f));
    EXPECT_EQ(take(), Log{});
}

TEST_F(FrameTest, WheelGoesToTheModalViewWherever) {
    add("A", {0, 0, 100, 100});
    RecordingView* modal = new RecordingView({0, 0, 1, 1}, "M", log);
    frame.setModal(modal);
    headless::setInput(0, {50, 50});
    take();
    Point where;
    EXPECT_TRUE(frame.wheel(nullptr, where, 1.0f));
    EXPECT_EQ(take(), (Log{"M:wheel"}));
    frame.setModal(nullptr);
    modal->forget();
}

TEST_F(FrameTest, DropsGoToEnabledChildrenUnderThePointLastFirst) {
    RecordingView* a = add("A", {0, 0, 50, 50});
    RecordingView* b = add("B", {20, 20, 70, 70});
    RecordingView* c = add("C", {20, 20, 70, 70});
    c->setMouseEnabled(false);
    a->dropAnswer = true;
    headless::setInput(0, {30, 30});
    take();
    EXPECT_TRUE(window.dropFiles({"/tmp/one.wav", "/tmp/two.wav"}));
    EXPECT_EQ(take(), (Log{"B:drop0", "A:drop0"}));
    EXPECT_EQ(a->dropped, (std::vector<std::string>{"/tmp/one.wav", "/tmp/two.wav"}));
    EXPECT_EQ(a->lastWhere.x, 30);

    b->dropAnswer = true;
    EXPECT_TRUE(window.dropText("hello"));
    EXPECT_EQ(take(), (Log{"B:drop1"}));
    EXPECT_EQ(b->dropped, (std::vector<std::string>{"hello"}));

    headless::setInput(0, {90, 90});
    EXPECT_FALSE(window.dropText("nowhere"));
    EXPECT_EQ(take(), Log{});
}

TEST_F(FrameTest, DropsAreRefusedWhileAFocusOrModalViewIsSet) {
    RecordingView* a = add("A", {0, 0, 100, 100});
    a->dropAnswer = true;
    headless::setInput(0, {10, 10});
    frame.setFocus(a);
    take();
    EXPECT_FALSE(window.dropText("text"));
    frame.setFocus(nullptr);
    frame.setModal(a);
    EXPECT_FALSE(window.dropText("text"));
    frame.setModal(nullptr);
    take();
    EXPECT_TRUE(window.dropText("text"));
    EXPECT_EQ(take(), (Log{"A:drop1"}));
}

TEST_F(FrameTest, SetModalRefusesASecondModalView) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    RecordingView* b = add("B", {0, 0, 10, 10});
    take();
    EXPECT_TRUE(frame.setModal(a));
    EXPECT_FALSE(frame.setModal(b));
    EXPECT_EQ(frame.getModalView(), a);
    EXPECT_TRUE(frame.setModal(nullptr));
    EXPECT_EQ(take(), (Log{"A:attached", "A:removed"}));
    EXPECT_TRUE(frame.setModal(nullptr));
    EXPECT_TRUE(frame.setModal(b));
    EXPECT_EQ(frame.getModalView(), b);
}

TEST_F(FrameTest, DestroyedFocusOrModalViewLeavesNoPointerBehind) {
    RecordingView* a = add("A", {0, 0, 50, 50});
    RecordingView* modal = new RecordingView({0, 0, 100, 100}, "M", log);
    frame.setFocus(a);
    frame.setModal(modal);
    modal->forget();
    EXPECT_EQ(frame.getModalView(), nullptr);
    a->forget(); // deleted while still a child and the focus view
    EXPECT_EQ(frame.getFocusView(), nullptr);
    EXPECT_EQ(frame.getViewCount(), 0);
    take();
    window.buttonDown({10, 10});
    VstKeyCode key;
    EXPECT_EQ(frame.keyDown(key), -1);
    EXPECT_FALSE(frame.isSomethingDirty());
    EXPECT_EQ(take(), Log{});
}

TEST_F(FrameTest, NothingIsRedrawnAtIdleBeforeTheFirstPaint) {
    RecordingView* a = add("A", {10, 10, 20, 20});
    a->setDirty(true);
    frame.setDirty(true);
    take();
    frame.idle();
    EXPECT_EQ(take(), Log{});
    EXPECT_EQ(at(15, 15), kBlack);
    EXPECT_TRUE(window.paintPending()) << "a new window waits for its first paint";
    EXPECT_EQ(take(), (Log{"A:draw"}));
    EXPECT_EQ(at(15, 15), kGreen);
}

TEST_F(FrameTest, IdleRedrawsOnlyDirtyChildren) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    RecordingView* b = add("B", {20, 20, 30, 30});
    window.paintAll();
    take();
    frame.idle();
    EXPECT_EQ(take(), Log{}) << "nothing is dirty";
    b->setDirty(true);
    b->fill = kBlue;
    frame.idle();
    EXPECT_EQ(take(), (Log{"B:draw"}));
    EXPECT_EQ(at(25, 25), kBlue);
    EXPECT_FALSE(a->isDirty());
}

TEST_F(FrameTest, IdleUpdatesTheModalViewAloneWhileItIsSet) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    RecordingView* modal = new RecordingView({40, 40, 60, 60}, "M", log);
    window.paintAll();
    frame.setModal(modal);
    a->setDirty(true);
    take();
    EXPECT_TRUE(frame.isSomethingDirty()) << "a modal view always counts as dirty";
    frame.idle();
    EXPECT_EQ(take(), Log{}) << "the modal view is clean, the dirty child waits";
    modal->setDirty(true);
    frame.idle();
    EXPECT_EQ(take(), (Log{"M:draw"}));
    frame.setModal(nullptr);
    modal->forget();
    frame.idle();
    EXPECT_EQ(take(), (Log{"M:removed", "M:destroyed", "A:draw"}));
}

TEST_F(FrameTest, DirtyFrameRedrawsEverythingAtIdle) {
    Bitmap* background = new Bitmap(1010);
    frame.setBackground(background);
    background->forget();
    add("A", {0, 0, 10, 10});
    add("B", {20, 20, 30, 30});
    window.paintAll();
    take();
    frame.setDirty(true);
    frame.idle();
    EXPECT_EQ(take(), (Log{"A:draw", "B:draw"}));
    EXPECT_FALSE(frame.isDirty());
    EXPECT_EQ(at(50, 60), (Color{50, 60, 64, 0}));
}

TEST_F(FrameTest, PartialPaintDrawsTheBackgroundInPlaceAndOnlyTouchedChildren) {
    add("A", {0, 0, 10, 10});
    add("B", {60, 60, 70, 70});
    window.paintAll();
    Bitmap* background = new Bitmap(1010);
    frame.setBackground(background);
    background->forget();
    take();
    window.invalidate({50, 50, 80, 80});
    window.paintPending();
    EXPECT_EQ(take(), (Log{"B:draw"}));
    EXPECT_EQ(at(55, 57), (Color{55, 57, 64, 0}));
    EXPECT_EQ(at(45, 45), kBlack) << "outside the paint area";
    EXPECT_FALSE(window.paintPending());
}

TEST_F(FrameTest, DrawViewDrawsAChildOrElseTheWholeFrame) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    add("B", {20, 20, 30, 30});
    RecordingView stranger({0, 0, 1, 1}, "S", log);
    take();
    a->redraw();
    EXPECT_EQ(take(), (Log{"A:draw"}));
    frame.drawView(&stranger);
    EXPECT_EQ(take(), (Log{"A:draw", "B:draw"}));
    frame.drawView(nullptr);
    EXPECT_EQ(take(), (Log{"A:draw", "B:draw"}));
}

TEST_F(FrameTest, DestroyedWindowStopsIdleAndUpdates) {
    RecordingView* a = add("A", {0, 0, 10, 10});
    window.paintAll();
    window.destroy();
    EXPECT_FALSE(frame.isOpen());
    EXPECT_EQ(frame.getParentWindow(), nullptr);
    a->setDirty(true);
    take();
    frame.idle();
    WindowContext ctx(&frame, frame.getWindow());
    frame.update(&ctx);
    EXPECT_EQ(take(), Log{});
}

TEST_F(FrameTest, ServicesAreForwardedToTheEditor) {
    frame.pumpIdle();
    frame.beginEdit(7);
    frame.endEdit(7);
    EXPECT_EQ(take(), (Log{"editor:pumpIdle", "editor:beginEdit7", "editor:endEdit7"}));
    EXPECT_EQ(frame.getEditor(), &editor);
    RecordingView* a = add("A", {0, 0, 1, 1});
    EXPECT_EQ(a->getEditor(), &editor);

    const std::int32_t before = frame.getTicks();
    headless::advanceTicks(250);
    EXPECT_EQ(frame.getTicks(), before + 250);
    setKnobMode(2);
    EXPECT_EQ(frame.knobMode(), 2);
    setKnobMode(0);
    EXPECT_EQ(frame.knobMode(), 0);
}

TEST_F(FrameTest, FrameWithoutParentIsAWindowlessContainer) {
    Frame container({0, 0, 50, 50}, nullptr, nullptr);
    EXPECT_EQ(container.getWindow(), nullptr);
    auto* a = new RecordingView({0, 0, 10, 10}, "A", log);
    container.addView(a);
    container.pumpIdle();
    container.beginEdit(1);
    EXPECT_EQ(container.getTicks(), 0);
    headless::setInput(0, {30, 40});
    Point p;
    container.cursorPosition(p);
    EXPECT_EQ(p.x, 30) << "the screen position, without a window";
    take();
    container.drawView(nullptr);
    EXPECT_EQ(take(), (Log{"A:draw"}));
}

TEST_F(FrameTest, DeletingTheFrameForgetsItsChildrenAndBackground) {
    auto* owned = new Frame({0, 0, 10, 10}, headless::parentWindow(), nullptr);
    auto* a = new RecordingView({0, 0, 10, 10}, "A", log);
    auto* kept = new RecordingView({0, 0, 10, 10}, "K", log);
    kept->remember();
    owned->addView(a);
    owned->addView(kept);
    take();
    delete owned;
    EXPECT_EQ(take(), (Log{"A:removed", "A:destroyed", "K:removed"}));
    EXPECT_EQ(kept->getRefCount(), 1);
    EXPECT_EQ(kept->getFrame(), nullptr) << "a removed view no longer points at the frame";
    kept->forget();
}

} // namespace
} // namespace gui::test
