#include "gui/platform/software/edit_line.h"

#include <algorithm>
#include <cstring>

namespace gui::software {
namespace {

std::string cut(const char* text) {
    if (text == nullptr) return {};
    return {text, std::min(std::strlen(text), EditLine::kMaxText)};
}

bool printable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte != 0x7f;
}

} // namespace

EditLine::EditLine(const char* text)
    : original_(cut(text)), text_(original_), caret_(text_.size()) {}

std::size_t EditLine::selectionStart() const {
    return std::min(caret_, anchor_);
}

std::size_t EditLine::selectionEnd() const {
    return std::max(caret_, anchor_);
}

void EditLine::copyText(char* out, std::int32_t capacity) const {
    if (out == nullptr || capacity <= 0) return;
    const std::size_t length = std::min(text_.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(out, text_.data(), length);
    out[length] = '\0';
}

void EditLine::erase(std::size_t from, std::size_t to) {
    text_.erase(from, to - from);
    caret_ = anchor_ = from;
}

void EditLine::eraseSelection() {
    erase(selectionStart(), selectionEnd());
}

void EditLine::moveCaret(std::size_t to, bool extend) {
    caret_ = to;
    if (!extend) anchor_ = to;
}

bool EditLine::typeCharacter(char c) {
    if (!printable(c)) return false;
    const std::size_t selected = selectionEnd() - selectionStart();
    if (text_.size() - selected >= kMaxText) return false;
    eraseSelection();
    text_.insert(caret_, 1, c);
    moveCaret(caret_ + 1, false);
    return true;
}

bool EditLine::pressKey(EditKey key, bool extend) {
    switch (key) {
    case EditKey::backspace:
        if (hasSelection()) {
            eraseSelection();
        } else if (caret_ > 0) {
            erase(caret_ - 1, caret_);
        }
        return false;
    case EditKey::del:
        if (hasSelection()) {
            eraseSelection();
        } else if (caret_ < text_.size()) {
            erase(caret_, caret_ + 1);
        }
        return false;
    case EditKey::left:
        // Without shift, Left first collapses a selection to its start.
        moveCaret(hasSelection() && !extend ? selectionStart() : caret_ - (caret_ > 0 ? 1 : 0),
                  extend);
        return false;
    case EditKey::right:
        moveCaret(hasSelection() && !extend ? selectionEnd()
                                            : caret_ + (caret_ < text_.size() ? 1 : 0),
                  extend);
        return false;
    case EditKey::home:
        moveCaret(0, extend);
        return false;
    case EditKey::end:
        moveCaret(text_.size(), extend);
        return false;
    case EditKey::enter:
        return true;
    case EditKey::escape:
        text_ = original_;
        caret_ = anchor_ = text_.size();
        return true;
    }
    return false;
}

} // namespace gui::software
