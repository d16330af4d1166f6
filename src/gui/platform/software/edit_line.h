// The editing rules of a single-line edit box, apart from any window system: the
// text, the caret and the selection, and what each key does to them. Back ends that
// draw their own edit box feed it keys and paint what it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gui::software {

/// The keys an edit line handles besides typed characters.
enum class EditKey { backspace, del, left, right, home, end, enter, escape };

/// One line of at most kMaxText characters with a caret and a selection (from the
/// anchor to the caret). GUI thread only.
class EditLine {
  public:
    /// The longest text the line holds.
    static constexpr std::size_t kMaxText = 255;

    /// Starts with `text` (null: empty; cut to kMaxText), all of it selected.
    explicit EditLine(const char* text);

    /// Types `c` over the selection; control characters are ignored, and a character
    /// that would pass kMaxText is refused. True when the text changed.
    bool typeCharacter(char c);
    /// Handles `key`; with `extend` (shift held) caret moves keep the anchor and so grow
    /// the selection. True when the key ends the edit: Return, or Escape, which first
    /// puts the text back as it was at the start.
    bool pressKey(EditKey key, bool extend = false);

    /// The current text.
    const std::string& text() const { return text_; }
    /// Caret position: the number of characters before it.
    std::size_t caret() const { return caret_; }
    /// First selected character.
    std::size_t selectionStart() const;
    /// One past the last selected character; equal to selectionStart without a selection.
    std::size_t selectionEnd() const;
    /// Copies the text into `out`: at most `capacity` − 1 characters and a terminator.
    void copyText(char* out, std::int32_t capacity) const;

  private:
    bool hasSelection() const { return caret_ != anchor_; }
    void eraseSelection();
    void moveCaret(std::size_t to, bool extend);
    void erase(std::size_t from, std::size_t to);

    std::string original_;
    std::string text_;
    std::size_t caret_;
    std::size_t anchor_ = 0;
};

} // namespace gui::software
