// The text field's edit box on X11: our own single-line editor drawn over the window's
// pixels, fed by the key presses the window receives while it holds the keyboard.
#pragma once

#include "gui/platform/software/software_edit_box.h"

#include <X11/Xlib.h>

namespace gui::x11 {

class X11Window;

/// An edit box that takes the window's keyboard focus while it is open. GUI thread only.
class X11EditBox final : public software::SoftwareEditBox {
  public:
    /// Opens the box on `window` with `text` (cut to kMaxText), all of it selected,
    /// draws it and takes the keyboard.
    X11EditBox(X11Window& window, const platform::EditBoxStyle& style, const char* text,
               platform::EditBoxListener& listener);
    /// Gives the keyboard back; the window repaints the area the box covered.
    ~X11EditBox() override;

    /// Handles one key press; Return and Escape end the edit and may destroy the box.
    void press(XKeyEvent event);

  private:
    void changed() override;

    X11Window& window_;
};

} // namespace gui::x11
