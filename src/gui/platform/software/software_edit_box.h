// An edit box of our own for back ends that draw in memory: an EditLine shown over
// the field it edits, with the field's font, alignment and colours. The back end
// feeds it keys and puts its pixels on top of the window's.
#pragma once

#include "gui/platform/platform.h"
#include "gui/platform/software/edit_line.h"

#include <memory>
#include <string>

namespace gui::software {

/// A single-line edit box drawn by the software surface. GUI thread only.
class SoftwareEditBox : public platform::EditBox {
  public:
    /// Opens a box looking as `style` says, showing `text` (cut to kMaxText) all
    /// selected, reporting the end of the edit to `listener`.
    SoftwareEditBox(const platform::EditBoxStyle& style, const char* text,
                    platform::EditBoxListener& listener);

    /// Copies the current text: at most `capacity` − 1 characters and a terminator.
    void getText(char* out, std::int32_t capacity) const override;

    /// Types one character over the selection, then repaints.
    void typeCharacter(char c);
    /// Types each character of `text` in turn.
    void type(const std::string& text);
    /// Presses `key` (`extend`: shift held). Return and Escape end the edit: the
    /// listener is told and may destroy the box, so nothing may touch it afterwards.
    void pressKey(EditKey key, bool extend = false);
    /// Presses Return: the edit ends with the typed text.
    void pressReturn() { pressKey(EditKey::enter); }
    /// The keyboard focus moved elsewhere: the edit ends; the box may be destroyed.
    void loseFocus() { listener_.editEnded(); }

    /// Draws the box over its area of `surface`: back colour, text, the selection in
    /// inverted colours, and the caret when nothing is selected.
    void paint(platform::Surface& surface) const;

    /// How the box was asked to look.
    const platform::EditBoxStyle& style() const { return style_; }
    /// The current text.
    const std::string& text() const { return line_.text(); }
    /// The text, caret and selection.
    const EditLine& line() const { return line_; }

  protected:
    /// Shows the box's new state; called after every change.
    virtual void changed() = 0;

  private:
    std::int32_t widthOf(const std::string& text) const;
    std::int32_t textOrigin(std::int32_t boxWidth) const;

    platform::EditBoxStyle style_;
    EditLine line_;
    platform::EditBoxListener& listener_;
    std::unique_ptr<platform::Font> font_;
};

} // namespace gui::software
