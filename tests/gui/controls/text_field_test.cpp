// The text field: editing through the headless edit box (open, type, Return, Escape,
// clicks elsewhere), the listener told only of a changed text, the end-of-edit notice
// and the double-click style.
#include "controls_test_support.h"
#include "gui/controls/rotary_knob.h"
#include "gui/controls/text_field.h"

#include <cstring>

namespace gui::test {
namespace {

/// A view that records the notices it receives.
class NoticeBoard : public View {
  public:
    using View::View;
    std::int32_t notify(View* sender, const char* message) override {
        notices.push_back(message);
        senders.push_back(sender);
        return 1;
    }
    std::vector<std::string> notices;
    std::vector<View*> senders;
};

class TextFieldTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        field = add(new TextField({30, 40, 80, 55}, &listener, 45, "120", nullptr, 0));
        field->setFontColor(kBlue);
        field->setBackColor(kGreen);
        field->setAlign(2);
        field->setParentView(&board);
        frame.idle();
    }
    // The board is a member of this fixture and goes before the frame does: the
    // field must not tell it of an edit that the frame's end closes.
    void TearDown() override { field->setParentView(nullptr); }
    void click() { play({50, 45}, kPrimaryButton); }
    std::string text() const {
        char out[kLabelTextSize];
        field->getText(out);
        return out;
    }
    headless::HeadlessEditBox* box() const { return headless::activeEditBox(); }

    NoticeBoard board{{5, 6, 10, 10}};
    TextField* field = nullptr;
};

TEST_F(TextFieldTest, AClickOpensABoxExactlyOverTheFieldWithEverythingSelected) {
    click();
    ASSERT_NE(box(), nullptr);
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(frame.getFocusView(), field);
    EXPECT_EQ(box()->text(), "120");
    EXPECT_EQ(box()->line().selectionEnd() - box()->line().selectionStart(), 3u);
    const platform::EditBoxStyle& style = box()->style();
    EXPECT_EQ(style.area, (Rect{30, 40, 81, 56})) << "right and bottom edges covered";
    EXPECT_EQ(style.align, platform::TextAlign::right);
    EXPECT_EQ(style.font.height, 12) << "font 3's size fits in 15 − 2 pixels";
    EXPECT_FALSE(style.font.bold);
    EXPECT_EQ(style.textColor, kBlue);
    EXPECT_EQ(style.backColor, kGreen);
    // The selected text is shown inverted, in blue cells at the right of the green box.
    EXPECT_EQ(at(30, 40), kGreen);
    EXPECT_EQ(at(80, 55), kGreen);
    const Rect cells = boxOf(window.pixels(), kBlue);
    EXPECT_EQ(cells.top, 40);
    EXPECT_EQ(cells.bottom, 56);
    EXPECT_EQ(cells.right, 80) << "one pixel in from the right edge";
    EXPECT_GT(cells.width(), 12);
    EXPECT_EQ(take(), Log{}) << "no edit bracket, nobody told yet";
}

TEST_F(TextFieldTest, TypedTextReplacesTheSelectionAndReturnTellsTheListenerOnce) {
    click();
    box()->type("300");
    EXPECT_EQ(text(), "120") << "the field changes only when the edit ends";
    box()->pressReturn();
    EXPECT_EQ(box(), nullptr);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(frame.getFocusView(), nullptr);
    EXPECT_EQ(text(), "300");
    EXPECT_EQ(take(), Log{"changed 45"});
    EXPECT_TRUE(listener.hadContext.back()) << "a context over the window is made";
    EXPECT_EQ(board.notices, (std::vector<std::string>{"LooseFocus"}));
    EXPECT_EQ(board.senders.back(), field);

    click();
    box()->pressReturn();
    EXPECT_EQ(take(), Log{}) << "unchanged text: the listener is not told";
    EXPECT_EQ(board.notices.size(), 2u) << "but the notice still comes";
}

TEST_F(TextFieldTest, EditingKeysAndEscapeWhichKeepsTheOldText) {
    click();
    box()->pressKey(software::EditKey::end);
    box()->pressKey(software::EditKey::backspace);
    box()->type("5");
    box()->pressKey(software::EditKey::home);
    box()->pressKey(software::EditKey::del);
    EXPECT_EQ(box()->text(), "25");
    box()->pressKey(software::EditKey::escape);
    EXPECT_EQ(box(), nullptr);
    EXPECT_EQ(text(), "120");
    EXPECT_EQ(take(), Log{});

    click();
    box()->type(std::string(300, '7'));
    box()->loseFocus();
    EXPECT_EQ(text(), std::string(255, '7')) << "all 255 characters the box holds";
    EXPECT_EQ(take(), Log{"changed 45"});
}

TEST_F(TextFieldTest, AClickElsewhereEndsTheEditBeforeItIsHandled) {
    auto* knob = add(new RotaryKnob({200, 100, 240, 140}, &listener, 3, nullptr, nullptr, {}));
    click();
    box()->type("99");
    play({220, 100}, kPrimaryButton);
    EXPECT_EQ(box(), nullptr);
    EXPECT_EQ(take(), (Log{"changed 45", "begin 3", "changed 3", "end 3"}));
    EXPECT_EQ(frame.getFocusView(), knob);

    click();
    click();
    EXPECT_NE(box(), nullptr) << "a click on the edited field ends the edit and reopens it";
    EXPECT_EQ(board.notices.size(), 2u);
    frame.setFocus(knob);
    EXPECT_EQ(box(), nullptr) << "focus given to another view ends the edit too";
}

TEST_F(TextFieldTest, WithTheDoubleClickStyleASingleClickDoesNotOpen) {
    field->setStyle(kLabelDoubleClick);
    click();
    EXPECT_EQ(box(), nullptr);
    headless::advanceTicks(100);
    click();
    EXPECT_NE(box(), nullptr);
}

TEST_F(TextFieldTest, TheFieldShowsItsTextFormattedAndNothingWhileEditing) {
    TextField* shown = add(new TextField({100, 40, 150, 55}, nullptr, 46, nullptr, nullptr, 0));
    shown->setTextToText([](const char* in, char* out) {
        std::strcpy(out, in);
        std::strcat(out, "!");
    });
    shown->setText("12");
    EXPECT_TRUE(shown->isDirty());
    frame.idle();
    shown->setText("12");
    EXPECT_FALSE(shown->isDirty()) << "the same text is no change";
    EXPECT_GT(countOf(window.pixels(), kWhite), 10);

    click();
    const int boxInk = countOf(window.pixels(), kBlue);
    field->setDirty(true);
    frame.idle();
    EXPECT_EQ(countOf(window.pixels(), kBlue), boxInk) << "the open box is not painted over";
    EXPECT_FALSE(field->isDirty());

    shown->setText(nullptr);
    char out[kLabelTextSize];
    shown->getText(out);
    EXPECT_STREQ(out, "12");
    shown->getText(nullptr);
    shown->setText(std::string(300, 'x').c_str());
    shown->getText(out);
    EXPECT_EQ(std::strlen(out), 255u);
}

} // namespace
} // namespace gui::test
