#include "gui/controls/text_field.h"

#include "gui/draw_context.h"
#include "gui/frame.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace gui {
namespace {

constexpr std::size_t kMaxText = kLabelTextSize - 1;

constexpr std::int32_t kAlignLeft = 0;
constexpr std::int32_t kAlignRight = 2;

/// Copies at most 255 characters of `from` into `to` and terminates it.
void copyText(char* to, const char* from) {
    const std::size_t length = std::min(std::strlen(from), kMaxText);
    std::memcpy(to, from, length);
    to[length] = '\0';
}

platform::TextAlign editAlign(std::int32_t align) {
    // Unlike drawn text, the edit box centres every alignment it does not know.
    if (align == kAlignLeft) return platform::TextAlign::left;
    if (align == kAlignRight) return platform::TextAlign::right;
    return platform::TextAlign::center;
}

} // namespace

TextField::TextField(const Rect& size, ControlListener* listener, std::int32_t tag,
                     const char* initialText, Bitmap* background, std::int32_t style)
    : ValueLabel(size, background, style) {
    this->listener = listener;
    this->tag = tag;
    if (initialText != nullptr) copyText(text, initialText);
}

TextField::~TextField() = default;

void TextField::setText(const char* newText) {
    if (newText == nullptr) return;
    char cut[kLabelTextSize];
    copyText(cut, newText);
    if (std::strcmp(cut, text) == 0) return;
    std::memcpy(text, cut, sizeof text);
    setDirty(true);
}

void TextField::getText(char* out) const {
    if (out != nullptr) std::memcpy(out, text, sizeof text);
}

void TextField::setTextToTextWithData(TextToTextWithDataFunction function, void* data) {
    textToTextWithData = function;
    userData = data;
}

void TextField::setTextToText(TextToTextFunction function) {
    textToText = function;
}

void TextField::draw(DrawContext* ctx) {
    if (!editing) {
        char display[kLabelTextSize] = {};
        if (textToTextWithData != nullptr) {
            textToTextWithData(text, display, userData);
        } else if (textToText != nullptr) {
            textToText(text, display);
        } else {
            std::memcpy(display, text, sizeof display);
        }
        drawLabel(ctx, display, nullptr);
    }
    setDirty(false);
}

void TextField::mouse(DrawContext* ctx, Point&) {
    if (!acceptsClick(readButtons(ctx)) || frame == nullptr) return;
    if (frame->getFocusView() == this) return;
    if ((getStyle() & kLabelDoubleClick) != 0 && !checkDoubleClick()) return;
    frame->setFocus(this);
    takeFocus(ctx);
}

// ---- Editing -------------------------------------------------------------------------

platform::EditBoxStyle TextField::editBoxStyle(const DrawContext* ctx) const {
    platform::EditBoxStyle box;
    const Point shift = ctx != nullptr ? ctx->offset : Point{};
    // The box covers the field's right and bottom edges too.
    box.area = {size.left + shift.x, size.top + shift.y, size.right + shift.x + 1,
                size.bottom + shift.y + 1};
    box.align = editAlign(getAlign());
    const FontTableEntry& entry = fontTableEntry(getFont());
    const std::int32_t fitting = std::min(size.bottom - size.top - 2, entry.defaultSize);
    box.font.face = entry.face;
    // A field too low for any text still gets a readable font rather than none.
    box.font.height = fitting > 0 ? fitting : entry.defaultSize;
    box.textColor = getFontColor();
    box.backColor = getBackColor();
    return box;
}

void TextField::takeFocus(DrawContext* ctx) {
    if (editing || frame == nullptr) return;
    editBox = frame->openEditBox(editBoxStyle(ctx), text, *this);
    editing = editBox != nullptr;
}

void TextField::editEnded() {
    looseFocus(nullptr);
}

void TextField::looseFocus(DrawContext* ctx) {
    // Taking the box first also stops the nested call that setFocus (null) makes.
    std::unique_ptr<platform::EditBox> box = std::move(editBox);
    if (box == nullptr) return;
    if (frame != nullptr && frame->getFocusView() == this) frame->setFocus(nullptr);
    char old[kLabelTextSize];
    std::memcpy(old, text, sizeof old);
    box->getText(text, kLabelTextSize);
    box.reset();
    finishEdit(ctx, std::strcmp(old, text) != 0);
}

void TextField::finishEdit(DrawContext* ctx, bool changed) {
    std::optional<WindowContext> own;
    if (ctx == nullptr && frame != nullptr) {
        ctx = &own.emplace(frame, frame->getWindow());
        if (parentView != nullptr) {
            Rect parentSize;
            parentView->getViewSize(parentSize);
            ctx->offset = {parentSize.left, parentSize.top};
        }
    }
    if (changed && listener != nullptr) listener->valueChanged(ctx, this);
    own.reset();
    editing = false;
    View* told = parentView != nullptr ? parentView : frame;
    if (told != nullptr) told->notify(this, "LooseFocus");
}

} // namespace gui
