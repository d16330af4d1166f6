// The editing rules of the edit box, apart from any window: selection, caret keys,
// typing over the selection, the 255-character limit, Return and Escape.
#include "gui/platform/software/edit_line.h"

#include <gtest/gtest.h>

namespace gui::software {
namespace {

void type(EditLine& line, const std::string& text) {
    for (const char c : text)
        line.typeCharacter(c);
}

TEST(EditLineTest, OpensWithEverythingSelectedSoTypingReplacesIt) {
    EditLine line("120");
    EXPECT_EQ(line.selectionStart(), 0u);
    EXPECT_EQ(line.selectionEnd(), 3u);
    type(line, "96");
    EXPECT_EQ(line.text(), "96");
    EXPECT_EQ(line.caret(), 2u);
    EXPECT_EQ(line.selectionStart(), line.selectionEnd());
    EXPECT_FALSE(line.typeCharacter('\t')) << "control characters are not typed";
    EXPECT_EQ(EditLine(nullptr).text(), "");
}

TEST(EditLineTest, CaretKeysMoveCollapseAndExtendTheSelection) {
    EditLine line("abcd");
    line.pressKey(EditKey::left);
    EXPECT_EQ(line.caret(), 0u) << "Left collapses the selection to its start";
    line.pressKey(EditKey::left);
    EXPECT_EQ(line.caret(), 0u);
    line.pressKey(EditKey::right);
    line.pressKey(EditKey::right, true);
    line.pressKey(EditKey::right, true);
    EXPECT_EQ(line.selectionStart(), 1u);
    EXPECT_EQ(line.selectionEnd(), 3u);
    line.pressKey(EditKey::right);
    EXPECT_EQ(line.caret(), 3u) << "Right collapses to the end";
    line.pressKey(EditKey::end);
    line.pressKey(EditKey::right);
    EXPECT_EQ(line.caret(), 4u);
    line.pressKey(EditKey::home, true);
    EXPECT_EQ(line.selectionEnd() - line.selectionStart(), 4u);
    line.pressKey(EditKey::end);
    EXPECT_EQ(line.caret(), 4u);
}

TEST(EditLineTest, BackspaceAndDeleteRemoveTheSelectionOrOneCharacter) {
    EditLine line("abcd");
    line.pressKey(EditKey::home);
    line.pressKey(EditKey::right);
    line.pressKey(EditKey::backspace);
    EXPECT_EQ(line.text(), "bcd");
    line.pressKey(EditKey::backspace);
    EXPECT_EQ(line.text(), "bcd") << "nothing before the caret";
    line.pressKey(EditKey::del);
    EXPECT_EQ(line.text(), "cd");
    line.pressKey(EditKey::end);
    line.pressKey(EditKey::del);
    EXPECT_EQ(line.text(), "cd") << "nothing after the caret";
    line.pressKey(EditKey::left, true);
    line.pressKey(EditKey::del);
    EXPECT_EQ(line.text(), "c");
    line.pressKey(EditKey::home);
    line.pressKey(EditKey::backspace);
    EXPECT_EQ(line.text(), "c") << "nothing before the caret at 0";
}

TEST(EditLineTest, HoldsAtMost255CharactersButMayReplaceASelectionWhenFull) {
    EditLine line(std::string(300, 'a').c_str());
    EXPECT_EQ(line.text().size(), 255u);
    line.pressKey(EditKey::end);
    EXPECT_FALSE(line.typeCharacter('b'));
    line.pressKey(EditKey::left, true);
    EXPECT_TRUE(line.typeCharacter('b'));
    EXPECT_EQ(line.text().size(), 255u);
    EXPECT_EQ(line.text().back(), 'b');
    char small[4];
    line.copyText(small, sizeof small);
    EXPECT_STREQ(small, "aaa");
}

TEST(EditLineTest, ReturnEndsWithTheTextAndEscapeEndsWithTheTextItOpenedWith) {
    EditLine line("120");
    type(line, "300");
    EXPECT_FALSE(line.pressKey(EditKey::left));
    EXPECT_TRUE(line.pressKey(EditKey::enter));
    EXPECT_EQ(line.text(), "300");
    EXPECT_TRUE(line.pressKey(EditKey::escape));
    EXPECT_EQ(line.text(), "120");
}

} // namespace
} // namespace gui::software
