// A label that shows a text instead of a number; a click opens the platform's
// single-line edit box exactly over it, and when the edit ends (Return, the focus
// moving elsewhere, any click in the frame) the typed text is taken over and the
// listener told if it changed.
#pragma once

#include "gui/controls/value_label.h"
#include "gui/platform/platform.h"

#include <memory>

namespace gui {

/// Formats `text` into `out` for display.
using TextToTextFunction = void (*)(const char* text, char* out);
/// Formats `text` into `out` for display with the field's user data.
using TextToTextWithDataFunction = void (*)(const char* text, char* out, void* data);

/// Showing (no edit box) or editing (edit box open, the field is the frame's focus
/// view). GUI thread only.
class TextField : public ValueLabel, private platform::EditBoxListener {
  public:
    /// Makes a field over `size` for `tag`, reporting to `listener` (may be null), showing
    /// `text` (null: empty; cut to 255 characters) over `background` (may be null), with
    /// the label style bits (0x2000: editing needs a double click).
    TextField(const Rect& size, ControlListener* listener, std::int32_t tag, const char* text,
              Bitmap* background, std::int32_t style);
    /// Closes an open edit box without telling anyone.
    ~TextField() override;

    /// Draws the text (formatted) while no edit box is open; ends clean.
    void draw(DrawContext* ctx) override;
    /// A primary click (a double click with style 0x2000) on a field that is not being
    /// edited makes it the focus view and opens the edit box.
    void mouse(DrawContext* ctx, Point& where) override;
    /// Ends the edit: takes the typed text, closes the box, tells the listener if the
    /// text changed, then notifies the parent view (or frame) with "LooseFocus".
    void looseFocus(DrawContext* ctx) override;
    /// Opens the edit box over the field (moved by `ctx`'s offset when given) with the
    /// whole text selected.
    void takeFocus(DrawContext* ctx) override;

    /// Replaces the text (null ignored; cut to 255 characters); dirty when it differs.
    virtual void setText(const char* newText);
    /// Copies the text into `out` (room for 256 bytes; null ignored).
    virtual void getText(char* out) const;
    /// Sets a display formatting function taking `data`; it wins over setTextToText's.
    virtual void setTextToTextWithData(TextToTextWithDataFunction function, void* data);
    /// Sets the display formatting function (null: the text as it is).
    virtual void setTextToText(TextToTextFunction function);

    /// True while the edit box is open.
    bool isEditing() const { return editing; }

  private:
    void editEnded() override;
    platform::EditBoxStyle editBoxStyle(const DrawContext* ctx) const;
    void finishEdit(DrawContext* ctx, bool changed);

    std::unique_ptr<platform::EditBox> editBox;
    // Stays set until the listener has been told, so that a draw from inside the
    // listener paints nothing over the place the box has just left.
    bool editing = false;
    char text[kLabelTextSize] = {};
    TextToTextFunction textToText = nullptr;
    TextToTextWithDataFunction textToTextWithData = nullptr;
};

} // namespace gui
