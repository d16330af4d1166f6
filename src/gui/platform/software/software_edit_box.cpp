#include "gui/platform/software/software_edit_box.h"

#include "gui/platform/software/pixel_surface.h"
#include "gui/platform/software/text_font.h"

namespace gui::software {

SoftwareEditBox::SoftwareEditBox(const platform::EditBoxStyle& style, const char* text,
                                 platform::EditBoxListener& listener)
    : style_(style), line_(text), listener_(listener), font_(platform::createFont(style.font)) {}

void SoftwareEditBox::getText(char* out, std::int32_t capacity) const {
    line_.copyText(out, capacity);
}

void SoftwareEditBox::typeCharacter(char c) {
    if (line_.typeCharacter(c)) changed();
}

void SoftwareEditBox::type(const std::string& text) {
    for (const char c : text)
        typeCharacter(c);
}

void SoftwareEditBox::pressKey(EditKey key, bool extend) {
    if (line_.pressKey(key, extend)) {
        listener_.editEnded();
        return;
    }
    changed();
}

std::int32_t SoftwareEditBox::widthOf(const std::string& text) const {
    const auto& face = static_cast<const TextFont&>(*font_);
    if (!face.valid()) return 0;
    std::int32_t width = 0;
    for (const char c : text)
        width += face.glyph(static_cast<unsigned char>(c)).advance;
    return width;
}

std::int32_t SoftwareEditBox::textOrigin(std::int32_t boxWidth) const {
    const std::int32_t textWidth = widthOf(line_.text());
    if (textWidth < boxWidth) {
        if (style_.align == platform::TextAlign::center) return (boxWidth - textWidth) / 2;
        if (style_.align == platform::TextAlign::right) return boxWidth - 1 - textWidth;
        return 0;
    }
    // A text wider than the box scrolls so that the caret stays in view.
    const std::int32_t caretX = widthOf(line_.text().substr(0, line_.caret()));
    return caretX < boxWidth ? 0 : boxWidth - 1 - caretX;
}

void SoftwareEditBox::paint(platform::Surface& surface) const {
    const Rect& area = style_.area;
    PixelSurface box(area.width(), area.height(), nullptr);
    box.fill({0, 0, box.width(), box.height()}, style_.backColor);
    const std::string& text = line_.text();
    const std::size_t from = line_.selectionStart();
    const std::size_t to = line_.selectionEnd();
    const std::int32_t origin = textOrigin(box.width());
    const std::int32_t selectionX = origin + widthOf(text.substr(0, from));
    const std::int32_t afterX = selectionX + widthOf(text.substr(from, to - from));
    const auto put = [&](const std::string& part, std::int32_t x, Color color) {
        box.drawText(part.c_str(), {x, 0, box.width(), box.height()}, platform::TextAlign::left,
                     *font_, color, nullptr);
    };
    put(text.substr(0, from), origin, style_.textColor);
    box.fill({selectionX, 0, afterX, box.height()}, style_.textColor);
    put(text.substr(from, to - from), selectionX, style_.backColor);
    put(text.substr(to), afterX, style_.textColor);
    if (from == to) box.fill({selectionX, 1, selectionX + 1, box.height() - 1}, style_.textColor);
    surface.copy(box, area, {0, 0}, nullptr);
}

} // namespace gui::software
